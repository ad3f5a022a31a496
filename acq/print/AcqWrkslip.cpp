// AcqWrkslip: workslips, one per PO line, read from the workslip views and
// sent to this workstation's workslip printer (pages of a print job, or
// text lines with escape sequences to a port), or shown in a dialog.
#include "acq/print/AcqWrkslip.h"

#include <algorithm>
#include <initializer_list>
#include <optional>
#include <set>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "acq/AcqUnit.h"
#include "acq/db/AcqDb.h"
#include "acq/db/AcqDbExcept.h"
#include "acq/frame/AcqBase.h"
#include "acq/print/AcqWrkOptions.h"
#include "host/db/DbDabs.h"
#include "host/mr/MrFramework.h"
#include "host/muc/MucTools.h"
#include "host/print/MucPrint.h"
#include "host/print/PortPrint.h"
#include "host/sys/Bucket.h"
#include "host/sys/Dec64.h"
#include "host/sys/LbStr.h"
#include "host/sys/RunTime.h"
#include "host/win32/Dialog.h"

namespace acq::AcqWrkslip {
namespace {

using AcqDb::ClearChanges;

// Messages and texts of the string table.
constexpr int kMsgPage = 26;
constexpr int kMsgOf = 27;
constexpr int kMsgFontTooLarge = 238;
constexpr int kMsgPortFailed = 475;
constexpr int kMsgNotSetUp = 476;
constexpr int kMsgNothingToPrint = 477;
enum Label : int {
  kDate = 459, kPoKey = 460, kPoNumber = 461, kTitle = 462, kAuthor = 463, kImprint = 464,
  kEdition = 465, kIsbn = 466, kIsmn = 467, kIssn = 468, kCallNo = 469, kBib = 470,
  kPrice = 471, kCopies = 472, kNotes = 473, kRequests = 474,
};

// "Workslip Display" (dialog 84): its caption also titles print jobs and
// the port's workslips.
constexpr int kDisplayDialog = 84;
constexpr int kDisplayList = 1000;
constexpr int kDisplayPrint = 8401;

constexpr const char* kColumns =
    "po#,po_number,line,bib#,call_number,edition,isbn,ismn,issn,unit_price,publisher,"
    "publication_date,publication_place,title,author,workslip_note,num_requests,item,"
    "location,collection";
// Currencies without a row print prices with two decimals.
constexpr int kDefaultDecimals = 2;

// Distribution columns of a printed page, in thousandths of the width.
constexpr int kCollectionFrom = 400;
constexpr int kQuantityFrom = 800;

std::string Caption(int id) {
  const std::string s = AcqBase::LoadStr(id);
  return s.substr(0, s.find('|'));
}

void Tell(HWND owner, int id, std::string_view detail = {}) {
  std::string message = AcqBase::LoadStr(id);
  // A reason the host gave (an unknown printer, a refused job) follows the
  // message, so the person can act on it.
  if (!detail.empty()) message += "\n\n" + std::string(detail);
  MucTools_MsgBoxCap(owner, message, MB_OK | MB_ICONWARNING);
}

std::string WindowTitle() {
  const std::optional<DialogTemplate> t =
      LoadDialogTemplate(AcqBase::ResourceInstance(), kDisplayDialog);
  return t ? t->caption : std::string("Workslip");
}

std::optional<int64_t> Whole(BktHandle bkt, int row, std::string_view column) {
  const int col = _BktGetColNum(bkt, column);
  if (col == 0 || _ColIsNull(bkt, row, col)) return std::nullopt;
  const int type = _BktGetColType(bkt, col);
  if (type == kColDec64) return _ColGetDec64(bkt, row, col).raw / Dec64::kOne;
  if (type == kColText) return std::nullopt;
  int64_t v = 0;
  _ColGetScalar(bkt, row, col, v, type == kColInt32 ? 3 : type == kColInt16 ? 1 : 0);
  return v;
}

std::string Text(BktHandle bkt, int row, std::string_view column) {
  const int col = _BktGetColNum(bkt, column);
  if (col == 0 || _ColIsNull(bkt, row, col)) return {};
  switch (_BktGetColType(bkt, col)) {
    case kColText: return _ColGetStringW(bkt, row, col);
    case kColDec64: return LbDec64_StrFrom64(_ColGetDec64(bkt, row, col));
    case kColOpaque: return {};
    default: return std::to_string(Whole(bkt, row, column).value_or(0));
  }
}

// Decimals of the PO's currency; false (shown) on a database failure.
bool CurrencyDecimals(int32_t po, int& decimals) {
  decimals = kDefaultDecimals;
  BucketHold rows;
  DbMsg msg;
  const std::string where =
      "currency=(select currency from po where po#=" + std::to_string(po) + ")";
  if (DbCode c = AcqDb::LoadTable(msg, ClearChanges::Yes, "", where, "n_decimals", "currency",
                                  rows.get());
      c != kDbOk) {
    AcqDbExcept::HandleDbError(msg, c);
    return false;
  }
  if (_BktCountAll(*rows) > 0)
    decimals = static_cast<int>(Whole(*rows, 1, "n_decimals").value_or(kDefaultDecimals));
  return true;
}

std::string JoinPresent(std::initializer_list<std::string> parts) {
  std::string out;
  for (const std::string& p : parts) {
    if (p.empty()) continue;
    if (!out.empty()) out += ", ";
    out += p;
  }
  return out;
}

// The fields of the first row (the line's own values), in print order.
std::vector<SlipField> Fields(BktHandle rows, int decimals, int copies) {
  std::vector<SlipField> f;
  auto add = [&f](int label, std::string value, bool wraps = false) {
    f.push_back(SlipField{Caption(label), std::move(value), wraps});
  };
  add(kDate, DbDabs_DateToStr(DbDabs_GetDate()));
  add(kPoKey, Text(rows, 1, "po#"));
  add(kPoNumber, Text(rows, 1, "po_number"));
  add(kTitle, Text(rows, 1, "title"), true);
  add(kAuthor, Text(rows, 1, "author"), true);
  add(kImprint, JoinPresent({Text(rows, 1, "publisher"), Text(rows, 1, "publication_place"),
                             Text(rows, 1, "publication_date")}));
  add(kEdition, Text(rows, 1, "edition"));
  // Only the first standard number the line has, under its own label.
  for (const auto& [label, column] : {std::pair{kIsbn, "isbn"}, std::pair{kIsmn, "ismn"},
                                      std::pair{kIssn, "issn"}}) {
    if (std::string n = Text(rows, 1, column); !n.empty()) {
      add(label, std::move(n));
      break;
    }
  }
  add(kCallNo, Text(rows, 1, "call_number"));
  add(kBib, Text(rows, 1, "bib#"));
  const int col = _BktGetColNum(rows, "unit_price");
  add(kPrice, col == 0 || _ColIsNull(rows, 1, col)
                  ? std::string()
                  : LbDec64_StrFrom64(_ColGetDec64(rows, 1, col), decimals));
  add(kCopies, std::to_string(copies));
  add(kNotes, Text(rows, 1, "workslip_note"), true);
  add(kRequests, Text(rows, 1, "num_requests"));
  return f;
}

// ---- Windows printing -------------------------------------------------------------------------

MucPrintCode PrintPage(HPRINTER job, const SlipContent& slip) {
  MucPrintCode c = MucPrint_StartPage(job);
  if (c == MUCPRINT_OK) c = MucPrint_PrintRule(job, '-');
  for (const SlipField& f : slip.fields) {
    if (c != MUCPRINT_OK) return c;
    const std::string text = f.label + ": " + f.value;
    int lines = 0;
    c = f.wraps ? MucPrint_PrintWrapTmp(job, text, MUCPRINT_LEFT, MUCPRINT_REGULAR, &lines)
                : MucPrint_PrintStr(job, text, MUCPRINT_LEFT, MUCPRINT_REGULAR);
  }
  for (const SlipDistribution& d : slip.distribution) {
    if (c != MUCPRINT_OK) return c;
    c = MucPrint_PrintCells(
        job, {MucPrintCell{d.location, 0, kCollectionFrom},
              MucPrintCell{d.collection, kCollectionFrom, kQuantityFrom},
              MucPrintCell{std::to_string(d.quantity), kQuantityFrom, 1000, MUCPRINT_RIGHT}});
  }
  if (c == MUCPRINT_OK) c = MucPrint_PrintRule(job, '-');
  if (c == MUCPRINT_OK) c = MucPrint_EndPage(job);
  return c;
}

// A failed job: the font (238) or the printer (475 with the host's reason).
PrintResult JobFailed(HWND owner, MucPrintCode code, const std::string& why) {
  Lib_Trace("AcqWrkslip: print job failed (" + std::to_string(code) + "): " + why);
  if (code == MUCPRINT_FONT_TOO_LARGE) {
    Tell(owner, kMsgFontTooLarge);
  } else {
    Tell(owner, kMsgPortFailed, why);
  }
  return {};
}

PrintResult PrintOnPrinter(HWND owner, const std::string& printer,
                           const std::vector<SlipContent>& slips) {
  // Copies are the page setup's, made by the printer from one job.
  const MucPrintPageSetup setup = MucPrint_QueryPageSetup();
  MucPrintJobHold job;
  std::string why;
  if (MucPrintCode c = MucPrint_OpenPrinter(printer, setup, job.out(), &why); c != MUCPRINT_OK)
    return JobFailed(owner, c, why);
  if (MucPrintCode c = MucPrint_StartPrint(job.get(), WindowTitle()); c != MUCPRINT_OK)
    return JobFailed(owner, c, MucPrint_ErrorText(job.get()));
  MucPrint_SetPageWords(job.get(), Caption(kMsgPage), Caption(kMsgOf));
  for (const SlipContent& slip : slips) {
    if (MucPrintCode c = PrintPage(job.get(), slip); c != MUCPRINT_OK)
      return JobFailed(owner, c, MucPrint_ErrorText(job.get()));
  }
  if (MucPrintCode c = MucPrint_EndPrint(job.get()); c != MUCPRINT_OK)
    return JobFailed(owner, c, MucPrint_ErrorText(job.get()));
  Lib_Trace("AcqWrkslip: " + std::to_string(slips.size()) + " workslip(s) printed on " +
            printer + ", " + std::to_string(MucPrint_GetPageSetupCopies(setup)) + " copies");
  return {true, static_cast<int>(slips.size())};
}

// ---- port printing -----------------------------------------------------------------------------

PrintResult PrintOnPort(HWND owner, const AcqWrkOptions::Printer& printer,
                        const std::vector<SlipContent>& slips) {
  PortWriter writer(printer.port);
  const std::string title = WindowTitle();
  PrintResult result;
  bool ok = writer.Open();
  for (size_t n = 0; ok && n < slips.size(); ++n) {
    for (const std::string& line : PortLines(slips[n], title, printer.charsPerLine)) {
      if (!(ok = writer.AddLine(line))) break;
    }
    if (ok) ++result.printed;
  }
  if (ok) ok = writer.Finish();
  if (!ok) {
    Lib_Trace("AcqWrkslip: port " + printer.port.port + ": " + writer.error());
    Tell(owner, kMsgPortFailed);
    return {false, result.printed};
  }
  Lib_Trace("AcqWrkslip: " + std::to_string(result.printed) + " workslip(s) sent to port " +
            printer.port.port + " in " + std::to_string(writer.WriteCount()) + " write(s)");
  result.ok = true;
  return result;
}

std::string Centred(std::string_view text, int width) {
  std::string cut = Lb_CutChars(text, static_cast<size_t>(width));
  const size_t chars = Lb_CharCount(cut);
  const size_t left = (static_cast<size_t>(width) - chars) / 2;
  return std::string(left, ' ') + cut + std::string(static_cast<size_t>(width) - chars - left, ' ');
}

std::string PadTo(const std::string& text, size_t chars) {
  const size_t have = Lb_CharCount(text);
  return have >= chars ? text : text + std::string(chars - have, ' ');
}

// ---- "Workslip Display" ------------------------------------------------------------------------

struct Shown {
  Slip slip;
  Source source;
  SlipContent content;
};
Shown* shown = nullptr;   // the open display's workslip, DisplayDlgProc's only

std::vector<std::vector<std::string>> DisplayRows(const SlipContent& content) {
  std::vector<std::vector<std::string>> rows;
  for (const SlipField& f : content.fields) rows.push_back({f.label + ": " + f.value});
  for (const std::string& line : PortLines({{}, content.distribution}, "", 0))
    rows.push_back({line});
  return rows;
}

LRESULT DisplayDlgProc(HWND hwnd, UINT msg, WPARAM wParam, LPARAM) {
  switch (msg) {
    case WM_INITDIALOG:
      SetDlgListColumns(hwnd, kDisplayList, {{"workslip", "Workslip"}});
      if (shown != nullptr) SetDlgListRows(hwnd, kDisplayList, DisplayRows(shown->content));
      return TRUE;
    case WM_COMMAND:
      if (HIWORD(wParam) != BN_CLICKED) break;
      switch (LOWORD(wParam)) {
        case kDisplayPrint:
          if (shown != nullptr) (void)Print(hwnd, {shown->slip}, shown->source);
          return TRUE;
        case IDCANCEL: EndDialog(hwnd, IDCANCEL); return TRUE;
        default: break;
      }
      break;
    default:
      break;
  }
  return _Win32_DefDlgProc(hwnd, msg, wParam, 0);
}

}  // namespace

bool LoadContent(const Slip& slip, Source source, SlipContent& out, bool& found) {
  out = {};
  found = false;
  std::string where = "po#=" + std::to_string(slip.po) + " and line=" + std::to_string(slip.line);
  if (!slip.items.empty()) {
    where += " and item in (";
    for (size_t n = 0; n < slip.items.size(); ++n)
      where += (n ? "," : "") + std::to_string(slip.items[n]);
    where += ")";
  }
  const char* view = source == Source::Order ? "workslip_std_format" : "workslip_rcpt_format";
  BucketHold rows;
  DbMsg msg;
  if (DbCode c = AcqDb::LoadTable(msg, ClearChanges::Yes, "item", where, kColumns, view,
                                  rows.get());
      c != kDbOk) {
    AcqDbExcept::HandleDbError(msg, c);
    return false;
  }
  const int count = _BktCountAll(*rows);
  if (count == 0) return true;
  int decimals = kDefaultDecimals;
  if (!CurrencyDecimals(slip.po, decimals)) return false;
  // A row per item and budget share: an item split over budgets is one copy.
  std::set<int64_t> items;
  for (int row = 1; row <= count; ++row) {
    const int64_t item = Whole(*rows, row, "item").value_or(0);
    if (!items.insert(item).second) continue;
    const std::string location = Text(*rows, row, "location");
    const std::string collection = Text(*rows, row, "collection");
    bool counted = false;
    for (SlipDistribution& d : out.distribution) {
      if (d.location == location && d.collection == collection) {
        ++d.quantity;
        counted = true;
      }
    }
    if (!counted) out.distribution.push_back({location, collection, 1});
  }
  out.fields = Fields(*rows, decimals, static_cast<int>(items.size()));
  found = true;
  return true;
}

std::vector<std::string> PortLines(const SlipContent& content, std::string_view title,
                                   int charsPerLine) {
  std::vector<std::string> lines;
  const size_t width = charsPerLine > 0 ? static_cast<size_t>(charsPerLine) : 0;
  if (width > 0) {
    lines.push_back(Centred(title, charsPerLine));
    lines.push_back(std::string(width, '-'));
  }
  for (const SlipField& f : content.fields) lines.push_back(f.label + ": " + f.value);
  size_t locationChars = 0, collectionChars = 0;
  for (const SlipDistribution& d : content.distribution) {
    locationChars = std::max(locationChars, Lb_CharCount(d.location));
    collectionChars = std::max(collectionChars, Lb_CharCount(d.collection));
  }
  for (const SlipDistribution& d : content.distribution) {
    lines.push_back(PadTo(d.location, locationChars) + "  " + PadTo(d.collection, collectionChars) +
                    "  " + std::to_string(d.quantity));
  }
  if (width > 0) lines.push_back(std::string(width, '='));
  return lines;
}

PrintResult Print(HWND owner, const std::vector<Slip>& slips, Source source) {
  const std::optional<AcqWrkOptions::Printer> printer = AcqWrkOptions::QueryPrinter();
  if (!printer) {
    Tell(owner, kMsgNotSetUp);
    return {};
  }
  std::vector<SlipContent> contents;
  for (const Slip& slip : slips) {
    SlipContent content;
    bool found = false;
    if (!LoadContent(slip, source, content, found)) return {};
    if (found) contents.push_back(std::move(content));
  }
  if (contents.empty()) {
    Tell(owner, kMsgNothingToPrint);
    return {true, 0};
  }
  return printer->windowsPrint ? PrintOnPrinter(owner, printer->printerName, contents)
                               : PrintOnPort(owner, *printer, contents);
}

void Display(HWND owner, const Slip& slip, Source source) {
  Shown s{slip, source, {}};
  bool found = false;
  if (!LoadContent(slip, source, s.content, found)) return;
  if (!found) {
    Tell(owner, kMsgNothingToPrint);
    return;
  }
  shown = &s;
  (void)DialogBoxParamW(AcqBase::ResourceInstance(), kDisplayDialog, owner, &DisplayDlgProc, 0);
  shown = nullptr;
}

void Initialize() { shown = nullptr; }
void Terminate() { shown = nullptr; }

}  // namespace acq::AcqWrkslip

ACQ_UNIT_BODY(AcqWrkslip)
