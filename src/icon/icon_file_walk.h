#pragma once
// The one walk over an icon's directory that every reader takes: the
// header, then each entry in order, each checked against the source's
// length and the container's budget before its block is read. What a
// reader does with a faulty entry is its policy; what becomes of each
// accepted block is its visitor's.
#include <cstdint>
#include <string>
#include <vector>

#include "icon/ico_format.h"

namespace icofmt {

class TStream;

// What a reader does with each fault of a directory entry. Throw raises
// "Invalid image", but "Stream read error" for a short entry and the
// visitor's own error for a failing block.
struct WalkPolicy {
  // Read: no fault to this reader; the block is read all the same.
  enum Action : uint8_t { Read, Skip, Stop, Throw };
  Action shortEntry;  // the source ends inside the entry: Stop or Throw
  Action misplaced;   // the block begins inside the header and directory, at or past the end, or past 2 GiB
  Action tooSmall;    // a Size of 40 or less, too small for a bitmap header
  Action tooLarge;    // a Size beyond the whole source: never Read, which would only make us allocate
  Action overBudget;  // past the container's decoded budget: never Read
  Action failing;     // the visitor refuses the block: Skip, Stop or Throw

  // The readers side by side. The file reader trusts nothing and skips
  // rather than fail; the stream reader (a save's destination) keeps all it
  // can; the cursor reader hands every fault to its caller.
  // clang-format off
  //                                                 short  misplaced  Size<=40  Size>all  budget  failing
  static constexpr WalkPolicy fileReader()   { return {Stop,  Stop,      Skip,     Skip,     Skip,   Skip}; }
  static constexpr WalkPolicy streamReader() { return {Stop,  Read,      Read,     Skip,     Skip,   Skip}; }
  static constexpr WalkPolicy cursorReader() { return {Throw, Read,      Read,     Throw,    Throw,  Throw}; }
  // clang-format on
};

class IconFileVisitor {
 public:
  virtual ~IconFileVisitor() = default;
  // A valid header, and the slots worth reserving for its entries.
  virtual void Header(const IconHeader& header, uint16_t slots) = 0;
  // A block the walk accepts, read as far as the source holds it (zero
  // after). An exception is a failing block: a block that is no PNG gives
  // back its share of the budget, as it cost only a look at its header.
  virtual void Entry(const DirectoryEntry& entry, std::vector<uint8_t> block) = 0;
};

// Walks the icon at the start of source. False when its header is short or
// invalid; throws what the policy throws, and std::bad_alloc when memory
// runs out, which is no bad entry to skip: a merge would write the icon
// without that image.
bool walkIconDirectory(TStream& source, const WalkPolicy& policy, IconFileVisitor& visitor);

// The file reader's walk, shared by TAdvancedIcon::LoadFromFile and
// TStoredIcon so that they take the same entries. Throws StreamError when
// the file cannot be opened.
bool walkIconFile(const std::string& path, IconFileVisitor& visitor);

}  // namespace icofmt
