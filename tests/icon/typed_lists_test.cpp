#include "icon/typed_lists.h"

#include <gtest/gtest.h>

#include <vector>

#include "base/errors.h"
#include "base/stream.h"

using namespace icofmt;

namespace {

std::vector<int32_t> values(const TListLongint& l) { return {l.Values().begin(), l.Values().end()}; }

template <typename F>
std::string messageOf(F&& f) {
  try {
    f();
  } catch (const Error& e) {
    return e.what();
  }
  return "(no error)";
}

}  // namespace

TEST(TypedLists, GrowByFourUpToEightThenBySixteen) {
  TListLongint l;
  std::vector<int32_t> capacities;
  for (int i = 0; i < 45; ++i) {
    l.Add(i);
    if (capacities.empty() || capacities.back() != l.Capacity()) capacities.push_back(l.Capacity());
  }
  EXPECT_EQ(capacities, (std::vector<int32_t>{4, 8, 12, 28, 44, 60}));
  EXPECT_EQ(l.Count(), 45);
}

TEST(TypedLists, BoundsErrorsNameTheOffendingNumberAndChangeNothing) {
  TListLongint l;
  l.Add(1);
  l.Add(2);
  EXPECT_EQ(messageOf([&] { l.Get(2); }), "List index out of bounds (2)");
  EXPECT_EQ(messageOf([&] { l.Put(-1, 0); }), "List index out of bounds (-1)");
  EXPECT_EQ(messageOf([&] { l.Insert(3, 0); }), "List index out of bounds (3)");
  EXPECT_EQ(messageOf([&] { l.Delete(5); }), "List index out of bounds (5)");
  EXPECT_EQ(messageOf([&] { l.Exchange(0, 9); }), "List index out of bounds (9)");
  EXPECT_EQ(messageOf([&] { l.SetCapacity(1); }), "List capacity out of bounds (1)");
  EXPECT_EQ(messageOf([&] { l.SetCapacity(134217728); }), "List capacity out of bounds (134217728)");
  EXPECT_EQ(messageOf([&] { l.SetCount(-1); }), "List count out of bounds (-1)");
  EXPECT_EQ(messageOf([&] {
              l.Sort(0, 1);
              l.AddList(nullptr);
            }),
            "Cannot assign a nil to a TListLongint");
  EXPECT_EQ(values(l), (std::vector<int32_t>{1, 2}));
  EXPECT_EQ(l.Capacity(), 4);
}

TEST(TypedLists, InsertAtCountAppendsAndMovesLaterValuesUp) {
  TListLongint l;
  l.Insert(0, 5);
  l.Insert(1, 7);  // at Count: appends
  l.Insert(0, 3);
  l.Insert(2, 6);
  EXPECT_EQ(values(l), (std::vector<int32_t>{3, 5, 6, 7}));
  l.Delete(1);
  EXPECT_EQ(values(l), (std::vector<int32_t>{3, 6, 7}));
  l.Exchange(0, 2);
  EXPECT_EQ(values(l), (std::vector<int32_t>{7, 6, 3}));
  EXPECT_EQ(l.IndexOf(3), 2);
  EXPECT_EQ(l.IndexOf(4), -1);
}

TEST(TypedLists, SetCountFillsWithZerosAndRaisesCapacity) {
  TListLongint l;
  l.Add(9);
  l.SetCount(256);
  EXPECT_EQ(l.Count(), 256);
  EXPECT_EQ(l.Capacity(), 256);
  EXPECT_EQ(l.Get(0), 9);
  EXPECT_EQ(l.Get(255), 0);
  // Values beyond a shrunk count do not come back.
  l.Put(255, 4);
  l.SetCount(10);
  l.SetCount(256);
  EXPECT_EQ(l.Get(255), 0);
  l.Clear();
  EXPECT_EQ(l.Count(), 0);
  EXPECT_EQ(l.Capacity(), 0);
}

TEST(TypedLists, AddUniqueAddsEachMissingValueOnce) {
  TListLongint target, other;
  target.Add(7);
  for (int v : {5, 5, 7, 9}) other.Add(v);
  target.AddUnique(other);
  EXPECT_EQ(values(target), (std::vector<int32_t>{7, 5, 9}));
}

TEST(TypedLists, SortAscendsOverTheGivenRangeOnly) {
  TListLongint l;
  for (int v : {9, 3, 7, 3, -2, 8, 0}) l.Add(v);
  l.Sort(1, 5);
  EXPECT_EQ(values(l), (std::vector<int32_t>{9, -2, 3, 3, 7, 8, 0}));
  l.Sort(0, l.Count() - 1);
  EXPECT_EQ(values(l), (std::vector<int32_t>{-2, 0, 3, 3, 7, 8, 9}));
  TListByte b;
  for (int v : {200, 1, 255, 0}) b.Add(static_cast<uint8_t>(v));
  b.Sort(0, 3);
  EXPECT_EQ(std::vector<uint8_t>(b.Values().begin(), b.Values().end()),
            (std::vector<uint8_t>{0, 1, 200, 255}));
}

TEST(TypedLists, AssignmentBetweenListsAndTextLines) {
  TListLongint a;
  for (int v : {1, -2, 300}) a.Add(v);
  TListLongint b;
  b.Assign(&a);
  EXPECT_EQ(values(b), values(a));

  TStringList lines;
  lines.Assign(&a);  // asks the list to assign itself to the lines
  EXPECT_EQ(lines.Strings, (std::vector<std::string>{"1", "-2", "300"}));

  TListByte bytes;
  lines.Strings = {"255", "$10", " 7 "};
  bytes.Assign(&lines);
  TStringList back;
  back.Assign(&bytes);
  EXPECT_EQ(back.Strings, (std::vector<std::string>{"255", "16", "7"}));

  b.AddList(&lines);
  EXPECT_EQ(values(b), (std::vector<int32_t>{1, -2, 300, 255, 16, 7}));

  EXPECT_EQ(messageOf([&] { bytes.Assign(&a); }), "Cannot assign a TListLongint to a TListByte");
  EXPECT_EQ(messageOf([&] { a.Assign(&bytes); }), "Cannot assign a TListByte to a TListLongint");
  EXPECT_EQ(messageOf([&] { a.Assign(nullptr); }), "Cannot assign a nil to a TListLongint");
  lines.Strings = {"12", "x1"};
  EXPECT_EQ(messageOf([&] { a.Assign(&lines); }), "'x1' is not a valid integer value");
}

TEST(TypedLists, BaseOperationsFailWithTheirOwnMessages) {
  struct Bare : TListCustom {
    const char* ClassName() const override { return "Bare"; }
    const char* PropertyName() const override { return ""; }
    void SetCapacity(int32_t) override {}
    void SetCount(int32_t) override {}
    void Clear() override {}
    void Delete(int32_t) override {}
    void Exchange(int32_t, int32_t) override {}
    void ReadData(TStream&) override {}
    void WriteData(TStream&) const override {}
  } bare;
  TListByte bytes;
  EXPECT_EQ(messageOf([&] { bare.Sort(0, 1); }), "Sort not available");
  EXPECT_EQ(messageOf([&] { bare.AddList(&bytes); }), "Cannot add a TListByte to a Bare");
  EXPECT_EQ(messageOf([&] { bare.AddList(nullptr); }), "Cannot add a nil to a Bare");
}

TEST(TypedLists, DataRoundTripsAndRejectsCountsTheStreamCannotHold) {
  TListLongint a;
  for (int v : {1, -1, 0x12345678}) a.Add(v);
  TMemoryStream s;
  a.WriteData(s);
  EXPECT_EQ(s.Size(), 4 + 12);
  EXPECT_EQ(s.Bytes()[0], 3);
  EXPECT_EQ(s.Bytes()[8], 0xFF);
  s.SetPosition(0);
  TListLongint b;
  b.ReadData(s);
  EXPECT_EQ(values(b), values(a));
  EXPECT_STREQ(b.PropertyName(), "Longs");
  EXPECT_TRUE(b.HasStoredData());

  // A 4-byte stream claiming 100 million values must not allocate them.
  TMemoryStream hostile(std::vector<uint8_t>{0x00, 0xE1, 0xF5, 0x05});
  TListByte c;
  EXPECT_THROW(c.ReadData(hostile), StreamError);
  EXPECT_EQ(c.Capacity(), 0);
  EXPECT_FALSE(c.HasStoredData());
}
