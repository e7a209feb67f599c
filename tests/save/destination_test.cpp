#include "save/destination.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <memory>

#include "support/temp_folder.h"

namespace icofmt::save {
namespace {

using Bytes = std::vector<std::uint8_t>;
using platform::LocalTime;

LocalTime at(int second, int ms = 0, int minute = 0) { return {2026, 12, 8, 16, minute, second, ms}; }
LocalTime gNow, gWritten;
LocalTime fakeNow() { return gNow; }
std::optional<LocalTime> fakeWritten(const std::string&) { return gWritten; }

class DestinationTest : public ::testing::Test {
 protected:
  void SetUp() override {
    previous_ = setTimeSource({fakeNow, fakeWritten});
    gNow = gWritten = at(10);
  }
  void TearDown() override { setTimeSource(previous_); }
  test::TempFolder temp;

 private:
  TimeSource previous_{};
};

TEST_F(DestinationTest, ParkedCopyComesBackWithItsPath) {
  temp.write("a.ico", {1, 2, 3});
  // Links left at the parked names are replaced, never written through.
  temp.write("victim", {9});
  std::filesystem::create_symlink(temp.file("victim"), temp.file("IcoTempSaveAs.ico"));
  std::filesystem::create_symlink(temp.file("victim"), temp.file("IcoTempSaveAs.txt"));
  // An existing destination, a new file name, no FSSpec at all.
  for (const auto& [destination, bytes] :
       {std::pair{temp.file("a.ico"), Bytes{1, 2, 3}}, std::pair{temp.file("new.ico"), Bytes{}},
        std::pair{std::string(), Bytes{}}}) {
    Bytes copy;
    ASSERT_EQ(parkDestinationCopy(temp.path(), destination, copy), ParkOutcome::Parked);
    Bytes name(destination.begin(), destination.end());
    name.push_back(0);
    EXPECT_EQ(temp.read("IcoTempSaveAs.txt"), name);
    EXPECT_EQ(temp.read("victim"), Bytes{9});
    EXPECT_EQ(std::filesystem::status(temp.file("IcoTempSaveAs.ico")).permissions(),
              std::filesystem::perms::owner_read | std::filesystem::perms::owner_write);
    auto back = takeBackDestinationCopy(temp.path(), destination);
    ASSERT_TRUE(back.has_value());
    EXPECT_EQ(back->copy, bytes);
    EXPECT_EQ(back->path, destination);
  }
  // A path file of 0 bytes takes the copy with it.
  temp.write("IcoTempSaveAs.txt", {});
  EXPECT_EQ(takeBackDestinationCopy(temp.path(), "")->copy, Bytes{});
  Bytes none;
  EXPECT_EQ(parkDestinationCopy(temp.file("no-folder/"), "", none), ParkOutcome::CopyNotCreated);
}

TEST_F(DestinationTest, FreshForFourSecondsFromTheDosTimeOfTheWrite) {
  struct Case {
    LocalTime written, now;
    bool fresh;
  } const cases[] = {
      {at(10), at(14), true},
      {at(10), at(14, 1), false},
      {at(10), at(15), false},
      {at(10), at(8), true},
      {at(11, 900), at(14), true},
      {at(13), at(16, 500), false},
      {at(58, 0, 0), at(1, 0, 1), true},
  };
  for (const Case& c : cases) {
    gWritten = c.written;
    gNow = c.now;
    temp.write("IcoTempSaveAs.ico", {7});
    temp.write("IcoTempSaveAs.txt", {0});
    EXPECT_EQ(takeBackDestinationCopy(temp.path(), "").has_value(), c.fresh)
        << c.written.second << "." << c.written.millisecond << " -> " << c.now.second << "."
        << c.now.millisecond;
  }
}

TEST_F(DestinationTest, CopyParkedForAnotherDestinationIsStale) {
  Bytes copy{5, 6};
  ASSERT_EQ(parkDestinationCopy(temp.path(), "/docs/a.ico", copy), ParkOutcome::Parked);
  EXPECT_FALSE(takeBackDestinationCopy(temp.path(), "/docs/b.ico").has_value());
  EXPECT_TRUE(takeBackDestinationCopy(temp.path(), "/docs/a.ico").has_value());
  EXPECT_FALSE(takeBackDestinationCopy(temp.path(), "").has_value());
  // Without its own path file a copy could be anyone's.
  temp.write("a.txt", Bytes{'/', 'd', 'o', 'c', 's', '/', 'a', '.', 'i', 'c', 'o', 0});
  std::filesystem::remove(temp.file("IcoTempSaveAs.txt"));
  EXPECT_FALSE(takeBackDestinationCopy(temp.path(), "/docs/a.ico").has_value());
  std::filesystem::create_symlink(temp.file("a.txt"), temp.file("IcoTempSaveAs.txt"));
  EXPECT_FALSE(takeBackDestinationCopy(temp.path(), "/docs/a.ico").has_value());
}

TEST(TitleTest, TitleNamesTheIconBesideIt) {
  const std::pair<const char*, const char*> cases[] = {
      {"/docs/picture.png", "/docs/picture.ico"},
      {"/docs/picture", "/docs/picture.ico"},
      {"C:\\a.b\\picture", "C:\\a.b\\picture.ico"},
      {"  \t/docs/a.b.png \r\n", "/docs/a.b.ico"},
      {" \x01 ", ""},
  };
  for (const auto& [title, path] : cases) EXPECT_EQ(destinationFromTitle(title), path) << title;
  // Exactly the characters, no NUL after them: reading on would leave the block.
  const std::string text = "/docs/a.png";
  auto exact = std::make_unique<char[]>(text.size());
  std::copy(text.begin(), text.end(), exact.get());
  EXPECT_EQ(titleFromHandleBytes(exact.get(), text.size()), text);
  EXPECT_EQ(titleFromHandleBytes("ab\0cd", 5), "ab");
}

}  // namespace
}  // namespace icofmt::save
