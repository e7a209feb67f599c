#include "save/destination.h"

#include <gtest/gtest.h>

#include <memory>

#include "temp_folder.h"

namespace icofmt::save {
namespace {

using Bytes = std::vector<std::uint8_t>;
using platform::LocalTime;

LocalTime at(int second, int millisecond = 0, int minute = 0) {
  return {2026, 12, 8, 16, minute, second, millisecond};
}

// The clock and the parked copy's last write, as a test sets them.
LocalTime gNow;
LocalTime gWritten;
LocalTime fakeNow() { return gNow; }
std::optional<LocalTime> fakeWritten(const std::string&) { return gWritten; }

class DestinationTest : public ::testing::Test {
 protected:
  void SetUp() override {
    ASSERT_FALSE(temp.path().empty());
    previous_ = setTimeSource({fakeNow, fakeWritten});
    gNow = gWritten = at(10);
  }
  void TearDown() override { setTimeSource(previous_); }

  test::TempFolder temp;
  test::TempFolder documents;

 private:
  TimeSource previous_{};
};

TEST_F(DestinationTest, ParkedCopyComesBackWithItsPath) {
  const std::string existing = documents.file("a.ico");
  documents.write("a.ico", {1, 2, 3, 4});
  struct Case {
    std::string destination;
    Bytes copy;
    Bytes nameFile;
  };
  const Case cases[] = {
      {existing, {1, 2, 3, 4}, {}},
      // A new file: an empty copy, the path still parked.
      {documents.file("new.ico"), {}, {}},
      // No file specification: the path file holds a single NUL.
      {"", {}, {0}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.destination);
    Bytes copy;
    ASSERT_EQ(parkDestinationCopy(temp.path(), c.destination, copy), ParkOutcome::Parked);
    EXPECT_EQ(copy, c.copy);
    EXPECT_EQ(temp.read("IcoTempSaveAs.ico"), c.copy);
    Bytes name(c.destination.begin(), c.destination.end());
    name.push_back(0);
    EXPECT_EQ(temp.read("IcoTempSaveAs.txt"), name);

    auto back = takeBackDestinationCopy(temp.path(), c.destination);
    ASSERT_TRUE(back.has_value());
    EXPECT_EQ(back->copy, c.copy);
    EXPECT_EQ(back->path, c.destination);
  }
}

TEST_F(DestinationTest, EmptyPathFileEmptiesTheCopy) {
  temp.write("IcoTempSaveAs.ico", {9, 9});
  temp.write("IcoTempSaveAs.txt", {});
  auto back = takeBackDestinationCopy(temp.path(), "");
  ASSERT_TRUE(back.has_value());
  EXPECT_TRUE(back->copy.empty());
  EXPECT_EQ(back->path, "");
}

TEST_F(DestinationTest, CopyWithoutPathFileKeepsTheName) {
  temp.write("IcoTempSaveAs.ico", {9, 9});
  auto back = takeBackDestinationCopy(temp.path(), "");
  ASSERT_TRUE(back.has_value());
  EXPECT_EQ(back->copy, (Bytes{9, 9}));
  EXPECT_FALSE(back->path.has_value());
}

TEST_F(DestinationTest, FreshnessCountsFromTheDosTimeOfTheLastWrite) {
  struct Case {
    LocalTime written, now;
    bool fresh;
  };
  const Case cases[] = {
      {at(10), at(10), true},
      {at(10), at(14), true},             // exactly 4 s
      {at(10), at(14, 1), false},         // just above
      {at(10), at(15), false},            // 5 s
      {at(10), at(8), true},              // written in the future
      {at(11, 900), at(14, 500), false},  // cut to :10, 4.5 s
      {at(11, 900), at(14, 0), true},     // cut to :10, 4 s
      {at(13, 0), at(16, 500), false},    // 3.5 s after the write, 4.5 s after :12
      {at(58, 0, 0), at(1, 0, 1), true},  // across a minute
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(::testing::Message() << c.written.second << "." << c.written.millisecond << " -> "
                                      << c.now.second << "." << c.now.millisecond);
    gWritten = c.written;
    gNow = c.now;
    EXPECT_EQ(parkedCopyFresh(c.now, c.written), c.fresh);
    temp.write("IcoTempSaveAs.ico", {7});
    EXPECT_EQ(takeBackDestinationCopy(temp.path(), "").has_value(), c.fresh);
  }
}

TEST_F(DestinationTest, CopyOfAnotherDestinationIsStale) {
  Bytes copy{5, 6};
  ASSERT_EQ(parkDestinationCopy(temp.path(), "/docs/a.ico", copy), ParkOutcome::Parked);
  EXPECT_FALSE(takeBackDestinationCopy(temp.path(), "/docs/b.ico").has_value());
  EXPECT_TRUE(takeBackDestinationCopy(temp.path(), "/docs/a.ico").has_value());
  EXPECT_TRUE(takeBackDestinationCopy(temp.path(), "").has_value());
  // A copy parked without a name belongs to no other destination.
  ASSERT_EQ(parkDestinationCopy(temp.path(), "", copy), ParkOutcome::Parked);
  EXPECT_TRUE(takeBackDestinationCopy(temp.path(), "/docs/b.ico").has_value());
}

TEST_F(DestinationTest, UnusableFilesAreReported) {
  Bytes copy;
  EXPECT_EQ(parkDestinationCopy(temp.file("missing-folder/"), "", copy), ParkOutcome::CopyNotCreated);
  EXPECT_FALSE(platform::fileExists(temp.file("missing-folder/IcoTempSaveAs.ico")));

  documents.write("big.ico", Bytes(100, 1));
  Bytes out{1};
  EXPECT_EQ(readFileWithin(documents.file("big.ico"), 99, out), ReadOutcome::Failed);
  EXPECT_EQ(out, Bytes{1});
  EXPECT_EQ(readFileWithin(documents.file("big.ico"), 100, out), ReadOutcome::Read);
  EXPECT_EQ(readFileWithin(documents.file("none.ico"), 100, out), ReadOutcome::Missing);
}

TEST(TitleTest, TitleNamesTheIconBesideIt) {
  const std::pair<const char*, const char*> cases[] = {
      {"/docs/picture.png", "/docs/picture.ico"},
      {"/docs/picture", "/docs/picture.ico"},
      {"C:\\docs\\picture.png", "C:\\docs\\picture.ico"},
      {"/docs.old/picture", "/docs.old/picture.ico"},
      {"C:picture", "C:picture.ico"},
      {"  \t/docs/a.b.png \r\n", "/docs/a.b.ico"},
      {".png", ".ico"},
      {" \x01 ", ""},
  };
  for (const auto& [title, path] : cases) EXPECT_EQ(destinationFromTitle(title), path) << title;
}

TEST(TitleTest, HandleIsReadWithinItsSize) {
  // Exactly the characters, no NUL after them: reading on would leave the block.
  const char text[] = "/docs/a.png";
  auto exact = std::make_unique<char[]>(sizeof(text) - 1);
  std::copy(text, text + sizeof(text) - 1, exact.get());
  EXPECT_EQ(titleFromHandleBytes(exact.get(), sizeof(text) - 1), "/docs/a.png");
  EXPECT_EQ(titleFromHandleBytes("ab\0cd", 5), "ab");
  EXPECT_EQ(titleFromHandleBytes(nullptr, 5), "");
}

}  // namespace
}  // namespace icofmt::save
