// The built Windows modules, read as a host's loader would read them: PE
// headers, the export table and the resource tree, parsed here rather than
// trusted from the build. Run by scripts/test.sh after the Windows builds
// (label windows-artifacts); elsewhere a missing build is skipped.
#include <gtest/gtest.h>

#include <algorithm>
#include <cctype>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <iterator>
#include <optional>
#include <string>
#include <vector>

namespace {

using Bytes = std::vector<std::uint8_t>;

class PeImage {
 public:
  explicit PeImage(Bytes bytes) : b_(std::move(bytes)) { parse(); }

  bool valid() const { return valid_; }
  std::uint16_t machine() const { return machine_; }
  bool isDll() const { return (characteristics_ & 0x2000) != 0; }
  bool isPe32Plus() const { return magic_ == 0x20b; }

  std::vector<std::string> exports() const {
    std::vector<std::string> names;
    auto dir = directory(0);
    if (!dir) return names;
    std::uint32_t count = u32(*dir + 24), namesRva = u32(*dir + 32);
    for (std::uint32_t i = 0; i < count && i < 4096; ++i) {
      auto at = offset(u32(*offset(namesRva) + 4 * i));
      if (!at) break;
      std::string name;
      for (std::size_t p = *at; p < b_.size() && b_[p] != 0; ++p) name += static_cast<char>(b_[p]);
      names.push_back(name);
    }
    return names;
  }

  // The names of the DLLs the image imports from, lower-cased.
  std::vector<std::string> imports() const {
    std::vector<std::string> names;
    auto dir = directory(1);
    for (std::size_t i = 0; dir && i < 256; ++i) {
      std::size_t entry = *dir + 20 * i;
      std::uint32_t nameRva = u32(entry + 12);
      if (nameRva == 0) break;
      auto at = offset(nameRva);
      if (!at) break;
      std::string name;
      for (std::size_t p = *at; p < b_.size() && b_[p] != 0; ++p)
        name += static_cast<char>(std::tolower(static_cast<unsigned char>(b_[p])));
      names.push_back(name);
    }
    return names;
  }

  // The bytes of resource type/name (a number, or a string when non-empty)
  // in the given language, or any language when lang is 0.
  std::optional<Bytes> resource(const std::string& typeName, int typeId, const std::string& name, int id,
                                int lang) const {
    auto root = directory(2);
    if (!root) return std::nullopt;
    auto typeDir = child(*root, *root, typeName, typeId);
    if (!typeDir) return std::nullopt;
    auto nameDir = child(*root, *typeDir, name, id);
    if (!nameDir) return std::nullopt;
    auto leaf = child(*root, *nameDir, "", lang, lang == 0);
    if (!leaf) return std::nullopt;
    auto data = offset(u32(*leaf));
    std::uint32_t size = u32(*leaf + 4);
    if (!data || *data + size > b_.size()) return std::nullopt;
    return Bytes(b_.begin() + static_cast<std::ptrdiff_t>(*data),
                 b_.begin() + static_cast<std::ptrdiff_t>(*data + size));
  }

 private:
  std::uint16_t u16(std::size_t at) const { return at + 2 <= b_.size() ? b_[at] | b_[at + 1] << 8 : 0; }
  std::uint32_t u32(std::size_t at) const {
    return at + 4 <= b_.size() ? static_cast<std::uint32_t>(u16(at) | u16(at + 2) << 16) : 0;
  }

  void parse() {
    if (b_.size() < 64 || b_[0] != 'M' || b_[1] != 'Z') return;
    std::size_t pe = u32(0x3c);
    if (pe + 24 > b_.size() || std::memcmp(&b_[pe], "PE\0\0", 4) != 0) return;
    machine_ = u16(pe + 4);
    std::uint16_t sections = u16(pe + 6), optionalSize = u16(pe + 20);
    characteristics_ = u16(pe + 22);
    std::size_t opt = pe + 24;
    magic_ = u16(opt);
    dirs_ = opt + (magic_ == 0x20b ? 112 : 96);
    dirCount_ = u32(dirs_ - 4);
    sections_ = opt + optionalSize;
    sectionCount_ = sections;
    valid_ = sections_ + 40u * sections <= b_.size();
  }

  std::optional<std::size_t> offset(std::uint32_t rva) const {
    for (std::size_t i = 0; i < sectionCount_; ++i) {
      std::size_t s = sections_ + 40 * i;
      std::uint32_t va = u32(s + 12), rawSize = u32(s + 16), raw = u32(s + 20);
      std::uint32_t virtualSize = std::max(u32(s + 8), rawSize);
      if (rva >= va && rva < va + virtualSize && rva - va < rawSize) return raw + (rva - va);
    }
    return std::nullopt;
  }

  std::optional<std::size_t> directory(int index) const {
    if (!valid_ || static_cast<std::uint32_t>(index) >= dirCount_) return std::nullopt;
    std::uint32_t rva = u32(dirs_ + 8 * index);
    return rva == 0 ? std::nullopt : offset(rva);
  }

  // The entry of a resource directory, by name or id; its target offset.
  std::optional<std::size_t> child(std::size_t root, std::size_t dir, const std::string& name, int id,
                                   bool first = false) const {
    std::size_t count = u16(dir + 12) + u16(dir + 14);
    for (std::size_t i = 0; i < count && i < 1024; ++i) {
      std::size_t entry = dir + 16 + 8 * i;
      std::uint32_t key = u32(entry), target = u32(entry + 4);
      bool match = first;
      if (!first && (key & 0x80000000u) != 0 && !name.empty()) {
        std::size_t s = root + (key & 0x7fffffffu);
        std::string text;
        for (std::size_t c = 0; c < u16(s); ++c) text += static_cast<char>(u16(s + 2 + 2 * c));
        match = text == name;
      } else if (!first && (key & 0x80000000u) == 0 && name.empty()) {
        match = static_cast<int>(key) == id;
      }
      if (match) return root + (target & 0x7fffffffu);
    }
    return std::nullopt;
  }

  Bytes b_;
  bool valid_ = false;
  std::uint16_t machine_ = 0, characteristics_ = 0, magic_ = 0;
  std::size_t dirs_ = 0, sections_ = 0, sectionCount_ = 0;
  std::uint32_t dirCount_ = 0;
};

// The property list written out from its table, independently of the
// definition the build uses.
Bytes expectedPipl(const char* entryKey) {
  Bytes out = {1, 0, 0, 0, 0, 0, 10, 0, 0, 0};
  auto code = [&](const char* c) {
    for (int i = 3; i >= 0; --i) out.push_back(static_cast<std::uint8_t>(c[i]));
  };
  auto u32 = [&](std::uint32_t v) {
    for (int i = 0; i < 4; ++i) out.push_back(static_cast<std::uint8_t>(v >> (8 * i)));
  };
  auto prop = [&](const char* key, Bytes data) {
    code("8BIM");
    code(key);
    u32(0);
    u32(static_cast<std::uint32_t>(data.size()));
    out.insert(out.end(), data.begin(), data.end());
  };
  auto text = [](const char* s, std::size_t padded) {
    Bytes b(s, s + std::strlen(s));
    b.resize(padded, 0);
    return b;
  };
  prop("kind", {'F', 'I', 'B', '8'});
  prop("vers", {0, 0, 1, 0});
  prop("name", text("\x12ICO (Windows Icon)", 20));
  prop(entryKey, text("PluginMain", 12));
  prop("mode", {0xF0, 0, 0, 0});
  prop("RdEx", {'I', 'C', 'O', ' '});
  prop("WrEx", {'I', 'C', 'O', ' '});
  prop("fmtf", {0x34, 0, 0, 0});
  prop("mxsz", {0, 1, 0, 1});
  Bytes channels(32, 0);
  channels[0] = channels[2] = channels[4] = 2;
  channels[6] = 5;
  prop("mxch", channels);
  out.resize(out.size() + 6, 0);
  return out;
}

// Only DLLs that every Windows system has: a module that needs MinGW's
// runtime DLLs (libgcc, libstdc++, winpthread) fails to load on users' machines.
void expectSystemImports(const PeImage& image, const std::string& what) {
  static const std::vector<std::string> system = {"kernel32.dll", "user32.dll",   "gdi32.dll",  "shell32.dll",
                                                  "comctl32.dll", "advapi32.dll", "msvcrt.dll", "ole32.dll"};
  auto names = image.imports();
  EXPECT_FALSE(names.empty()) << what << " imports nothing: its import table was not read";
  for (const auto& name : names)
    EXPECT_NE(std::find(system.begin(), system.end(), name), system.end()) << what << " imports " << name;
}

std::optional<Bytes> readFile(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  if (!in) return std::nullopt;
  return Bytes(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

std::string modulePath(const char* variable, const char* preset) {
  if (const char* path = std::getenv(variable)) return path;
  return std::string(ICOFMT_SOURCE_DIR) + "/build/" + preset + "/src/host/icofmt.8bi";
}

void checkModule(const char* variable, const char* preset, std::uint16_t machine, bool pe32Plus,
                 const char* entryKey) {
  std::string path = modulePath(variable, preset);
  auto bytes = readFile(path);
  if (!bytes) {
    if (std::getenv("ICOFMT_REQUIRE_WINDOWS_MODULES")) FAIL() << "missing " << path;
    GTEST_SKIP() << "no Windows build at " << path;
  }
  PeImage module(*bytes);
  ASSERT_TRUE(module.valid()) << path;
  EXPECT_EQ(module.machine(), machine);
  EXPECT_EQ(module.isPe32Plus(), pe32Plus);
  EXPECT_TRUE(module.isDll());
  EXPECT_EQ(module.exports(), std::vector<std::string>{"PluginMain"});
  expectSystemImports(module, path);

  auto pipl = module.resource("PIPL", 0, "", 16000, 1033);
  ASSERT_TRUE(pipl.has_value()) << "no PIPL 16000 in English (United States)";
  EXPECT_EQ(pipl->size(), 268u);
  EXPECT_EQ(*pipl, expectedPipl(entryKey));

  auto carriedBytes = module.resource("", 10, "RESDLL", 0, 0);
  ASSERT_TRUE(carriedBytes.has_value()) << "no RCDATA RESDLL";
  PeImage carried(*carriedBytes);
  ASSERT_TRUE(carried.valid());
  EXPECT_EQ(carried.machine(), machine);
  EXPECT_EQ(carried.isPe32Plus(), pe32Plus);
  EXPECT_TRUE(carried.isDll());
  auto names = carried.exports();
  EXPECT_NE(std::find(names.begin(), names.end(), "ENTRYPOINT1"), names.end());
  expectSystemImports(carried, "the carried module");

  // The reference host beside the module runs on users' machines too.
  const std::string host = path.substr(0, path.rfind('/') + 1) + "icohost.exe";
  if (auto hostBytes = readFile(host)) {
    PeImage program(*hostBytes);
    ASSERT_TRUE(program.valid()) << host;
    EXPECT_EQ(program.machine(), machine);
    EXPECT_FALSE(program.isDll());
    expectSystemImports(program, host);
  }
}

TEST(WindowsModule, ThirtyTwoBitDllExportsPluginMainAndCarriesPiplAndCarriedModule) {
  checkModule("ICOFMT_WIN32_MODULE", "win32", 0x14c, false, "wx86");
}

TEST(WindowsModule, SixtyFourBitDllNamesItsEntryUnderThe8664Key) {
  checkModule("ICOFMT_WIN64_MODULE", "win64", 0x8664, true, "8664");
}

}  // namespace
