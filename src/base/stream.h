#pragma once
// Byte streams in the shape the icon and bitmap objects use: a position, a
// size, reads that may come up short, and *Buffer variants that throw.
#include <cstdint>
#include <cstdio>
#include <span>
#include <string>
#include <vector>

namespace icofmt {

enum class SeekOrigin { Begin, Current, End };

class TStream {
 public:
  virtual ~TStream() = default;

  // Reads up to count bytes; returns how many were read.
  virtual int64_t Read(void* buffer, int64_t count) = 0;
  // Writes count bytes; returns how many were written.
  virtual int64_t Write(const void* buffer, int64_t count) = 0;
  // Moves the position; returns the new one. Positions below 0 clamp to 0.
  virtual int64_t Seek(int64_t offset, SeekOrigin origin) = 0;
  virtual int64_t Size() = 0;

  int64_t Position() { return Seek(0, SeekOrigin::Current); }
  void SetPosition(int64_t pos) { Seek(pos, SeekOrigin::Begin); }

  // Throw StreamError ("Stream read error" / "Stream write error") when short.
  void ReadBuffer(void* buffer, int64_t count);
  void WriteBuffer(const void* buffer, int64_t count);
  void WriteBytes(std::span<const uint8_t> bytes) {
    WriteBuffer(bytes.data(), static_cast<int64_t>(bytes.size()));
  }
  // Copies count bytes from source at its position (all of it from 0 when count is 0).
  int64_t CopyFrom(TStream& source, int64_t count);
};

// A growable stream in memory.
class TMemoryStream : public TStream {
 public:
  TMemoryStream() = default;
  explicit TMemoryStream(std::vector<uint8_t> bytes) : bytes_(std::move(bytes)) {}

  int64_t Read(void* buffer, int64_t count) override;
  int64_t Write(const void* buffer, int64_t count) override;
  int64_t Seek(int64_t offset, SeekOrigin origin) override;
  int64_t Size() override { return static_cast<int64_t>(bytes_.size()); }

  void SetSize(int64_t size);
  void Clear() {
    bytes_.clear();
    pos_ = 0;
  }
  const std::vector<uint8_t>& Bytes() const { return bytes_; }
  std::vector<uint8_t>& Bytes() { return bytes_; }
  uint8_t* Memory() { return bytes_.data(); }

 private:
  std::vector<uint8_t> bytes_;
  int64_t pos_ = 0;
};

// A read-only view of bytes it does not own: writes write nothing and report
// 0 bytes, so a PNG block can be decoded where it lies.
class THCustomMemoryStream : public TStream {
 public:
  explicit THCustomMemoryStream(std::span<const uint8_t> bytes) : bytes_(bytes) {}
  int64_t Read(void* buffer, int64_t count) override;
  int64_t Write(const void*, int64_t) override { return 0; }
  int64_t Seek(int64_t offset, SeekOrigin origin) override;
  int64_t Size() override { return static_cast<int64_t>(bytes_.size()); }
  std::span<const uint8_t> Bytes() const { return bytes_; }

 private:
  std::span<const uint8_t> bytes_;
  int64_t pos_ = 0;
};

// A file opened through the C library, so the portable core makes no OS call.
class TFileStream : public TStream {
 public:
  enum class Mode { OpenRead, Create, OpenReadWrite };
  // Throws StreamError ("Cannot open file \"%s\"") when the file cannot be opened.
  TFileStream(const std::string& path, Mode mode);
  ~TFileStream() override;
  TFileStream(const TFileStream&) = delete;
  TFileStream& operator=(const TFileStream&) = delete;

  int64_t Read(void* buffer, int64_t count) override;
  int64_t Write(const void* buffer, int64_t count) override;
  int64_t Seek(int64_t offset, SeekOrigin origin) override;
  int64_t Size() override;

 private:
  std::FILE* file_ = nullptr;
};

// Writes the whole file, replacing it.
void writeFileBytes(const std::string& path, std::span<const uint8_t> bytes);

}  // namespace icofmt
