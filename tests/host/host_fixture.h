#pragma once
// A host for the dispatch tests: a parameter block, an FSSpec, a
// Recorder in the data slot, and a private temporary folder per test.
#include <gtest/gtest.h>
#include <unistd.h>

#include <cstring>
#include <filesystem>
#include <string>
#include <vector>

#include "host/carried_module.h"
#include "host/dispatch.h"
#include "host/module_state.h"
#include "platform/files.h"
#include "platform/modules.h"
#include "platform/scripted.h"
#include "recorder.h"
#include "sdk/format_record.h"
#include "sdk/selectors.h"
#include "support/temp_folder.h"

namespace icofmt::test {

// The test program's own RESDLL entry (test_resources.cpp); its name can be
// changed to make the resource disappear.
platform::ResourceEntry& carriedResourceEntry();
std::vector<std::uint8_t> recordingModuleBytes();

class HostTest : public ::testing::Test {
 protected:
  void SetUp() override {
    testFolder.becomeTmpdir();
    host::resetModuleState();
    platform::scripted::reset();
    carriedResourceEntry().name = "RESDLL";
    icofmt_test_recorder = &recorder;
    iconPath = folder + "app.ico";
    ASSERT_TRUE(platform::writeWholeFile(iconPath, kOnePixelIcon));
    setName(iconPath);
    block.fileSpec = &spec;
    block.dataFork = kHostFork;
  }

  void TearDown() override {
    abandon();
    icofmt_test_recorder = nullptr;
  }

  // Drops the operation in progress as a host that unloads the module would.
  void abandon() {
    host::releaseOperation(host::moduleState());
    host::resetModuleState();
  }

  void setName(const std::string& name) {
    spec.name[0] = static_cast<unsigned char>(name.size());
    std::memcpy(spec.name + 1, name.data(), name.size());
  }
  std::string name() const { return std::string(reinterpret_cast<const char*>(spec.name + 1), spec.name[0]); }

  std::int16_t call(std::int16_t selector, sdk::FormatRecord* parameters) {
    std::int16_t result = 12345;
    std::int16_t returned = host::pluginMain(selector, parameters, &dataSlot, &result);
    EXPECT_EQ(returned, result);
    return result;
  }
  std::int16_t call(std::int16_t selector) { return call(selector, &block); }

  std::string path(const char* file) const { return folder + file; }
  bool exists(const char* file) const { return platform::fileExists(path(file)); }
  // Where every temporary file of the module goes: this process's folder in
  // the user's own folder.
  std::string userFolder() const { return folder + "icofmt-" + std::to_string(getuid()) + "/"; }
  std::string ownFolder() const { return userFolder() + std::to_string(getpid()) + "/"; }
  std::string temp(const char* file) const { return ownFolder() + file; }
  bool tempExists(const char* file) const { return platform::fileExists(temp(file)); }
  // A file left in that folder by an earlier operation of this process.
  void leaveTemp(const char* file, const std::string& text) const {
    std::filesystem::create_directories(ownFolder());
    std::filesystem::permissions(userFolder(), std::filesystem::perms::owner_all);
    std::filesystem::permissions(ownFolder(), std::filesystem::perms::owner_all);
    ASSERT_TRUE(platform::writeWholeFile(temp(file), std::vector<std::uint8_t>(text.begin(), text.end())));
  }
  std::string carriedPath() const { return temp("RESICO.dll"); }
  bool carriedExists() const { return platform::fileExists(carriedPath()); }

  static std::vector<std::uint8_t> oneImageIcon() {
    return {std::begin(kOnePixelIcon), std::end(kOnePixelIcon)};
  }
  // One 1 x 1 image at 32 bits, opaque red.
  static constexpr std::uint8_t kOnePixelIcon[] = {
      0,  0, 1,   0,   1, 0,                                                // header: icon, one image
      1,  1, 0,   0,   1, 0, 32, 0, 48, 0, 0, 0, 22, 0, 0,  0,              // 1 x 1, 32 bits, 48 bytes at 22
      40, 0, 0,   0,   1, 0, 0,  0, 2,  0, 0, 0, 1,  0, 32, 0, 0, 0, 0, 0,  // info header, height doubled
      0,  0, 0,   0,   0, 0, 0,  0, 0,  0, 0, 0, 0,  0, 0,  0, 0, 0, 0, 0,
      0,  0, 255, 255,  // the pixel: blue, green, red, alpha
      0,  0, 0,   0};   // the AND mask row, padded

  static constexpr std::intptr_t kHostFork = 4242;
  TempFolder testFolder;
  std::string folder = testFolder.path();
  std::string iconPath;
  sdk::FSSpec spec{};
  sdk::FormatRecord block{};
  Recorder recorder;
  std::intptr_t dataSlot = 0;  // the host's slot for the module's data
};

}  // namespace icofmt::test
