// The malformed-icon corpus (make_corpus.py, written before the tests run):
// every file gives exactly the images its bug class should leave, the linter
// names an error in each that no reader takes, the listing reader gives the
// same images once unpacked, and the stream reader, the
// writer and the cursor reader take each without harm.
#include <gtest/gtest.h>

#include <algorithm>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

#include "base/errors.h"
#include "base/stream.h"
#include "icon/advanced_icon.h"
#include "icon/lint.h"
#include "icon/stored_icon.h"
#include "platform/files.h"

namespace icofmt {
namespace {

struct Expected {
  std::string name;
  bool opened = false;
  std::vector<std::string> images;
};

// "3*16x16, 32 bpp" stands for three images alike.
std::vector<std::string> expandImages(const std::string& field) {
  std::vector<std::string> out;
  std::stringstream list(field);
  for (std::string item; std::getline(list, item, ';');) {
    const auto star = item.find('*');
    const bool counted = star != std::string::npos && item.find_first_not_of("0123456789") == star;
    const int times = counted ? std::stoi(item.substr(0, star)) : 1;
    out.insert(out.end(), times, counted ? item.substr(star + 1) : item);
  }
  return out;
}

std::vector<Expected> corpus() {
  std::ifstream in(std::string(ICOFMT_MALFORMED_DIR) + "/expected.txt");
  std::vector<Expected> cases;
  for (std::string line; std::getline(in, line);) {
    std::stringstream fields(line);
    Expected e;
    std::string outcome, images;
    std::getline(fields, e.name, '\t');
    std::getline(fields, outcome, '\t');
    std::getline(fields, images);
    e.opened = outcome == "opened";
    e.images = expandImages(images);
    cases.push_back(e);
  }
  return cases;
}

std::vector<std::string> descriptions(const TAdvancedIcon& icon) {
  std::vector<std::string> out;
  for (uint32_t i = 0; i < icon.Images().Count(); ++i) out.push_back(icon.Images().Items(i)->Description());
  return out;
}

TEST(MalformedCorpus, EachFileGivesExactlyTheImagesItsCaseLeaves) {
  const auto cases = corpus();
  ASSERT_GT(cases.size(), 50u);
  for (const Expected& c : cases) {
    SCOPED_TRACE(c.name);
    const std::string path = std::string(ICOFMT_MALFORMED_DIR) + "/" + c.name + ".ico";
    TAdvancedIcon fromFile;
    EXPECT_EQ(fromFile.LoadFromFile(path), c.opened);
    EXPECT_EQ(descriptions(fromFile), c.images);

    const auto bytes = platform::readWholeFile(path);
    ASSERT_TRUE(bytes.has_value());
    const auto findings = lint::checkIcon(*bytes, path);
    const bool error = std::any_of(findings.begin(), findings.end(),
                                   [](const lint::Finding& f) { return f.level == lint::Level::Error; });
    EXPECT_TRUE(c.opened || error) << "the linter names no error in a file no reader takes";

    // The stream reader (the destination of a save) checks no offsets, so
    // it may read more; whatever it reads is written and read back alike.
    TMemoryStream stream(*bytes);
    TAdvancedIcon fromStream;
    if (fromStream.LoadFromStream(stream)) {
      TMemoryStream written;
      fromStream.SaveToStream(written);
      TAdvancedIcon again;
      EXPECT_TRUE(again.LoadFromStream(written));
      EXPECT_EQ(descriptions(again), descriptions(fromStream));
    }

    // The listing reader (icohost list and extract) takes the same entries
    // but for a PNG damaged past its header, which it lists from the header
    // and fails only when asked for its pixels; what it unpacks is the
    // decoding reader's list.
    TStoredIcon stored;
    const bool listed = stored.LoadFromFile(path);
    std::vector<std::string> unpacked;
    size_t damaged = 0;
    for (const TStoredImage& image : stored.Images()) {
      try {
        unpacked.push_back(image.Unpack()->Description());
        EXPECT_EQ(image.Description(), unpacked.back());
      } catch (const Error&) {
        ++damaged;
      }
    }
    EXPECT_EQ(unpacked, c.images);
    EXPECT_EQ(listed, c.opened || damaged > 0);
    const bool damagedPng =
        c.name == "png_truncated" || c.name == "png_idat_missing_rows" || c.name == "png_chunk_length_huge";
    EXPECT_EQ(damaged, damagedPng ? 1u : 0u);

    TAdvancedCursor cursor;
    try {
      cursor.LoadCursorFromStream(stream);
    } catch (const Error&) {
      // A bad image ends the cursor reader with its error.
    }
  }
}

}  // namespace
}  // namespace icofmt
