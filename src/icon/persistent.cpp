#include "icon/persistent.h"

#include <cctype>
#include <cstdint>

#include "base/errors.h"

namespace icofmt {

void TPersistent::Assign(const TPersistent* source) {
  if (source == nullptr) AssignError(nullptr);
  TPersistentAccess::assignTo(*source, this);
}

void TPersistent::AssignTo(TPersistent* destination) const { destination->AssignError(this); }

void TPersistent::AssignError(const TPersistent* source) const {
  std::string from = source ? source->ClassName() : "nil";
  throw Error("Cannot assign a " + from + " to a " + ClassName());
}

void TStringList::Assign(const TPersistent* source) {
  if (auto* other = dynamic_cast<const TStringList*>(source)) {
    Strings = other->Strings;
    return;
  }
  TPersistent::Assign(source);
}

int StrToInt(const std::string& text) {
  auto fail = [&]() -> int { throw ConvertError("'" + text + "' is not a valid integer value"); };
  size_t i = 0, n = text.size();
  while (i < n && text[i] == ' ') ++i;
  while (n > i && text[n - 1] == ' ') --n;
  bool negative = false;
  if (i < n && (text[i] == '+' || text[i] == '-')) negative = text[i++] == '-';
  int base = 10;
  if (i < n && text[i] == '$') {
    base = 16;
    ++i;
  } else if (i + 1 < n && text[i] == '0' && (text[i + 1] == 'x' || text[i + 1] == 'X')) {
    base = 16;
    i += 2;
  }
  if (i >= n) return fail();
  int64_t value = 0;
  for (; i < n; ++i) {
    int c = static_cast<unsigned char>(text[i]);
    int digit = std::isdigit(c)                    ? c - '0'
                : (base == 16 && std::isxdigit(c)) ? std::tolower(c) - 'a' + 10
                                                   : -1;
    if (digit < 0) return fail();
    value = value * base + digit;
    // Hexadecimal may spell the full 32-bit pattern; decimal must fit an int.
    if (value > (base == 16 ? 0xFFFFFFFFll : 0x80000000ll)) return fail();
  }
  if (negative) value = -value;
  if (base == 10 && (value > INT32_MAX || value < INT32_MIN)) return fail();
  return static_cast<int32_t>(static_cast<uint32_t>(value));
}

}  // namespace icofmt
