// AcqParam: the acquisitions parameters editor.
#include "acq/frame/AcqParam.h"

#include <cctype>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "acq/AcqUnit.h"
#include "acq/db/AcqDb.h"
#include "acq/db/AcqDbExcept.h"
#include "acq/db/AcqDbGlobal.h"
#include "acq/db/AcqDbNames.h"
#include "acq/frame/AcqBase.h"
#include "acq/frame/AcqDbPrereq.h"
#include "acq/frame/AcqMain.h"
#include "acq/frame/AcqSecurity.h"
#include "host/mr/MrFramework.h"
#include "host/muc/MucTools.h"
#include "host/sys/LbStr.h"

namespace acq::AcqParam {
namespace {

using AcqDb::ClearChanges;

constexpr const char* kEditorView = "acq_parameter";
constexpr const char* kKeyColumn = "parameter#";
constexpr const char* kEnvir = "acqparm";
constexpr int kMaxWhere = 255;

constexpr int kMsgRowCount = 1100;        // "... holds %1 rows ..."
constexpr int kMsgFiscalYear = 1101;
constexpr int kMsgIsbnIndex = 1102;
constexpr int kMsgIssnIndex = 1103;
constexpr int kMsgBaseCurrency = 1104;    // "%1" is not a currency
constexpr int kMsgPrintWorkslip = 1105;
constexpr int kMsgMultiLocation = 1106;
constexpr int kMsgOneTag = 1107;
constexpr int kMsgPriceMethod = 1108;
constexpr int kMsgYesNo = 1109;           // the switches (check boxes)

// What a setting's value must be.
enum class Rule {
  Year,       // empty, or a year in [low, high]
  Range,      // a whole number in [low, high]; never empty
  IndexName,  // empty, or an index name of at most `high` letters, digits, underscores
  Currency,   // empty, or a code of the currency table (at most `high` characters)
};

struct Setting {
  const char* column;
  Rule rule;
  int low;
  int high;
  int message;      // shown when a value is refused
  bool startsAtZero;  // a new row's field starts at 0 (else empty)
};

// Every setting of the editor. The last fiscal year is 2078 because the
// budgets of a year carry day numbers, which end in June 2079.
const Setting kSettings[] = {
    {"fiscal_year", Rule::Year, 1900, 2078, kMsgFiscalYear, false},
    {"isbn_duplication_index", Rule::IndexName, 0, 8, kMsgIsbnIndex, false},
    {"issn_duplication_index", Rule::IndexName, 0, 8, kMsgIssnIndex, false},
    {"base_currency", Rule::Currency, 0, 4, kMsgBaseCurrency, false},
    {"track_budget_trans", Rule::Range, 0, 1, kMsgYesNo, true},
    {"budget_contract_checks", Rule::Range, 0, 1, kMsgYesNo, true},
    {"save_po_line_approval", Rule::Range, 0, 1, kMsgYesNo, true},
    {"copy_po_line_approval", Rule::Range, 0, 1, kMsgYesNo, true},
    {"renew_po_line_approval", Rule::Range, 0, 1, kMsgYesNo, true},
    {"print_without_labels", Rule::Range, 0, 1, kMsgYesNo, true},
    {"print_workslip", Rule::Range, 0, 2, kMsgPrintWorkslip, true},
    {"multi_location_edi", Rule::Range, 0, 1, kMsgMultiLocation, true},
    {"one_tag_only", Rule::Range, 0, 1, kMsgOneTag, true},
    {"price_upd_method", Rule::Range, 0, 2, kMsgPriceMethod, true},
};

bool EqualNoCase(std::string_view a, std::string_view b) {
  if (a.size() != b.size()) return false;
  for (size_t n = 0; n < a.size(); ++n) {
    if (std::tolower(static_cast<unsigned char>(a[n])) !=
        std::tolower(static_cast<unsigned char>(b[n]))) {
      return false;
    }
  }
  return true;
}

const Setting* FindSetting(std::string_view column) {
  for (const Setting& s : kSettings) {
    if (EqualNoCase(column, s.column)) return &s;
  }
  return nullptr;
}

// The open editor (one at a time), from OpenParameters to WM_DESTROY.
struct Window {
  HENVIR envir = nullptr;
  HEDITOR editor = nullptr;
  HWND hwnd = nullptr;
};
Window open;
// True only while OpenParameters opens the editor on a new row: the
// record-change request the framework sends for it is covered by the
// command's own check a moment before.
bool openingNewRow = false;

int ScalarSizeMinus1(BktHandle bkt, int col) {
  switch (_BktGetColType(bkt, col)) {
    case kColByte: return 0;
    case kColInt16: return 1;
    default: return 3;
  }
}

int64_t Number(BktHandle bkt, int col) {
  int64_t value = 0;
  _ColGetScalar(bkt, 1, col, value, ScalarSizeMinus1(bkt, col));
  return value;
}

// The cell as its field shows it ("" for NULL).
std::string FieldText(BktHandle bkt, int col) {
  if (_ColIsNull(bkt, 1, col)) return {};
  if (_BktGetColType(bkt, col) == kColText) return _ColGetStringW(bkt, 1, col);
  return std::to_string(Number(bkt, col));
}

bool IsIndexName(std::string_view text) {
  for (char c : text) {
    if (!std::isalnum(static_cast<unsigned char>(c)) && c != '_') return false;
  }
  return true;
}

enum class Lookup { Found, Missing, Failed };

// The currency table's spelling of `code`, matched without regard to case.
// A database failure is shown here.
Lookup FindCurrency(const std::string& code, std::string& stored) {
  std::string where = "upper(currency)=upper(";
  if (_DbQuoteAppend(where, kMaxWhere, code) != kDbOk) return Lookup::Missing;
  where += ")";
  BucketHold rows;
  DbMsg msg;
  if (DbCode c = AcqDb::LoadTable(msg, ClearChanges::Yes, "", where, "currency", names::currency,
                                  rows.get());
      c != kDbOk) {
    AcqDbExcept::HandleDbError(msg, c);
    return Lookup::Failed;
  }
  if (_BktCountAll(*rows) == 0) return Lookup::Missing;
  stored = _ColGetStringW(*rows, 1, 1);
  return Lookup::Found;
}

// Why the record's value of `s` (column `col`) is refused: the message
// shown, or "" when it passes. A currency code takes the table's spelling.
// `shown` is set when the refusal was told already (a database error).
std::string Refusal(HEDITOR editor, const Setting& s, int col, bool& shown) {
  BktHandle record = MrEditor_Record(editor);
  const std::string text = FieldText(record, col);
  const std::string refused = Lb_FormatMessage(AcqBase::LoadStr(s.message), text);
  shown = false;
  switch (s.rule) {
    case Rule::Year:
      if (_ColIsNull(record, 1, col)) return {};
      return Number(record, col) >= s.low && Number(record, col) <= s.high ? "" : refused;
    case Rule::Range:
      if (_ColIsNull(record, 1, col)) return refused;
      return Number(record, col) >= s.low && Number(record, col) <= s.high ? "" : refused;
    case Rule::IndexName:
      return Lb_CharCount(text) <= static_cast<size_t>(s.high) && IsIndexName(text) ? ""
                                                                                  : refused;
    case Rule::Currency: {
      if (text.empty()) return {};
      if (Lb_CharCount(text) > static_cast<size_t>(s.high)) return refused;
      std::string stored;
      switch (FindCurrency(text, stored)) {
        case Lookup::Missing: return refused;
        case Lookup::Failed: shown = true; return refused;
        case Lookup::Found: break;
      }
      if (stored != text) (void)MrEditor_SetField(editor, s.column, stored, nullptr);
      return {};
    }
  }
  return {};
}

// Shows the record's value of `col` in the fields that stand for it.
void ShowField(HWND hwnd, BktHandle record, int col) {
  const DialogTemplate* tmpl = GetDialogTemplate(hwnd);
  if (tmpl == nullptr) return;
  const std::string column = _BktGetColName(record, col);
  const std::vector<DialogControl> controls = tmpl->controls;  // the calls below change it
  for (const DialogControl& c : controls) {
    if (!EqualNoCase(c.name, column)) continue;
    if (c.kind == ControlKind::Check) {
      CheckDlgButton(hwnd, c.id, !_ColIsNull(record, 1, col) && Number(record, col) != 0);
    } else if (c.kind == ControlKind::Edit) {
      SetDlgItemTextW(hwnd, c.id, FieldText(record, col));
    }
  }
}

// Puts the field back to its saved value (a new row's to its start), the
// column no longer counted as changed.
void PutBack(HWND hwnd, HEDITOR editor, const Setting& s, int col) {
  BktHandle record = MrEditor_Record(editor);
  BucketHold asRead(_BktRowAsRead(record, 1));
  if (*asRead != nullptr) {
    _ColCopy(record, 1, col, *asRead, 1, col);
    _ColClearChg(record, 1, col);
  } else if (s.startsAtZero) {
    _ColSetScalar(record, 1, col, 0, ScalarSizeMinus1(record, col));
  } else {
    _ColSetNull(record, 1, col);
  }
  ShowField(hwnd, record, col);
}

// A field the person changed: the framework has put the value into the
// record (or refused it as not fitting the column); here the setting's own
// check decides.
void CheckField(HWND hwnd, int controlId) {
  const DialogTemplate* tmpl = GetDialogTemplate(hwnd);
  if (tmpl == nullptr || open.editor == nullptr) return;
  std::string column;
  for (const DialogControl& c : tmpl->controls) {
    if (c.id == controlId && (c.kind == ControlKind::Edit || c.kind == ControlKind::Check)) {
      column = c.name;
    }
  }
  const Setting* s = FindSetting(column);
  BktHandle record = MrEditor_Record(open.editor);
  const int col = s != nullptr ? _BktGetColNum(record, s->column) : 0;
  if (col == 0) return;
  bool shown = false;
  const std::string refused = Refusal(open.editor, *s, col, shown);
  if (refused.empty()) return;
  PutBack(hwnd, open.editor, *s, col);
  if (!shown) MucTools_MsgBoxCap(hwnd, refused, MB_OK | MB_ICONWARNING);
}

// A new row's fields start at the defaults the table would give them.
void StartNewRow(HEDITOR editor) {
  for (const Setting& s : kSettings) {
    if (s.startsAtZero) (void)MrEditor_SetField(editor, s.column, "0", nullptr);
  }
}

// The module's copy of the settings, read again after a save.
void ReloadModuleCopy() {
  if (!AcqDbPrereq::ReloadParameters() || !Lib_TraceOn()) return;
  const auto& p = AcqDbGlobal::Globals().params;
  Lib_Trace("AcqParam: the site's parameters read again: fiscal_year " +
            std::to_string(p.fiscal_year) + ", base_currency '" + p.base_currency +
            "', print_workslip " + std::to_string(p.print_workslip) + ", track_budget_trans " +
            std::to_string(p.track_budget_trans));
}

constexpr uint32_t Bit(int code) { return 1u << code; }

LRESULT ParamDlgProc(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam) {
  switch (msg) {
    case WM_INITDIALOG:
      open.editor = reinterpret_cast<HEDITOR>(lParam);
      open.hwnd = hwnd;
      MucTools_ReplaceSysMenu(hwnd);
      // The row is the site's: never deleted, never joined by a second.
      MrProc_WithholdCodes(hwnd, Bit(kMrDelete) | Bit(kMrNew) | Bit(kMrCopy));
      if (openingNewRow) StartNewRow(open.editor);
      return TRUE;
    case WM_COMMAND:
      if (HIWORD(wParam) == EN_CHANGE || HIWORD(wParam) == BN_CLICKED) {
        CheckField(hwnd, LOWORD(wParam));
      }
      break;
    case kMrCodeDone:
      if (wParam == kMrSave && lParam != 0) ReloadModuleCopy();
      break;
    case WM_DESTROY:
      // OK saves and closes in one go: read again unless the module itself
      // is closing.
      open = Window{};
      if (!AcqMain::Closing()) ReloadModuleCopy();
      break;
    default:
      break;
  }
  return _Win32_DefDlgProc(hwnd, msg, wParam, lParam);
}

// The keys of the rows of acq_parameter; false when they cannot be read
// (the error shown).
bool LoadRowKeys(BucketHold& rows) {
  DbMsg msg;
  if (DbCode code = AcqDb::LoadTable(msg, ClearChanges::Yes, kKeyColumn, "", kKeyColumn,
                                     names::acq_parameter, rows.get());
      code != kDbOk) {
    AcqDbExcept::HandleDbError(msg, code);
    return false;
  }
  return true;
}

}  // namespace

void OpenParameters() {
  if (!AcqSecurity::CheckManPrivilege(AcqSecurity::apEdit)) return;
  if (open.hwnd != nullptr) {
    MucTools_SetCurrKtView(open.hwnd);
    return;
  }
  BucketHold rows;
  if (!LoadRowKeys(rows)) return;
  const int count = _BktCountAll(*rows);
  if (count > 1) {
    MucTools_MsgBoxCap(PwMucBase_hwndClient,
                       Lb_FormatMessage(AcqBase::LoadStr(kMsgRowCount), std::to_string(count)),
                       MB_OK | MB_ICONWARNING);
    return;
  }
  const std::string where =
      count == 1 ? std::string(kKeyColumn) + "=" + std::to_string(_ColGetInt(*rows, 1, 1)) : "";
  MucTools_HourGlass(true);
  open.envir = MrProc_NewEnvir(AcqDbGlobal::Session(), kEnvir);
  HENVIR envir = open.envir;
  openingNewRow = count == 0;
  HEDITOR editor = MrEditor_Open(envir, kEditorView, &ParamDlgProc, PwMucBase_hwndClient, where,
                                 openingNewRow, "");
  openingNewRow = false;
  if (editor == nullptr) {
    MrProc_FreeEnvir(&envir);  // nothing when its window took it along
    open = Window{};
  }
  MucTools_HourGlass(false);
}

bool IsParameterWindow(HWND hwnd) { return hwnd != nullptr && hwnd == open.hwnd; }

bool MayChangeRecord() {
  return openingNewRow || AcqSecurity::CheckManPrivilege(AcqSecurity::apEdit);
}

void Initialize() {
  open = Window{};
  openingNewRow = false;
}

// The window itself closes with the client, before this runs.
void Terminate() { open = Window{}; }

}  // namespace acq::AcqParam

ACQ_UNIT_BODY(AcqParam)
