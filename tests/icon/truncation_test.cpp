// Valid files cut at every byte: the readers stay inside what they were
// given (the sanitiser build checks that) and what they load is what is there.
#include <gtest/gtest.h>

#include "base/stream.h"
#include "icon/advanced_icon.h"
#include "icon_builders.h"
#include "support/temp_folder.h"

using namespace icofmt;
using namespace icotest;

namespace {

std::vector<EntrySpec> sampleEntries() {
  std::vector<EntrySpec> e(4);
  e[0].block = bitmapBlock({.width = 3, .height = 3, .bitCount = 1});
  e[1].block = bitmapBlock({.width = 5, .height = 4, .bitCount = 4, .clrUsed = 3});
  e[2].block = pngBlock(9, 7);
  e[3].block = bitmapBlock({.width = 2, .height = 2, .bitCount = 32, .compression = 3});
  return e;
}

Bytes sampleFile(uint16_t type) { return iconFile(sampleEntries(), type); }

// Every bitmap block loaded from a cut file is one of the file's blocks up to
// the cut and zeros after it. (A cut PNG may decode to a partial image; it
// must only be safe.)
void expectPrefixesOf(const TAdvancedIcon& cut) {
  const auto entries = sampleEntries();
  for (uint32_t i = 0; i < cut.Images().Count(); ++i) {
    if (cut.Images().Items(i)->Packed()) continue;
    const Bytes& data = cut.Images().Items(i)->Data();
    // A block the cut removed whole reads as zeros.
    bool matched = std::all_of(data.begin(), data.end(), [](uint8_t b) { return b == 0; });
    for (size_t j = 0; j < entries.size() && !matched; ++j) {
      const Bytes& full = entries[j].block;
      if (full.size() != data.size()) continue;
      size_t k = 0;
      while (k < data.size() && data[k] == full[k]) ++k;
      matched = std::all_of(data.begin() + k, data.end(), [](uint8_t b) { return b == 0; });
    }
    EXPECT_TRUE(matched) << "image " << i;
  }
}

}  // namespace

TEST(Truncation, EveryPrefixOfAValidFileReadsSafely) {
  for (uint16_t type : {1, 2}) {
    const Bytes file = sampleFile(type);
    TAdvancedIcon whole;
    TMemoryStream all(file);
    ASSERT_TRUE(whole.LoadFromStream(all));
    ASSERT_EQ(whole.Images().Count(), 4);
    test::TempFolder dir;
    for (size_t n = 0; n <= file.size(); ++n) {
      const Bytes cut(file.begin(), file.begin() + n);
      TAdvancedIcon fromStream, fromFile;
      TMemoryStream in(cut);
      fromStream.LoadFromStream(in);
      fromFile.LoadFromFile(dir.write("cut.ico", cut));
      expectPrefixesOf(fromStream);
      expectPrefixesOf(fromFile);
      TAdvancedCursor cursor;
      try {
        cursor.LoadCursorFromStream(in);
      } catch (const std::exception&) {
      }
      TMemoryStream out;
      fromStream.SaveToStream(out);  // what was read can be written
    }
  }
}

// Each bitmap image read is a run of the file's own bytes, zeros after its
// end: however the directory lies, nothing from outside the file gets in.
bool isRunOfFile(const Bytes& data, const Bytes& file) {
  for (size_t at = 0; at <= file.size(); ++at) {
    size_t k = 0;
    while (k < data.size() && data[k] == (at + k < file.size() ? file[at + k] : 0)) ++k;
    if (k == data.size()) return true;
  }
  return false;
}

TEST(Truncation, CorruptedDirectoryFieldsNeverReachOutside) {
  const Bytes file = sampleFile(1);
  // Flip every byte of the header and directory to a few hostile values.
  for (size_t at = 0; at < 6 + 16 * 4; ++at) {
    for (uint8_t v : {0x00, 0x01, 0x28, 0x7F, 0x80, 0xFF}) {
      SCOPED_TRACE(testing::Message() << "byte " << at << " = " << int(v));
      Bytes bad = file;
      bad[at] = v;
      TAdvancedIcon icon;
      TMemoryStream in(bad);
      icon.LoadFromStream(in);
      EXPECT_LE(icon.Images().Count(), 4);
      for (uint32_t i = 0; i < icon.Images().Count(); ++i) {
        if (icon.Images().Items(i)->Packed()) continue;
        EXPECT_TRUE(isRunOfFile(icon.Images().Items(i)->Data(), bad)) << "image " << i;
      }
      // What was read is written so that it reads back the same.
      TMemoryStream out;
      icon.SaveToStream(out);
      TAdvancedIcon again;
      out.SetPosition(0);
      again.LoadFromStream(out);
      ASSERT_EQ(again.Images().Count(), icon.Images().Count());
      for (uint32_t i = 0; i < icon.Images().Count(); ++i)
        EXPECT_EQ(again.Images().Items(i)->Data(), icon.Images().Items(i)->Data()) << "image " << i;
    }
  }
}
