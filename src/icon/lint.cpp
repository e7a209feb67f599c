#include "icon/lint.h"

#include <algorithm>
#include <map>
#include <new>
#include <utility>

#include "base/byte_reader.h"
#include "base/checked.h"
#include "base/errors.h"
#include "base/limits.h"
#include "icon/ico_format.h"
#include "icon/lint_pixels.h"
#include "icon/sub_icon.h"

namespace icofmt::lint {

const char* levelName(Level level) {
  switch (level) {
    case Level::Error:
      return "error";
    case Level::Warning:
      return "warning";
    case Level::Note:
      return "note";
  }
  return "error";
}

namespace {

constexpr uint64_t kFaviconBytesMax = 10 * 1024;

struct Entry {
  int number = 0;  // from 1
  TIconDirEntry record;
  uint32_t offset = 0;
  bool placed = false;  // the block lies in the file, behind the directory
  // What the block holds, when it could be read.
  bool read = false;
  bool png = false;
  int width = 0, height = 0, bits = 0;
  uint8_t pngDepth = 0, pngColourType = 0;
};

std::string side(int width, int height) { return std::to_string(width) + "x" + std::to_string(height); }

// The directory's 0 stands for 256, and for any larger side it cannot hold.
bool directorySideFits(uint8_t field, int actual) { return field == 0 ? actual >= 256 : field == actual; }

// "a", "a or b", "a, b or c".
std::string joinedWithOr(const std::vector<std::string>& items) {
  std::string out;
  for (size_t i = 0; i < items.size(); ++i)
    out += (i == 0 ? "" : i + 1 == items.size() ? " or " : ", ") + items[i];
  return out;
}

std::string pngKind(uint8_t colourType) {
  switch (colourType) {
    case 0:
      return "greyscale";
    case 2:
      return "RGB";
    case 3:
      return "palette";
    case 4:
      return "greyscale with alpha";
    case 6:
      return "RGBA";
  }
  return "colour type " + std::to_string(colourType);
}

class Linter {
 public:
  Linter(std::span<const uint8_t> bytes, const std::string& fileName) : bytes_(bytes), name_(fileName) {}

  std::vector<Finding> run() {
    if (readDirectory()) {
      checkPlacement();
      readImages();
      checkImages();
      checkSizes();
    }
    checkFavicon();
    // File-wide findings first, then image by image, each in the order found.
    std::stable_sort(found_.begin(), found_.end(),
                     [](const Finding& a, const Finding& b) { return a.image < b.image; });
    return std::move(found_);
  }

 private:
  void add(const char* code, Level level, int image, std::string message) {
    found_.push_back({code, level, image, std::move(message)});
  }

  bool readDirectory();
  void checkPlacement();
  void readImages();
  void readImage(Entry& e);
  void checkImages();
  void checkSizes();
  void checkFavicon();

  std::span<const uint8_t> bytes_;
  std::string name_;
  std::vector<Entry> entries_;
  bool cursor_ = false;
  std::vector<Finding> found_;
};

bool Linter::readDirectory() {
  if (bytes_.size() < kIconHeaderSize) {
    add("header-short", Level::Error, 0,
        "the file holds " + std::to_string(bytes_.size()) +
            " bytes, fewer than an icon header: no reader takes it");
    return false;
  }
  const IconHeader header = decodeIconHeader(bytes_.first<kIconHeaderSize>());
  if (header.Reserved != 0)
    add("header-reserved", Level::Error, 0,
        "the header's reserved field is " + std::to_string(header.Reserved) +
            ", not 0: Windows and most readers refuse the file");
  if (header.Type != 1 && header.Type != 2)
    add("header-type", Level::Error, 0,
        "the header's type is " + std::to_string(header.Type) +
            ", neither 1 (icon) nor 2 (cursor): Windows and most readers refuse the file");
  if (!header.Valid()) return false;
  cursor_ = header.Type == 2;
  if (header.Count == 0) {
    add("header-count", Level::Error, 0, "the header counts no images: readers show nothing");
    return false;
  }
  // An entry is one of the directory while it ends before every block the
  // entries before it point to: a count larger than the directory makes
  // readers take image bytes for entries.
  uint64_t firstBlock = bytes_.size();
  int firstBlockImage = 0;  // 0: the end of the file
  const uint32_t looked = std::min<uint32_t>(header.Count, limits::kDirEntriesMax);
  for (uint32_t j = 0; j < looked; ++j) {
    const uint64_t end = kIconHeaderSize + kDirEntrySize * (j + 1);
    if (end > firstBlock) break;
    const auto raw = bytes_.subspan(end - kDirEntrySize, kDirEntrySize);
    Entry e;
    e.number = static_cast<int>(j + 1);
    const DirectoryEntry entry = decodeDirEntry(raw.first<kDirEntrySize>(), IconType::Icon);
    e.record = entry.record;
    e.offset = entry.offset;
    if (e.offset >= end && e.offset < firstBlock) {
      firstBlock = e.offset;
      firstBlockImage = e.number;
    }
    entries_.push_back(e);
  }
  if (entries_.size() < looked) {
    const std::string read = std::to_string(entries_.size());
    add("header-count", Level::Error, 0,
        "the header counts " + std::to_string(header.Count) + " images, whose directory would end at " +
            std::to_string(kIconHeaderSize + kDirEntrySize * uint64_t{header.Count}) + ", but " +
            (firstBlockImage == 0
                 ? "the file ends at " + std::to_string(firstBlock) + ": it holds only " + read +
                       (entries_.size() == 1 ? " entry" : " entries")
                 : "the block of image " + std::to_string(firstBlockImage) + " starts at " +
                       std::to_string(firstBlock) +
                       ": readers take image bytes for the entries after the first " + read));
  }
  if (header.Count > limits::kDirEntriesMax && entries_.size() == looked)
    add("entries-ignored", Level::Note, 0,
        "the header counts " + std::to_string(header.Count) + " images: only the first " +
            std::to_string(limits::kDirEntriesMax) + " are checked, and this module reads no more");
  return !entries_.empty();
}

void Linter::checkPlacement() {
  const uint64_t directoryEnd = kIconHeaderSize + kDirEntrySize * entries_.size();
  for (Entry& e : entries_) {
    const std::string where =
        "the block of " + std::to_string(e.record.Size) + " bytes at offset " + std::to_string(e.offset);
    if (e.offset < directoryEnd)
      add("block-outside", Level::Error, e.number,
          where + " starts inside the header and directory (which end at " + std::to_string(directoryEnd) +
              "): Windows cannot load this image");
    else if (!rangeFits(e.offset, e.record.Size, bytes_.size()))
      add("block-outside", Level::Error, e.number,
          where + " runs past the end of the file (" + std::to_string(bytes_.size()) +
              " bytes): Windows cannot load this image");
    else
      e.placed = true;
  }
  // Blocks shared whole are duplicates, reported with the images; a block
  // overlapping another in part holds the bytes of both.
  for (size_t i = 0; i < entries_.size(); ++i) {
    const Entry& a = entries_[i];
    if (!a.placed) continue;
    for (size_t k = 0; k < i; ++k) {
      const Entry& b = entries_[k];
      if (!b.placed || (a.offset == b.offset && a.record.Size == b.record.Size)) continue;
      if (uint64_t{a.offset} < uint64_t{b.offset} + b.record.Size &&
          uint64_t{b.offset} < uint64_t{a.offset} + a.record.Size) {
        add("block-overlap", Level::Error, a.number,
            "its block overlaps the block of image " + std::to_string(b.number) +
                ": the bytes cannot be both images, and at least one is not what its writer meant");
        break;
      }
    }
  }
}

void Linter::readImages() {
  // Each distinct block is read once, and no more is decoded than the
  // container reader would decode.
  std::map<std::pair<uint32_t, uint32_t>, const Entry*> readBefore;
  uint64_t budget = limits::kContainerDecodedMax;
  for (Entry& e : entries_) {
    if (!e.placed) continue;
    const auto key = std::make_pair(e.offset, e.record.Size);
    if (auto it = readBefore.find(key); it != readBefore.end()) {
      const Entry& first = *it->second;
      e.read = first.read;
      e.png = first.png;
      e.width = first.width;
      e.height = first.height;
      e.bits = first.bits;
      e.pngDepth = first.pngDepth;
      e.pngColourType = first.pngColourType;
      continue;
    }
    readBefore[key] = &e;
    const uint64_t cost = decodedBlockCost(bytes_.subspan(e.offset, e.record.Size));
    if (cost > budget) {
      add("not-examined", Level::Note, e.number,
          "the image was not examined: with it, the images of this icon would take more than " +
              std::to_string(limits::kContainerDecodedMax >> 20) +
              " MiB decoded, more than this module reads from one icon");
      continue;
    }
    budget -= cost;
    readImage(e);
  }
}

void Linter::readImage(Entry& e) {
  const auto block = bytes_.subspan(e.offset, e.record.Size);
  TSubIcon image;
  try {
    image.SetBlock(e.record, std::vector<uint8_t>(block.begin(), block.end()));
  } catch (const std::bad_alloc&) {
    throw;
  } catch (const std::exception& error) {
    add("image-unreadable", Level::Error, e.number,
        std::string("the block cannot be read as an image (") + error.what() +
            "): Windows shows nothing for it, and this module skips it");
    return;
  }
  e.png = image.Packed();
  e.width = image.Width();
  e.height = image.Height();
  e.bits = image.BitCount();
  if (e.png) {
    // The unpacked PNG was read whole, so its header is there.
    ByteReader header(block);
    header.skip(24);
    e.pngDepth = header.u8();
    e.pngColourType = header.u8();
    e.read = true;
    return;
  }
  const size_t before = found_.size();
  checkBitmapBlock(block, e.number, cursor_, found_);
  e.read = std::none_of(found_.begin() + static_cast<ptrdiff_t>(before), found_.end(),
                        [](const Finding& f) { return f.code == "image-unreadable"; });
}

void Linter::checkImages() {
  for (const Entry& e : entries_) {
    if (!e.read) continue;
    const TIconDirEntry& d = e.record;
    if (!directorySideFits(d.Width, e.width) || !directorySideFits(d.Height, e.height))
      add("entry-size", Level::Error, e.number,
          "the directory says " + side(d.Width == 0 ? 256 : d.Width, d.Height == 0 ? 256 : d.Height) +
              (d.Width == 0 || d.Height == 0 ? " (0 stands for 256)" : "") + ", the image is " +
              side(e.width, e.height) +
              ": Windows chooses images by the directory and draws this one at the wrong size");
    // A cursor's entry holds its hot spot where an icon's holds its depth.
    if (!cursor_ && d.BitCount != 0 && d.BitCount != e.bits)
      add("entry-depth", Level::Warning, e.number,
          "the directory says " + std::to_string(d.BitCount) + " bits per pixel, the image has " +
              std::to_string(e.bits) + ": Windows may choose a poorer image over it");
    if (e.png && (e.pngDepth != 8 || e.pngColourType != 6))
      add("png-format", Level::Warning, e.number,
          "the PNG image is " + std::to_string(e.pngDepth) + "-bit " + pngKind(e.pngColourType) +
              ", not 8-bit RGBA, the only kind Windows documents: some viewers refuse it, and Wine shows "
              "palette images with red and blue exchanged");
    if (e.png && !cursor_ && (e.width < 256 || e.height < 256) &&
        std::none_of(entries_.begin(), entries_.end(), [&](const Entry& o) {
          return o.read && !o.png && o.width == e.width && o.height == e.height;
        }))
      add("png-no-bitmap", Level::Warning, e.number,
          "the " + side(e.width, e.height) +
              " image is stored only as PNG: Windows XP and older programs show nothing at this size; add a "
              "bitmap image of the same size");
    if (e.width != e.height)
      add("not-square", Level::Warning, e.number,
          "the image is " + side(e.width, e.height) + ", not square: Windows stretches it to a square");
    for (const Entry& o : entries_) {
      if (&o == &e) break;
      if (o.read && o.width == e.width && o.height == e.height && o.bits == e.bits) {
        add("duplicate", Level::Warning, e.number,
            "image " + std::to_string(o.number) + " has the same size and depth (" + side(e.width, e.height) +
                ", " + std::to_string(e.bits) + " bits): readers use only the first of them");
        break;
      }
    }
    if (cursor_ && (d.Planes >= e.width || d.BitCount >= e.height))
      add("hotspot-outside", Level::Error, e.number,
          "the hot spot " + std::to_string(d.Planes) + "," + std::to_string(d.BitCount) +
              " lies outside the " + side(e.width, e.height) +
              " image: the cursor points where none of its pixels is");
  }
}

void Linter::checkSizes() {
  // Cursors come in the one size their system draws.
  if (cursor_) return;
  auto has = [&](int w, int h) {
    return std::any_of(entries_.begin(), entries_.end(),
                       [&](const Entry& e) { return e.read && e.width == w && e.height == h; });
  };
  if (std::none_of(entries_.begin(), entries_.end(), [](const Entry& e) { return e.read; })) return;
  std::vector<std::string> missing;
  for (int s : {16, 32, 48})
    if (!has(s, s)) missing.push_back(side(s, s));
  if (!missing.empty())
    add("sizes-small", Level::Warning, 0,
        "no " + joinedWithOr(missing) +
            " image: Windows scales another size down for its small icons (lists, title "
            "bars, the taskbar), which looks blurred");
  if (!has(256, 256))
    add("size-256", Level::Warning, 0, "no 256x256 image: Explorer's large views scale a smaller image up");
}

void Linter::checkFavicon() {
  const size_t slash = name_.find_last_of("/\\");
  std::string base = slash == std::string::npos ? name_ : name_.substr(slash + 1);
  for (char& c : base) c = static_cast<char>(c >= 'A' && c <= 'Z' ? c - 'A' + 'a' : c);
  if (base == "favicon.ico" && bytes_.size() > kFaviconBytesMax)
    add("favicon-size", Level::Note, 0,
        "favicon.ico is " + std::to_string((bytes_.size() + 1023) / 1024) +
            " KB: browsers fetch it on a first visit, and 16x16, 32x32 and 48x48 images are all they use");
}

}  // namespace

std::vector<Finding> checkIcon(std::span<const uint8_t> bytes, const std::string& fileName) {
  return Linter(bytes, fileName).run();
}

}  // namespace icofmt::lint
