#pragma once
// An icon file read as the file reader reads it, without decoding its PNG
// blocks: each is checked up to its image data (the chunks before it, with
// libpng's checks and our limits) and kept as stored. What `icohost list`
// prints and what `extract` needs to decide on a block come from there, so
// listing decodes nothing and extracting decodes only the image asked for.
//
// The entries are those TAdvancedIcon::LoadFromFile reads, but for one case:
// a PNG block whose image data is damaged past its header, which the
// decoding reader skips, is kept here and fails only when it is unpacked.
#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "icon/ico_format.h"
#include "icon/sub_icon.h"
#include "pixels/png_image.h"

namespace icofmt {

struct TStoredImage {
  TIconDirEntry Record;  // as the directory has it
  std::vector<uint8_t> Block;
  THotSpot HotSpot;
  // A bitmap block, parsed (which decodes nothing); none for a PNG block.
  std::unique_ptr<TSubIcon> Bitmap;
  // A PNG block's header; none for a bitmap block.
  std::optional<PngHeader> Png;

  // What the decoding reader's image would say: Width, Height, BitCount,
  // Description, all without decoding.
  int32_t Width() const;
  int32_t Height() const;
  int32_t BitCount() const;
  std::string Description() const;
  // The image the decoding reader makes of this entry: a PNG block is
  // decoded and unpacked now. Throws where that reader skips the entry.
  std::unique_ptr<TSubIcon> Unpack() const;
};

class TStoredIcon {
 public:
  // True when an entry was accepted; false for an invalid header or no
  // entry. Throws StreamError when the file cannot be opened.
  bool LoadFromFile(const std::string& path);
  IconType Type() const { return type_; }
  const std::vector<TStoredImage>& Images() const { return images_; }

 private:
  IconType type_ = IconType::Icon;
  std::vector<TStoredImage> images_;
};

}  // namespace icofmt
