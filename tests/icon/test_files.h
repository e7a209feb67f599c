#pragma once
// A temporary folder per test, removed at the end.
#include <gtest/gtest.h>
#include <unistd.h>

#include <filesystem>
#include <string>

#include "base/stream.h"

namespace icotest {

class TempDir {
 public:
  TempDir() {
    const auto* info = ::testing::UnitTest::GetInstance()->current_test_info();
    path_ = std::filesystem::temp_directory_path() / ("icofmt-" + std::string(info->test_suite_name()) + "-" +
                                                      info->name() + "-" + std::to_string(::getpid()));
    std::filesystem::create_directories(path_);
  }
  ~TempDir() {
    std::error_code ec;
    std::filesystem::remove_all(path_, ec);
  }
  std::string file(const std::string& name) const { return (path_ / name).string(); }
  std::string write(const std::string& name, const std::vector<uint8_t>& bytes) const {
    icofmt::writeFileBytes(file(name), bytes);
    return file(name);
  }
  const std::filesystem::path& path() const { return path_; }

 private:
  std::filesystem::path path_;
};

}  // namespace icotest
