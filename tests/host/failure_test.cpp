// Every step of an open and of a save made to fail in turn: each allocation
// the module makes, a host that refuses or botches its callbacks, files that
// cannot be read or written. Each ends in a result code, never an exception
// or an abort across PluginMain; the operation ends with the state as a fresh
// load, nothing loaded or hooked, nothing left in the temporary folder, and a
// destination that holds its old icon or the merged one (the asan preset's
// leak checker sees what is left in memory).
#include <filesystem>
#include <set>

#include "host_fixture.h"
#include "icon/advanced_icon.h"
#include "open/form_select.h"
#include "support/failing_allocator.h"

namespace icofmt::test {
namespace {

using failing_allocator::failEachAllocation;

using host::moduleState;
using platform::scripted::UserAction;

class FailureTest : public HostTest {
 protected:
  void SetUp() override {
    HostTest::SetUp();
    before = twoImageIcon();
    ASSERT_TRUE(platform::writeWholeFile(iconPath, before));
  }

  static std::vector<std::uint8_t> twoImageIcon() {
    std::vector<std::uint8_t> two = oneImageIcon();
    two[4] = 2;
    two.insert(two.begin() + 22, two.begin() + 6, two.begin() + 22);
    two[18] = two[34] = 38;
    return two;
  }

  // A result a host understands: success, an error, or memory exhausted.
  static bool known(std::int16_t result) { return result == 0 || result == 1 || result == sdk::memFullErr; }

  std::int16_t step(std::int16_t selector) {
    // Only the module's own allocations count, not the test's.
    failing_allocator::armed = true;
    std::int16_t result = 12345;
    const std::int16_t returned = host::pluginMain(selector, &block, &dataSlot, &result);
    failing_allocator::armed = false;
    EXPECT_EQ(returned, result);
    EXPECT_TRUE(known(result)) << "selector " << selector << " gave " << result;
    return result;
  }

  void open() {
    platform::scripted::setUserActions({{UserAction::Kind::Select, open::select_controls::kImageList, 1},
                                        {UserAction::Kind::Click, open::select_controls::kOk, -1}});
    if (step(sdk::formatSelectorReadPrepare) != 0 || step(sdk::formatSelectorReadStart) != 0) return;
    step(sdk::formatSelectorReadContinue);
    step(sdk::formatSelectorReadFinish);
  }

  // Options, estimate and write of a 1 x 1 RGB image, the destination
  // truncated before the write selectors as image editors do.
  void save() {
    platform::scripted::setConfirmUnscripted(true);
    block.imageMode = 3;
    block.imageSize = {1, 1};
    block.planes = 3;
    for (std::int16_t prepare : {sdk::formatSelectorOptionsPrepare, sdk::formatSelectorEstimatePrepare}) {
      if (step(prepare) != 0 || step(static_cast<std::int16_t>(prepare + 1)) != 0) return;
      step(static_cast<std::int16_t>(prepare + 2));
      if (step(static_cast<std::int16_t>(prepare + 3)) != 0) return;
    }
    const platform::FileHandle fork =
        platform::createFile(iconPath, platform::FileAccess::ReadWrite, platform::FileShare::None);
    block.dataFork = fork;
    if (step(sdk::formatSelectorWritePrepare) == 0 && step(sdk::formatSelectorWriteStart) == 0) {
      std::uint8_t pixel[3] = {10, 200, 30};
      block.data = pixel;
      block.theRect = {0, 0, 1, 1};
      block.loPlane = 0;
      block.hiPlane = 2;
      step(sdk::formatSelectorWriteContinue);
      block.data = nullptr;
      step(sdk::formatSelectorWriteFinish);
    }
    platform::closeFile(fork);
    block.dataFork = kHostFork;
  }

  // What every ended operation leaves: nothing.
  void expectEndedCleanly(const char* what) {
    SCOPED_TRACE(what);
    EXPECT_TRUE(moduleState().firstCall);
    EXPECT_TRUE(platform::scripted::loadedLibraries().empty());
    EXPECT_EQ(platform::scripted::installedHooks(), 0);
    std::set<std::string> left;
    for (const auto& e : std::filesystem::directory_iterator(folder))
      left.insert(e.path().filename().string());
    EXPECT_EQ(left, std::set<std::string>{"app.ico"});
    // The destination holds its old icon or the icon a save without
    // failures makes.
    const auto bytes = platform::readWholeFile(iconPath);
    ASSERT_TRUE(bytes.has_value());
    if (*bytes != before) {
      EXPECT_EQ(*bytes, merged) << "the destination lost images";
      ASSERT_TRUE(platform::writeWholeFile(iconPath, before));
    }
  }

  std::vector<std::uint8_t> before;
  std::vector<std::uint8_t> merged;
};

TEST_F(FailureTest, AnAllocationThatFailsAnywhereInAnOpenEndsItCleanly) {
  const int runs = failEachAllocation([this] {
    platform::scripted::reset();
    open();
    expectEndedCleanly("open");
  });
  EXPECT_GT(runs, 20);
}

TEST_F(FailureTest, AnAllocationThatFailsAnywhereInASaveEndsItCleanly) {
  // Without failures the save replaces the first image of its format.
  save();
  merged = *platform::readWholeFile(iconPath);
  TAdvancedIcon icon;
  ASSERT_TRUE(icon.LoadFromFile(iconPath));
  ASSERT_EQ(icon.Images().Count(), 2u);
  ASSERT_NE(merged, before);
  ASSERT_TRUE(platform::writeWholeFile(iconPath, before));
  const int runs = failEachAllocation([this] {
    platform::scripted::reset();
    save();
    expectEndedCleanly("save");
  });
  EXPECT_GT(runs, 20);
}

// A host whose title property and handles fail or lie.
struct BadHost {
  static inline int mode = 0;
  static inline char text[8] = "app.ico";
  static inline char* pointer = text;
  static inline int disposed = 0;
  static sdk::OSErr getProperty(sdk::PIType, sdk::PIType, std::int32_t, std::intptr_t*, sdk::Handle* h) {
    if (mode == 0) return -1;
    *h = mode == 1 ? nullptr : reinterpret_cast<sdk::Handle>(&pointer);
    return sdk::noErr;
  }
  static std::int32_t size(sdk::Handle) { return mode == 3 ? -1 : mode == 4 ? 0x7fffffff : 7; }
  static sdk::Ptr lock(sdk::Handle, sdk::Boolean) { return mode == 5 ? nullptr : text; }
  static void unlock(sdk::Handle) {}
  static void dispose(sdk::Handle) { ++disposed; }
};

TEST_F(FailureTest, HostCallbacksAndFilesThatFailEndTheSaveWithAResult) {
  sdk::HandleProcs handles{};
  handles.numHandleProcs = 8;
  handles.disposeProc = BadHost::dispose;
  handles.getSizeProc = BadHost::size;
  handles.lockProc = BadHost::lock;
  handles.unlockProc = BadHost::unlock;
  sdk::PropertyProcs properties{};
  properties.numPropertyProcs = 1;
  properties.getPropertyProc = BadHost::getProperty;
  block.handleProcs = &handles;
  block.propertyProcs = &properties;
  // A plain save asks for the title: refused, no handle, sizes that lie, no
  // bytes behind the handle.
  for (int mode = 0; mode <= 5; ++mode) {
    SCOPED_TRACE(mode);
    BadHost::mode = mode;
    platform::scripted::reset();
    platform::scripted::setConfirmUnscripted(true);
    block.imageMode = 3;
    block.imageSize = {1, 1};
    block.planes = 3;
    for (std::int16_t selector = sdk::formatSelectorEstimatePrepare;
         selector <= sdk::formatSelectorWriteStart; ++selector)
      if (step(selector) != 0) break;
    if (!moduleState().firstCall) step(sdk::formatSelectorWriteFinish);
    expectEndedCleanly("title");
  }
  block.handleProcs = nullptr;
  block.propertyProcs = nullptr;

  // The host's file cannot be written: WriteFinish fails.
  platform::scripted::reset();
  block.dataFork = static_cast<std::intptr_t>(platform::kInvalidFile);
  for (std::int16_t selector = sdk::formatSelectorOptionsPrepare; selector <= sdk::formatSelectorWriteStart;
       ++selector)
    ASSERT_EQ(step(selector), 0) << selector;
  EXPECT_EQ(step(sdk::formatSelectorWriteFinish), 1);
  block.dataFork = kHostFork;
  expectEndedCleanly("unwritable");
}

TEST_F(FailureTest, FilesThatCannotBeReadOrWrittenEndTheOpenWithAResult) {
  // No icon at the path, a folder at the path, a temporary folder that is
  // not there (the carried module cannot be written).
  setName(folder + "missing.ico");
  EXPECT_EQ(step(sdk::formatSelectorReadPrepare), 1);
  setName(folder);
  EXPECT_EQ(step(sdk::formatSelectorReadPrepare), 1);
  setName(iconPath);
  expectEndedCleanly("no icon");
  setenv("TMPDIR", (folder + "gone/").c_str(), 1);
  open();
  setenv("TMPDIR", folder.c_str(), 1);
  expectEndedCleanly("no temporary folder");
}

}  // namespace
}  // namespace icofmt::test
