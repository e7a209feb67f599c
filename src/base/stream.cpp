#include "base/stream.h"

#include <algorithm>
#include <cstdio>
#include <cstring>
#if !defined(_WIN32)
#include <sys/types.h>
#endif

#include "base/errors.h"

namespace icofmt {

void TStream::ReadBuffer(void* buffer, int64_t count) {
  if (count != 0 && Read(buffer, count) != count) throw StreamError("Stream read error");
}

void TStream::WriteBuffer(const void* buffer, int64_t count) {
  if (count != 0 && Write(buffer, count) != count) throw StreamError("Stream write error");
}

int64_t TStream::CopyFrom(TStream& source, int64_t count) {
  if (count == 0) {
    source.SetPosition(0);
    count = source.Size();
  }
  std::vector<uint8_t> chunk(static_cast<size_t>(std::min<int64_t>(count, 1 << 16)));
  int64_t left = count;
  while (left > 0) {
    int64_t n = std::min<int64_t>(left, static_cast<int64_t>(chunk.size()));
    source.ReadBuffer(chunk.data(), n);
    WriteBuffer(chunk.data(), n);
    left -= n;
  }
  return count;
}

namespace {

// Reading and seeking in bytes held in memory, shared by both memory streams.
int64_t readFrom(std::span<const uint8_t> bytes, int64_t& pos, void* buffer, int64_t count) {
  const int64_t size = static_cast<int64_t>(bytes.size());
  if (count <= 0 || pos >= size) return 0;
  const int64_t n = std::min(count, size - pos);
  std::memcpy(buffer, bytes.data() + pos, static_cast<size_t>(n));
  pos += n;
  return n;
}

int64_t seekIn(int64_t size, int64_t& pos, int64_t offset, SeekOrigin origin) {
  const int64_t base = origin == SeekOrigin::Begin ? 0 : origin == SeekOrigin::Current ? pos : size;
  pos = std::max<int64_t>(0, base + offset);
  return pos;
}

}  // namespace

int64_t TMemoryStream::Read(void* buffer, int64_t count) { return readFrom(bytes_, pos_, buffer, count); }

int64_t TMemoryStream::Write(const void* buffer, int64_t count) {
  if (count <= 0) return 0;
  int64_t end = pos_ + count;
  if (end > Size()) bytes_.resize(static_cast<size_t>(end));
  std::memcpy(bytes_.data() + pos_, buffer, static_cast<size_t>(count));
  pos_ = end;
  return count;
}

int64_t TMemoryStream::Seek(int64_t offset, SeekOrigin origin) {
  return seekIn(Size(), pos_, offset, origin);
}

void TMemoryStream::SetSize(int64_t size) {
  bytes_.resize(static_cast<size_t>(std::max<int64_t>(0, size)));
  pos_ = std::min(pos_, Size());
}

int64_t THCustomMemoryStream::Read(void* buffer, int64_t count) {
  return readFrom(bytes_, pos_, buffer, count);
}

int64_t THCustomMemoryStream::Seek(int64_t offset, SeekOrigin origin) {
  return seekIn(Size(), pos_, offset, origin);
}

TFileStream::TFileStream(const std::string& path, Mode mode) {
  const char* how = mode == Mode::OpenRead ? "rb" : mode == Mode::Create ? "w+b" : "r+b";
  file_ = std::fopen(path.c_str(), how);
  if (!file_) throw StreamError("Cannot open file \"" + path + "\"");
}

TFileStream::~TFileStream() {
  if (file_) std::fclose(file_);
}

int64_t TFileStream::Read(void* buffer, int64_t count) {
  if (count <= 0) return 0;
  return static_cast<int64_t>(std::fread(buffer, 1, static_cast<size_t>(count), file_));
}

int64_t TFileStream::Write(const void* buffer, int64_t count) {
  if (count <= 0) return 0;
  return static_cast<int64_t>(std::fwrite(buffer, 1, static_cast<size_t>(count), file_));
}

namespace {

// Offsets in 64 bits on every system: where long has 32, an offset from an
// icon's directory past 2 GiB would wrap and read from the file's start.
int seekTo(std::FILE* file, int64_t offset, int whence) {
#if defined(_WIN32)
  return _fseeki64(file, offset, whence);
#else
  return fseeko(file, static_cast<off_t>(offset), whence);
#endif
}

int64_t position(std::FILE* file) {
#if defined(_WIN32)
  return _ftelli64(file);
#else
  return static_cast<int64_t>(ftello(file));
#endif
}

}  // namespace

int64_t TFileStream::Seek(int64_t offset, SeekOrigin origin) {
  int whence = origin == SeekOrigin::Begin ? SEEK_SET : origin == SeekOrigin::Current ? SEEK_CUR : SEEK_END;
  if (seekTo(file_, offset, whence) != 0) seekTo(file_, 0, SEEK_SET);
  return position(file_);
}

int64_t TFileStream::Size() {
  const int64_t here = position(file_);
  seekTo(file_, 0, SEEK_END);
  const int64_t end = position(file_);
  seekTo(file_, here, SEEK_SET);
  return end;
}

void writeFileBytes(const std::string& path, std::span<const uint8_t> bytes) {
  TFileStream f(path, TFileStream::Mode::Create);
  f.WriteBytes(bytes);
}

}  // namespace icofmt
