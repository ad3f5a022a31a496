#include "host/sys/Bucket.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <functional>

#include "PanicCatcher.h"

namespace {

// po# (key), line (key), title (text 5), amount (Dec64), flag (byte).
BktHandle MakeLines() {
  BktHandle b = nullptr;
  _BktCreate(b, 5, 4, 4);
  _BktSetColInfo(b, 1, "po#", 0, kColInt32, 1);
  _BktSetColInfo(b, 2, "line", 0, kColInt16, 1);
  _BktSetColInfo(b, 3, "title", 5, kColText, 0);
  _BktSetColInfo(b, 4, "amount", 0, kColDec64, 0);
  _BktSetColInfo(b, 5, "flag", 0, kColByte, 0);
  return b;
}

int AddLine(BktHandle b, int po, int line, const char* title, int64_t amountRaw) {
  int row = 0;
  _BktInsert(b, 0, row);
  _ColSetInt(b, row, 1, po);
  _ColSetInt(b, row, 2, line);
  if (title) _ColSetTextW(b, row, 3, title);
  if (amountRaw >= 0) _ColSetDec64(b, row, 4, Dec64::FromRaw(amountRaw));
  return row;
}

std::string Titles(BktHandle b) {
  std::string out;
  for (int r = 1; r <= _BktCountAll(b); ++r) out += _ColIsNull(b, r, 3) ? "-" : _ColGetStringW(b, r, 3);
  return out;
}

TEST(Bucket, TextIsCutToTheColumnLengthInCharacters) {
  BucketHold b(MakeLines());
  int row = AddLine(*b, 1, 1, "\xC3\x86r\xC3\xB8sk\xC3\xB8" "bing", -1);  // "Ærøskøbing"
  EXPECT_EQ(_ColGetStringW(*b, row, 3), "\xC3\x86r\xC3\xB8sk");         // 5 characters, 7 bytes
  _ColSetTextW(*b, row, 3, "\xE2\x82\xAC\xE2\x82\xAC\xE2\x82\xAC\xE2\x82\xAC\xE2\x82\xAC\xE2\x82\xAC");
  EXPECT_EQ(_ColGetStringW(*b, row, 3).size(), 15u);  // five 3-byte euro signs
  EXPECT_EQ(_ColGetStringW(*b, row, 3, 2), "\xE2\x82\xAC\xE2\x82\xAC");
}

TEST(Bucket, SettingMarksChangedAndNotNull) {
  BucketHold b(MakeLines());
  int row = 0;
  _BktInsert(*b, 0, row);
  EXPECT_EQ(_BktGetState(*b, row), kRowNew);
  EXPECT_FALSE(_BktRowIsChanged(*b, row));
  EXPECT_TRUE(_ColIsNull(*b, row, 4));
  EXPECT_EQ(_ColGetDec64(*b, row, 4), Dec64{});
  EXPECT_EQ(_ColGetStringW(*b, row, 3), "");

  _ColSetDec64(*b, row, 4, Dec64::FromInt(3));
  EXPECT_FALSE(_ColIsNull(*b, row, 4));
  EXPECT_TRUE(_ColIsChanged(*b, row, 4));
  EXPECT_FALSE(_ColIsChanged(*b, row, 3));
  _BktClearChg(*b, row);
  EXPECT_FALSE(_BktRowIsChanged(*b, row));
  _ColSetNull(*b, row, 4);  // an update has to write the NULL
  EXPECT_TRUE(_ColIsChanged(*b, row, 4));
  EXPECT_EQ(_ColGetDec64(*b, row, 4), Dec64{});
}

TEST(Bucket, MisuseAndReadOnlyChangesPanicNamingTheOperation) {
  PanicCatcher catcher;
  BucketHold b(MakeLines());
  for (int i = 0; i < 3; ++i) AddLine(*b, 1, i + 1, "t", 0);
  int64_t v = 0;
  EXPECT_EQ(PanicText([&] { _ColGetScalar(*b, 5, 1, v, 3); }),
            "Bucket._ColGetScalar: row 5 out of range 1..3");
  EXPECT_EQ(PanicText([&] { _ColGetInt(*b, 1, 6); }), "Bucket._ColGetInt: column 6 out of range 1..5");
  EXPECT_NE(PanicText([&] { _ColGetDec64(*b, 1, 3); }), "");      // text is not Dec64
  EXPECT_NE(PanicText([&] { _ColSetInt(*b, 1, 5, 256); }), "");    // byte column
  EXPECT_NE(PanicText([&] { _ColGetScalar(*b, 1, 1, v, 1); }), "");  // int32 into 2 bytes
  EXPECT_EQ(PanicText([&] { _ColSetInt(*b, 1, 2, 65535); }), "");  // day numbers run past 32767

  _BktSetReadOnly(*b, true);
  int row = 0;
  const std::function<void()> changes[] = {
      [&] { _BktInsert(*b, 0, row); },        [&] { _BktDelete(*b, 1); },
      [&] { _BktDeleteAll(*b); },             [&] { _ColSetInt(*b, 1, 1, 2); },
      [&] { _ColSetTextW(*b, 1, 3, "x"); },   [&] { _ColSetNull(*b, 1, 3); },
      [&] { _ColSetChg(*b, 1, 3); },          [&] { _BktClearChg(*b, 1); },
      [&] { _BktSetState(*b, 1, kRowDeleted); }, [&] { _BktSort(*b, {2}); },
  };
  for (const auto& change : changes) {
    EXPECT_NE(PanicText(change).find("read-only Bucket"), std::string::npos);
  }
  EXPECT_EQ(_BktCountAll(*b), 3);
  EXPECT_EQ(_ColGetStringW(*b, 1, 3), "t");  // reading stays allowed
}

TEST(Bucket, CloneAndDupeAreIndependentCopies) {
  HSem sem = _Create("test.bucketSem");
  BucketHold src(MakeLines());
  AddLine(*src, 7, 1, "alpha", 1'500'000);
  int r2 = AddLine(*src, 7, 2, nullptr, -1);
  _BktSetState(*src, 1, kRowExisting);
  _BktClearChg(*src, 1);
  _BktSetSemaphore(*src, sem);
  _BktSetReadOnly(*src, true);

  BucketHold clone;
  _BktClone(clone.get(), 0, 0, *src);
  EXPECT_EQ(_BktCountAll(*clone), 0);
  EXPECT_EQ(_ColListFromBkt(*clone), "po#,line,title,amount,flag");
  EXPECT_EQ(_BktGetColLength(*clone, 3), 5);
  EXPECT_TRUE(_BktIsKeyCol(*clone, 2));
  EXPECT_FALSE(_BktIsReadOnly(*clone));
  EXPECT_EQ(_BktGetSemaphore(*clone), nullptr);
  BucketHold kept;
  _BktClone(kept.get(), 1, 1, *src);
  EXPECT_TRUE(_BktIsReadOnly(*kept));
  EXPECT_EQ(_BktGetSemaphore(*kept), sem);

  BucketHold dupe(_BktDupe(*src));
  EXPECT_FALSE(_BktIsReadOnly(*dupe));
  ASSERT_EQ(_BktCountAll(*dupe), 2);
  EXPECT_EQ(_BktGetState(*dupe, 1), kRowExisting);
  EXPECT_FALSE(_BktRowIsChanged(*dupe, 1));
  EXPECT_EQ(_BktGetState(*dupe, r2), kRowNew);
  EXPECT_TRUE(_ColIsChanged(*dupe, r2, 2));
  EXPECT_TRUE(_ColIsNull(*dupe, r2, 3));
  _ColSetTextW(*dupe, 1, 3, "beta");
  EXPECT_EQ(_ColGetStringW(*src, 1, 3), "alpha");

  BucketHold existing(_BktDupeState(*src, kRowExisting));
  ASSERT_EQ(_BktCountAll(*existing), 1);
  EXPECT_EQ(_ColGetDec64(*existing, 1, 4), Dec64::FromRaw(1'500'000));
  _Destroy(&sem);
}

TEST(Bucket, SortIsStableDescendingKeepsNullsFirst) {
  BucketHold b(MakeLines());
  AddLine(*b, 1, 1, "b", 2);
  AddLine(*b, 1, 2, "a", -1);
  AddLine(*b, 1, 3, "c", 2);
  AddLine(*b, 1, 4, "d", 1);
  AddLine(*b, 1, 5, "e", -1);
  _BktSort(*b, {-4});
  EXPECT_EQ(Titles(*b), "aebcd");
  _BktSort(*b, {4, -3});
  EXPECT_EQ(Titles(*b), "eadcb");
  _BktSort(*b, {2});
  EXPECT_EQ(Titles(*b), "bacde");

  // Enough rows that an unstable sort would show: lines keep their order
  // within each amount.
  BucketHold big(MakeLines());
  for (int i = 1; i <= 60; ++i) AddLine(*big, 1, i, "x", (i * 7) % 3);
  _BktSort(*big, {-4});
  for (int r = 2; r <= 60; ++r) {
    if (_ColGetDec64(*big, r, 4) == _ColGetDec64(*big, r - 1, 4)) {
      EXPECT_LT(_ColGetInt(*big, r - 1, 2), _ColGetInt(*big, r, 2)) << "row " << r;
    } else {
      EXPECT_GT(_ColGetDec64(*big, r - 1, 4), _ColGetDec64(*big, r, 4)) << "row " << r;
    }
  }
}

TEST(Bucket, LocateByTwoKeysRangesAndScan) {
  BucketHold b(MakeLines());
  AddLine(*b, 5, 1, "Apple", 10);
  AddLine(*b, 6, 2, "M\xC3\xBCll", 20);  // "Müll"
  AddLine(*b, 5, 2, "apple", 30);
  AddLine(*b, 5, 2, "Pear", 40);
  int row = -1;
  EXPECT_TRUE(_BktLocateKey(*b, 1, BktKey::Int(5), 2, BktKey::Int(2), row));
  EXPECT_EQ(row, 3);
  EXPECT_TRUE(_BktLocateKey(*b, 1, BktKey::Int(5), 2, BktKey::Int(2), row, 4));
  EXPECT_EQ(row, 4);
  EXPECT_FALSE(_BktLocateKey(*b, 1, BktKey::Int(5), 2, BktKey::Int(2), row, 5));
  EXPECT_EQ(row, 0);
  EXPECT_TRUE(_BktLocateKey(*b, 3, BktKey::Text("apple"), 0, {}, row));  // case-sensitive
  EXPECT_EQ(row, 3);
  EXPECT_TRUE(_ValueInCol(*b, 4, BktKey::Dec(Dec64::FromRaw(40))));
  EXPECT_FALSE(_ValueInCol(*b, 3, BktKey::Text("Appl")));  // whole value only

  EXPECT_TRUE(_BktScan(*b, 3, "\xC3\x9CLL", row));  // "ÜLL" finds "Müll"
  EXPECT_EQ(row, 2);
  EXPECT_TRUE(_BktScan(*b, 3, "PPL", row, 2));
  EXPECT_EQ(row, 3);

  int first = 0, last = 0;
  _BktSort(*b, {4});
  EXPECT_TRUE(_BktLocateRange(*b, 4, BktKey::Dec(Dec64::FromRaw(15)), BktKey::Dec(Dec64::FromRaw(40)),
                              first, last));
  EXPECT_EQ(first, 2);
  EXPECT_EQ(last, 4);
  EXPECT_FALSE(_BktLocateRange(*b, 4, BktKey::Dec(Dec64::FromRaw(41)), BktKey::Dec(Dec64::FromRaw(99)),
                               first, last));

  BucketHold probe(MakeLines());
  AddLine(*probe, 6, 2, "zzz", 0);
  EXPECT_TRUE(_LocateRow(*b, *probe, 1, {}, row));  // by the key columns po#, line
  EXPECT_EQ(_ColGetStringW(*b, row, 3), "M\xC3\xBCll");
}

TEST(Bucket, RowCopiesCarryNullsStatesAndFlags) {
  BucketHold src(MakeLines());
  AddLine(*src, 1, 1, nullptr, 5);
  _BktSetState(*src, 1, kRowDeleted);
  _ColClearChg(*src, 1, 4);

  BucketHold dst(MakeLines());
  AddLine(*dst, 9, 9, "old", 9);
  _BktRowCopy(*dst, 1, *src, 1);
  EXPECT_EQ(_BktGetState(*dst, 1), kRowDeleted);
  EXPECT_TRUE(_ColIsNull(*dst, 1, 3));
  EXPECT_FALSE(_ColIsChanged(*dst, 1, 4));
  EXPECT_TRUE(_ColIsChanged(*dst, 1, 1));

  _BktClearChg(*dst, 1);
  _ColCopy(*dst, 1, 4, *src, 1, 4);
  EXPECT_TRUE(_ColIsChanged(*dst, 1, 4));

  AddLine(*src, 2, 1, "x", 1);
  AddLine(*src, 1, 1, "y", 1);
  _BktCopyAll(*dst, *src);
  EXPECT_EQ(Titles(*dst), "-xy");

  BucketHold unique(_CreateDeDupedBkt(*src, {1, 2}));
  EXPECT_EQ(Titles(*unique), "-x");  // "y" repeats po# 1 line 1 of the first row

  int row = 0, seen = 0;
  while (_BktNext(*src, kRowNew, row)) ++seen;
  EXPECT_EQ(seen, 2);
}

}  // namespace

// Lookups in a Bucket large enough to be indexed give the first matching
// row, as a search row by row would, through every kind of change.
TEST(Bucket, LocateKeyFindsTheFirstMatchThroughEveryKindOfChange) {
  BucketHold b(MakeLines());
  // What the Bucket should hold: po# per row (0 for NULL) and the title.
  std::vector<std::pair<int, std::string>> model;
  auto add = [&](int po, const std::string& title) {
    AddLine(*b, po, 1, title.c_str(), 0);
    model.emplace_back(po, title);
  };
  for (int i = 0; i < 150; ++i) add(i % 40 + 1, "t" + std::to_string(i % 25));

  auto expectFirst = [&](int po, int start) {
    int want = 0;
    for (size_t r = static_cast<size_t>(start - 1); r < model.size() && want == 0; ++r)
      if (model[r].first == po) want = static_cast<int>(r + 1);
    int row = -1;
    EXPECT_EQ(_BktLocateKey(*b, 1, BktKey::Int(po), 0, {}, row, start), want != 0) << po;
    EXPECT_EQ(row, want) << "po# " << po << " from row " << start;
  };
  auto expectAll = [&](const char* after) {
    SCOPED_TRACE(after);
    for (int po : {1, 7, 40, 41, 99}) {
      expectFirst(po, 1);
      expectFirst(po, 60);
    }
    // A lookup on another column between them keeps both indexes right.
    int row = 0;
    const bool found = _BktLocateKey(*b, 3, BktKey::Text("new"), 0, {}, row);
    auto it = std::find_if(model.begin(), model.end(), [](const auto& m) { return m.second == "new"; });
    EXPECT_EQ(found, it != model.end());
    EXPECT_EQ(row, it == model.end() ? 0 : static_cast<int>(it - model.begin()) + 1);
  };

  uint32_t seed = 12345;
  auto next = [&seed](uint32_t n) { seed = seed * 1103515245u + 12345u; return (seed >> 8) % n; };
  expectAll("loading");
  for (int step = 0; step < 300; ++step) {
    const int row = static_cast<int>(next(static_cast<uint32_t>(model.size()))) + 1;
    switch (next(7)) {
      case 0: {   // a new value in the indexed column
        const int po = static_cast<int>(next(45)) + 1;
        _ColSetInt(*b, row, 1, po);
        model[static_cast<size_t>(row - 1)].first = po;
        break;
      }
      case 1:
        _ColSetNull(*b, row, 1);
        model[static_cast<size_t>(row - 1)].first = 0;
        break;
      case 2: add(static_cast<int>(next(45)) + 1, "new"); break;
      case 3:
        _BktDelete(*b, row);
        model.erase(model.begin() + (row - 1));
        break;
      case 4:
        _BktInsertAt(*b, 0, row);
        model.insert(model.begin() + (row - 1), {0, ""});
        break;
      case 5: {   // a copy of another row's po#
        const int from = static_cast<int>(next(static_cast<uint32_t>(model.size()))) + 1;
        _ColCopy(*b, row, 1, *b, from, 1);
        model[static_cast<size_t>(row - 1)].first = model[static_cast<size_t>(from - 1)].first;
        break;
      }
      default:
        _BktSetState(*b, row, kRowDeleted);   // a mark, not a value
        break;
    }
    expectAll(("step " + std::to_string(step)).c_str());
    if (HasFailure()) return;
  }

  // Keys of another numeric kind compare by value; NULL finds NULL.
  _ColSetInt(*b, 3, 1, 77);
  int row = 0;
  EXPECT_TRUE(_BktLocateKey(*b, 1, BktKey::Dec(Dec64::FromInt(77)), 0, {}, row));
  EXPECT_EQ(row, 3);
  EXPECT_FALSE(_BktLocateKey(*b, 1, BktKey::Dec(Dec64::FromRaw(77'500'000)), 0, {}, row));
  _ColSetDec64(*b, 5, 4, Dec64::FromInt(12));
  EXPECT_TRUE(_BktLocateKey(*b, 4, BktKey::Int(12), 0, {}, row));
  EXPECT_EQ(row, 5);
  _ColSetNull(*b, 8, 1);
  EXPECT_TRUE(_BktLocateKey(*b, 1, BktKey{}, 0, {}, row));
  EXPECT_LE(row, 8);
  EXPECT_TRUE(_ColIsNull(*b, row, 1));
  // A second key narrows the rows of the first.
  _ColSetTextW(*b, 9, 3, "Pear");
  _ColSetInt(*b, 9, 1, 77);
  EXPECT_TRUE(_BktLocateKey(*b, 1, BktKey::Int(77), 3, BktKey::Text("Pear"), row));
  EXPECT_EQ(row, 9);
}
