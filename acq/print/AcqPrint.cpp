// AcqPrint: printed forms of purchase orders, read and laid out.
#include "acq/print/AcqPrint.h"

#include <algorithm>
#include <cstdlib>
#include <map>
#include <string_view>

#include "acq/AcqUnit.h"
#include "acq/db/AcqDb.h"
#include "acq/db/AcqDbExcept.h"
#include "acq/db/AcqDbGen.h"
#include "acq/frame/AcqBase.h"
#include "host/db/PwDb.h"
#include "host/muc/MucTools.h"
#include "host/sys/Bucket.h"
#include "host/sys/LbStr.h"

namespace acq::AcqPrint {
namespace {

using AcqPPrint::Form;

// Page texts of the string table.
constexpr int kStrClaimLetter = 19;
constexpr int kStrPoNumber = 23;
constexpr int kStrShipTo = 24;
constexpr int kStrBillTo = 25;
constexpr int kStrPage = 26;
constexpr int kStrOf = 27;
constexpr int kStrDate = 28;
constexpr int kStrInstructions = 30;
constexpr int kStrIsbnIssn = 31;
constexpr int kStrQty = 32;
constexpr int kStrAuthorTitle = 33;
constexpr int kStrAmount = 34;
constexpr int kStrInternalUse = 35;
constexpr int kStrSignature = 36;
constexpr int kStrLine = 38;
constexpr int kStrDraft = 39;
constexpr int kStrCancellation = 41;
constexpr int kStrDistribution = 43;
constexpr int kStrCustomer = 44;
constexpr int kMsgFontTooLarge = 238;

// The columns of the body, in thousandths of the printable width.
constexpr int kColLine = 0, kColIsbn = 70, kColTitle = 250, kColQty = 760, kColAmount = 830,
              kColEnd = 1000;
// The two address blocks side by side, and the footer's two halves.
constexpr int kHalf = 500;

// A page text: the caption part of the string (they have no text part).
std::string PageText(int id) {
  std::string s = AcqBase::LoadStr(id);
  if (const size_t bar = s.find('|'); bar != std::string::npos) s.resize(bar);
  return s;
}

// ---- reading -------------------------------------------------------------------------

// Cells of a loaded row by column name; a column that is not there reads
// as empty or 0.
struct Row {
  BktHandle bkt;
  int row;
  std::string Text(const char* column) const {
    const int col = _BktGetColNum(bkt, column);
    if (col == 0 || _ColIsNull(bkt, row, col)) return {};
    switch (_BktGetColType(bkt, col)) {
      case kColText: return _ColGetStringW(bkt, row, col);
      case kColDec64: return LbDec64_StrFrom64(_ColGetDec64(bkt, row, col));
      default: return std::to_string(_ColGetInt(bkt, row, col));
    }
  }
  int32_t Int(const char* column) const {
    const int col = _BktGetColNum(bkt, column);
    if (col == 0 || _ColIsNull(bkt, row, col)) return 0;
    switch (_BktGetColType(bkt, col)) {
      case kColText: return static_cast<int32_t>(std::strtol(_ColGetStringW(bkt, row, col).c_str(), nullptr, 10));
      case kColDec64: return static_cast<int32_t>(_ColGetDec64(bkt, row, col).raw / Dec64::kOne);
      default: return _ColGetInt(bkt, row, col);
    }
  }
  // A price column: typed Dec64 by the session (a plain column of a table).
  Dec64 Money(const char* column) const {
    const int col = _BktGetColNum(bkt, column);
    if (col == 0 || _ColIsNull(bkt, row, col) || _BktGetColType(bkt, col) != kColDec64) return {};
    return _ColGetDec64(bkt, row, col);
  }
};

// The result sets of a procedure, destroyed with the holder.
struct ResultSets {
  std::vector<BktHandle> sets;
  ResultSets() = default;
  ~ResultSets() {
    for (BktHandle& b : sets) _BktDestroy(&b);
  }
  ResultSets(const ResultSets&) = delete;
  ResultSets& operator=(const ResultSets&) = delete;
};

bool Report(const DbMsg& msg, DbCode code) {
  if (code == kDbOk) return true;
  AcqDbExcept::HandleDbError(msg, code);
  return false;
}

bool Load(std::string_view table, const std::string& where, std::string_view orderBy,
          BucketHold& rows) {
  DbMsg msg;
  return Report(msg, AcqDb::LoadTable(msg, AcqDb::ClearChanges::Yes, orderBy, where, "*", table,
                                      rows.get()));
}

std::string Quoted(std::string_view text) {
  std::string out = "'";
  for (char c : text) {
    out += c;
    if (c == '\'') out += '\'';
  }
  return out + "'";
}

void AddIfSet(std::vector<std::string>& lines, const std::string& text) {
  if (!text.empty()) lines.push_back(text);
}

// A location's address block: name, street lines, "city state postal
// code", country.
std::vector<std::string> AddressBlock(const Row& a) {
  std::vector<std::string> lines;
  AddIfSet(lines, a.Text("name"));
  for (const char* c : {"address1", "address2", "address3", "address4"}) AddIfSet(lines, a.Text(c));
  std::string place = a.Text("city");
  for (const char* c : {"state", "postal_code"}) {
    const std::string part = a.Text(c);
    if (part.empty()) continue;
    if (!place.empty()) place += c[0] == 's' ? ", " : "  ";
    place += part;
  }
  AddIfSet(lines, place);
  AddIfSet(lines, a.Text("country"));
  return lines;
}

// The address `code` of `location`, else the location's default of the
// kind (`defaultFlag`).
bool LocationAddress(const std::string& location, const std::string& code, const char* defaultFlag,
                     std::vector<std::string>& block) {
  BucketHold rows;
  if (!Load("address", "location=" + Quoted(location), "address_code", rows)) return false;
  int chosen = 0;
  for (int r = 1; r <= _BktCountAll(*rows); ++r) {
    const Row a{*rows, r};
    if (!code.empty() && a.Text("address_code") == code) chosen = r;
    if (chosen == 0 && code.empty() && a.Int(defaultFlag) != 0) chosen = r;
  }
  if (chosen != 0) block = AddressBlock(Row{*rows, chosen});
  return true;
}

// The vendor's name and the address its mail of this kind goes to (the
// first address flagged for it, else its first address).
bool VendorBlock(int32_t vendor, Form form, std::vector<std::string>& block, std::string& note) {
  BucketHold vendors, addresses;
  if (!Load("vendor", "vendor#=" + std::to_string(vendor), "", vendors)) return false;
  if (!Load("vendor_address", "vendor#=" + std::to_string(vendor), "address_code", addresses))
    return false;
  if (_BktCountAll(*vendors) > 0) {
    const Row v{*vendors, 1};
    block.push_back(v.Text("name"));
    note = v.Text("vendor_note");
  }
  const char* flag = form == Form::Claim ? "claims" : "orders";
  int chosen = _BktCountAll(*addresses) > 0 ? 1 : 0;
  for (int r = _BktCountAll(*addresses); r >= 1; --r)
    if (Row{*addresses, r}.Int(flag) != 0) chosen = r;
  if (chosen != 0) {
    const Row a{*addresses, chosen};
    for (const char* c : {"address1", "address2", "address3", "address4"}) AddIfSet(block, a.Text(c));
  }
  return true;
}

std::string AuthorTitle(const std::string& author, const std::string& title) {
  if (author.empty()) return title;
  if (title.empty()) return author;
  return author + " / " + title;
}

std::string IsbnIssn(const Row& r) {
  const std::string isbn = r.Text("isbn");
  return isbn.empty() ? r.Text("issn") : isbn;
}

// A price times a whole quantity; exact, false on overflow.
bool Times(Dec64 price, int32_t quantity, Dec64& amount) {
  amount = price;
  return LbDec64_Mul64I(amount, quantity) == DecStatus::Ok;
}

// The entries of a negotiable order or a draft: the lines still ordering
// something, at the line's price.
bool OrderedEntries(int32_t po, std::vector<Entry>& entries) {
  BucketHold rows;
  if (!Load("po_unique_lines", "po#=" + std::to_string(po), "line", rows)) return false;
  for (int r = 1; r <= _BktCountAll(*rows); ++r) {
    const Row l{*rows, r};
    Entry e;
    e.line = static_cast<int16_t>(l.Int("line"));
    e.isbnIssn = IsbnIssn(l);
    e.authorTitle = AuthorTitle(l.Text("author"), l.Text("title"));
    e.quantity = l.Int("quantity");
    (void)Times(l.Money("po_unit_price"), e.quantity, e.amount);
    e.text = l.Text("order_note");
    entries.push_back(std::move(e));
  }
  return true;
}

// The entries of a cancellation notice: the cancelled part of each line.
bool CancelledEntries(int32_t po, std::vector<Entry>& entries) {
  DbMsg msg;
  ResultSets held;
  std::vector<BktHandle>& sets = held.sets;
  if (!Report(msg, AcqDbGen::PoChangePrint(msg, po, sets))) return false;
  if (sets.empty()) return true;
  for (int r = 1; r <= _BktCountAll(sets[0]); ++r) {
    const Row l{sets[0], r};
    Entry e;
    e.line = static_cast<int16_t>(l.Int("line"));
    e.isbnIssn = IsbnIssn(l);
    e.authorTitle = AuthorTitle(l.Text("author"), l.Text("title"));
    e.quantity = l.Int("quantity");
    (void)Times(l.Money("po_unit_price"), e.quantity, e.amount);
    e.text = l.Text("change_order_note");
    entries.push_back(std::move(e));
  }
  return true;
}

// The entries of a claim letter: per line, the items claimed; the claim
// text goes once above them (the letter claims them together).
bool ClaimedEntries(int32_t po, std::vector<Entry>& entries, std::string& letter) {
  DbMsg msg;
  ResultSets held;
  std::vector<BktHandle>& sets = held.sets;
  if (!Report(msg, AcqDbGen::PoClaimPrint(msg, po, sets))) return false;
  if (sets.empty()) return true;
  std::map<int16_t, size_t> byLine;
  for (int r = 1; r <= _BktCountAll(sets[0]); ++r) {
    const Row c{sets[0], r};
    const auto line = static_cast<int16_t>(c.Int("line"));
    auto [at, added] = byLine.try_emplace(line, entries.size());
    if (added) {
      Entry e;
      e.line = line;
      e.isbnIssn = IsbnIssn(c);
      e.authorTitle = AuthorTitle(c.Text("author"), c.Text("title"));
      e.hasAmount = false;
      entries.push_back(std::move(e));
      if (letter.empty()) letter = c.Text("print_text");
    }
    ++entries[at->second].quantity;
  }
  std::sort(entries.begin(), entries.end(),
            [](const Entry& a, const Entry& b) { return a.line < b.line; });
  return true;
}

int HeadingOf(Form form) {
  switch (form) {
    case Form::Draft: return kStrDraft;
    case Form::Cancellation: return kStrCancellation;
    case Form::Claim: return kStrClaimLetter;
    case Form::Negotiable: break;
  }
  return 0;
}

// ---- layout --------------------------------------------------------------------------

MucPrintCell Cell(std::string text, int from, int to, MucPrintAlign align = MUCPRINT_LEFT,
                  MucPrintStyle style = MUCPRINT_REGULAR) {
  return MucPrintCell{std::move(text), from, to, align, style};
}

// Runs the steps in order until one fails.
class Layout {
 public:
  explicit Layout(HPRINTER job) : job_(job) {}
  MucPrintCode code() const { return code_; }
  void Row(const std::vector<MucPrintCell>& cells) {
    if (code_ == MUCPRINT_OK) code_ = MucPrint_PrintWrapCells(job_, cells, nullptr);
  }
  void Blank() { Row({Cell("", 0, kColEnd)}); }
  void RunningHeading(const std::vector<MucPrintCell>& cells) {
    if (code_ == MUCPRINT_OK) code_ = MucPrint_SetRunningHeading(job_, cells);
  }
  void Wrapped(const std::string& text, MucPrintAlign align, MucPrintStyle style) {
    if (code_ == MUCPRINT_OK) code_ = MucPrint_PrintWrapTmp(job_, text, align, style, nullptr);
  }
  void Rule() {
    if (code_ == MUCPRINT_OK) code_ = MucPrint_PrintRule(job_, '-');
  }
  // Keeps the next `lines` lines together on one page.
  void Keep(int lines) {
    if (code_ == MUCPRINT_OK && MucPrint_LinesLeft(job_) < lines &&
        lines <= MucPrint_LinesPerPage(job_))
      code_ = MucPrint_EndPage(job_);
  }

 private:
  HPRINTER job_;
  MucPrintCode code_ = MUCPRINT_OK;
};

void PrintHeader(Layout& out, const Document& doc) {
  if (!doc.heading.empty()) out.Wrapped(doc.heading, MUCPRINT_CENTRE, MUCPRINT_BOLD);
  out.Row({Cell(PageText(kStrPoNumber) + " " + doc.poNumber, 0, 600, MUCPRINT_LEFT, MUCPRINT_BOLD),
           Cell(PageText(kStrDate) + " " + DbDabs_DateToStr(doc.date), 600, kColEnd,
                MUCPRINT_RIGHT)});
  out.Row({Cell(PageText(kStrCustomer) + " " + doc.custNumber, 0, kColEnd)});
  out.Blank();
  for (size_t n = 0; n < doc.vendor.size(); ++n)
    out.Row({Cell(doc.vendor[n], 0, kHalf, MUCPRINT_LEFT, n == 0 ? MUCPRINT_BOLD : MUCPRINT_REGULAR)});
  out.Blank();
  out.Row({Cell(PageText(kStrBillTo), 0, kHalf, MUCPRINT_LEFT, MUCPRINT_BOLD),
           Cell(PageText(kStrShipTo), kHalf, kColEnd, MUCPRINT_LEFT, MUCPRINT_BOLD)});
  std::vector<std::string> ship = doc.shipTo;
  if (doc.severalLocations) ship = {PageText(kStrDistribution)};
  for (size_t n = 0; n < std::max(doc.billTo.size(), ship.size()); ++n)
    out.Row({Cell(n < doc.billTo.size() ? doc.billTo[n] : "", 0, kHalf),
             Cell(n < ship.size() ? ship[n] : "", kHalf, kColEnd)});
  out.Blank();
  out.Wrapped(PageText(kStrInstructions) + (doc.note.empty() ? "" : " " + doc.note), MUCPRINT_LEFT,
              MUCPRINT_REGULAR);
  if (!doc.letter.empty()) {
    out.Blank();
    out.Wrapped(doc.letter, MUCPRINT_LEFT, MUCPRINT_REGULAR);
  }
  out.Rule();
}

std::vector<MucPrintCell> ColumnHeadings() {
  return {Cell(PageText(kStrLine), kColLine, kColIsbn, MUCPRINT_LEFT, MUCPRINT_BOLD),
          Cell(PageText(kStrIsbnIssn), kColIsbn, kColTitle, MUCPRINT_LEFT, MUCPRINT_BOLD),
          Cell(PageText(kStrAuthorTitle), kColTitle, kColQty, MUCPRINT_LEFT, MUCPRINT_BOLD),
          Cell(PageText(kStrQty), kColQty, kColAmount, MUCPRINT_RIGHT, MUCPRINT_BOLD),
          Cell(PageText(kStrAmount), kColAmount, kColEnd, MUCPRINT_RIGHT, MUCPRINT_BOLD)};
}

void PrintEntry(Layout& out, const Entry& e, int decimals) {
  // The gap of a column's left edge keeps neighbours' texts apart.
  out.Row({Cell(std::to_string(e.line), kColLine, kColIsbn - 10),
           Cell(e.isbnIssn, kColIsbn, kColTitle - 10),
           Cell(e.authorTitle, kColTitle, kColQty - 10),
           Cell(std::to_string(e.quantity), kColQty, kColAmount, MUCPRINT_RIGHT),
           Cell(e.hasAmount ? AmountText(e.amount, decimals) : "", kColAmount, kColEnd,
                MUCPRINT_RIGHT)});
  if (!e.text.empty()) out.Row({Cell(e.text, kColTitle, kColEnd)});
}

void PrintFooter(Layout& out) {
  out.Keep(4);
  out.Blank();
  out.Blank();
  out.Row({Cell(PageText(kStrInternalUse) + " ____________________", 0, kHalf),
           Cell("______________________________", kHalf + 50, kColEnd)});
  out.Row({Cell("", 0, kHalf), Cell(PageText(kStrSignature), kHalf + 50, kColEnd)});
}

}  // namespace

std::string AmountText(Dec64 amount, int decimals) {
  return LbDec64_StrFrom64(amount, std::clamp(decimals, 0, Dec64::kScale));
}

bool LoadDocument(int32_t po, Form form, DayNum today, Document& doc) {
  doc = Document{};
  doc.po = po;
  doc.date = today;
  if (const int heading = HeadingOf(form); heading != 0) doc.heading = PageText(heading);
  BucketHold pos;
  if (!Load("po", "po#=" + std::to_string(po), "", pos)) return false;
  if (_BktCountAll(*pos) == 0) return false;
  const Row p{*pos, 1};
  doc.poNumber = p.Text("po_number");
  if (doc.poNumber.empty()) doc.poNumber = std::to_string(po);
  const int32_t vendor = p.Int("vendor#");
  const std::string location = p.Text("location");

  DbMsg msg;
  const std::string contract = p.Text("vendor_contract");
  if (!contract.empty()) {
    BucketHold contracts;
    if (!Load("vendor_contract",
              "vendor#=" + std::to_string(vendor) + " and vendor_contract=" + Quoted(contract), "",
              contracts))
      return false;
    if (_BktCountAll(*contracts) > 0) doc.custNumber = Row{*contracts, 1}.Text("cust_number");
  }
  // A failed look-up is reported by it; the form then goes out without the number.
  if (doc.custNumber.empty()) (void)AcqDbGen::GetCustNumber(msg, vendor, location, doc.custNumber);

  int32_t decimals = 2;
  if (const std::string currency = p.Text("currency"); !currency.empty()) {
    if (!AcqDbGen::GetCurrencyFormat(msg, currency, decimals)) return false;
  }
  doc.decimals = decimals;

  if (!VendorBlock(vendor, form, doc.vendor, doc.note)) return false;
  if (!LocationAddress(location, p.Text("bill_to_address"), "default_bill_to", doc.billTo) ||
      !LocationAddress(location, p.Text("ship_to_address"), "default_ship_to", doc.shipTo))
    return false;
  // The places the live items go to: a location and its ship-to address
  // (the PO's when the item names none).
  int32_t places = 0;
  const DbCode placesCode = AcqDb::ExecSP(
      msg, &places, sizeof places, "",
      "select count(distinct coalesce(i.location, p.location) || '/' || "
      "coalesce(i.ship_to_address, p.ship_to_address, '')) from po_line_item i, po p "
      "where p.po#=i.po# and i.cancel_date IS NULL and i.po#=" + std::to_string(po));
  if (!Report(msg, placesCode)) return false;
  doc.severalLocations = places > 1;

  switch (form) {
    case Form::Negotiable:
    case Form::Draft: return OrderedEntries(po, doc.entries);
    case Form::Cancellation: return CancelledEntries(po, doc.entries);
    case Form::Claim: return ClaimedEntries(po, doc.entries, doc.letter);
  }
  return false;
}

MucPrintCode PrintDocument(HPRINTER job, const Document& doc) {
  // Every page names its PO, so a page that strays is still known.
  if (MucPrintCode code = MucPrint_StartDocument(job, PageText(kStrPoNumber) + " " + doc.poNumber);
      code != MUCPRINT_OK)
    return code;
  Layout out(job);
  PrintHeader(out, doc);
  out.Row(ColumnHeadings());
  out.RunningHeading(ColumnHeadings());
  for (const Entry& e : doc.entries) PrintEntry(out, e, doc.decimals);
  out.RunningHeading({});
  PrintFooter(out);
  return out.code();
}

bool PrintList(HWND owner, const std::string& title, const std::string& intro,
               const std::vector<std::string>& headings,
               const std::vector<std::vector<std::string>>& rows) {
  std::string printer = MucPrint_DefaultPrinter();
  if (!MucPrint_OpenPrinterDlgBox(title, printer)) return false;
  MucPrintJobHold job;
  std::string why;
  MucPrintCode code = MucPrint_OpenPrinter(printer, MucPrint_QueryPageSetup(), job.out(), &why);
  if (code == MUCPRINT_OK) {
    code = MucPrint_StartPrint(job.get(), title);
    MucPrint_SetPageWords(job.get(), PageText(kStrPage), PageText(kStrOf));
    int lines = 0;
    if (code == MUCPRINT_OK && !intro.empty())
      code = MucPrint_PrintWrapTmp(job.get(), intro, MUCPRINT_LEFT, MUCPRINT_REGULAR, &lines);
    // Equal columns over the printable width, in permille.
    const int n = std::max<int>(1, static_cast<int>(headings.size()));
    auto cells = [n](const std::vector<std::string>& texts, MucPrintStyle style) {
      std::vector<MucPrintCell> out;
      for (int c = 0; c < n; ++c)
        out.push_back(MucPrintCell{c < static_cast<int>(texts.size()) ? texts[c] : "",
                                   c * 1000 / n, (c + 1) * 1000 / n, MUCPRINT_LEFT, style});
      return out;
    };
    if (code == MUCPRINT_OK) code = MucPrint_PrintCells(job.get(), cells(headings, MUCPRINT_BOLD));
    for (size_t r = 0; code == MUCPRINT_OK && r < rows.size(); ++r)
      code = MucPrint_PrintCells(job.get(), cells(rows[r], MUCPRINT_REGULAR));
    if (code == MUCPRINT_OK) code = MucPrint_EndPrint(job.get());
    why = MucPrint_ErrorText(job.get());
  }
  if (code == MUCPRINT_OK) return true;
  if (code == MUCPRINT_FONT_TOO_LARGE)
    MucTools_MsgBoxCap(owner, AcqBase::LoadStr(kMsgFontTooLarge), MB_OK | MB_ICONWARNING);
  else
    MucTools_MsgBoxCap(owner, title + "|" + why, MB_OK | MB_ICONWARNING);
  return false;
}

void Initialize() {}
void Terminate() {}

}  // namespace acq::AcqPrint

ACQ_UNIT_BODY(AcqPrint)
