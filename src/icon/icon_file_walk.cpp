#include "icon/icon_file_walk.h"

#include <algorithm>
#include <limits>
#include <new>

#include "base/errors.h"
#include "base/limits.h"
#include "base/stream.h"
#include "icon/sub_icon.h"

namespace icofmt {

namespace {

// No policy reads on past these two: a Size beyond the source would only
// make us allocate, and entries past the budget could make many entries on
// one block decode without end.
constexpr bool bounded(const WalkPolicy& p) {
  return p.tooLarge != WalkPolicy::Read && p.overBudget != WalkPolicy::Read;
}
static_assert(bounded(WalkPolicy::fileReader()) && bounded(WalkPolicy::streamReader()) &&
              bounded(WalkPolicy::cursorReader()));

// Bytes one container may hold decoded, so that many entries pointing at one
// block cannot multiply it into gigabytes.
class BlockBudget {
 public:
  bool take(uint64_t bytes) {
    if (bytes > left_) return false;
    left_ -= bytes;
    return true;
  }
  void giveBack(uint64_t bytes) { left_ += bytes; }

 private:
  uint64_t left_ = limits::kContainerDecodedMax;
};

// What an entry will cost once read, from its header: a PNG block unpacks
// to a bitmap, and every image is decoded at its size when it is used. The
// stream is left where it was.
struct EntryCost {
  uint64_t bytes = 0;
  // A PNG block is decoded while it is read, so its cost is spent even when
  // it fails; a refused bitmap block cost only a look at its header, and is
  // given back, so that bad entries cannot use up the budget of good ones.
  bool decodedOnReading = false;
};

EntryCost entryCost(TStream& stream, int64_t offset, uint32_t size) {
  const int64_t at = stream.Position();
  uint8_t head[24] = {};
  stream.SetPosition(offset);
  const int64_t got = stream.Read(head, std::min<int64_t>(sizeof head, size));
  stream.SetPosition(at);
  const std::span<const uint8_t> peek(head, static_cast<size_t>(std::max<int64_t>(0, got)));
  return {std::max<uint64_t>(size, decodedBlockCost(peek)), hasPngSignature(peek)};
}

// What the policy does with the entry's first fault that it heeds; Read
// when there is none. after is where the entry ends. The file reader reads
// the offset as signed, so one past 2 GiB is misplaced too.
WalkPolicy::Action judge(const DirectoryEntry& entry, int64_t after, int64_t length,
                         const WalkPolicy& policy) {
  const int64_t offset = entry.offset;
  const uint32_t size = entry.record.Size;
  if (policy.misplaced != WalkPolicy::Read &&
      (offset < after || offset >= length || offset > std::numeric_limits<int32_t>::max()))
    return policy.misplaced;
  if (policy.tooSmall != WalkPolicy::Read && size <= kInfoHeaderSize) return policy.tooSmall;
  if (size > static_cast<uint64_t>(length)) return policy.tooLarge;
  return WalkPolicy::Read;
}

}  // namespace

bool walkIconDirectory(TStream& source, const WalkPolicy& policy, IconFileVisitor& visitor) {
  source.SetPosition(0);
  uint8_t rawHeader[kIconHeaderSize];
  if (source.Read(rawHeader, kIconHeaderSize) != static_cast<int64_t>(kIconHeaderSize)) return false;
  const IconHeader header = decodeIconHeader(rawHeader);
  if (!header.Valid()) return false;
  const auto type = static_cast<IconType>(header.Type);
  const int64_t length = source.Size();
  // The entries behind these are ignored.
  const uint32_t entries = std::min<uint32_t>(header.Count, limits::kDirEntriesMax);
  // Reserve no more slots than the directory the source holds can describe.
  const int64_t entriesThere =
      std::max<int64_t>(0, length - static_cast<int64_t>(kIconHeaderSize)) / kDirEntrySize;
  visitor.Header(header, static_cast<uint16_t>(std::min<int64_t>(entries, entriesThere)));
  BlockBudget budget;
  for (uint32_t j = 0; j < entries; ++j) {
    const auto after = static_cast<int64_t>(kIconHeaderSize + kDirEntrySize * (j + 1));
    uint8_t raw[kDirEntrySize];
    if (source.Read(raw, kDirEntrySize) != static_cast<int64_t>(kDirEntrySize)) {
      if (policy.shortEntry == WalkPolicy::Throw) throw StreamError("Stream read error");
      break;  // no entry behind it is whole either
    }
    const DirectoryEntry entry = decodeDirEntry(raw, type);
    WalkPolicy::Action action = judge(entry, after, length, policy);
    EntryCost cost;
    if (action == WalkPolicy::Read) {
      cost = entryCost(source, entry.offset, entry.record.Size);
      if (!budget.take(cost.bytes)) action = policy.overBudget;
    }
    if (action == WalkPolicy::Throw) throw InvalidImage();
    if (action == WalkPolicy::Stop) break;
    if (action == WalkPolicy::Skip) continue;
    try {
      source.SetPosition(entry.offset);
      visitor.Entry(entry, readBlockZeroFilled(source, entry.record.Size));
    } catch (const std::bad_alloc&) {
      throw;
    } catch (const std::exception&) {
      if (policy.failing == WalkPolicy::Throw) throw;
      if (!cost.decodedOnReading) budget.giveBack(cost.bytes);
      if (policy.failing == WalkPolicy::Stop) break;
    }
    source.SetPosition(after);
  }
  return true;
}

bool walkIconFile(const std::string& path, IconFileVisitor& visitor) {
  TFileStream file(path, TFileStream::Mode::OpenRead);
  return walkIconDirectory(file, WalkPolicy::fileReader(), visitor);
}

}  // namespace icofmt
