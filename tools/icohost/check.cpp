#include "check.h"

#include <cstdio>
#include <filesystem>

#include "base/errors.h"
#include "base/limits.h"
#include "base/stream.h"
#include "icon/lint.h"

namespace icofmt::icohost {

namespace {

lint::Finding unreadable(std::string why) {
  return {"file-unreadable", lint::Level::Error, 0, std::move(why)};
}

// A file's bytes, refused past the largest icon any command reads. Only
// regular files are opened: a pipe would wait for a writer forever.
std::vector<lint::Finding> checkFile(const std::string& file) {
  std::error_code error;
  const auto status = std::filesystem::status(file, error);
  if (!error && !std::filesystem::is_regular_file(status))
    return {unreadable("it is no file that can be read (a folder, a pipe or a device)")};
  std::vector<uint8_t> bytes;
  try {
    TFileStream stream(file, TFileStream::Mode::OpenRead);
    const int64_t size = stream.Size();
    if (size < 0 || static_cast<uint64_t>(size) > limits::kDestinationFileMax)
      return {unreadable("the file is larger than the " + std::to_string(limits::kDestinationFileMax >> 20) +
                         " MiB icohost reads")};
    bytes.resize(static_cast<size_t>(size));
    if (size > 0 && stream.Read(bytes.data(), size) != size)
      throw StreamError("the file cannot be read whole");
  } catch (const Error& e) {
    return {unreadable(e.what())};
  }
  return lint::checkIcon(bytes, file);
}

// JSON text of any bytes: a byte that is no part of valid UTF-8 becomes
// U+FFFD, so that a file name of any bytes still makes valid JSON.
std::string jsonString(const std::string& text) {
  std::string out = "\"";
  for (size_t i = 0; i < text.size();) {
    const auto c = static_cast<unsigned char>(text[i]);
    if (c == '"' || c == '\\') {
      out += '\\';
      out += static_cast<char>(c);
      ++i;
    } else if (c < 0x20) {
      char escaped[8];
      std::snprintf(escaped, sizeof escaped, "\\u%04x", c);
      out += escaped;
      ++i;
    } else if (c < 0x80) {
      out += static_cast<char>(c);
      ++i;
    } else {
      const size_t length = c >= 0xC2 && c <= 0xDF   ? 2
                            : c >= 0xE0 && c <= 0xEF ? 3
                            : c >= 0xF0 && c <= 0xF4 ? 4
                                                     : 0;
      bool valid = length > 0 && i + length <= text.size();
      uint32_t point = length == 2 ? c & 0x1F : length == 3 ? c & 0x0F : c & 0x07;
      for (size_t k = 1; valid && k < length; ++k) {
        const auto next = static_cast<unsigned char>(text[i + k]);
        valid = (next & 0xC0) == 0x80;
        point = point << 6 | (next & 0x3F);
      }
      // Overlong forms, surrogates and points past U+10FFFF are not UTF-8.
      valid = valid && !(length == 3 && (point < 0x800 || (point >= 0xD800 && point <= 0xDFFF))) &&
              !(length == 4 && (point < 0x10000 || point > 0x10FFFF));
      if (valid) {
        out.append(text, i, length);
        i += length;
      } else {
        out += "\\ufffd";
        ++i;
      }
    }
  }
  return out + "\"";
}

void printJson(const std::string& file, const std::vector<lint::Finding>& findings) {
  int counts[3] = {0, 0, 0};
  std::string list;
  for (const auto& f : findings) {
    ++counts[static_cast<int>(f.level)];
    list += std::string(list.empty() ? "" : ",") + "{\"code\":" + jsonString(f.code) +
            ",\"level\":" + jsonString(lint::levelName(f.level)) +
            ",\"image\":" + (f.image > 0 ? std::to_string(f.image) : "null") +
            ",\"message\":" + jsonString(f.message) + "}";
  }
  std::printf("{\"file\":%s,\"errors\":%d,\"warnings\":%d,\"notes\":%d,\"findings\":[%s]}\n",
              jsonString(file).c_str(), counts[0], counts[1], counts[2], list.c_str());
}

void printText(const std::string& file, const std::vector<lint::Finding>& findings) {
  if (findings.empty()) std::printf("%s: no findings\n", file.c_str());
  for (const auto& f : findings) {
    const std::string image = f.image > 0 ? " image " + std::to_string(f.image) + ":" : "";
    std::printf("%s:%s %s %s: %s\n", file.c_str(), image.c_str(), lint::levelName(f.level), f.code.c_str(),
                f.message.c_str());
  }
}

}  // namespace

int checkFiles(const std::vector<std::string>& files, bool json) {
  bool errors = false;
  for (const std::string& file : files) {
    const auto findings = checkFile(file);
    for (const auto& f : findings) errors = errors || f.level == lint::Level::Error;
    if (json)
      printJson(file, findings);
    else
      printText(file, findings);
  }
  std::fflush(stdout);
  return errors ? 1 : 0;
}

}  // namespace icofmt::icohost
