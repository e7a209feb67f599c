#include "icon/typed_lists.h"

#include <algorithm>
#include <cstdio>
#include <string>

#include "base/byte_reader.h"
#include "base/errors.h"
#include "base/stream.h"

namespace icofmt {

void TListCustom::Fail(const char* format, int32_t value) {
  char text[96];
  std::snprintf(text, sizeof text, format, value);
  throw ListError(text);
}

void TListCustom::CheckIndex(int32_t index) const {
  if (index < 0 || index >= count_) Fail("List index out of bounds (%d)", index);
}

void TListCustom::Sort(int32_t, int32_t) { throw ListError("Sort not available"); }

void TListCustom::AddList(const TPersistent* source) {
  std::string from = source ? source->ClassName() : "nil";
  throw ListError("Cannot add a " + from + " to a " + ClassName());
}

namespace detail {

template <typename T>
int32_t TypedList<T>::Add(T value) {
  if (count_ == capacity_) Grow();
  values_[count_] = value;
  return count_++;
}

template <typename T>
void TypedList<T>::InsertAt(int32_t index, T value) {
  if (index < 0 || index > count_) Fail("List index out of bounds (%d)", index);
  if (count_ == capacity_) Grow();
  std::copy_backward(values_.begin() + index, values_.begin() + count_, values_.begin() + count_ + 1);
  values_[index] = value;
  ++count_;
}

template <typename T>
void TypedList<T>::Put(int32_t index, T value) {
  CheckIndex(index);
  values_[index] = value;
}

template <typename T>
T TypedList<T>::operator[](int32_t index) const {
  CheckIndex(index);
  return values_[index];
}

template <typename T>
void TypedList<T>::SetCapacity(int32_t n) {
  if (n < count_ || n > kMaxListSize) Fail("List capacity out of bounds (%d)", n);
  if (n != capacity_) {
    values_.resize(static_cast<size_t>(n));
    capacity_ = n;
  }
}

template <typename T>
void TypedList<T>::SetCount(int32_t n) {
  if (n < 0 || n > kMaxListSize) Fail("List count out of bounds (%d)", n);
  if (n > capacity_) SetCapacity(n);
  if (n > count_) std::fill(values_.begin() + count_, values_.begin() + n, T{0});
  count_ = n;
}

template <typename T>
void TypedList<T>::Clear() {
  SetCount(0);
  SetCapacity(0);
}

template <typename T>
void TypedList<T>::Delete(int32_t index) {
  CheckIndex(index);
  std::copy(values_.begin() + index + 1, values_.begin() + count_, values_.begin() + index);
  --count_;
}

template <typename T>
void TypedList<T>::Exchange(int32_t i, int32_t j) {
  CheckIndex(i);
  CheckIndex(j);
  std::swap(values_[i], values_[j]);
}

template <typename T>
void TypedList<T>::Sort(int32_t first, int32_t last) {
  if (first >= last) return;
  CheckIndex(first);
  CheckIndex(last);
  QuickSort(first, last);
}

template <typename T>
void TypedList<T>::QuickSort(int32_t left, int32_t right) {
  int32_t i = left, j = right;
  const T pivot = values_[left + (right - left) / 2];
  while (i <= j) {
    while (values_[i] < pivot) ++i;
    while (values_[j] > pivot) --j;
    if (i <= j) {
      Exchange(i, j);
      ++i;
      --j;
    }
  }
  if (left < j) QuickSort(left, j);
  if (i < right) QuickSort(i, right);
}

template <typename T>
void TypedList<T>::Assign(const TPersistent* source) {
  if (auto* same = dynamic_cast<const TypedList<T>*>(source)) {
    SetCount(same->count_);
    std::copy_n(same->values_.begin(), count_, values_.begin());
  } else if (auto* lines = dynamic_cast<const TStringList*>(source)) {
    Clear();
    for (const auto& line : lines->Strings) Add(static_cast<T>(StrToInt(line)));
  } else {
    AssignError(source);
  }
}

template <typename T>
void TypedList<T>::AssignTo(TPersistent* destination) const {
  if (auto* same = dynamic_cast<TypedList<T>*>(destination)) {
    same->SetCount(count_);
    std::copy_n(values_.begin(), count_, same->values_.begin());
  } else if (auto* lines = dynamic_cast<TStringList*>(destination)) {
    lines->Strings.clear();
    for (int32_t i = 0; i < count_; ++i) lines->Strings.push_back(std::to_string(values_[i]));
  } else {
    TPersistent::AssignTo(destination);
  }
}

template <typename T>
void TypedList<T>::AddList(const TPersistent* source) {
  if (auto* same = dynamic_cast<const TypedList<T>*>(source)) {
    const int32_t n = same->count_;  // source may be this list
    for (int32_t i = 0; i < n; ++i) Add(same->values_[i]);
  } else if (auto* lines = dynamic_cast<const TStringList*>(source)) {
    for (const auto& line : lines->Strings) Add(static_cast<T>(StrToInt(line)));
  } else {
    AssignError(source);
  }
}

template <typename T>
void TypedList<T>::ReadData(TStream& stream) {
  uint8_t head[4];
  stream.ReadBuffer(head, 4);
  const int32_t n = static_cast<int32_t>(loadU32le(head));
  // A count the stream cannot hold is a short read, found before allocating.
  if (n > 0 && static_cast<uint64_t>(n) * sizeof(T) >
                   static_cast<uint64_t>(std::max<int64_t>(0, stream.Size() - stream.Position())))
    throw StreamError("Stream read error");
  SetCount(n);
  for (int32_t i = 0; i < n; ++i) {
    uint8_t v[sizeof(T)];
    stream.ReadBuffer(v, sizeof(T));
    values_[i] = sizeof(T) == 4 ? static_cast<T>(loadU32le(v)) : static_cast<T>(v[0]);
  }
}

template <typename T>
void TypedList<T>::WriteData(TStream& stream) const {
  std::vector<uint8_t> out(4 + sizeof(T) * static_cast<size_t>(count_));
  storeU32le(out.data(), static_cast<uint32_t>(count_));
  for (int32_t i = 0; i < count_; ++i) {
    if constexpr (sizeof(T) == 4)
      storeU32le(out.data() + 4 + 4 * i, static_cast<uint32_t>(values_[i]));
    else
      out[4 + i] = values_[i];
  }
  stream.WriteBytes(out);
}

template class TypedList<int32_t>;
template class TypedList<uint8_t>;

}  // namespace detail

int32_t TListLongint::IndexOf(int32_t value) const {
  for (int32_t i = 0; i < count_; ++i)
    if (values_[i] == value) return i;
  return -1;
}

void TListLongint::AddUnique(const TListLongint& other) {
  const int32_t n = other.Count();
  for (int32_t i = 0; i < n; ++i)
    if (IndexOf(other.values_[i]) < 0) Add(other.values_[i]);
}

}  // namespace icofmt
