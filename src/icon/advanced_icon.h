#pragma once
// An icon file in memory: an owning, ordered list of images, read from and
// written in the ICO format.
#include <string>

#include "icon/persistent.h"
#include "icon/sub_icon_list.h"

namespace icofmt {

class TStream;

class TAdvancedIcon : public TPersistent {
 public:
  TAdvancedIcon() = default;
  const char* ClassName() const override { return "TAdvancedIcon"; }

  TSubIconList& Images() { return images_; }
  const TSubIconList& Images() const { return images_; }

  // What the file read last was, and what the writer writes. The images of
  // a cursor keep the hot spot its directory holds in place of planes and
  // bit count, and are written back with it, so that a cursor stays one.
  IconType Type() const { return type_; }
  void SetType(IconType type) { type_ = type; }

  // Copies of every image of another container; anything else fails with
  // "Cannot assign a %s to a %s".
  void Assign(const TPersistent* source) override;

  // The strict file reader (WalkPolicy::fileReader): stops at an entry
  // whose block lies inside the header and directory or at or beyond the
  // end; skips a Size of 40 or less or beyond the file, and any block that
  // fails. True when an image loaded. Throws StreamError when the file
  // cannot be opened, and std::bad_alloc when memory runs out: that is no
  // bad entry to skip.
  bool LoadFromFile(const std::string& path);
  // The stream reader (WalkPolicy::streamReader): the icon starts at
  // position 0; an entry whose Size is larger than the stream or whose
  // block fails is skipped (std::bad_alloc is thrown, as above).
  bool LoadFromStream(TStream& stream);
  // Header, directory and blocks contiguous in list order; nothing at all
  // for a container without images. A cursor's entries hold each image's
  // hot spot.
  void SaveToStream(TStream& stream) const;

 protected:
  TSubIconList images_;
  IconType type_ = IconType::Icon;
};

class TAdvancedCursor : public TAdvancedIcon {
 public:
  const char* ClassName() const override { return "TAdvancedCursor"; }
  // The cursor reader (WalkPolicy::cursorReader): keeps the hot spot of
  // Type 2 files; a short entry, a Size larger than the stream, an entry
  // past the container's budget or an image that fails ends the reading
  // with its error. True for any valid header, even with no entries.
  bool LoadCursorFromStream(TStream& stream);
};

}  // namespace icofmt
