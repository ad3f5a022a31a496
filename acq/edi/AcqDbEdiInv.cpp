// AcqDbEdiInv: an INVOIC message made a statement, or refused with its
// reasons. Everything a message does happens in one transaction, checked
// against the rows as they are inside it: the process-status row that says
// whether the message is still to do, the statement numbers of the vendor,
// the POs and their pending items. So two workstations processing one
// message make one statement: the second finds the first one's status row.
#include "acq/edi/AcqDbEdiInv.h"

#include <algorithm>
#include <map>
#include <set>

#include "acq/budget/AcqDbBudget.h"
#include "acq/budget/AcqFundCtrl.h"
#include "acq/db/AcqDb.h"
#include "acq/db/AcqDbBase.h"
#include "acq/db/AcqDbExcept.h"
#include "acq/db/AcqDbGlobal.h"
#include "acq/po/AcqDbAct.h"
#include "acq/statement/AcqDbStmnt.h"
#include "host/db/DbDabs.h"
#include "host/db/PwDb.h"
#include "host/sys/Bucket.h"

namespace acq::AcqDbEdiInv {
namespace {

using AcqDb::ClearChanges;
using AcqDbAct::Activity;
using AcqDbBase::RunStatement;
constexpr auto& Load = AcqDbBase::LoadRows;
constexpr auto& Count = AcqDbBase::SelectCount;
using AcqEdifact::ServiceChars;

// Messages of the string table.
enum Msg : int {
  kMsgDuplicateNumber = 322,
  kMsgChargeType = 323,
  kMsgPoLineNotFound = 324,
  kMsgNotApproved = 325,
  kMsgPending = 326,
  kMsgFormat = 429,
  kMsgOtherVendor = 1760,
  kMsgAmountDigits = 1761,
  kMsgTotalDiffers = 1762,
};

constexpr int kProcessInvoices = 1;
enum Status : int { kDone = 0, kDoneWithWarnings = 1, kFailed = 2, kRemoved = 3 };

constexpr int kMaxRetries = 5;
constexpr size_t kChargeTypeChars = 7;
constexpr size_t kStatementNumberChars = 16;
constexpr const char* kNote = "EDIFACT transmission";
constexpr const char* kExceptionColumns =
    "exception_date,exception_time,process,warning_or_error,descr,edifact#,segment#,message#";

std::string Key(int64_t n) { return std::to_string(n); }
std::string Raw(Dec64 d) { return std::to_string(d.raw); }
std::string Quote(std::string_view s) {
  std::string q = "'";
  for (char c : s) q += c == '\'' ? std::string("''") : std::string(1, c);
  return q + "'";
}
Dec64 Plus(Dec64 a, Dec64 b) { return Dec64::FromRaw(a.raw + b.raw); }
Dec64 Negative(Dec64 d) { return d.raw > 0 ? Dec64::FromRaw(-d.raw) : d; }

int Col(BktHandle b, const char* name) { return _BktGetColNum(b, name); }
int64_t IntOf(BktHandle b, int row, const char* col) {
  const int c = Col(b, col);
  return c == 0 || _ColIsNull(b, row, c) ? 0 : _ColGetInt(b, row, c);
}
std::string TextOf(BktHandle b, int row, const char* col) {
  const int c = Col(b, col);
  return c == 0 || _ColIsNull(b, row, c) ? std::string() : _ColGetStringW(b, row, c);
}
Dec64 DecOf(BktHandle b, int row, const char* col) {
  const int c = Col(b, col);
  return c == 0 || _ColIsNull(b, row, c) ? Dec64{} : _ColGetDec64(b, row, c);
}


// ---- reading the segments -------------------------------------------------------------------

bool Digits(std::string_view s) {
  return !s.empty() && std::all_of(s.begin(), s.end(), [](char c) { return c >= '0' && c <= '9'; });
}

// A whole number of at most nine digits.
bool ParseCount(std::string_view s, int32_t& n) {
  if (!Digits(s) || s.size() > 9) return false;
  n = std::stoi(std::string(s));
  return true;
}

class SegmentReader {
 public:
  SegmentReader(const ServiceChars& sc, Invoice& invoice) : sc_(sc), inv_(invoice) {}

  // False at the first segment out of form.
  bool Read(const Segment& s) {
    seg_ = &s;
    const std::string tag(AcqEdifact::Tag(s.text));
    if (ended_) return false;   // nothing after UNT
    if (tag == "UNT") return ended_ = true;
    if (tag == "BGM") return ReadBgm();
    if (tag == "LIN") {
      if (section_ == Section::Summary) return false;
      section_ = Section::Lines;
      inv_.lines.emplace_back();
      inv_.lines.back().segment = s.segment;
      lastAlc_ = lastTax_ = lastPercentOwner_ = Ref{};
      location_.reset();
      return true;
    }
    if (tag == "UNS") {
      if (section_ == Section::Summary) return false;
      section_ = Section::Summary;
      lastAlc_ = lastTax_ = lastPercentOwner_ = Ref{};
      return true;
    }
    if (section_ == Section::Summary && !SummaryTag(tag)) return false;
    if (tag == "ALC" || tag == "TAX") return ReadCharge(tag == "TAX");
    if (tag == "MOA") return ReadMoa();
    if (tag == "PCD") return ReadPcd();
    if (section_ != Section::Lines) return true;
    if (tag == "RFF") return ReadRff();
    if (tag == "QTY") return ReadQty();
    if (tag == "LOC") return ReadLocation("7");
    if (tag == "NAD") return ReadLocation("DP");
    if (tag == "GIR") return ReadGir();
    return true;
  }
  bool Complete() const { return sawBgm_ && ended_ && section_ == Section::Summary; }

 private:
  enum class Section { Header, Lines, Summary };

  static bool SummaryTag(const std::string& tag) {
    return tag == "CNT" || tag == "MOA" || tag == "TAX" || tag == "ALC" || tag == "PCD";
  }
  std::string El(int element, int component) const {
    return AcqEdifact::Unescape(AcqEdifact::Element(seg_->text, sc_, element, component), sc_);
  }
  bool Number(int element, int component, Dec64& value) const {
    return AcqEdifact::ParseDecimal(AcqEdifact::Element(seg_->text, sc_, element, component),
                                    sc_, value);
  }
  Line& CurrentLine() { return inv_.lines.back(); }

  bool ReadBgm() {
    const std::string code = El(1, 1);
    if (code == "380")
      inv_.statementType = 0;
    else if (code == "381")
      inv_.statementType = 3;
    else
      return false;
    return sawBgm_ = true;
  }

  bool ReadCharge(bool tax) {
    Charge c;
    c.tax = tax;
    c.segment = seg_->segment;
    if (tax) {
      c.type = El(2, 1);
    } else {
      c.allowance = El(1, 1) == "A";
      c.type = El(5, 1);
    }
    if (c.type.empty()) return false;
    if (c.type.size() > kChargeTypeChars) c.type.resize(kChargeTypeChars);
    std::vector<Charge>* list = &inv_.charges;
    if (section_ == Section::Lines) list = &CurrentLine().charges;
    if (section_ == Section::Summary && tax) list = &inv_.summaryTaxes;
    list->push_back(std::move(c));
    const Ref ref{list, list->size() - 1};
    (tax ? lastTax_ : lastAlc_) = ref;
    lastPercentOwner_ = ref;
    return true;
  }

  bool ReadMoa() {
    const std::string q = El(1, 1);
    const bool line = q == "203", charge = q == "8" || q == "131", tax = q == "124" || q == "176";
    if (!line && !charge && !tax) return true;
    Dec64 value;
    if (!Number(1, 2, value)) return false;
    if (line) {
      if (section_ != Section::Lines) return true;
      CurrentLine().amount = value;
    } else if (charge && lastAlc_) {
      lastAlc_.get().amount = value;
    } else if (tax && lastTax_) {
      lastTax_.get().amount = value;
    }
    return true;
  }

  bool ReadPcd() {
    if (El(1, 1) != "3") return true;
    Dec64 value;
    if (!Number(1, 2, value)) return false;
    if (lastPercentOwner_ && !value.IsZero()) lastPercentOwner_.get().percent = value;
    return true;
  }

  bool ReadRff() {
    if (El(1, 1) == "LI") CurrentLine().reference = El(1, 2);
    return true;
  }

  bool ReadQty() {
    const std::string q = El(1, 1);
    if (q != "47" && q != "11") return true;
    int32_t n = 0;
    if (!ParseCount(El(1, 2), n)) return false;
    if (q == "47") {
      CurrentLine().quantity = n;
    } else if (location_) {
      LocationQuantity lq = *location_;
      lq.quantity = n;
      lq.segment = seg_->segment;
      CurrentLine().locations.push_back(std::move(lq));
      location_.reset();
    }
    return true;
  }

  bool ReadLocation(std::string_view qualifier) {
    if (El(1, 1) != qualifier) return true;
    location_ = LocationQuantity{El(2, 1), El(2, 3), 0, seg_->segment};
    return true;
  }

  // GIR+seq+value:qualifier+value:qualifier...: the catalogue item numbers.
  bool ReadGir() {
    for (int e = 2;; ++e) {
      std::string value;
      if (!AcqEdifact::GetElement(seg_->text, sc_, e, 1, AcqEdifact::kRefSize, value)) break;
      if (El(e, 2) != "LCO") continue;
      int32_t item = 0;
      if (!ParseCount(AcqEdifact::Unescape(value, sc_), item)) return false;
      CurrentLine().items.push_back(item);
    }
    return true;
  }

  const ServiceChars& sc_;
  Invoice& inv_;
  const Segment* seg_ = nullptr;
  Section section_ = Section::Header;
  bool sawBgm_ = false;
  bool ended_ = false;
  // The charge a following MOA or PCD belongs to, by list and index (a
  // list may move its elements as it grows). Cleared by LIN and UNS.
  struct Ref {
    std::vector<Charge>* list = nullptr;
    size_t index = 0;
    explicit operator bool() const { return list != nullptr; }
    Charge& get() const { return (*list)[index]; }
  };
  Ref lastAlc_, lastTax_;
  Ref lastPercentOwner_;   // the later of the two: PCD follows its ALC or TAX
  std::optional<LocationQuantity> location_;   // LOC+7 / NAD+DP waiting for its QTY+11
};

// ---- what a message makes ----------------------------------------------------------------------

// The message's row of the invoice list.
struct Message {
  std::string number;
  int32_t vendor = 0;
  std::string currency;
  DayNum date = kNoDate;
  Dec64 total;
  ServiceChars sc;
};

// One LIN group as it will be invoiced.
struct PlannedLine {
  int32_t po = 0;
  int16_t line = 0;
  std::vector<int16_t> items;
  Dec64 amount;   // signed as stored
};

struct Plan {
  std::vector<PlannedLine> lines;
  std::vector<std::pair<std::string, Dec64>> charges;   // by type, in order of first mention
  Dec64 amount;
};

bool ReadMessage(const MessageKey& key, bool& listed, Message& m, std::vector<Segment>& segments) {
  const std::string where = "edifact#=" + Key(key.edifact) + " and message#=" + Key(key.message);
  BucketHold row, segs;
  if (!Load("message_number,message_vendor#,vendor#,currency,message_date,amount,una",
            "edifact_invoic_message", where, "", row))
    return false;
  listed = _BktCountAll(*row) == 1;
  if (!listed) return true;
  m.number = TextOf(*row, 1, "message_number");
  // A message without a supplier party has no vendor of its own: it is the
  // interchange sender's.
  m.vendor = static_cast<int32_t>(IntOf(*row, 1, "message_vendor#"));
  if (m.vendor == 0) m.vendor = static_cast<int32_t>(IntOf(*row, 1, "vendor#"));
  m.currency = TextOf(*row, 1, "currency");
  const int dateCol = Col(*row, "message_date");
  if (dateCol != 0 && !_ColIsNull(*row, 1, dateCol))
    m.date = static_cast<DayNum>(_ColGetInt(*row, 1, dateCol));
  m.total = DecOf(*row, 1, "amount");
  m.sc = ServiceChars::FromUna(TextOf(*row, 1, "una"));
  if (!Load("segment#,short_segment,long_segment", "edifact_segment", where, "segment#", segs))
    return false;
  segments.clear();
  for (int r = 1; r <= _BktCountAll(*segs); ++r) {
    std::string text = TextOf(*segs, r, "short_segment");
    if (text.empty()) text = TextOf(*segs, r, "long_segment");
    segments.push_back({static_cast<int32_t>(IntOf(*segs, r, "segment#")), std::move(text)});
  }
  return true;
}

// Decimal places of the message's currency (the site's money without one).
bool CurrencyDigits(const std::string& currency, int& digits) {
  digits = AcqDbBudget::MoneyDigits();
  if (currency.empty()) return true;
  BucketHold row;
  if (!Load("n_decimals", "currency", "currency=" + Quote(currency), "", row)) return false;
  if (_BktCountAll(*row) == 1) digits = static_cast<int>(IntOf(*row, 1, "n_decimals"));
  return true;
}

// The checks of one message inside the transaction, and what it will make.
class Checker {
 public:
  Checker(const Message& m, const Invoice& inv, std::vector<Finding>& findings)
      : m_(m), inv_(inv), findings_(findings), credit_(inv.statementType == 3) {}

  bool Run(Plan& plan) {
    if (!CurrencyDigits(m_.currency, currencyDigits_)) return false;
    if (m_.number.empty() || m_.number.size() > kStatementNumberChars || m_.vendor == 0) {
      Error(kMsgFormat, "", 0);
    } else {
      int32_t same = 0;
      if (!Count("select count(*) from statement where vendor#=" + Key(m_.vendor) +
                     " and statement_number=" + Quote(m_.number),
                 same))
        return false;
      if (same > 0) Error(kMsgDuplicateNumber, m_.number, 0);
    }
    if (!CheckTypes()) return false;
    Dec64 lines;
    for (const Line& l : inv_.lines) {
      PlannedLine p;
      bool ok = false;
      if (!CheckLine(l, p, ok)) return false;
      if (!ok) continue;
      lines = Plus(lines, p.amount);
      for (const Charge& c : l.charges)
        if (c.tax) Book(c, p.amount);
      plan.lines.push_back(std::move(p));
    }
    for (const Charge& c : inv_.charges) Book(c, lines);
    if (!taxBooked_)
      for (const Charge& c : inv_.summaryTaxes) Book(c, lines);
    Dec64 sum = lines;
    for (const auto& [type, amount] : charges_) {
      if (!amount.IsZero()) plan.charges.emplace_back(type, amount);
      sum = Plus(sum, amount);
    }
    plan.amount = sum;
    if (!m_.total.IsZero()) {
      plan.amount = credit_ ? Negative(m_.total) : m_.total;
      if (plan.amount != sum) Warning(kMsgTotalDiffers, m_.number, 0);
    }
    return true;
  }

 private:
  void Error(int id, std::string arg, int32_t segment) {
    findings_.push_back({id, std::move(arg), true, segment});
  }
  void Warning(int id, std::string arg, int32_t segment) {
    findings_.push_back({id, std::move(arg), false, segment});
  }

  // Every type named anywhere must exist, each said once.
  bool CheckTypes() {
    std::vector<const Charge*> all;
    for (const Charge& c : inv_.charges) all.push_back(&c);
    for (const Charge& c : inv_.summaryTaxes) all.push_back(&c);
    for (const Line& l : inv_.lines)
      for (const Charge& c : l.charges) all.push_back(&c);
    std::set<std::string> seen;
    for (const Charge* c : all) {
      if (!seen.insert(c->type).second) continue;
      int32_t n = 0;
      if (!Count("select count(*) from extra_charge_type where extra_charge_type=" +
                     Quote(c->type),
                 n))
        return false;
      if (n == 0) Error(kMsgChargeType, c->type, c->segment);
    }
    return true;
  }

  // The money a charge books: its amount, else its percentage of the
  // amounts it applies to (`base`, taken without sign: a percentage stands
  // for an amount written in the file), rounded to the currency. A tax
  // follows the document (turned in a credit note when given positive); an
  // allowance is the amount negated, a charge the amount as it stands.
  Dec64 AmountOf(const Charge& c, Dec64 base) const {
    Dec64 a;
    if (c.amount) {
      a = *c.amount;
    } else if (c.percent) {
      const Dec64 magnitude = Dec64::FromRaw(base.raw < 0 ? -base.raw : base.raw);
      if (LbDec64_Mul64(magnitude, *c.percent, a) != DecStatus::Ok ||
          LbDec64_Div64C(a, Dec64::FromInt(100)) != DecStatus::Ok)
        a = Dec64{};
      (void)LbDec64_Round64(a, currencyDigits_);
    }
    if (credit_ && c.tax) a = Negative(a);
    return c.allowance ? Dec64::FromRaw(-a.raw) : a;
  }

  void Book(const Charge& c, Dec64 base) {
    const Dec64 a = AmountOf(c, base);
    if (c.tax && !a.IsZero()) taxBooked_ = true;
    for (auto& [type, amount] : charges_) {
      if (type == c.type) {
        amount = Plus(amount, a);
        return;
      }
    }
    charges_.emplace_back(c.type, a);
  }

  // One LIN group: its PO line, the state of its items, its amount and the
  // items it takes. `ok` false when a finding was written.
  bool CheckLine(const Line& l, PlannedLine& p, bool& ok) {
    ok = false;
    if (!l.reference) {
      Error(kMsgPoLineNotFound, "segment RFF", l.segment);
      return true;
    }
    const std::string& ref = *l.reference;
    const size_t slash = ref.find('/');
    const std::string poText = ref.substr(0, slash);
    const std::string lineText = slash == std::string::npos ? "" : ref.substr(slash + 1);
    // Keys beyond their columns' ranges cannot name a line of ours.
    if (!Digits(poText) || !Digits(lineText) || poText.size() > 9 || lineText.size() > 5 ||
        std::stol(lineText) > 32767 || std::stol(lineText) == 0) {
      Error(kMsgPoLineNotFound, ref, l.segment);
      return true;
    }
    p.po = static_cast<int32_t>(std::stol(poText));
    p.line = static_cast<int16_t>(std::stol(lineText));
    const std::string name = Key(p.po) + "/" + Key(p.line);
    const std::string where = "po#=" + Key(p.po) + " and line=" + Key(p.line);
    int32_t found = 0, vendor = 0, unapproved = 0;
    if (!Count("select count(*) from po_line where " + where, found)) return false;
    if (found == 0) {
      Error(kMsgPoLineNotFound, name, l.segment);
      return true;
    }
    if (!Count("select vendor# from po where po#=" + Key(p.po), vendor)) return false;
    if (vendor != m_.vendor) {
      Error(kMsgOtherVendor, name, l.segment);
      return true;
    }
    if (!Count("select count(*) from po_line_item where " + where +
                   " and approve_date IS NULL and cancel_date IS NULL",
               unapproved))
      return false;
    if (unapproved > 0) {
      Error(kMsgNotApproved, name, l.segment);
      return true;
    }
    if (!l.amount) {
      Error(kMsgFormat, "", l.segment);
      return true;
    }
    p.amount = credit_ ? Negative(*l.amount) : *l.amount;
    Dec64 rounded = p.amount;
    (void)LbDec64_Round64(rounded, AcqDbBudget::MoneyDigits());
    if (rounded != p.amount) {
      Error(kMsgAmountDigits, name, l.segment);
      return true;
    }
    return PickItems(l, name, p, ok);
  }

  // The items the line takes among those pending invoice (or credit),
  // leaving out what earlier lines of this message took.
  bool PickItems(const Line& l, const std::string& name, PlannedLine& p, bool& ok) {
    struct Pending {
      int16_t item;
      int32_t catalogueItem;
      std::string location;
    };
    BucketHold rows;
    if (!AcqDbAct::LoadPendingItems(credit_ ? Activity::Credit : Activity::Invoice, p.po, p.line,
                                    0, rows.get()))
      return false;
    std::set<int16_t>& taken = taken_[{p.po, p.line}];
    std::vector<Pending> pending;
    for (int r = 1; r <= _BktCountAll(*rows); ++r) {
      const auto item = static_cast<int16_t>(IntOf(*rows, r, "item"));
      if (taken.count(item) == 0)
        pending.push_back({item, static_cast<int32_t>(IntOf(*rows, r, "item#")),
                           TextOf(*rows, r, "location")});
    }
    int32_t atLocations = 0;
    for (const LocationQuantity& lq : l.locations) atLocations += lq.quantity;
    const int32_t quantity =
        l.quantity ? *l.quantity
                   : (!l.locations.empty() ? atLocations : static_cast<int32_t>(l.items.size()));
    std::set<int16_t> picked;
    auto refuse = [&](const std::string& arg, int32_t segment) {
      Error(kMsgPending, arg, segment);
      return true;
    };
    if (quantity <= 0 || quantity > static_cast<int32_t>(pending.size()) ||
        atLocations > quantity || static_cast<int32_t>(l.items.size()) > quantity)
      return refuse(name, l.segment);
    for (int32_t catalogueItem : l.items) {
      auto it = std::find_if(pending.begin(), pending.end(), [&](const Pending& x) {
        return x.catalogueItem == catalogueItem && picked.count(x.item) == 0;
      });
      if (it == pending.end()) return refuse(name, l.segment);
      picked.insert(it->item);
    }
    for (const LocationQuantity& lq : l.locations) {
      std::string location;
      if (!ResolveLocation(lq, location)) return false;
      int32_t have = 0;
      for (const Pending& x : pending)
        if (picked.count(x.item) != 0 && x.location == location) ++have;
      for (const Pending& x : pending) {
        if (have >= lq.quantity) break;
        if (picked.count(x.item) == 0 && x.location == location) {
          picked.insert(x.item);
          ++have;
        }
      }
      if (have != lq.quantity) return refuse(name + "/" + lq.code, lq.segment);
    }
    for (const Pending& x : pending) {
      if (static_cast<int32_t>(picked.size()) >= quantity) break;
      picked.insert(x.item);
    }
    p.items.assign(picked.begin(), picked.end());
    taken.insert(picked.begin(), picked.end());
    ok = true;
    return true;
  }

  // A delivery party's code as one of our locations: looked up by its
  // agency when it has a known one, else taken as the location's own code.
  bool ResolveLocation(const LocationQuantity& lq, std::string& location) {
    location = lq.code;
    const int kind = AcqEdifact::LocationKind(lq.agency);
    if (kind < 0) return true;
    std::string found;
    const AcqEdifact::Lookup r = AcqEdifact::FindLocation(kind, lq.code, found);
    if (r.result == AcqEdifact::Lookup::Result::DbError) {
      DbMsg msg = r.msg;
      AcqDbExcept::HandleDbError(msg, r.code);
      return false;
    }
    if (r.found()) location = found;
    return true;
  }

  const Message& m_;
  const Invoice& inv_;
  std::vector<Finding>& findings_;
  const bool credit_;
  int currencyDigits_ = 2;
  bool taxBooked_ = false;
  std::vector<std::pair<std::string, Dec64>> charges_;
  std::map<std::pair<int32_t, int16_t>, std::set<int16_t>> taken_;
};

// ---- writing -----------------------------------------------------------------------------------

bool WriteStatus(const MessageKey& key, int status, DayNum today) {
  return RunStatement(
      "insert into edifact_process_status(edifact#,message#,process,status,process_date) "
      "values(" + Key(key.edifact) + "," + Key(key.message) + "," + Key(kProcessInvoices) + "," +
      Key(status) + "," + Key(today) + ")");
}

// The findings as edifact_exception rows, through the shared exception writer.
bool WriteFindings(const MessageKey& key, const std::vector<Finding>& findings) {
  if (findings.empty()) return true;
  BucketHold rows;
  if (!AcqDbBase::LoadBktFromCols(0, 0, rows.get(), kExceptionColumns, "edifact_exception"))
    return false;
  AcqEdifact::ExceptionWriter writer(*rows, kProcessInvoices);
  for (const Finding& f : findings)
    writer.Write(key.edifact, key.message, f.segment, f.arg, f.message, f.error);
  for (int r = 1; r <= _BktCountAll(*rows); ++r) {
    DbMsg msg;
    if (const DbCode code = AcqDb::InsertRow(msg, r, *rows, "edifact_exception"); code != kDbOk) {
      AcqDbExcept::HandleDbError(msg, code);
      return false;
    }
  }
  return true;
}

bool StatementRate(const std::string& currency, Dec64& rate) {
  rate = Dec64::FromInt(1);
  if (currency.empty()) return true;
  BucketHold row;
  if (!Load("exchange_rate", "currency", "currency=" + Quote(currency), "", row)) return false;
  if (_BktCountAll(*row) == 1) rate = DecOf(*row, 1, "exchange_rate");
  return true;
}

// The statement with its charges and lines; the money through the money
// core, as the statement window and the invoice activity move it.
class Writer {
 public:
  Writer(const Message& m, const Invoice& inv, const Plan& plan, AcqFundCtrl::BustList* list,
         AcqDbBudget::BudgetMoves& moves)
      : m_(m), inv_(inv), plan_(plan), list_(list), moves_(moves) {}

  bool Run(int32_t& statement) {
    DbMsg msg;
    if (const DbCode code = _DbGetNewKeyValidate(AcqDbGlobal::Session(), "statement",
                                                 "statement", "statement#", statement, msg);
        code != kDbOk) {
      AcqDbExcept::HandleDbError(msg, code);
      return false;
    }
    Dec64 rate;
    if (!StatementRate(m_.currency, rate)) return false;
    const DayNum today = DbDabs_GetDate();
    const std::string s = Key(statement);
    const std::string date = m_.date == kNoDate ? "NULL" : Key(m_.date);
    const std::string currency = m_.currency.empty() ? "NULL" : Quote(m_.currency);
    if (!RunStatement("insert into statement(statement#,statement_number,statement_type,vendor#,"
                      "amount,amount_remaining,currency,exchange_rate,statement_date,note,"
                      "creation_date,last_update_date) values(" +
                      s + "," + Quote(m_.number) + "," + Key(inv_.statementType) + "," +
                      Key(m_.vendor) + "," + Raw(plan_.amount) + "," + Raw(plan_.amount) + "," +
                      currency + "," + Raw(rate) + "," + date + "," + Quote(kNote) + "," +
                      Key(today) + "," + Key(today) + ")"))
      return false;
    return WriteCharges(statement, rate) && WriteLines(statement);
  }

 private:
  // Budgeted charges are on order until approval.
  bool WriteCharges(int32_t statement, Dec64 rate) {
    if (plan_.charges.empty()) return true;
    moves_.Reset();
    bool budgeted = false;
    for (const auto& [type, amount] : plan_.charges) {
      std::string budget;
      if (!AcqDbStmnt::DefaultChargeBudget(type, budget)) return false;
      if (!RunStatement("insert into statement_extra_charge(statement#,extra_charge_type,amount,"
                        "exchange_rate,budget,spent) values(" +
                        Key(statement) + "," + Quote(type) + "," + Raw(amount) + "," + Raw(rate) +
                        "," + (budget.empty() ? std::string("NULL") : Quote(budget)) + ",0)"))
        return false;
      if (budget.empty()) continue;
      Dec64 base;
      if (LbDec64_Mul64(amount, rate, base) != DecStatus::Ok) {
        DbMsg msg;
        msg.Set("The extra charge " + type + " times its exchange rate is too large.");
        AcqDbExcept::HandleDbError(msg, kDbError);
        return false;
      }
      AcqDbBudget::IncreaseExtraOnOrder(type, base, budget, moves_.deltas(), moves_.detail());
      budgeted = true;
    }
    return !budgeted ||
           AcqDbBudget::ApplyStatementBudgetUpdate(list_, moves_, true, statement, nullptr);
  }

  // Each line by the invoice (or credit) activity on the items it takes.
  bool WriteLines(int32_t statement) {
    const Activity activity = inv_.statementType == 3 ? Activity::Credit : Activity::Invoice;
    const AcqDbAct::Now now = AcqDbAct::Now::Take();
    for (const PlannedLine& p : plan_.lines) {
      BucketHold items;
      if (!AcqDbAct::LoadPendingItems(activity, p.po, p.line, statement, items.get()))
        return false;
      for (int r = _BktCountAll(*items); r >= 1; --r) {
        const auto item = static_cast<int16_t>(IntOf(*items, r, "item"));
        if (std::find(p.items.begin(), p.items.end(), item) == p.items.end())
          _BktDelete(*items, r);
      }
      AcqDbAct::ActivityEntry entry;
      entry.amount = p.amount;
      entry.statement = statement;
      moves_.Reset();
      if (!AcqDbAct::ActivitySteps(activity, *items, entry, now, {}, list_, moves_, true))
        return false;
    }
    return true;
  }

  const Message& m_;
  const Invoice& inv_;
  const Plan& plan_;
  AcqFundCtrl::BustList* list_;
  AcqDbBudget::BudgetMoves& moves_;
};

bool HasErrors(const std::vector<Finding>& findings) {
  return std::any_of(findings.begin(), findings.end(), [](const Finding& f) { return f.error; });
}

}  // namespace

bool ReadInvoice(const std::vector<Segment>& segments, const ServiceChars& sc, Invoice& invoice,
                 Finding& fault) {
  invoice = Invoice{};
  SegmentReader reader(sc, invoice);
  for (const Segment& s : segments) {
    const std::string tag(AcqEdifact::Tag(s.text));
    if (tag == "UNH") continue;
    if (!reader.Read(s)) {
      fault = {kMsgFormat, "", true, s.segment};
      return false;
    }
  }
  if (reader.Complete()) return true;
  fault = {kMsgFormat, "", true, segments.empty() ? 0 : segments.back().segment};
  return false;
}

Result ProcessMessage(const MessageKey& key) {
  Result result;
  bool listed = false;
  Message m;
  std::vector<Segment> segments;
  if (!ReadMessage(key, listed, m, segments)) return result;
  if (!listed) {
    result.outcome = Outcome::AlreadyDone;
    return result;
  }
  Invoice invoice;
  Finding fault;
  const bool readable = ReadInvoice(segments, m.sc, invoice, fault);

  AcqFundCtrl::BustListHold list;
  AcqDbBudget::BudgetMoves moves;
  if (!moves.ok()) return result;
  auto steps = [&]() -> bool {
    result = Result{};
    int32_t done = 0;
    if (!Count("select count(*) from edifact_process_status where edifact#=" +
                   Key(key.edifact) + " and message#=" + Key(key.message) +
                   " and process=" + Key(kProcessInvoices) + " and status<>" + Key(kFailed),
               done))
      return false;
    if (done > 0) {
      result.outcome = Outcome::AlreadyDone;
      return true;
    }
    Plan plan;
    if (!readable) {
      result.findings.push_back(fault);
    } else if (!Checker(m, invoice, result.findings).Run(plan)) {
      return false;
    }
    const DayNum today = DbDabs_GetDate();
    if (HasErrors(result.findings)) {
      result.outcome = Outcome::Refused;
      return WriteFindings(key, result.findings) && WriteStatus(key, kFailed, today);
    }
    result.outcome = Outcome::Created;
    return Writer(m, invoice, plan, list.get(), moves).Run(result.statement) &&
           WriteFindings(key, result.findings) &&
           WriteStatus(key, result.findings.empty() ? kDone : kDoneWithWarnings, today);
  };
  auto confirmAgain = [&list] {
    const AcqFundCtrl::BustHandler handler = AcqFundCtrl::GetBustHandler();
    return AcqFundCtrl::BustListPending(list.get()) && handler != nullptr && handler(list.get());
  };
  if (!AcqDbBase::SaveWithReportedRetry(kMaxRetries, steps, {}, confirmAgain)) {
    result.outcome = Outcome::Failed;
    result.statement = 0;
  }
  return result;
}

bool RemoveMessages(const std::vector<MessageKey>& keys, int& removed) {
  removed = 0;
  auto steps = [&]() -> bool {
    removed = 0;
    const DayNum today = DbDabs_GetDate();
    for (const MessageKey& k : keys) {
      int32_t listed = 0;
      if (!Count("select count(*) from edifact_invoic_message where edifact#=" +
                     Key(k.edifact) + " and message#=" + Key(k.message),
                 listed))
        return false;
      if (listed == 0) continue;
      if (!WriteStatus(k, kRemoved, today)) return false;
      ++removed;
    }
    return true;
  };
  return AcqDbBase::SaveWithReportedRetry(kMaxRetries, steps, {});
}

}  // namespace acq::AcqDbEdiInv
