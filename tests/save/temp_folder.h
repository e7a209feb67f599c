#pragma once
// A fresh temporary folder per test, with a trailing separator as the module's
// own has, removed with its content afterwards.
#include <stdlib.h>

#include <filesystem>
#include <string>
#include <vector>

#include "platform/files.h"

namespace icofmt::test {

class TempFolder {
 public:
  TempFolder() {
    std::string pattern = (std::filesystem::temp_directory_path() / "icofmt-save-XXXXXX").string();
    if (mkdtemp(pattern.data()) != nullptr) path_ = pattern + "/";
  }
  ~TempFolder() {
    std::error_code ignored;
    if (!path_.empty()) std::filesystem::remove_all(path_, ignored);
  }
  const std::string& path() const { return path_; }
  std::string file(const std::string& name) const { return path_ + name; }
  void write(const std::string& name, const std::vector<std::uint8_t>& bytes) const {
    platform::writeWholeFile(file(name), bytes);
  }
  std::vector<std::uint8_t> read(const std::string& name) const {
    return platform::readWholeFile(file(name)).value_or(std::vector<std::uint8_t>{});
  }

 private:
  std::string path_;
};

}  // namespace icofmt::test
