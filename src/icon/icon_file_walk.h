#pragma once
// The file reader's walk over an icon file: the header, then each
// directory entry in order, stopping at a block that lies inside the header
// and directory or at or beyond the end, skipping a Size of 40 or less or
// beyond the file and entries past the container's budget. What becomes of
// each block is the visitor's: TAdvancedIcon::LoadFromFile decodes it,
// TStoredIcon only checks it; both accept the same entries.
#include <cstdint>
#include <string>
#include <vector>

#include "icon/ico_format.h"

namespace icofmt {

class IconFileVisitor {
 public:
  virtual ~IconFileVisitor() = default;
  // A valid header, and the slots worth reserving for its entries.
  virtual void Header(const IconHeader& header, uint16_t slots) = 0;
  // A block the walk accepts, read as far as the file holds it (zero after).
  // An exception skips the entry (std::bad_alloc ends the walk): a block that
  // is no PNG gives back its share of the budget, as it cost only a look at
  // its header.
  virtual void Entry(const TIconDirEntry& record, std::vector<uint8_t> block) = 0;
};

// False when the header is invalid; throws StreamError when the file cannot
// be opened and std::bad_alloc when memory runs out.
bool walkIconFile(const std::string& path, IconFileVisitor& visitor);

}  // namespace icofmt
