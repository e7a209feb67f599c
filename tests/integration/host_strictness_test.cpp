// icohost must be as strict as real hosts, or it hides faults of the modules
// it drives: these run it against a module that uses the interface the ways
// real modules do.
#include <gtest/gtest.h>
#include <stdlib.h>

#include <filesystem>
#include <string>

#include "document_io.h"
#include "module_host.h"
#include "platform/files.h"
#include "platform/modules.h"
#include "support/temp_folder.h"

namespace icofmt::test {
namespace {

class HostStrictness : public ::testing::Test {
 protected:
  void SetUp() override {
    file = folder + "doc.ico";
    ASSERT_TRUE(platform::writeWholeFile(file, std::vector<std::uint8_t>{1, 2, 3}));
    host.load(ICOFMT_HARNESS_MODULE);
    // The same library, to read what the module saw.
    module = platform::loadLibrary(ICOFMT_HARNESS_MODULE);
  }
  void TearDown() override {
    platform::unloadLibrary(module);
    unsetenv("ICOFMT_HARNESS");
  }
  template <typename T>
  T& seen(const char* name) {
    return *static_cast<T*>(platform::findExport(module, name));
  }

  TempFolder temp;
  std::string folder = temp.path(), file;
  icohost::ModuleHost host;
  platform::ModuleHandle module = nullptr;
};

TEST_F(HostStrictness, BlocksHandedOverWithinStartAreMoved) {
  carried::Document doc;
  ASSERT_EQ(host.open(file, doc), 0);
  ASSERT_EQ(doc.pixels.size(), 24u);
  for (std::size_t i = 0; i < doc.pixels.size(); ++i) EXPECT_EQ(doc.pixels[i], i + 1);

  // The module answers writErr when its buffer was not filled in WriteStart.
  doc.pixels.assign(24, 9);
  EXPECT_EQ(host.save(doc, folder + "out.ico", true, icohost::ModuleHost::Destination::InPlace), 0);
}

TEST_F(HostStrictness, TheTitleIsThePathUnlessSetAndItsHandleHoldsNothingMore) {
  setenv("ICOFMT_HARNESS", "title", 1);
  carried::Document doc;
  host.open(file, doc);
  const std::string absolute = std::filesystem::absolute(file).string();
  EXPECT_EQ(seen<std::int32_t>("harnessTitleSize"), static_cast<std::int32_t>(absolute.size()));
  EXPECT_EQ(std::string(seen<char[512]>("harnessTitle"), absolute.size()), absolute);
  EXPECT_EQ(host.undisposedHandles(), 1u);

  host.setTitle("Untitled-1");
  host.open(file, doc);
  EXPECT_EQ(seen<std::int32_t>("harnessTitleSize"), 10);
  EXPECT_EQ(std::string(seen<char[512]>("harnessTitle"), 10), "Untitled-1");
}

TEST_F(HostStrictness, EveryPrepareOffersMaxDataAfreshAndNoFileBeforeTheWrite) {
  carried::Document doc;
  host.open(file, doc);  // the module lowers maxData to 0 at ReadPrepare
  host.open(file, doc);
  EXPECT_GT(seen<std::int32_t>("harnessMaxData"), 0);
  // Handle 0 is standard input, a file like any other: "no file" is -1.
  host.save(doc, folder + "out.ico", false, icohost::ModuleHost::Destination::InPlace);
  auto& forks = seen<std::intptr_t[17]>("harnessDataFork");
  for (int selector : {5, 6, 8, 9, 10, 12}) EXPECT_EQ(forks[selector], -1) << selector;
  EXPECT_GE(forks[13], 0);
}

TEST_F(HostStrictness, DisposingAHandleTwiceStopsTheHost) {
  setenv("ICOFMT_HARNESS", "dispose-twice", 1);
  EXPECT_EXIT(
      {
        carried::Document doc;
        host.open(file, doc);
      },
      ::testing::ExitedWithCode(1), "a handle the host does not hold");
}

TEST(DocumentIo, ABitmapDocumentShowsThePictureAsSeenOverWhite) {
  // The ring is drawn in light and dark colours over transparent pixels that
  // hide dark colour: black only on the ring, and on all of it.
  const carried::Document rgb = icohost::readPngDocument(ICOFMT_RING_PNG, std::nullopt);
  const carried::Document doc = icohost::readPngDocument(ICOFMT_RING_PNG, carried::kModeBitmap);
  ASSERT_GE(rgb.effectiveAlphaPlane(), 0);
  int quadrants[4] = {};
  for (int y = 0; y < doc.height; ++y)
    for (int x = 0; x < doc.width; ++x) {
      if ((doc.pixels[doc.rowBytes() * y + (x >> 3)] & (0x80 >> (x & 7))) == 0) continue;
      const int alpha = rgb.pixels[rgb.rowBytes() * y + x * rgb.planes + rgb.effectiveAlphaPlane()];
      EXPECT_GT(alpha, 0) << x << "," << y;
      ++quadrants[(x < doc.width / 2 ? 0 : 1) + (y < doc.height / 2 ? 0 : 2)];
    }
  for (int q : quadrants) EXPECT_GT(q, 8);
}

}  // namespace
}  // namespace icofmt::test
