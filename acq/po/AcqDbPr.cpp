// AcqDbPr: purchase requests in the database: their save, their delete, and
// the PO line made from one.
#include "acq/po/AcqDbPr.h"

#include <functional>

#include "acq/budget/AcqFundCtrl.h"
#include "acq/db/AcqDb.h"
#include "acq/db/AcqDbBase.h"
#include "acq/db/AcqDbExcept.h"
#include "acq/db/AcqDbGlobal.h"
#include "acq/db/AcqDbNames.h"
#include "acq/frame/AcqBase.h"
#include "acq/po/AcqDbAct.h"
#include "host/db/DbDabs.h"
#include "host/db/PwDb.h"
#include "host/muc/MucTools.h"
#include "host/sys/LbStr.h"

namespace acq::AcqDbPr {
namespace {

using AcqDbExcept::HandleDbError;

constexpr int kRetries = 5;

enum Msg : int {
  kMsgNoDefaultShipTo = 3,
  kMsgShipToType = 357,
  kMsgOnLine = 1860,
  kMsgNoOpenPo = 1861,
  kMsgOtherVendor = 1862,
  kMsgNoRows = 1863,
  kMsgNoRate = 1866,
  kMsgGone = 1869,
  kMsgNoLocation = 1871,
  kMsgNoTitle = 1872,
  kMsgQuantity = 1873,
  kMsgUnknownBudget = 1874,
  kMsgUnknownVendor = 1876,
};

constexpr const char* kPr = "pr";
constexpr const char* kPrDistribution = "pr_distribution";
// The columns of the line and its items that a request fills.
constexpr const char* kLineColumns =
    "po#,line,bib#,title,author,isbn,issn,publisher,unit_price,last_item,pr#,last_update_date";
constexpr const char* kItemColumns =
    "po#,line,item,location,collection,itype,call_number,budget,ship_to_address,borrower#";

int Col(BktHandle bkt, std::string_view name) { return _BktGetColNum(bkt, name); }

std::string Text(BktHandle bkt, int row, std::string_view column) {
  const int col = Col(bkt, column);
  if (col == 0 || _ColIsNull(bkt, row, col)) return {};
  std::string text = _ColGetStringW(bkt, row, col);
  while (!text.empty() && text.back() == ' ') text.pop_back();
  return text;
}

int64_t Whole(BktHandle bkt, int row, std::string_view column, int64_t none = 0) {
  const int col = Col(bkt, column);
  if (col == 0 || _ColIsNull(bkt, row, col)) return none;
  int64_t value = 0;
  _ColGetScalar(bkt, row, col, value, 3);
  return value;
}

std::string Quote(std::string_view text) {
  std::string out;
  (void)_DbQuoteAppend(out, static_cast<int>(2 * text.size() + 2), text);
  return out;
}

void Show(int id, std::string_view a1 = {}, std::string_view a2 = {},
          std::string_view a3 = {}) {
  MucTools_MsgBoxCap(PwMucBase_hwndClient, Lb_FormatMessage(AcqBase::LoadStr(id), a1, a2, a3),
                     MB_OK | MB_ICONWARNING);
}

bool Write(DbCode (*write)(DbMsg&, int, BktHandle, std::string_view), int row, BktHandle bkt,
           std::string_view table) {
  DbMsg msg;
  const DbCode code = write(msg, row, bkt, table);
  if (code == kDbOk) return true;
  HandleDbError(msg, code);
  return false;
}

bool Exists(const std::string& sql, bool& exists) {
  int32_t n = 0;
  if (!AcqDbBase::SelectCount(sql, n)) return false;
  exists = n > 0;
  return true;
}

// ---- saving a request --------------------------------------------------------------------------

// Why live row `row` of the distribution may not be saved; fills an empty
// ship_to with the location's default shipping address. False on a
// failure (reported).
bool CheckRow(BktHandle rows, int row, Refusal& refusal) {
  const int64_t quantity = Whole(rows, row, "quantity", -1);
  if (quantity < 1 || quantity > kMaxQuantity) {
    refusal = {kMsgQuantity, std::to_string(kMaxQuantity), row, "quantity"};
    return true;
  }
  const std::string location = Text(rows, row, "location");
  if (location.empty()) {
    refusal = {kMsgNoLocation, {}, row, "location"};
    return true;
  }
  std::string shipTo;
  if (!DefaultShipTo(location, shipTo)) return false;
  if (shipTo.empty()) {
    refusal = {kMsgNoDefaultShipTo, location, row, "location"};
    return true;
  }
  const std::string typed = Text(rows, row, "ship_to");
  bool exists = false;
  if (typed.empty()) {
    _ColSetTextW(rows, row, Col(rows, "ship_to"), shipTo);
  } else {
    if (!Exists("select count(*) from address where location=" + Quote(location) +
                    " and address_code=" + Quote(typed) + " and ship_to=1",
                exists))
      return false;
    if (!exists) {
      refusal = {kMsgShipToType, typed, row, "ship_to"};
      return true;
    }
  }
  const std::string budget = Text(rows, row, "budget");
  if (budget.empty()) return true;
  if (!Exists("select count(*) from budget where budget=" + Quote(budget), exists)) return false;
  if (!exists) refusal = {kMsgUnknownBudget, budget, row, "budget"};
  return true;
}

// One pass of a request save, inside its transaction; a refusal ends it
// (false) with `refusal` set.
bool SavePass(BktHandle request, BktHandle rows, Refusal& refusal) {
  refusal = {};
  if (Text(request, 1, "title").empty()) {
    refusal = {kMsgNoTitle, {}, 0, "title"};
    return false;
  }
  if (const int64_t vendor = Whole(request, 1, "vendor#"); vendor != 0) {
    bool exists = false;
    if (!Exists("select count(*) from vendor where vendor#=" + std::to_string(vendor), exists))
      return false;
    if (!exists) {
      refusal = {kMsgUnknownVendor, std::to_string(vendor), 0, "vendor#"};
      return false;
    }
  }
  for (int row = 1; row <= _BktCountAll(rows); ++row) {
    if (_BktGetState(rows, row) == kRowDeleted) continue;
    if (!CheckRow(rows, row, refusal)) return false;
    if (refusal.id != 0) return false;
  }
  const int prCol = Col(request, "pr#");
  if (_BktGetState(request, 1) == kRowNew && Whole(request, 1, "pr#") <= 0) {
    DbMsg msg;
    int32_t key = 0;
    if (const DbCode code =
            _DbGetNewKeyValidate(AcqDbGlobal::Session(), kPr, kPr, "pr#", key, msg);
        code != kDbOk) {
      HandleDbError(msg, code);
      return false;
    }
    _ColSetInt(request, 1, prCol, key);
  }
  const int32_t pr = static_cast<int32_t>(Whole(request, 1, "pr#"));
  if (_BktGetState(request, 1) == kRowNew) {
    if (!Write(&AcqDb::InsertRow, 1, request, kPr)) return false;
  } else if (_BktRowIsChanged(request, 1) && !Write(&AcqDb::UpdateRow, 1, request, kPr)) {
    return false;
  }
  // New rows take the lines after the highest stored now (another
  // workstation may have added rows since this one read them).
  int32_t last = 0;
  if (!AcqDbBase::SelectCount("select max(line) from pr_distribution where pr#=" +
                                  std::to_string(pr),
                              last))
    return false;
  for (int row = 1; row <= _BktCountAll(rows); ++row) {
    const int state = _BktGetState(rows, row);
    if (state == kRowDeleted) {
      if (Whole(rows, row, "line") > 0 && !Write(&AcqDb::DeleteRow, row, rows, kPrDistribution))
        return false;
    } else if (state == kRowNew) {
      _ColSetInt(rows, row, Col(rows, "pr#"), pr);
      _ColSetInt(rows, row, Col(rows, "line"), ++last);
      if (!Write(&AcqDb::InsertRow, row, rows, kPrDistribution)) return false;
    } else if (_BktRowIsChanged(rows, row) &&
               !Write(&AcqDb::UpdateRow, row, rows, kPrDistribution)) {
      return false;
    }
  }
  return true;
}

// ---- making a PO line ---------------------------------------------------------------------------

// The line made from `pr` already, if any (po 0: none).
bool LineOfRequest(int32_t pr, MadeLine& line) {
  line = {};
  BucketHold found;
  if (!AcqDbBase::LoadRows("po#,line", names::po_line, "pr#=" + std::to_string(pr), "po#,line",
                           found))
    return false;
  if (_BktCountAll(*found) == 0) return true;
  line.po = _ColGetInt(*found, 1, Col(*found, "po#"));
  line.line = static_cast<int16_t>(Whole(*found, 1, "line"));
  BucketHold number;
  if (!AcqDbBase::LoadRows("po_number", names::po, "po#=" + std::to_string(line.po), "", number))
    return false;
  line.poNumber =
      _BktCountAll(*number) > 0 ? Text(*number, 1, "po_number") : std::to_string(line.po);
  return true;
}

// An exchange rate of `currency`; false when it has none above zero.
bool RateOf(const std::string& currency, Dec64& rate, bool& failed) {
  BucketHold row;
  failed = !AcqDbBase::LoadRows("exchange_rate", "currency", "currency=" + Quote(currency), "",
                                row);
  if (failed || _BktCountAll(*row) == 0) return false;
  const int col = Col(*row, "exchange_rate");
  if (_ColIsNull(*row, 1, col)) return false;
  rate = _ColGetDec64(*row, 1, col);
  return rate > Dec64{};
}

// An empty Bucket of the item columns as the table types them, and a
// whole-number quantity (a row stands for that many items).
bool MakeItemRows(BucketHold& items) {
  BucketHold typed;
  if (!AcqDbBase::LoadBktFromCols(0, 0, typed.get(), kItemColumns, names::po_line_item))
    return false;
  const int n = _BktGetNCols(*typed);
  _BktCreate(items.get(), n + 1, 8, 8);
  for (int col = 1; col <= n; ++col)
    _BktSetColInfo(*items, col, _BktGetColName(*typed, col), _BktGetColLength(*typed, col),
                   _BktGetColType(*typed, col), _BktIsKeyCol(*typed, col) ? 1 : 0);
  _BktSetColInfo(*items, n + 1, "quantity", 0, kColInt16, 0);
  return true;
}

void CopyText(BktHandle to, int toRow, std::string_view toColumn, BktHandle from, int fromRow,
              std::string_view fromColumn) {
  const std::string text = Text(from, fromRow, fromColumn);
  if (!text.empty()) _ColSetTextW(to, toRow, Col(to, toColumn), text);
}

// The line of the request and its item rows (one per distribution row, its
// quantity on it), the price `price` already in the PO's currency.
bool BuildLine(BktHandle request, BktHandle rows, int32_t po, Dec64 price, BucketHold& line,
               BucketHold& items) {
  if (!AcqDbBase::LoadBktFromCols(0, 0, line.get(), kLineColumns, names::po_line) ||
      !MakeItemRows(items))
    return false;
  int row = 0;
  _BktInsert(*line, 0, row);
  _ColSetInt(*line, row, Col(*line, "po#"), po);
  _ColSetInt(*line, row, Col(*line, "line"), 0);
  for (const char* column : {"title", "author", "isbn", "issn", "publisher"})
    CopyText(*line, row, column, request, 1, column);
  if (const int64_t bib = Whole(request, 1, "bib#"); bib > 0)
    _ColSetInt(*line, row, Col(*line, "bib#"), static_cast<int32_t>(bib));
  _ColSetDec64(*line, row, Col(*line, "unit_price"), price);
  _ColSetInt(*line, row, Col(*line, "pr#"), static_cast<int32_t>(Whole(request, 1, "pr#")));
  _ColSetScalar(*line, row, Col(*line, "last_update_date"), DbDabs_GetDate(), 1);
  const int64_t borrower = Whole(request, 1, "borrower#");
  for (int d = 1; d <= _BktCountAll(rows); ++d) {
    int item = 0;
    _BktInsert(*items, 0, item);
    CopyText(*items, item, "location", rows, d, "location");
    CopyText(*items, item, "collection", rows, d, "collection");
    CopyText(*items, item, "itype", rows, d, "itype");
    CopyText(*items, item, "budget", rows, d, "budget");
    CopyText(*items, item, "call_number", rows, d, "call_number");
    CopyText(*items, item, "ship_to_address", rows, d, "ship_to");
    _ColSetInt(*items, item, Col(*items, "quantity"),
               static_cast<int32_t>(Whole(rows, d, "quantity", 1)));
    // The person who asked for the title waits for one copy: the first.
    if (d == 1 && borrower > 0)
      _ColSetInt(*items, item, Col(*items, "borrower#"), static_cast<int32_t>(borrower));
  }
  return true;
}

// The request's price in the PO's currency (told when it cannot be had).
MakeResult PriceOnPo(BktHandle request, BktHandle poRow, Dec64& price) {
  const int priceCol = Col(request, "unit_price");
  price = _ColIsNull(request, 1, priceCol) ? Dec64{} : _ColGetDec64(request, 1, priceCol);
  const std::string from = Text(request, 1, "currency");
  const std::string to = Text(poRow, 1, "currency");
  if (from.empty() || from == to || price.IsZero()) return MakeResult::Made;
  Dec64 fromRate, toRate;
  bool failed = false;
  const bool haveFrom = RateOf(from, fromRate, failed);
  if (failed) return MakeResult::Failed;
  const bool haveTo = haveFrom && RateOf(to, toRate, failed);
  if (failed) return MakeResult::Failed;
  if (!haveFrom || !haveTo ||
      !ConvertPrice(price, fromRate, toRate, AcqDbGlobal::Globals().params.decimal_digits,
                    price)) {
    Show(kMsgNoRate, haveFrom ? to : from);
    return MakeResult::NoRate;
  }
  return MakeResult::Made;
}

// What refuses the line before a transaction: the request, its rows, the
// PO and the price in the PO's currency. Anything but Made is told here.
MakeResult Prepare(int32_t pr, int32_t po, BucketHold& request, BucketHold& rows,
                   BucketHold& poRow, Dec64& price, MadeLine& onLine) {
  if (!AcqDbBase::LoadRows("*", kPr, "pr#=" + std::to_string(pr), "", request))
    return MakeResult::Failed;
  if (_BktCountAll(*request) == 0) {
    Show(kMsgGone, std::to_string(pr));
    return MakeResult::Gone;
  }
  // Told first, whichever PO was chosen (read again when the line is saved).
  if (!LineOfRequest(pr, onLine)) return MakeResult::Failed;
  if (onLine.po != 0) {
    Show(kMsgOnLine, std::to_string(pr), onLine.poNumber, std::to_string(onLine.line));
    return MakeResult::OnLine;
  }
  if (!AcqDbBase::LoadRows("po#,po_number,vendor#,vendor_contract,currency,completion_date",
                           names::po, "po#=" + std::to_string(po), "", poRow))
    return MakeResult::Failed;
  if (_BktCountAll(*poRow) == 0 ||
      !_ColIsNull(*poRow, 1, Col(*poRow, "completion_date"))) {
    Show(kMsgNoOpenPo, _BktCountAll(*poRow) ? Text(*poRow, 1, "po_number") : std::to_string(po));
    return MakeResult::PoNotOpen;
  }
  const int64_t vendor = Whole(*request, 1, "vendor#");
  if (vendor > 0 && vendor != Whole(*poRow, 1, "vendor#")) {
    Show(kMsgOtherVendor, Text(*poRow, 1, "po_number"));
    return MakeResult::OtherVendor;
  }
  if (!LoadDistribution(pr, rows.get())) return MakeResult::Failed;
  if (_BktCountAll(*rows) == 0) {
    Show(kMsgNoRows);
    return MakeResult::NoRows;
  }
  return PriceOnPo(*request, *poRow, price);
}

}  // namespace

bool DefaultShipTo(std::string_view location, std::string& code) {
  code.clear();
  BucketHold row;
  if (!AcqDbBase::LoadRows("address_code", "address",
                           "location=" + Quote(location) +
                               " and default_ship_to=1 and ship_to=1",
                           "address_code", row))
    return false;
  if (_BktCountAll(*row) > 0) code = Text(*row, 1, "address_code");
  return true;
}

bool LoadDistribution(int32_t pr, BktHandle& rows) {
  BucketHold fresh;
  const bool ok =
      pr == 0 ? AcqDbBase::LoadBktFromCols(0, 0, fresh.get(), kDistributionColumns,
                                           kPrDistribution)
              : AcqDbBase::LoadRows(kDistributionColumns, kPrDistribution,
                                    "pr#=" + std::to_string(pr), "line", fresh);
  if (!ok) return false;
  _BktDestroy(&rows);
  rows = fresh.release();
  return true;
}

bool SaveRequest(BktHandle request, BktHandle rows, Refusal& refusal) {
  refusal = {};
  Refusal found;
  const bool saved = AcqDbBase::SaveWithReportedRetry(
      kRetries, [&] { return SavePass(request, rows, found); }, {request, rows});
  if (!saved) {
    refusal = found;
    if (refusal.id != 0) Show(refusal.id, refusal.arg);
    return false;
  }
  for (int row = _BktCountAll(rows); row >= 1; --row)
    if (_BktGetState(rows, row) == kRowDeleted) _BktDelete(rows, row);
  return true;
}

bool DeleteRequests(const std::vector<int32_t>& requests) {
  if (requests.empty()) return true;
  std::string keys;
  for (int32_t pr : requests) keys += (keys.empty() ? "" : ",") + std::to_string(pr);
  return AcqDbBase::SaveWithReportedRetry(
      kRetries,
      [&] {
        return AcqDbBase::RunStatement("delete from pr_distribution where pr# in(" + keys +
                                       ")") &&
               AcqDbBase::RunStatement("delete from pr where pr# in(" + keys + ")");
      },
      {});
}

bool FindOpenPo(std::string_view number, int32_t& po) {
  po = 0;
  std::string text(number);
  while (!text.empty() && text.back() == ' ') text.pop_back();
  while (!text.empty() && text.front() == ' ') text.erase(0, 1);
  if (text.empty()) return true;
  BucketHold found;
  if (!AcqDbBase::LoadRows("po#", names::po,
                           "po_number=" + Quote(text) + " and completion_date is null", "po#",
                           found))
    return false;
  if (_BktCountAll(*found) > 0) {
    po = _ColGetInt(*found, 1, Col(*found, "po#"));
    return true;
  }
  if (text.find_first_not_of("0123456789") != std::string::npos || text.size() > 9) return true;
  BucketHold byKey;
  if (!AcqDbBase::LoadRows("po#", names::po, "po#=" + text + " and completion_date is null", "",
                           byKey))
    return false;
  if (_BktCountAll(*byKey) > 0) po = _ColGetInt(*byKey, 1, Col(*byKey, "po#"));
  return true;
}

bool ConvertPrice(Dec64 price, Dec64 fromRate, Dec64 toRate, int digits, Dec64& converted) {
  if (fromRate <= Dec64{} || toRate <= Dec64{}) return false;
  Dec64 base, result;
  if (LbDec64_Mul64(price, fromRate, base) != DecStatus::Ok ||
      LbDec64_Div64(base, toRate, result) != DecStatus::Ok ||
      LbDec64_Round64(result, digits) != DecStatus::Ok)
    return false;
  converted = result;
  return true;
}

MakeResult MakePoLine(int32_t pr, int32_t po, MadeLine& made) {
  made = {};
  BucketHold request, rows, poRow, line, items;
  Dec64 price;
  if (const MakeResult r = Prepare(pr, po, request, rows, poRow, price, made);
      r != MakeResult::Made)
    return r;
  if (!BuildLine(*request, *rows, po, price, line, items)) return MakeResult::Failed;

  AcqFundCtrl::BustListHold list;
  MadeLine found;
  bool gone = false;
  // The line save runs inside this transaction (its own level nests), so
  // the look for a line of the request and the line's insert commit
  // together: a second workstation reads the first one's line here.
  auto steps = [&] {
    gone = false;
    bool exists = false;
    if (!LineOfRequest(pr, found) || found.po != 0) return false;
    if (!Exists("select count(*) from pr where pr#=" + std::to_string(pr), exists)) return false;
    if (!exists) {
      gone = true;
      return false;
    }
    return AcqDbAct::SavePoLine(*poRow, *line, *items, list.get());
  };
  auto confirmAgain = [&] {
    const AcqFundCtrl::BustHandler handler = AcqFundCtrl::GetBustHandler();
    return AcqFundCtrl::BustListPending(list.get()) && handler != nullptr && handler(list.get());
  };
  if (AcqDbBase::SaveWithReportedRetry(kRetries, steps, {*line, *items}, confirmAgain)) {
    made.po = po;
    made.line = static_cast<int16_t>(Whole(*line, 1, "line"));
    made.poNumber = Text(*poRow, 1, "po_number");
    return MakeResult::Made;
  }
  if (found.po != 0) {
    made = found;
    Show(kMsgOnLine, std::to_string(pr), found.poNumber, std::to_string(found.line));
    return MakeResult::OnLine;
  }
  if (gone) {
    Show(kMsgGone, std::to_string(pr));
    return MakeResult::Gone;
  }
  return MakeResult::Failed;
}

}  // namespace acq::AcqDbPr
