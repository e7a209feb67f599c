#pragma once
// Exceptions of the portable core. They carry the system's own messages; the
// host boundary turns them into result codes.
#include <stdexcept>
#include <string>

namespace icofmt {

class Error : public std::runtime_error {
 public:
  using std::runtime_error::runtime_error;
};

// A block or bitmap whose bytes do not describe a usable image.
class InvalidImage : public Error {
 public:
  InvalidImage() : Error("Invalid image") {}
  using Error::Error;
};

// A serialised bitmap that cannot be read.
class InvalidBitmap : public Error {
 public:
  InvalidBitmap() : Error("Bitmap image is not valid") {}
};

// Bounds and assignment errors of the typed lists.
class ListError : public Error {
 public:
  using Error::Error;
};

// Text that does not convert to a number.
class ConvertError : public Error {
 public:
  using Error::Error;
};

// Short reads and failed writes of streams.
class StreamError : public Error {
 public:
  using Error::Error;
};

}  // namespace icofmt
