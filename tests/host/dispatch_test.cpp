// PluginMain and the dispatch tables, driven through a recording carried
// module.
#include <fcntl.h>
#include <unistd.h>

#include <fstream>

#include "host/carried_module.h"
#include "host/options_hook.h"
#include "host_fixture.h"
#include "icon/advanced_icon.h"
#include "platform/folders.h"
#include "platform/windowing.h"

namespace icofmt::test {
namespace {

using host::moduleState;

std::vector<std::string> loaded() { return platform::scripted::loadedLibraries(); }

TEST_F(HostTest, ReadSelectorsReachTheCarriedModuleWithTheTemporaryPng) {
  std::string png = temp("app.png");
  ASSERT_EQ(call(sdk::formatSelectorAbout), 0);  // loads nothing
  std::intptr_t tempHandle = platform::kInvalidFile;
  for (std::int16_t selector = 1; selector <= 4; ++selector) {
    ASSERT_EQ(call(selector), 0);
    if (selector == 1) tempHandle = moduleState().files.tempPngHandle;
    EXPECT_NE(tempHandle, platform::kInvalidFile);
    // The host's own name and handle are back after every call.
    EXPECT_EQ(name(), iconPath);
    EXPECT_EQ(block.dataFork, kHostFork);
    if (selector == 1) {
      EXPECT_TRUE(carriedExists());
    }
  }
  ASSERT_EQ(recorder.callCount, 4);
  for (int i = 0; i < 4; ++i) {
    EXPECT_EQ(recorder.calls[i].selector, i + 1);
    EXPECT_EQ(std::string(recorder.calls[i].name), temp("app.png"));
    EXPECT_EQ(recorder.calls[i].dataFork, tempHandle);
  }
  // ReadFinish released everything and left the state as a fresh load.
  EXPECT_FALSE(carriedExists());
  EXPECT_FALSE(std::filesystem::exists(userFolder()));
  EXPECT_FALSE(tempExists("app.png"));
  EXPECT_TRUE(loaded().empty());
  EXPECT_TRUE(moduleState().firstCall);
  EXPECT_EQ(moduleState().files.tempPngHandle, platform::kInvalidFile);
}

TEST_F(HostTest, AReadPrepareThatExportsNothingFailsWhateverLiesInTheTemporaryFolder) {
  struct Case {
    const char* name;
    std::vector<std::uint8_t> bytes;
    std::vector<platform::scripted::UserAction> actions;
  };
  std::vector<std::uint8_t> two = oneImageIcon();
  // A second entry pointing at the same block, so the form is shown.
  two[4] = 2;
  two.insert(two.begin() + 22, two.begin() + 6, two.begin() + 22);
  two[18] = two[34] = 38;
  const Case cases[] = {
      {"not an icon", {'t', 'e', 'x', 't'}, {}},
      {"empty", {}, {}},
      {"cancelled", two, {{platform::scripted::UserAction::Kind::Escape, "", -1}}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    ASSERT_TRUE(platform::writeWholeFile(iconPath, c.bytes));
    leaveTemp("app.png", "an older PNG");
    platform::scripted::setUserActions(c.actions);
    EXPECT_EQ(call(sdk::formatSelectorReadPrepare), 1);
    EXPECT_EQ(recorder.callCount, 0);
    EXPECT_EQ(name(), iconPath);
    EXPECT_EQ(block.dataFork, kHostFork);
    EXPECT_FALSE(tempExists("app.png"));
    EXPECT_FALSE(carriedExists());
    EXPECT_TRUE(loaded().empty());
    EXPECT_TRUE(platform::scripted::messageBoxes().empty());
  }
  ASSERT_EQ(platform::scripted::shownForms().size(), 1u);
  EXPECT_EQ(platform::scripted::shownForms()[0].result, platform::ModalResult::Cancel);

  // An icon in the temporary folder named like its own temporary PNG: neither
  // the export nor the clean-up may touch it.
  const std::string own = temp("own.png");
  leaveTemp("own.png", "");
  ASSERT_TRUE(platform::writeWholeFile(own, oneImageIcon()));
  setName(own);
  EXPECT_EQ(call(sdk::formatSelectorReadPrepare), 1);
  EXPECT_EQ(platform::readWholeFile(own), oneImageIcon());
}

TEST_F(HostTest, WriteSelectorsSwapOnlyTheDataForkAndOnlyFromWritePrepare) {
  leaveTemp("IcoTempSaveAs.ico", "");
  leaveTemp("IcoTempSaveAs.txt", "x");
  std::intptr_t tempHandle = 0;
  for (std::int16_t selector = 5; selector <= 16; ++selector) {
    // The recording module delivers no pixels, so the assembly refuses.
    ASSERT_EQ(call(selector), selector == 16 ? 1 : 0) << selector;
    EXPECT_EQ(block.dataFork, kHostFork);
    EXPECT_EQ(name(), iconPath);
    if (selector == 5) {
      EXPECT_TRUE(moduleState().save.destinationCopy && moduleState().save.captureBuffer);
      EXPECT_EQ(moduleState().files.tempPngPath, temp("tmpPNG234.png"));
    }
    if (selector == 13) {
      EXPECT_TRUE(tempExists("tmpPNG234.png"));
      tempHandle = moduleState().files.tempPngHandle;
      EXPECT_NE(tempHandle, platform::kInvalidFile);
    }
  }
  ASSERT_EQ(recorder.callCount, 12);
  for (int i = 0; i < 12; ++i) {
    const RecordedCall& c = recorder.calls[i];
    EXPECT_EQ(c.selector, i + 5);
    EXPECT_EQ(c.name, iconPath);
    EXPECT_EQ(c.dataFork, c.selector >= 13 ? tempHandle : kHostFork) << c.selector;
    // The options hook exists only around OptionsStart.
    EXPECT_EQ(c.hooksInstalled, c.selector == 6 ? 1 : 0) << c.selector;
  }
  EXPECT_EQ(platform::scripted::installedHooks(), 0);
  for (const char* file : {"tmpPNG234.png", "IcoTempSaveAs.ico", "IcoTempSaveAs.txt"})
    EXPECT_FALSE(exists(file)) << file;
  EXPECT_FALSE(carriedExists());
  EXPECT_TRUE(loaded().empty());
  EXPECT_FALSE(moduleState().save.destinationCopy.has_value());
  EXPECT_TRUE(moduleState().firstCall);
}

TEST_F(HostTest, SelectorsOutsideOneToSixteenDoNothing) {
  for (std::int16_t selector : {0, 17, 18, 41, -1, -32768}) EXPECT_EQ(call(selector), 0) << selector;
  EXPECT_EQ(recorder.callCount, 0);
  EXPECT_FALSE(carriedExists());
  EXPECT_TRUE(loaded().empty());
  EXPECT_TRUE(platform::scripted::messageBoxes().empty());
  EXPECT_TRUE(moduleState().firstCall);
}

// The carried module's resource replaced by other bytes, for as long as it lives.
struct CarriedBytes {
  std::vector<std::uint8_t> bytes;
  explicit CarriedBytes(std::vector<std::uint8_t> b) : bytes(std::move(b)) {
    carriedResourceEntry().data = bytes.data();
    carriedResourceEntry().size = bytes.size();
  }
  ~CarriedBytes() {
    static const std::vector<std::uint8_t> original = recordingModuleBytes();
    carriedResourceEntry().data = original.data();
    carriedResourceEntry().size = original.size();
  }
};

std::vector<std::uint8_t> bytesOf(const char* text) { return {text, text + std::strlen(text)}; }

TEST_F(HostTest, LoadingFailuresShowTheirMessageAndSkipTheSelector) {
  struct Case {
    const char* message;
    std::function<std::vector<std::uint8_t>()> carried;
    bool resourceMissing;
  };
  std::vector<Case> cases = {
      {"Error: Can't find path to Png.8bi", [] { return recordingModuleBytes(); }, true},
      {"Error during loading Png.8bi", [] { return bytesOf("not a library"); }, false},
      {"Error getting ENTRYPOINT1 Adress in Png.8bi",
       [] { return *platform::readWholeFile(ICOFMT_PLATFORM_LIBRARY); }, false},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.message);
    platform::scripted::reset();
    CarriedBytes carried(c.carried());
    if (c.resourceMissing) carriedResourceEntry().name = "MISSING";
    EXPECT_EQ(call(sdk::formatSelectorReadPrepare), 1);
    EXPECT_EQ(recorder.callCount, 0);
    ASSERT_EQ(platform::scripted::messageBoxes().size(), 1u);
    EXPECT_EQ(platform::scripted::messageBoxes()[0].text, c.message);
    EXPECT_EQ(platform::scripted::messageBoxes()[0].buttons, platform::MessageButtons::Ok);
    // The failed operation is over: nothing stays loaded, the next one loads afresh.
    EXPECT_TRUE(loaded().empty());
    EXPECT_TRUE(moduleState().firstCall);
    EXPECT_FALSE(carriedExists());
    carriedResourceEntry().name = "RESDLL";
  }
  EXPECT_EQ(call(sdk::formatSelectorReadPrepare), 0);
  EXPECT_EQ(recorder.callCount, 1);
}

TEST_F(HostTest, WritePrepareCreatesTheTemporaryPngEvenAfterAFailedLoad) {
  CarriedBytes carried(bytesOf("not a library"));
  host::ModuleState& s = moduleState();
  s.selector = sdk::formatSelectorWritePrepare;
  s.formatParamBlock = &block;
  host::writeDispatch(s);
  EXPECT_EQ(s.errorFlag, 1);
  EXPECT_FALSE(s.firstCall);
  EXPECT_NE(s.files.tempPngHandle, platform::kInvalidFile);
  EXPECT_TRUE(tempExists("tmpPNG234.png"));
  abandon();

  // Through PluginMain the failed operation also cleans up after itself.
  EXPECT_EQ(call(sdk::formatSelectorWritePrepare), 1);
  EXPECT_EQ(recorder.callCount, 0);
  EXPECT_FALSE(tempExists("tmpPNG234.png"));
  EXPECT_EQ(block.dataFork, kHostFork);
}

TEST_F(HostTest, ReadSelectorsOfNoPreparedOperationLeaveTheHostsFieldsAlone) {
  EXPECT_EQ(call(sdk::formatSelectorReadStart, nullptr), 1);
  EXPECT_EQ(call(sdk::formatSelectorReadContinue), 1);
  EXPECT_EQ(call(sdk::formatSelectorReadFinish), 0);
  EXPECT_EQ(recorder.callCount, 0);
  EXPECT_TRUE(loaded().empty());

  // A ReadFinish after a failed ReadStart only cleans up: the host's name and
  // handle are its own, and nothing is loaded again.
  recorder.resultFor[sdk::formatSelectorReadStart] = -30501;
  ASSERT_EQ(call(sdk::formatSelectorReadPrepare), 0);
  ASSERT_EQ(call(sdk::formatSelectorReadStart), -30501);
  block.dataFork = 77;
  setName("D:\\elsewhere.ico");
  EXPECT_EQ(call(sdk::formatSelectorReadFinish), 0);
  EXPECT_EQ(recorder.callCount, 2);
  EXPECT_EQ(name(), "D:\\elsewhere.ico");
  EXPECT_EQ(block.dataFork, 77);
  EXPECT_TRUE(loaded().empty());
  EXPECT_FALSE(carriedExists());
}

TEST_F(HostTest, SelectorsWithoutTheTemporaryPngNeverReachTheCarriedModule) {
  // A write selector with no WritePrepare before it has no file to give.
  EXPECT_EQ(call(sdk::formatSelectorWriteContinue), 1);
  EXPECT_EQ(recorder.callCount, 0);
  EXPECT_EQ(block.dataFork, kHostFork);
  abandon();
  // Nor does a prepared read whose temporary PNG could not be opened.
  ASSERT_EQ(call(sdk::formatSelectorReadPrepare), 0);
  int calls = recorder.callCount;
  host::ModuleState& s = moduleState();
  if (s.files.tempPngHandle != platform::kInvalidFile) platform::closeFile(s.files.tempPngHandle);
  s.files.tempPngHandle = platform::kInvalidFile;
  EXPECT_EQ(call(sdk::formatSelectorReadStart), 1);
  EXPECT_EQ(recorder.callCount, calls);
}

TEST_F(HostTest, AFailedStepStillSwapsTheFileFieldsButCallsNothing) {
  ASSERT_EQ(call(sdk::formatSelectorReadPrepare), 0);
  host::ModuleState& s = moduleState();
  s.selector = sdk::formatSelectorReadPrepare;
  s.files.tempPngPath = "swapped.png";
  s.files.hostFileName = "recorded.ico";
  s.files.hostDataFork = 99;
  std::int16_t result = 1;  // as a cancelled selection leaves it
  int calls = recorder.callCount;
  host::forwardRead(s.carried, s.read, s.files, {s.selector, &block, &dataSlot}, result);
  EXPECT_EQ(recorder.callCount, calls);
  EXPECT_EQ(name(), "recorded.ico");
  EXPECT_EQ(block.dataFork, 99);
}

TEST_F(HostTest, AnErrorOfTheCarriedModuleReachesTheHostAndTheOperationStillEnds) {
  recorder.resultFor[sdk::formatSelectorReadStart] = -30501;
  EXPECT_EQ(call(sdk::formatSelectorReadPrepare), 0);
  EXPECT_EQ(call(sdk::formatSelectorReadStart), -30501);
  EXPECT_EQ(name(), iconPath);
  EXPECT_EQ(block.dataFork, kHostFork);
  // The host sends no ReadFinish after a failed ReadStart.
  EXPECT_TRUE(loaded().empty());
  EXPECT_FALSE(carriedExists());
  EXPECT_TRUE(moduleState().firstCall);
}

TEST_F(HostTest, WriteFinishCleansUpAfterAnErrorAndLeavesTheCarriedBufferToItsMaker) {
  leaveTemp("IcoTempSaveAs.ico", "");
  leaveTemp("IcoTempSaveAs.txt", "");
  recorder.resultFor[sdk::formatSelectorWriteFinish] = -36;
  recorder.leaveBufferAtWriteFinish = true;
  for (std::int16_t selector = 13; selector <= 15; ++selector) ASSERT_EQ(call(selector), 0);
  // The assembly still ran, and found no pixels to save.
  EXPECT_EQ(call(sdk::formatSelectorWriteFinish), 1);
  // Freeing this buffer here would be freeing memory we never allocated.
  EXPECT_EQ(block.data, nullptr);
  for (const char* file : {"tmpPNG234.png", "IcoTempSaveAs.ico", "IcoTempSaveAs.txt"})
    EXPECT_FALSE(exists(file)) << file;
  EXPECT_FALSE(carriedExists());
  EXPECT_TRUE(loaded().empty());
  EXPECT_TRUE(moduleState().firstCall);
}

TEST_F(HostTest, OnlyTheCarriedBytesAreEverLoaded) {
  // A library left under the carried module's name, in the shared folder and
  // in our own, is never what runs.
  auto planted = *platform::readWholeFile(ICOFMT_PLATFORM_LIBRARY);  // has no ENTRYPOINT1
  ASSERT_TRUE(platform::writeWholeFile(path("RESICO.dll"), planted));
  leaveTemp("RESICO.dll", "");
  ASSERT_TRUE(platform::writeWholeFile(carriedPath(), planted));
  // An instance that has that file loaded keeps its bytes: ours replace the
  // name, not the file under it.
  std::ifstream inUse(carriedPath(), std::ios::binary);
  ASSERT_EQ(call(sdk::formatSelectorReadPrepare), 0);
  EXPECT_EQ(recorder.callCount, 1);
  EXPECT_EQ(platform::readWholeFile(carriedPath()), recordingModuleBytes());
  EXPECT_EQ(std::vector<std::uint8_t>(std::istreambuf_iterator<char>(inUse), {}), planted);
  ASSERT_EQ(call(sdk::formatSelectorReadFinish), 0);
  EXPECT_FALSE(carriedExists());
  EXPECT_EQ(platform::readWholeFile(path("RESICO.dll")), planted);

  // A folder of our name that others opened (or made) neither blocks us nor
  // receives our files: a fresh folder of ours takes its place.
  std::filesystem::create_directory(userFolder());
  std::filesystem::permissions(userFolder(), std::filesystem::perms::all);
  ASSERT_EQ(call(sdk::formatSelectorReadPrepare), 0);
  const std::string png = moduleState().files.tempPngPath;
  EXPECT_EQ(png.rfind(userFolder().substr(0, userFolder().size() - 1) + "-", 0), 0u) << png;
  EXPECT_EQ(std::filesystem::status(png.substr(0, png.rfind('/'))).permissions(),
            std::filesystem::perms::owner_all);
  ASSERT_EQ(call(sdk::formatSelectorReadFinish), 0);
  EXPECT_TRUE(std::filesystem::is_empty(userFolder()));
  EXPECT_EQ(recorder.callCount, 4);

  // Under a folder that others may change (writable, not sticky) nothing of
  // ours is safe.
  std::filesystem::permissions(folder, std::filesystem::perms::all);
  EXPECT_EQ(call(sdk::formatSelectorReadPrepare), 1);
  ASSERT_EQ(platform::scripted::messageBoxes().size(), 1u);
  EXPECT_EQ(platform::scripted::messageBoxes()[0].text, "Error: Can't find path to Png.8bi");
  EXPECT_EQ(recorder.callCount, 4);
}

// Counts the dialog messages a hook installed before ours still sees.
int outerSeen = 0;
platform::HookHandle outerHook = nullptr;
std::intptr_t ICOFMT_CALLBACK outer(int code, std::uintptr_t wParam, std::intptr_t lParam) {
  auto* info = reinterpret_cast<const platform::CallWndProcInfo*>(lParam);
  if (info->message == platform::kWmPaint || info->message == platform::kWmShowWindow ||
      info->message == platform::kWmInitDialog)
    ++outerSeen;
  return platform::callNextHook(outerHook, code, wParam, lParam);
}

TEST_F(HostTest, TheOptionsHookConfirmsOnlyThePngOptionsDialog) {
  struct Case {
    const char* caption;
    bool hasOk;
    platform::ModalResult result;
    int clicks;
    int passedOn;
  };
  const Case cases[] = {
      {"PNG Options", true, platform::ModalResult::Ok, 1, 0},
      {" \t PNG Options  \r\n", true, platform::ModalResult::Ok, 1, 0},
      {"png options", true, platform::ModalResult::Cancel, 0, 3},
      {"PNG Options Extra", true, platform::ModalResult::Cancel, 0, 3},
      // Swallowed, but there is nothing to click: the user has to close it.
      {"PNG Options", false, platform::ModalResult::Cancel, 0, 0},
  };
  outerHook = platform::installCallWndProcHook(&outer, nullptr);
  for (const Case& c : cases) {
    SCOPED_TRACE(c.caption);
    platform::scripted::reset();
    outerSeen = 0;
    recorder = Recorder{};
    recorder.optionsCaption = c.caption;
    recorder.optionsHasOk = c.hasOk;
    platform::scripted::setUserActions({{platform::scripted::UserAction::Kind::Escape, "", -1}});
    ASSERT_EQ(call(sdk::formatSelectorOptionsStart), 0);
    EXPECT_EQ(recorder.optionsResult, static_cast<int>(c.result));
    EXPECT_EQ(platform::scripted::deliveredPosts(platform::kBmClick), c.clicks);
    EXPECT_EQ(outerSeen, c.passedOn);
    EXPECT_EQ(platform::scripted::installedHooks(), 1);  // ours is gone again
    abandon();
  }
  platform::removeHook(outerHook);
}

TEST_F(HostTest, TheCaptionComparisonUsesTheTrimmedFirst256Characters) {
  EXPECT_EQ(host::trimmedCaption("\x01 PNG Options\x7f"), "PNG Options\x7f");
  EXPECT_EQ(host::trimmedCaption(std::string(250, ' ') + "PNG Options"), "PNG Op");
  EXPECT_EQ(host::trimmedCaption(""), "");
}

TEST_F(HostTest, AFailedContinueLeavesTheOperationToItsFinish) {
  for (std::int16_t failing : {sdk::formatSelectorOptionsContinue, sdk::formatSelectorEstimateContinue}) {
    SCOPED_TRACE(failing);
    recorder = Recorder{};
    recorder.resultFor[failing] = -128;
    abandon();
    for (std::int16_t selector = failing - 2; selector < failing; ++selector) ASSERT_EQ(call(selector), 0);
    ASSERT_EQ(call(failing), -128);
    // The host still sends the Finish: it reaches the module that is loaded.
    EXPECT_FALSE(moduleState().firstCall);
    EXPECT_EQ(call(static_cast<std::int16_t>(failing + 1)), 0);
    EXPECT_EQ(loaded().size(), 1u);
    EXPECT_EQ(recorder.callCount, 4);
    EXPECT_EQ(recorder.calls[3].slot, kRecordingModuleGlobals);  // the same instance
  }
}

TEST_F(HostTest, AnAbandonedOperationIsReleasedByTheNextOne) {
  // A save given up after its estimate: no WriteFinish ever comes.
  for (std::int16_t selector = 5; selector <= 12; ++selector) ASSERT_EQ(call(selector), 0);
  moduleState().save.destinationCopy->assign({1, 2, 3});
  ASSERT_EQ(call(sdk::formatSelectorReadPrepare), 0);
  EXPECT_EQ(loaded().size(), 1u);
  EXPECT_FALSE(moduleState().save.destinationCopy.has_value());
  // The new instance of the carried module starts from an empty data slot.
  EXPECT_EQ(recorder.calls[8].selector, sdk::formatSelectorReadPrepare);
  EXPECT_EQ(recorder.calls[8].slot, 0);
  EXPECT_EQ(recorder.calls[7].slot, kRecordingModuleGlobals);

  // A plain save after an abandoned read starts afresh too, and one that
  // follows its own options goes on.
  ASSERT_EQ(call(sdk::formatSelectorEstimatePrepare), 0);
  EXPECT_EQ(recorder.calls[9].slot, 0);
  EXPECT_TRUE(moduleState().save.destinationCopy.has_value());
  EXPECT_FALSE(tempExists("app.png"));
  for (std::int16_t selector = 5; selector <= 9; ++selector) ASSERT_EQ(call(selector), 0);
  EXPECT_EQ(recorder.calls[10].slot, 0);
  EXPECT_EQ(recorder.calls[14].slot, kRecordingModuleGlobals);
  EXPECT_EQ(loaded().size(), 1u);
}

TEST_F(HostTest, AFailedOrAbandonedSaveGivesTheTruncatedDestinationItsBytesBack) {
  const std::vector<std::uint8_t> before = oneImageIcon();
  platform::scripted::setConfirmUnscripted(true);
  enum class End { Saved, RefusedAtPrepare, NoPixels, ContinueFails, AbandonedForARead, PlainSaveSaved };
  for (End end : {End::Saved, End::RefusedAtPrepare, End::NoPixels, End::ContinueFails,
                  End::AbandonedForARead, End::PlainSaveSaved}) {
    SCOPED_TRACE(static_cast<int>(end));
    ASSERT_TRUE(platform::writeWholeFile(iconPath, before));
    recorder.resultFor[sdk::formatSelectorWriteContinue] = end == End::ContinueFails ? -20 : 0;
    // A plain save has no options step: the host saves the document again.
    for (std::int16_t selector = end == End::PlainSaveSaved ? 9 : 5; selector <= 12; ++selector)
      ASSERT_EQ(call(selector), 0);
    // As image editors do: the destination is truncated before the write selectors.
    platform::FileHandle fork =
        platform::createFile(iconPath, platform::FileAccess::ReadWrite, platform::FileShare::None);
    block.dataFork = fork;
    block.imageMode = 3;
    block.planes = 3;
    // Beyond the largest image the module declares, WritePrepare refuses.
    block.imageSize = {static_cast<std::int16_t>(end == End::RefusedAtPrepare ? 300 : 1), 1};
    if (end == End::RefusedAtPrepare) {
      EXPECT_EQ(call(sdk::formatSelectorWritePrepare), 1);
    } else {
      ASSERT_EQ(call(sdk::formatSelectorWritePrepare), 0);
      ASSERT_EQ(call(sdk::formatSelectorWriteStart), 0);
      if (end == End::AbandonedForARead) {
        EXPECT_EQ(call(sdk::formatSelectorReadPrepare), 0);
      } else {
        // The capture listens to what the host delivers; the recording
        // module only answers.
        std::uint8_t pixel[3] = {10, 200, 30};
        if (end != End::NoPixels) block.data = pixel;
        block.theRect = {0, 0, 1, 1};
        block.loPlane = 0;
        block.hiPlane = 2;
        EXPECT_EQ(call(sdk::formatSelectorWriteContinue), end == End::ContinueFails ? -20 : 0);
        block.data = nullptr;
        const bool saves = end == End::Saved || end == End::PlainSaveSaved;
        EXPECT_EQ(call(sdk::formatSelectorWriteFinish), saves ? 0 : 1);
      }
    }
    platform::closeFile(fork);
    block.dataFork = kHostFork;
    TAdvancedIcon icon;
    if (end == End::Saved || end == End::PlainSaveSaved) {
      // Merged: the new image replaced the old one of its format.
      ASSERT_TRUE(icon.LoadFromFile(iconPath));
      EXPECT_EQ(icon.Images().Count(), 1u);
      EXPECT_NE(platform::readWholeFile(iconPath), before);
    } else {
      EXPECT_EQ(platform::readWholeFile(iconPath), before);
    }
    abandon();
  }
}

TEST_F(HostTest, ADestinationCopyServesOnlyTheFileItWasTakenFrom) {
  // The options of one document end, the host stops; then another document
  // is saved again to its own icon, with no options step.
  for (std::int16_t selector = 5; selector <= 8; ++selector) ASSERT_EQ(call(selector), 0);
  std::vector<std::uint8_t> other = oneImageIcon();
  other[62] = 7;  // another pixel
  const std::string otherPath = path("other.ico");
  ASSERT_TRUE(platform::writeWholeFile(otherPath, other));
  setName(otherPath);
  for (std::int16_t selector = 9; selector <= 12; ++selector) ASSERT_EQ(call(selector), 0);
  ASSERT_TRUE(platform::writeWholeFile(otherPath, {}));
  ASSERT_EQ(call(sdk::formatSelectorWritePrepare), 0);
  EXPECT_EQ(moduleState().files.hostFileName, otherPath);
  EXPECT_EQ(moduleState().save.destinationCopy, other);
}

TEST_F(HostTest, OneLoadOfTheModuleServesOperationAfterOperation) {
  for (std::int16_t selector = 1; selector <= 4; ++selector) ASSERT_EQ(call(selector), 0);
  // The recording module delivers no pixels: each save's assembly refuses.
  for (std::int16_t selector = 5; selector <= 16; ++selector)
    ASSERT_EQ(call(selector), selector == 16 ? 1 : 0);
  recorder.resultFor[sdk::formatSelectorEstimateStart] = -128;  // a save that stops early
  for (std::int16_t selector = 9; selector <= 10; ++selector) call(selector);
  for (std::int16_t selector = 9; selector <= 16; ++selector) {
    recorder.resultFor[sdk::formatSelectorEstimateStart] = 0;
    ASSERT_EQ(call(selector), selector == 16 ? 1 : 0) << selector;
  }
  EXPECT_EQ(recorder.callCount, 4 + 12 + 2 + 8);
  EXPECT_TRUE(loaded().empty());
  EXPECT_FALSE(carriedExists());
}

}  // namespace
}  // namespace icofmt::test
