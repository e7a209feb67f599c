#pragma once
// Growable arrays of plain values: TListLongint (signed 32-bit) and TListByte.
// Values live in one contiguous array, so a 256-entry palette can be handed
// on from the list's own memory.
#include <cstdint>
#include <span>
#include <vector>

#include "icon/persistent.h"

namespace icofmt {

class TStream;

class TListCustom : public TPersistent {
 public:
  static constexpr int32_t kMaxListSize = 134217727;  // 0x7FFFFFF

  int32_t Count() const { return count_; }
  int32_t Capacity() const { return capacity_; }

  // The nine virtual operations, in their published order.
  virtual void SetCapacity(int32_t n) = 0;
  virtual void SetCount(int32_t n) = 0;
  virtual void Sort(int32_t first, int32_t last);  // base: "Sort not available"
  virtual void Clear() = 0;
  virtual void Delete(int32_t index) = 0;
  virtual void Exchange(int32_t i, int32_t j) = 0;
  virtual void AddList(const TPersistent* source);  // base: "Cannot add a %s to a %s"
  virtual void ReadData(TStream& stream) = 0;
  virtual void WriteData(TStream& stream) const = 0;

  // The name the values are stored under as a persistent property, and
  // whether they are stored at all (only a non-empty list is).
  virtual const char* PropertyName() const = 0;
  bool HasStoredData() const { return count_ > 0; }

 protected:
  // The growth rule: +4 slots while the capacity is 8 or less, else +16.
  void Grow() { SetCapacity(capacity_ <= 8 ? capacity_ + 4 : capacity_ + 16); }
  void CheckIndex(int32_t index) const;  // 0 <= index < Count
  [[noreturn]] static void Fail(const char* format, int32_t value);

  int32_t count_ = 0;
  int32_t capacity_ = 0;
};

namespace detail {
// The shared body of both lists; T is int32_t or uint8_t.
template <typename T>
class TypedList : public TListCustom {
 public:
  int32_t Add(T value);
  void Put(int32_t index, T value);
  T operator[](int32_t index) const;  // bounds-checked like Get

  void SetCapacity(int32_t n) override;
  void SetCount(int32_t n) override;
  void Sort(int32_t first, int32_t last) override;
  void Clear() override;
  void Delete(int32_t index) override;
  void Exchange(int32_t i, int32_t j) override;
  void AddList(const TPersistent* source) override;
  void ReadData(TStream& stream) override;
  void WriteData(TStream& stream) const override;

  void Assign(const TPersistent* source) override;

  std::span<const T> Values() const { return {values_.data(), static_cast<size_t>(count_)}; }
  T* Data() { return values_.data(); }

 protected:
  void AssignTo(TPersistent* destination) const override;
  void InsertAt(int32_t index, T value);
  void QuickSort(int32_t left, int32_t right);

  std::vector<T> values_;  // size() == capacity_
};
}  // namespace detail

class TListLongint : public detail::TypedList<int32_t> {
 public:
  const char* ClassName() const override { return "TListLongint"; }
  const char* PropertyName() const override { return "Longs"; }

  int32_t Get(int32_t index) const { return (*this)[index]; }
  // 0 <= index <= Count; moves later values up one place.
  void Insert(int32_t index, int32_t value) { InsertAt(index, value); }
  int32_t IndexOf(int32_t value) const;
  // Appends each value of other that this list does not hold yet.
  void AddUnique(const TListLongint& other);
};

class TListByte : public detail::TypedList<uint8_t> {
 public:
  const char* ClassName() const override { return "TListByte"; }
  const char* PropertyName() const override { return "Bytes"; }
};

}  // namespace icofmt
