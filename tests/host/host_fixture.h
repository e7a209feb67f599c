#pragma once
// A host for the dispatch tests: a parameter block, an FSSpec, a
// Recorder in the data slot, and a private temporary folder per test.
#include <gtest/gtest.h>
#include <stdlib.h>

#include <cstring>
#include <filesystem>
#include <string>
#include <vector>

#include "host/dispatch.h"
#include "host/module_state.h"
#include "platform/files.h"
#include "platform/modules.h"
#include "platform/scripted.h"
#include "recorder.h"
#include "sdk/format_record.h"
#include "sdk/selectors.h"

namespace icofmt::test {

// The test program's own RESDLL entry (test_resources.cpp); its name can be
// changed to make the resource disappear.
platform::ResourceEntry& carriedResourceEntry();
std::vector<std::uint8_t> recordingModuleBytes();

class HostTest : public ::testing::Test {
 protected:
  void SetUp() override {
    char pattern[] = "/tmp/icofmt-host-XXXXXX";
    ASSERT_NE(mkdtemp(pattern), nullptr);
    folder = std::string(pattern) + "/";
    setenv("TMPDIR", folder.c_str(), 1);
    host::resetModuleState();
    platform::scripted::reset();
    carriedResourceEntry().name = "RESDLL";
    icon = folder + "app.ico";
    ASSERT_TRUE(platform::writeWholeFile(icon, oneImageIcon()));
    setName(icon);
    block.fileSpec = &spec;
    block.dataFork = kHostFork;
  }

  void TearDown() override {
    host::resetModuleState();
    std::filesystem::remove_all(folder);
    unsetenv("TMPDIR");
  }

  // 1 x 1 at 32 bits: ReadPrepare opens it without a form.
  static std::vector<std::uint8_t> oneImageIcon() {
    return {0,    0,    1,    0,    1, 0,                                                // header
            1,    1,    0,    0,    1, 0, 32, 0, 48, 0, 0, 0, 22, 0, 0,  0,              // directory entry
            40,   0,    0,    0,    1, 0, 0,  0, 2,  0, 0, 0, 1,  0, 32, 0, 0, 0, 0, 0,  // bitmap header
            0,    0,    0,    0,    0, 0, 0,  0, 0,  0, 0, 0, 0,  0, 0,  0, 0, 0, 0, 0,
            0x20, 0x40, 0x60, 0xFF, 0, 0, 0,  0};  // pixel, mask
  }

  void setName(const std::string& name) {
    spec.name[0] = static_cast<unsigned char>(name.size());
    std::memcpy(spec.name + 1, name.data(), name.size());
  }
  std::string name() const { return std::string(reinterpret_cast<const char*>(spec.name + 1), spec.name[0]); }

  std::int16_t call(std::int16_t selector, sdk::FormatRecord* parameters) {
    std::int16_t result = 12345;
    std::int16_t returned =
        host::pluginMain(selector, parameters, reinterpret_cast<std::intptr_t*>(&recorder), &result);
    EXPECT_EQ(returned, result);
    return result;
  }
  std::int16_t call(std::int16_t selector) { return call(selector, &block); }

  std::string path(const char* file) const { return folder + file; }
  bool exists(const char* file) const { return platform::fileExists(path(file)); }

  static constexpr std::intptr_t kHostFork = 4242;
  std::string folder;
  // The host's file: a real icon in the test's folder.
  std::string icon;
  sdk::FSSpec spec{};
  sdk::FormatRecord block{};
  Recorder recorder;
};

}  // namespace icofmt::test
