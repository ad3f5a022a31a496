// AcqDbEdiRsp: order responses read from stored segments and applied to PO
// line items. The reading is a pure walk over the segments (with lookups
// of POs); every write is one transaction: a message's lines (or its
// failure), or one applied line.
#include "acq/edi/AcqDbEdiRsp.h"

#include <algorithm>
#include <charconv>
#include <set>

#include "acq/budget/AcqDbBudget.h"
#include "acq/budget/AcqFundCtrl.h"
#include "acq/db/AcqDb.h"
#include "acq/db/AcqDbBase.h"
#include "acq/db/AcqDbExcept.h"
#include "acq/db/AcqDbNames.h"
#include "acq/frame/AcqBase.h"
#include "acq/po/AcqDbAct.h"
#include "host/sys/Bucket.h"
#include "host/sys/LbStr.h"

namespace acq::AcqDbEdiRsp {
namespace {

using AcqDb::ClearChanges;
using AcqDbAct::Activity;
using AcqDbBase::RunStatement;
using AcqDbExcept::HandleDbError;
using AcqEdifact::ServiceChars;

constexpr int kMaxRetries = 5;
constexpr size_t kProductChars = 15;
constexpr size_t kCodeChars = 2;
constexpr size_t kPoNumberChars = 15;
constexpr const char* kOrdrspCode = "231";
constexpr const char* kRejectedOrder = "27";   // BGM message function: order not accepted
constexpr const char* kActivityType = "ordrsp";

// ---- small SQL helpers (failures reported, false returned) -----------------------------------

std::string Key(int64_t key) { return std::to_string(key); }
std::string Quote(std::string_view text) {
  std::string out = "'";
  for (char c : text) out += c == '\'' ? std::string("''") : std::string(1, c);
  return out + "'";
}
std::string TextOrNull(std::string_view text) { return text.empty() ? "NULL" : Quote(text); }
std::string IntOrNull(const std::optional<int>& n) { return n ? Key(*n) : "NULL"; }
std::string MoneyOrNull(const std::optional<Dec64>& d) { return d ? Key(d->raw) : "NULL"; }
std::string DateOrNull(DayNum d) { return d == kNoDate ? "NULL" : Key(d); }
std::string MessageWhere(const MessageKey& k) {
  return "edifact#=" + Key(k.edifact) + " and message#=" + Key(k.message);
}
std::string LineWhere(const LineKey& k) {
  return MessageWhere({k.edifact, k.message}) + " and segment#=" + Key(k.segment);
}

// The single number a statement selects (0 for no row or NULL).
bool QueryNumber(const std::string& sql, int32_t& value) {
  DbMsg msg;
  value = 0;
  if (const DbCode code = AcqDb::ExecSP(msg, &value, sizeof value, "", sql); code != kDbOk) {
    HandleDbError(msg, code);
    return false;
  }
  return true;
}

bool LoadSql(const std::string& sql, BucketHold& bkt) {
  AcqDb::AppendDbCmd(sql);
  DbMsg msg;
  const DbCode code = bkt.get() == nullptr
                          ? AcqDb::LoadDbCmdCreate(msg, ClearChanges::Yes, bkt.get(), 16, 16, 0)
                          : AcqDb::LoadDbCmdReplace(msg, ClearChanges::Yes, bkt.get());
  if (code == kDbOk) return true;
  HandleDbError(msg, code);
  return false;
}

int Col(BktHandle b, const char* name) { return _BktGetColNum(b, name); }
std::string Text(BktHandle b, int row, const char* col) {
  const int c = Col(b, col);
  return c == 0 || _ColIsNull(b, row, c) ? std::string() : _ColGetStringW(b, row, c);
}
std::optional<int> OptInt(BktHandle b, int row, const char* col) {
  const int c = Col(b, col);
  if (c == 0 || _ColIsNull(b, row, c)) return std::nullopt;
  return _ColGetInt(b, row, c);
}
std::optional<Dec64> OptMoney(BktHandle b, int row, const char* col) {
  const int c = Col(b, col);
  if (c == 0 || _ColIsNull(b, row, c)) return std::nullopt;
  return _ColGetDec64(b, row, c);
}

bool SaveExceptions(BktHandle exceptions) {
  for (int row = 1; exceptions != nullptr && row <= _BktCountAll(exceptions); ++row) {
    DbMsg msg;
    if (const DbCode code = AcqDb::InsertRow(msg, row, exceptions, names::edifact_exception);
        code != kDbOk) {
      HandleDbError(msg, code);
      return false;
    }
  }
  return true;
}

bool WriteStatus(const MessageKey& k, int status) {
  return RunStatement("insert into edifact_process_status(edifact#, message#, process, status, "
                      "process_date) values (" + Key(k.edifact) + ", " + Key(k.message) + ", " +
                      Key(kProcess) + ", " + Key(status) + ", " + Key(DbDabs_GetDate()) + ")");
}

// ---- reading ---------------------------------------------------------------------------------

bool WholeNumber(std::string_view text, int& value) {
  if (text.empty()) return false;
  const auto [end, ec] = std::from_chars(text.data(), text.data() + text.size(), value);
  return ec == std::errc() && end == text.data() + text.size() && value >= 0;
}

// DTM+44 formats: 102 CCYYMMDD, 203 CCYYMMDDHHMM (the date part), 610
// CCYYMM (the 28th, a day every month has). Anything else: no date.
DayNum AvailabilityDate(std::string_view value, std::string_view format) {
  std::string ymd;
  if (format == "102" && value.size() == 8) ymd = value;
  else if (format == "203" && value.size() == 12) ymd = value.substr(0, 8);
  else if (format == "610" && value.size() == 6) ymd = std::string(value) + "28";
  DayNum date = kNoDate;
  if (ymd.empty() || !DbDabs_CCYYMMDDToDate(ymd, date)) return kNoDate;
  return date;
}

// The walk over one message's segments. Lookups that fail at the database
// end the walk (dbFailed_).
class MessageReader {
 public:
  MessageReader(const MessageKey& key, const ServiceChars& sc,
                AcqEdifact::ExceptionWriter& writer, std::vector<ResponseLine>& lines)
      : key_(key), sc_(sc), writer_(writer), lines_(lines) {}

  bool Read(std::string_view messageCode, const std::vector<Segment>& segments) {
    if (messageCode != kOrdrspCode) return Error(0, kMsgNotOrderResponse, {}), true;
    bool sawBgm = false, sawLin = false;
    for (const Segment& s : segments) {
      segment_ = s.number;
      const std::string_view seg = s.text;
      const std::string_view tag = AcqEdifact::Tag(seg);
      if (tag == "UNS") break;   // the summary: no more lines
      if (tag == "BGM") {
        sawBgm = true;
        function_ = Value(seg, 3, 1, AcqEdifact::kCodeSize);
      } else if (tag == "LIN") {
        sawLin = true;
        lines_.push_back(ResponseLine{});
        current_ = &lines_.back();
        current_->segment = s.number;
        current_->action = Lb_CutChars(Value(seg, 2, 1), kCodeChars);
      } else if (current_ == nullptr) {
        if (!Header(tag, seg)) return false;
      } else if (!LineSegment(tag, seg)) {
        return false;
      }
    }
    for (ResponseLine& l : lines_)
      if (l.po == 0 && !writer_.failed()) Error(l.segment, kMsgBadFormat, {});
    if (!sawBgm || (!sawLin && lines_.empty())) Error(0, kMsgBadFormat, {});
    return true;
  }

 private:
  std::string Value(std::string_view seg, int element, int component,
                    size_t capacity = AcqEdifact::kRefSize) const {
    return AcqEdifact::Unescape(AcqEdifact::Element(seg, sc_, element, component, capacity), sc_);
  }
  void Error(int32_t segment, int id, std::string_view arg) {
    writer_.Write(key_.edifact, key_.message, segment, arg, id, true);
  }
  void Warning(int id, std::string_view arg) {
    writer_.Write(key_.edifact, key_.message, segment_, arg, id, false);
  }

  bool Header(std::string_view tag, std::string_view seg) {
    if (function_ != kRejectedOrder) return true;
    if (tag == "FTX") {
      report_ = Lb_CutChars(Value(seg, 3, 1), kCodeChars);
    } else if (tag == "RFF" && Value(seg, 1, 1) == "ON") {
      const std::string number = Value(seg, 1, 2);
      int32_t po = 0;
      if (!QueryNumber("select po# from po where po_number=" + Quote(number), po)) return false;
      if (po == 0) {
        Error(segment_, kMsgPoLineNotFound, number);
        return true;
      }
      ResponseLine whole;
      whole.segment = segment_;
      whole.po = po;
      whole.poNumber = Lb_CutChars(number, kPoNumberChars);
      whole.action = "2";
      whole.report = report_;
      whole.date = DbDabs_GetDate();
      lines_.push_back(std::move(whole));
    }
    return true;
  }

  bool Quantity(std::string_view seg) {
    const std::string qualifier = Value(seg, 1, 1);
    const std::string text = Value(seg, 1, 2);
    int n = 0;
    const bool number = WholeNumber(text, n);
    if (qualifier == "11" || qualifier == "21") {
      if (!number) return Error(segment_, kMsgBadFormat, {}), true;
    } else if (qualifier != "12" && qualifier != "83") {
      return true;
    } else if (!number) {
      return Error(segment_, kMsgBadFormat, {}), true;
    }
    if (qualifier == "21") current_->orderQty = n;
    else if (qualifier == "12") current_->dispatchQty = n;
    else if (qualifier == "83") current_->qtyDue = n;
    else if (!heldLocation_.empty()) current_->locations.push_back({heldLocation_, n});
    return true;
  }

  // LOC+7: a delivery party, held for the next QTY+11 as a location.
  bool DeliveryParty(std::string_view seg) {
    heldLocation_.clear();
    const std::string code = Value(seg, 2, 1);
    const int kind = AcqEdifact::LocationKind(Value(seg, 2, 3, AcqEdifact::kCodeSize));
    if (code.empty() || kind < 0) return true;
    const AcqEdifact::Lookup found = AcqEdifact::FindLocation(kind, code, heldLocation_);
    if (found.result == AcqEdifact::Lookup::Result::DbError) {
      HandleDbError(found.msg, found.code);
      return false;
    }
    if (found.result == AcqEdifact::Lookup::Result::Ambiguous)
      Error(segment_, found.message, code);
    if (!found.found()) heldLocation_.clear();
    return true;
  }

  bool Decimal(std::string_view text, Dec64& value) const {
    return AcqEdifact::ParseDecimal(text, sc_, value);
  }
  Dec64 Converted(Dec64 value) const {
    if (rate_.raw == 0) return value;
    Dec64 out = value;
    return LbDec64_Mul64(value, rate_, out) == DecStatus::Ok ? out : value;
  }

  bool LineSegment(std::string_view tag, std::string_view seg) {
    ResponseLine& l = *current_;
    if (tag == "PIA") {
      const std::string function = Value(seg, 1, 1);
      if (function != "1" && function != "3") return true;
      const std::string code = Lb_CutChars(Value(seg, 2, 1), kProductChars);
      const std::string type = Lb_CutChars(Value(seg, 2, 2), kCodeChars);
      if (function == "3") l.substituteItem = code, l.substituteCode = type;
      if (!code.empty()) l.products.push_back({code, type});
    } else if (tag == "RFF" && Value(seg, 1, 1) == "LI") {
      return OrderLine(Value(seg, 1, 2));
    } else if (tag == "FTX") {
      l.report = Lb_CutChars(Value(seg, 3, 1), kCodeChars);
    } else if (tag == "LOC" && Value(seg, 1, 1) == "7") {
      return DeliveryParty(seg);
    } else if (tag == "QTY") {
      return Quantity(seg);
    } else if (tag == "PRI") {
      const std::string qualifier = Value(seg, 1, 1);
      Dec64 price;
      if (!Decimal(Value(seg, 1, 2), price)) return true;
      if (qualifier == "ORD") l.price = price;
      else if (qualifier == "AAA" || qualifier == "AAB") l.adjPrice = Converted(price);
    } else if (tag == "CUX") {
      Dec64 rate;
      if (Value(seg, 1, 3) != "10" || Value(seg, 2, 2).empty() || Value(seg, 2, 3) != "9" ||
          !Decimal(Value(seg, 3, 1), rate))
        return true;
      // The rate is sent as a percentage; millionths below that are dropped.
      rate_ = Dec64::FromRaw(rate.raw / 100);
      if (rate_.raw != 0 && l.adjPrice && l.adjPrice->raw != 0) l.adjPrice = Converted(*l.adjPrice);
    } else if (tag == "GIR") {
      Copy(seg);
    } else if (tag == "DTM" && Value(seg, 1, 1) == "44") {
      if (const DayNum d = AvailabilityDate(Value(seg, 1, 2), Value(seg, 1, 3)); d != kNoDate)
        l.date = d;
    }
    return true;
  }

  void Copy(std::string_view seg) {
    ResponseLine::Copy copy;
    for (int element = 2;; ++element) {
      std::string value;
      if (!AcqEdifact::GetElement(seg, sc_, element, 1, AcqEdifact::kRefSize * 2, value)) break;
      value = AcqEdifact::Unescape(value, sc_);
      const std::string qualifier = Value(seg, element, 2);
      int n = 0;
      Dec64 price;
      if (qualifier == "LCO" && WholeNumber(value, n)) copy.item = n;
      else if (qualifier == "LAC") copy.barcode = Lb_CutChars(value, 14);
      else if (qualifier == "LSM") copy.call = Lb_CutChars(value, 60);
      else if (qualifier == "LCV" && Decimal(value, price)) copy.price = Converted(price);
    }
    current_->copies.push_back(std::move(copy));
  }

  // RFF+LI "po#/line": both numeric, naming a line of ours.
  bool OrderLine(const std::string& value) {
    const size_t slash = value.find('/');
    int po = 0, line = 0;
    if (slash == std::string::npos || !WholeNumber(value.substr(0, slash), po) ||
        !WholeNumber(value.substr(slash + 1), line) || line > 32767)
      return Error(segment_, kMsgPoLineNotFound, value), true;
    BucketHold found;
    if (!LoadSql("select po_number from po where po#=" + Key(po), found)) return false;
    int32_t lines = 0;
    if (_BktCountAll(*found) == 1 &&
        !QueryNumber("select count(*) from po_line where po#=" + Key(po) + " and line=" +
                         Key(line),
                     lines))
      return false;
    if (lines == 0) return Error(segment_, kMsgPoLineNotFound, value), true;
    current_->po = po;
    current_->line = static_cast<int16_t>(line);
    current_->poNumber = Lb_CutChars(Text(*found, 1, "po_number"), kPoNumberChars);
    DbMsg msg;
    uint8_t awaiting = 0;
    if (const DbCode code = AcqDb::ExecSP(msg, &awaiting, sizeof awaiting,
                                          Key(po) + "," + Key(line), "check_for_order_response");
        code != kDbOk) {
      HandleDbError(msg, code);
      return false;
    }
    if (awaiting == 0) Warning(kMsgNotAwaiting, value);
    return true;
  }

  const MessageKey key_;
  const ServiceChars sc_;
  AcqEdifact::ExceptionWriter& writer_;
  std::vector<ResponseLine>& lines_;
  ResponseLine* current_ = nullptr;   // the LIN group being read
  int32_t segment_ = 0;
  std::string function_;              // BGM message function
  std::string report_;                // header FTX of a refused order
  std::string heldLocation_;          // LOC+7, for the next QTY+11
  Dec64 rate_{};                      // CUX conversion, 0 when none
};

// Inserts one read line and its attached rows.
bool InsertLine(const MessageKey& k, const ResponseLine& l) {
  const std::string keys = Key(k.edifact) + ", " + Key(k.message) + ", " + Key(l.segment);
  if (!RunStatement(
          "insert into edifact_response_line(edifact#, message#, segment#, po#, po_number, line, "
          "action_code, report_code, order_qty, dispatch_qty, qty_due, price, adj_price, date, "
          "substitute_item, substitute_code) values (" + keys + ", " +
          (l.po ? Key(l.po) : "NULL") + ", " + TextOrNull(l.poNumber) + ", " +
          (l.line ? Key(l.line) : "NULL") + ", " + TextOrNull(l.action) + ", " +
          TextOrNull(l.report) + ", " + IntOrNull(l.orderQty) + ", " +
          IntOrNull(l.dispatchQty) + ", " + IntOrNull(l.qtyDue) + ", " + MoneyOrNull(l.price) +
          ", " + MoneyOrNull(l.adjPrice) + ", " + DateOrNull(l.date) + ", " +
          TextOrNull(l.substituteItem) + ", " + TextOrNull(l.substituteCode) + ")"))
    return false;
  int seq = 0;
  for (const auto& q : l.locations)
    if (!RunStatement("insert into edifact_response_location(edifact#, message#, segment#, seq, "
                      "location, quantity) values (" + keys + ", " + Key(++seq) + ", " +
                      Quote(q.location) + ", " + Key(q.quantity) + ")"))
      return false;
  seq = 0;
  for (const auto& c : l.copies)
    if (!RunStatement("insert into edifact_response_item(edifact#, message#, segment#, seq, "
                      "item#, ibarcode, call, price) values (" + keys + ", " + Key(++seq) + ", " +
                      (c.item ? Key(c.item) : "NULL") + ", " + TextOrNull(c.barcode) + ", " +
                      TextOrNull(c.call) + ", " + MoneyOrNull(c.price) + ")"))
      return false;
  seq = 0;
  for (const auto& p : l.products)
    if (!RunStatement("insert into edifact_response_product(edifact#, message#, segment#, seq, "
                      "product_code, itype) values (" + keys + ", " + Key(++seq) + ", " +
                      Quote(p.code) + ", " + TextOrNull(p.type) + ")"))
      return false;
  return true;
}

bool DeleteLine(const LineKey& k) {
  for (const char* table : {"edifact_response_location", "edifact_response_item",
                            "edifact_response_product", "edifact_response_line"})
    if (!RunStatement(std::string("delete from ") + table + " where " + LineWhere(k)))
      return false;
  return true;
}

// A message is taken when it has lines or a status other than failed.
bool MessageTaken(const MessageKey& k, bool& taken) {
  int32_t lines = 0, read = 0;
  if (!QueryNumber("select count(*) from edifact_response_line where " + MessageWhere(k), lines) ||
      !QueryNumber("select count(*) from edifact_process_status where " + MessageWhere(k) +
                       " and process=2 and status<>2",
                   read))
    return false;
  taken = lines > 0 || read > 0;
  return true;
}

// ---- applying --------------------------------------------------------------------------------

// One pass of applying a line, inside the caller's transaction.
class LinePass {
 public:
  LinePass(const LineKey& key, ApplyMode mode, const AcqDbAct::Now& now,
           AcqFundCtrl::BustList* list, AcqDbBudget::BudgetMoves& moves)
      : key_(key), mode_(mode), now_(now), list_(list), moves_(moves) {}

  bool gone = false;
  bool refused = false;

  bool Run() {
    BucketHold row;
    if (!LoadSql("select * from edifact_response_line where " + LineWhere(key_), row))
      return false;
    if (_BktCountAll(*row) != 1) return gone = true;
    if (!ReadLine(*row)) return false;
    std::vector<int16_t> poLines;
    if (line_.line != 0) {
      poLines.push_back(line_.line);
    } else {
      BucketHold all;
      if (!LoadSql("select line from po_line where po#=" + Key(line_.po) + " order by line", all))
        return false;
      for (int r = 1; r <= _BktCountAll(*all); ++r)
        poLines.push_back(static_cast<int16_t>(_ColGetInt(*all, r, 1)));
    }
    for (int16_t poLine : poLines)
      if (line_.po != 0 && !ApplyToPoLine(poLine)) return false;
    if (!DeleteLine(key_)) return false;
    return WriteStatusWhenLast();
  }

 private:
  bool ReadLine(BktHandle b) {
    line_.po = OptInt(b, 1, "po#").value_or(0);
    line_.line = static_cast<int16_t>(OptInt(b, 1, "line").value_or(0));
    line_.action = Text(b, 1, "action_code");
    line_.orderQty = OptInt(b, 1, "order_qty");
    line_.dispatchQty = OptInt(b, 1, "dispatch_qty");
    line_.qtyDue = OptInt(b, 1, "qty_due");
    line_.price = OptMoney(b, 1, "price");
    line_.adjPrice = OptMoney(b, 1, "adj_price");
    if (const auto d = OptInt(b, 1, "date")) line_.date = static_cast<DayNum>(*d);
    // A Bucket each: a reload keeps the columns of the Bucket's first load.
    BucketHold locations, copies, products;
    const std::string where = LineWhere(key_) + " order by seq";
    if (!LoadSql("select location, quantity from edifact_response_location where " + where,
                 locations) ||
        !LoadSql("select item#, ibarcode, call, price from edifact_response_item where " + where,
                 copies) ||
        !LoadSql("select product_code, itype from edifact_response_product where " + where,
                 products))
      return false;
    for (int r = 1; r <= _BktCountAll(*locations); ++r)
      line_.locations.push_back(
          {Text(*locations, r, "location"), OptInt(*locations, r, "quantity").value_or(0)});
    for (int r = 1; r <= _BktCountAll(*copies); ++r)
      line_.copies.push_back({OptInt(*copies, r, "item#").value_or(0), Text(*copies, r, "ibarcode"),
                              Text(*copies, r, "call"), OptMoney(*copies, r, "price")});
    for (int r = 1; r <= _BktCountAll(*products); ++r)
      line_.products.push_back({Text(*products, r, "product_code"), Text(*products, r, "itype")});
    return true;
  }

  std::string OpenItemsSql(int16_t poLine) const {
    return "select * from po_line_item where po#=" + Key(line_.po) + " and line=" + Key(poLine) +
           " and cancel_date IS NULL" +
           (mode_ == ApplyMode::CancelOrder ? "" : " and response_date IS NULL") +
           " order by item for browse";
  }

  void MarkResponded(BktHandle items, int row) const {
    _ColSetInt(items, row, Col(items, "response_date"), now_.date);
    _ColSetTextW(items, row, Col(items, "po_activity_type"), kActivityType);
  }

  // The preferred selection (rows of `items`): the copies the vendor named
  // by item number, else the quantities per delivery location. False with
  // refused set when they do not fit.
  bool PreferredSelection(BktHandle items, int qtyDue, std::vector<int>& selected) {
    std::vector<int32_t> numbers;
    for (const auto& c : line_.copies)
      if (c.item != 0) numbers.push_back(c.item);
    const int count = _BktCountAll(items);
    auto taken = [&](int row) {
      return std::find(selected.begin(), selected.end(), row) != selected.end();
    };
    if (!numbers.empty()) {
      if (qtyDue < static_cast<int>(numbers.size())) return !(refused = true);
      for (int32_t number : numbers)
        for (int row = 1; row <= count; ++row)
          if (!taken(row) && OptInt(items, row, "item#") == number) {
            selected.push_back(row);
            break;
          }
      return true;
    }
    for (const auto& q : line_.locations) {
      int wanted = q.quantity;
      for (int row = 1; row <= count && wanted > 0; ++row)
        if (!taken(row) && Text(items, row, "location") == q.location)
          selected.push_back(row), --wanted;
      if (wanted > 0) return !(refused = true);
    }
    return true;
  }

  // Action 24 with copies: the catalogue items the vendor describes, and
  // the line's price and product codes.
  bool UpdateDetails(BktHandle items) {
    for (const auto& c : line_.copies) {
      if (c.item == 0) continue;
      bool ours = false;
      for (int row = 1; row <= _BktCountAll(items) && !ours; ++row)
        ours = OptInt(items, row, "item#") == c.item;
      if (!ours) continue;
      std::string set;
      auto add = [&](const std::string& assignment) { set += (set.empty() ? "" : ", ") + assignment; };
      if (!c.barcode.empty()) add("ibarcode=" + Quote(c.barcode));
      if (!c.call.empty()) add("call=" + Quote(c.call));
      if (c.price) add("price=" + Key(c.price->raw));
      if (!set.empty() && !RunStatement("update item set " + set + " where item#=" + Key(c.item)))
        return false;
    }
    std::string set;
    auto add = [&](const std::string& assignment) { set += (set.empty() ? "" : ", ") + assignment; };
    const std::optional<Dec64> price =
        line_.adjPrice && line_.adjPrice->raw != 0 ? line_.adjPrice : line_.price;
    if (price) add("unit_price=" + Key(price->raw));
    const std::pair<const char*, const char*> columns[] = {
        {"IB", "isbn"}, {"IS", "issn"}, {"IM", "ismn"}, {"EA", "ean_gtin"}, {"SA", "vendor_product_id"}};
    for (const auto& [type, column] : columns)
      for (const auto& p : line_.products)
        if (p.type == type) {
          add(std::string(column) + "=" + Quote(p.code));
          break;
        }
    return set.empty() || RunStatement("update po_line set " + set + " where po#=" +
                                       Key(line_.po) + " and line=" + Key(itemsLine_));
  }

  bool ApplyToPoLine(int16_t poLine) {
    itemsLine_ = poLine;
    BucketHold items;
    if (!LoadSql(OpenItemsSql(poLine), items)) return false;
    const int count = _BktCountAll(*items);
    if (count == 0) return true;
    int qtyDue = line_.qtyDue.value_or(0);
    const int dispatch = line_.dispatchQty.value_or(0);
    const int ordered = line_.orderQty.value_or(count);
    if (qtyDue == 0 && ordered > dispatch) qtyDue = ordered - dispatch;
    const DayNum available = line_.date == kNoDate ? now_.date : line_.date;

    std::vector<int> selected;
    Activity activity = Activity::None;
    if (mode_ == ApplyMode::CancelOrder) {
      for (int row = 1; row <= count; ++row) selected.push_back(row);
      activity = Activity::Cancel;
    } else if (mode_ == ApplyMode::Process) {
      const std::string& a = line_.action;
      int cancelCount = a == "2" ? qtyDue : 0;
      if (a == "24" && !line_.copies.empty() && !UpdateDetails(*items)) return false;
      if (a != "3" && a != "5") {
        if (!PreferredSelection(*items, qtyDue, selected)) return false;
        // Nothing dispatched: what the vendor named is all there is.
        if (dispatch == 0 && (!line_.copies.empty() || !line_.locations.empty()))
          cancelCount = qtyDue = 0;
      }
      int wanted = 0;
      if (a == "2") activity = Activity::Cancel, wanted = cancelCount;
      else if (a == "24") activity = Activity::BackOrder, wanted = qtyDue;
      else selected.clear();
      wanted -= static_cast<int>(selected.size());
      for (int row = 1; row <= count && wanted > 0; ++row)
        if (std::find(selected.begin(), selected.end(), row) == selected.end())
          selected.push_back(row), --wanted;
    }

    // The items not acted on only record the response.
    std::set<int32_t> acted;
    for (int row : selected) acted.insert(OptInt(*items, row, "item").value_or(0));
    for (int row = 1; row <= count; ++row) {
      if (acted.count(OptInt(*items, row, "item").value_or(0))) continue;
      MarkResponded(*items, row);
      DbMsg msg;
      if (const DbCode code = AcqDb::UpdateRow(msg, row, *items, names::po_line_item);
          code != kDbOk) {
        HandleDbError(msg, code);
        return false;
      }
    }
    if (acted.empty() || activity == Activity::None) return true;

    // The acted-on items through their activity, in a Bucket of their own.
    BucketHold chosen;
    if (!LoadSql(OpenItemsSql(poLine), chosen)) return false;
    for (int row = _BktCountAll(*chosen); row >= 1; --row)
      if (!acted.count(OptInt(*chosen, row, "item").value_or(0))) _BktDelete(*chosen, row);
    for (int row = 1; row <= _BktCountAll(*chosen); ++row) MarkResponded(*chosen, row);
    AcqDbAct::ActivityEntry entry;
    if (activity == Activity::Cancel) {
      // A plain string: the whole of it stands before the bar.
      std::string note = AcqBase::LoadStr(kStrProcessedNote);
      note.resize(std::min(note.size(), note.find('|')));
      entry.changeOrderNote = entry.internalNote = note;
    } else {
      entry.nextClaimDate = available;
    }
    moves_.Reset();
    return AcqDbAct::ActivitySteps(activity, *chosen, entry, now_, kActivityType, list_, moves_,
                                   true);
  }

  // The message is done when its last line is gone; written once.
  bool WriteStatusWhenLast() {
    const MessageKey message{key_.edifact, key_.message};
    int32_t left = 0, written = 0;
    if (!QueryNumber("select count(*) from edifact_response_line where " + MessageWhere(message),
                     left) ||
        !QueryNumber("select count(*) from edifact_process_status where " +
                         MessageWhere(message) + " and process=2 and status=0",
                     written))
      return false;
    return left > 0 || written > 0 || WriteStatus(message, kStatusRead);
  }

  const LineKey key_;
  const ApplyMode mode_;
  const AcqDbAct::Now now_;
  AcqFundCtrl::BustList* const list_;
  AcqDbBudget::BudgetMoves& moves_;
  ResponseLine line_;
  int16_t itemsLine_ = 0;
};

}  // namespace

bool ParseMessage(const MessageKey& key, std::string_view messageCode, const ServiceChars& sc,
                  const std::vector<Segment>& segments, AcqEdifact::ExceptionWriter& writer,
                  std::vector<ResponseLine>& lines) {
  return MessageReader(key, sc, writer, lines).Read(messageCode, segments);
}

ReadResult ReadMessage(const MessageKey& key, const ShowProc& show, int& warnings) {
  BucketHold message, rows;
  if (!LoadSql("select message_code, una from edifact_ordrsp_message where " + MessageWhere(key),
               message))
    return ReadResult::DbError;
  if (_BktCountAll(*message) != 1) return ReadResult::Taken;
  const ServiceChars sc = ServiceChars::FromUna(Text(*message, 1, "una"));
  if (!LoadSql("select segment#, short_segment, long_segment from edifact_segment where " +
                   MessageWhere(key) + " order by segment#",
               rows))
    return ReadResult::DbError;
  std::vector<Segment> segments;
  for (int r = 1; r <= _BktCountAll(*rows); ++r) {
    const std::string shortText = Text(*rows, r, "short_segment");
    segments.push_back({OptInt(*rows, r, "segment#").value_or(0),
                        shortText.empty() ? Text(*rows, r, "long_segment") : shortText});
  }

  DbMsg msg;
  BucketHold exceptions(AcqEdifact::NewTableBucket(names::edifact_exception, msg));
  if (*exceptions == nullptr) {
    HandleDbError(msg, kDbError);
    return ReadResult::DbError;
  }
  // Each exception is shown as it is found (no transaction is open yet).
  AcqEdifact::ExceptionWriter writer(*exceptions, kProcess, show);
  std::vector<ResponseLine> lines;
  if (!ParseMessage(key, Text(*message, 1, "message_code"), sc, segments, writer, lines))
    return ReadResult::DbError;

  bool taken = false;
  const bool failed = writer.failed();
  const bool committed = AcqDbBase::SaveWithReportedRetry(
      kMaxRetries,
      [&] {
        if (!MessageTaken(key, taken)) return false;
        if (taken) return true;
        if (failed) return WriteStatus(key, kStatusFailed) && SaveExceptions(*exceptions);
        for (const ResponseLine& l : lines)
          if (!InsertLine(key, l)) return false;
        return SaveExceptions(*exceptions);
      },
      {});
  if (!committed) return ReadResult::DbError;
  if (taken) return ReadResult::Taken;
  warnings += writer.warnings();
  return failed ? ReadResult::Failed : ReadResult::Read;
}

bool LinesOfMessage(const MessageKey& key, std::vector<LineKey>& lines) {
  BucketHold rows;
  lines.clear();
  if (!LoadSql("select segment# from edifact_response_line where " + MessageWhere(key) +
                   " order by segment#",
               rows))
    return false;
  for (int r = 1; r <= _BktCountAll(*rows); ++r)
    lines.push_back({key.edifact, key.message, _ColGetInt(*rows, r, 1)});
  return true;
}

ApplyResult ApplyLine(const LineKey& key, ApplyMode mode, const ShowProc& show) {
  const AcqDbAct::Now now = AcqDbAct::Now::Take();
  AcqFundCtrl::BustListHold list;
  AcqDbBudget::BudgetMoves moves;
  if (!moves.ok()) return ApplyResult::Failed;
  bool gone = false, refused = false;
  auto steps = [&] {
    LinePass pass(key, mode, now, list.get(), moves);
    const bool ok = pass.Run();
    gone = pass.gone, refused = pass.refused;
    return ok;
  };
  auto confirmAgain = [&] {
    const AcqFundCtrl::BustHandler handler = AcqFundCtrl::GetBustHandler();
    return !refused && AcqFundCtrl::BustListPending(list.get()) && handler != nullptr &&
           handler(list.get());
  };
  const bool committed = AcqDbBase::SaveWithReportedRetry(kMaxRetries, steps, {}, confirmAgain);
  if (refused) {
    DbMsg msg;
    BucketHold exceptions(AcqEdifact::NewTableBucket(names::edifact_exception, msg));
    if (*exceptions != nullptr) {
      AcqEdifact::ExceptionWriter writer(*exceptions, kProcess, show);
      writer.Write(key.edifact, key.message, key.segment, {}, kMsgBadFormat, true);
      AcqDbBase::TransactionHold hold;
      if (SaveExceptions(*exceptions)) (void)hold.Commit();
    } else {
      HandleDbError(msg, kDbError);
    }
    return ApplyResult::Refused;
  }
  if (!committed) return ApplyResult::Failed;
  return gone ? ApplyResult::Gone : ApplyResult::Applied;
}

}  // namespace acq::AcqDbEdiRsp
