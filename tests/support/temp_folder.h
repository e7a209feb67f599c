#pragma once
// A fresh private folder per test (mkdtemp, mode 0700) in the temporary
// folder, removed with its content at the end. Its path ends in "/", as the
// module's own folders do.
#include <stdlib.h>

#include <cstdint>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <optional>
#include <stdexcept>
#include <string>
#include <vector>

namespace icofmt {

// The whole file; throws when it cannot be read, so a test that expects a
// file fails loudly instead of comparing with nothing.
inline std::vector<std::uint8_t> readFileBytes(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  if (!in) throw std::runtime_error("cannot read " + path);
  return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

namespace test {

class TempFolder {
 public:
  TempFolder() {
    std::string pattern = (std::filesystem::temp_directory_path() / "icofmt-test-XXXXXX").string();
    if (mkdtemp(pattern.data()) == nullptr) throw std::runtime_error("mkdtemp failed in " + pattern);
    path_ = pattern + "/";
  }
  ~TempFolder() {
    if (previousTmpdir_) {
      if (previousTmpdir_->empty())
        unsetenv("TMPDIR");
      else
        setenv("TMPDIR", previousTmpdir_->c_str(), 1);
    }
    std::error_code ignored;
    std::filesystem::remove_all(path_, ignored);
  }
  TempFolder(const TempFolder&) = delete;
  TempFolder& operator=(const TempFolder&) = delete;

  const std::string& path() const { return path_; }
  std::string file(const std::string& name) const { return path_ + name; }
  // Writes the file and returns its path.
  std::string write(const std::string& name, const std::vector<std::uint8_t>& bytes) const {
    std::ofstream out(file(name), std::ios::binary | std::ios::trunc);
    out.write(reinterpret_cast<const char*>(bytes.data()), static_cast<std::streamsize>(bytes.size()));
    if (!out) throw std::runtime_error("cannot write " + file(name));
    return file(name);
  }
  // The file's bytes, empty when there is none.
  std::vector<std::uint8_t> read(const std::string& name) const {
    std::error_code ec;
    if (!std::filesystem::is_regular_file(file(name), ec)) return {};
    return readFileBytes(file(name));
  }
  // Makes this folder the process's TMPDIR, as the module's temporary
  // folder, until this object goes.
  void becomeTmpdir() {
    if (!previousTmpdir_) {
      const char* previous = getenv("TMPDIR");
      previousTmpdir_ = previous ? previous : "";
    }
    setenv("TMPDIR", path_.c_str(), 1);
  }

 private:
  std::string path_;
  std::optional<std::string> previousTmpdir_;
};

}  // namespace test
}  // namespace icofmt
