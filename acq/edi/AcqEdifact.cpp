// AcqEdifact: the vendor and location lookups, message texts and the
// exception writer shared by the upload, order responses and invoices (the
// text routines are in AcqEdifactText.cpp).
#include "acq/edi/AcqEdifact.h"

#include <algorithm>
#include <cctype>
#include <set>

#include "acq/AcqUnit.h"
#include "acq/db/AcqDb.h"
#include "acq/frame/AcqBase.h"
#include "host/db/DbDabs.h"
#include "host/sys/LbStr.h"

namespace acq::AcqEdifact {

namespace {

std::string Quoted(std::string_view text) {
  std::string out = "'";
  for (char c : text) {
    out += c;
    if (c == '\'') out += '\'';
  }
  return out + "'";
}

// The distinct values of `column` (the first column loaded) of `table`
// where `where` holds, at most two of them (enough to tell one from many).
Lookup Distinct(std::string_view table, std::string_view column, const std::string& where,
                std::vector<std::string>& values) {
  values.clear();
  Lookup result;
  BucketHold rows;
  DbMsg msg;
  if (const DbCode code = AcqDb::LoadTable(msg, AcqDb::ClearChanges::Yes, std::string(column),
                                           where, column, table, rows.get());
      code != kDbOk) {
    result.result = Lookup::Result::DbError;
    result.code = code;
    result.msg = msg;
    return result;
  }
  std::set<std::string> seen;
  for (int row = 1; row <= _BktCountAll(*rows); ++row) {
    if (_ColIsNull(*rows, row, 1)) continue;
    std::string value = _BktGetColType(*rows, 1) == kColText
                            ? _ColGetStringW(*rows, row, 1)
                            : std::to_string(_ColGetInt(*rows, row, 1));
    if (seen.insert(value).second) values.push_back(std::move(value));
  }
  result.result = values.empty() ? Lookup::Result::NotFound : Lookup::Result::Found;
  return result;
}

// One value from a lookup of `column` = code: found, not found, or more
// than one (ambiguous with `ambiguousId`).
Lookup One(std::string_view table, std::string_view keyColumn, std::string_view column,
           std::string_view code, int ambiguousId, std::string& value) {
  std::vector<std::string> values;
  Lookup result = Distinct(table, keyColumn, std::string(column) + "=" + Quoted(code), values);
  if (result.result != Lookup::Result::Found) return result;
  if (values.size() > 1) {
    result.result = Lookup::Result::Ambiguous;
    result.message = ambiguousId;
    return result;
  }
  value = values.front();
  return result;
}

bool AllDigits(std::string_view text) {
  return !text.empty() && text.size() <= 9 &&
         std::all_of(text.begin(), text.end(), [](char c) { return c >= '0' && c <= '9'; });
}

// A SAN looked up as written, then in its second form when that finds none.
Lookup BySan(std::string_view table, std::string_view keyColumn, std::string_view code,
             int ambiguousId, std::string& value) {
  Lookup result = One(table, keyColumn, "san", code, ambiguousId, value);
  if (result.result != Lookup::Result::NotFound) return result;
  const std::string second = SanSecondForm(code);
  if (second == code) return result;
  return One(table, keyColumn, "san", second, ambiguousId, value);
}

}  // namespace

Lookup FindVendor(int kind, std::string_view code, int32_t& vendor) {
  vendor = 0;
  std::string value;
  Lookup result;
  if (code.empty()) return result;
  switch (kind) {
    case 0:
      if (!AllDigits(code)) return result;
      result = One("vendor", "vendor#", "vendor#", code, 0, value);
      break;
    case 1: {
      std::vector<std::string> values;
      // A customer number of one contract names its vendor; none or several
      // contracts, the vendor's own customer number decides.
      result = Distinct("vendor_contract", "vendor#", "cust_number=" + Quoted(code), values);
      if (result.result == Lookup::Result::DbError) return result;
      const bool severalContracts = values.size() > 1;
      if (values.size() == 1) {
        value = values.front();
        break;
      }
      result = One("vendor", "vendor#", "cust_number", code, 345, value);
      if (result.result == Lookup::Result::NotFound && severalContracts) {
        result.result = Lookup::Result::Ambiguous;
        result.message = 345;
      }
      break;
    }
    case 2: result = One("vendor", "vendor#", "ean_gln", code, 341, value); break;
    case 3: result = BySan("vendor", "vendor#", code, 342, value); break;
    default: return result;
  }
  if (result.found()) vendor = static_cast<int32_t>(std::stol(value));
  return result;
}

Lookup FindLocation(int kind, std::string_view code, std::string& location) {
  location.clear();
  Lookup result;
  if (code.empty()) return result;
  switch (kind) {
    case 0: {
      // One address code may be used by several locations: the first wins.
      std::vector<std::string> values;
      result = Distinct("address", "location", "address_code=" + Quoted(code), values);
      if (result.found()) location = values.front();
      return result;
    }
    case 1: return One("address", "location", "ean_gln", code, 343, location);
    case 2: return BySan("address", "location", code, 344, location);
    default: return result;   // a supplier-assigned code names no location of ours
  }
}

std::string MessageText(int id, std::string_view arg1, std::string_view arg2) {
  return Lb_FormatMessage(AcqBase::LoadStrText(id), arg1, arg2);
}

std::string PlainText(int id, std::string_view arg1, std::string_view arg2) {
  std::string caption, text;
  Lb_SplitCaption(AcqBase::LoadStr(id), caption, text);
  return Lb_FormatMessage(caption, arg1, arg2);
}

ExceptionWriter::ExceptionWriter(BktHandle exceptions, int process,
                                 std::function<void(std::string_view)> status)
    : bkt_(exceptions), process_(process), status_(std::move(status)) {}

void ExceptionWriter::Write(int32_t edifact, int32_t message, int32_t segment,
                            std::string_view arg, int messageId, bool error) {
  const std::string text = MessageText(messageId, arg);
  if (error) {
    ++errors_;
    failed_ = true;
  } else {
    ++warnings_;
  }
  if (error && process_ == 0) {
    _BktDeleteAll(bkt_);
    edifact = message = segment = 0;
  }
  if (bkt_ != nullptr) {
    DayNum date = 0;
    MinuteOfDay time = 0;
    DbDabs_GetDateTime(date, time);
    int row = 0;
    _BktInsert(bkt_, 0, row);
    auto setInt = [&](const char* column, int32_t value, bool nullWhenZero) {
      const int col = _BktGetColNum(bkt_, column);
      if (col <= 0) return;
      if (nullWhenZero && value == 0)
        _ColSetNull(bkt_, row, col);
      else
        _ColSetInt(bkt_, row, col, value);
    };
    setInt("exception_date", date, false);
    setInt("exception_time", time, false);
    setInt("process", process_, false);
    if (const int col = _BktGetColNum(bkt_, "warning_or_error"); col > 0)
      _ColSetBoolean(bkt_, row, col, error);
    if (const int col = _BktGetColNum(bkt_, "descr"); col > 0)
      _ColSetTextW(bkt_, row, col, Lb_CutChars(text, 255));
    setInt("edifact#", edifact, true);
    setInt("segment#", segment, true);
    setInt("message#", message, true);
    if (const int col = _BktGetColNum(bkt_, "edifact_exception#"); col > 0)
      _ColSetNull(bkt_, row, col);
  }
  if (status_) status_(text);
}

void ExceptionWriter::Reset() {
  warnings_ = errors_ = 0;
  failed_ = false;
}

BktHandle NewTableBucket(std::string_view table, DbMsg& msg) {
  BktHandle bkt = nullptr;
  if (AcqDb::BktFromCols(msg, 0, 0, bkt, "*", table) != kDbOk) {
    _BktDestroy(&bkt);
    return nullptr;
  }
  return bkt;
}

}  // namespace acq::AcqEdifact

ACQ_UNIT_EMPTY(AcqEdifact)
