// AcqProrate: the extra-charge proration of a statement window: the options
// dialog (charge types, method, lines), the checks before prorating, the
// undo dialog, and the list of one line's prorated charges. The database
// work is AcqDbProrate's.
#include "acq/statement/AcqProrate.h"

#include <algorithm>

#include "acq/AcqUnit.h"
#include "acq/budget/AcqDbBudget.h"
#include "acq/db/AcqDb.h"
#include "acq/db/AcqDbBase.h"
#include "acq/db/AcqDbExcept.h"
#include "acq/db/AcqDbGlobal.h"
#include "acq/db/AcqDbNames.h"
#include "acq/frame/AcqBase.h"
#include "acq/frame/AcqGlobal.h"
#include "acq/statement/AcqDbProrate.h"
#include "acq/statement/AcqStatmnt.h"
#include "host/mr/MrFramework.h"
#include "host/muc/MucTools.h"
#include "host/sys/LbStr.h"
#include "host/win32/Dialog.h"

namespace acq::AcqProrate {
namespace {

namespace math = AcqProrateMath;

// Messages.
constexpr int kMsgNoLines = 246;
constexpr int kMsgNoCharges = 247;
constexpr int kMsgNothingProrated = 250;
constexpr int kMsgOneLineOnly = 254;
constexpr int kMsgUndoApprovalFirst = 295;
constexpr int kMsgNoLineCharges = 255;
constexpr int kMsgChooseType = 1571;
constexpr int kMsgChooseUndoType = 1572;
constexpr int kMsgBatchesFailed = 1573;
constexpr int kMsgSaveFirst = 1574;
constexpr int kMsgCloseHeader = 1575;
constexpr int kMsgLineChargesCaption = 1576;   // "List: Statement %1 PO %2 Line %3 Extra Charges"

// Dialogs and their controls.
constexpr int kProrateDialog = 1570;
constexpr int kUndoDialog = 1571;
constexpr int kChargeList = 1571;
constexpr int kByAmount = 1572;
constexpr int kByQuantity = 1573;
constexpr int kAllLines = 1574;
constexpr int kSelectedLines = 1575;
constexpr int kUnselectedLines = 1576;
constexpr int kUndoButton = 1577;
constexpr INT_PTR kUndoChosen = 1577;   // the prorate dialog ended by its Undo button

constexpr const char* kLineChargesView = "acq_prorated_extra_charges";

void Show(int id, std::string_view a1 = {}, std::string_view a2 = {},
          std::string_view a3 = {}) {
  MucTools_MsgBoxCap(PwMucBase_hwndClient, Lb_FormatMessage(AcqBase::LoadStr(id), a1, a2, a3),
                     MB_OK | MB_ICONWARNING);
}

bool AskYesNo(int id) {
  return MucTools_MsgBoxCap(PwMucBase_hwndClient, AcqBase::LoadStr(id),
                            MB_YESNO | MB_ICONQUESTION) == IDYES;
}

// The caption of a template with "%1" (the statement's number) filled in.
void CaptionWithNumber(HWND dialog, const std::string& number) {
  SetWindowTextW(dialog, Lb_FormatMessage(GetWindowTextW(dialog), number));
}

// ---- the prorate dialog ------------------------------------------------------------------------

// What the dialog works on and what the person chose; set for one modal run.
struct ProrateChoice {
  std::string number;
  std::vector<AcqDbProrate::OpenCharge> charges;   // not yet prorated
  std::vector<std::string> types;                 // chosen
  math::Method method = math::Method::Amount;
  math::LineChoice lines = math::LineChoice::All;
  bool canUndo = false;
};
ProrateChoice* prorateChoice = nullptr;

void FillCharges(HWND dialog, const std::vector<AcqDbProrate::OpenCharge>& charges) {
  SetDlgListColumns(dialog, kChargeList,
                    {{"charge_type", "Charge Type"}, {"descr", "Description"},
                     {"amount", "Amount"}});
  std::vector<std::vector<std::string>> rows;
  for (const AcqDbProrate::OpenCharge& c : charges)
    rows.push_back({c.type, c.descr, LbDec64_StrFrom64(c.amount, AcqDbBudget::MoneyDigits())});
  SetDlgListRows(dialog, kChargeList, rows);
}

std::vector<std::string> ChosenTypes(HWND dialog,
                                     const std::vector<AcqDbProrate::OpenCharge>& charges) {
  std::vector<std::string> types;
  for (int row : GetDlgListSelection(dialog, kChargeList))
    if (row >= 1 && static_cast<size_t>(row) <= charges.size())
      types.push_back(charges[static_cast<size_t>(row) - 1].type);
  return types;
}

LRESULT ProrateDlgProc(HWND hwnd, UINT msg, WPARAM wParam, LPARAM) {
  ProrateChoice* c = prorateChoice;
  if (msg == WM_INITDIALOG && c != nullptr) {
    CaptionWithNumber(hwnd, c->number);
    FillCharges(hwnd, c->charges);
    // One charge needs no choosing.
    if (c->charges.size() == 1) SetDlgListSelection(hwnd, kChargeList, {1});
    EnableDlgItem(hwnd, kUndoButton, c->canUndo);
    return TRUE;
  }
  if (msg == WM_COMMAND && HIWORD(wParam) == BN_CLICKED && c != nullptr) {
    switch (LOWORD(wParam)) {
      case IDOK:
        if (c->charges.empty()) {
          Show(kMsgNoCharges);
          return TRUE;
        }
        c->types = ChosenTypes(hwnd, c->charges);
        if (c->types.empty()) {
          Show(kMsgChooseType);
          return TRUE;
        }
        c->method = IsDlgButtonChecked(hwnd, kByQuantity) ? math::Method::Quantity
                                                          : math::Method::Amount;
        c->lines = IsDlgButtonChecked(hwnd, kSelectedLines)     ? math::LineChoice::Selected
                   : IsDlgButtonChecked(hwnd, kUnselectedLines) ? math::LineChoice::AllButSelected
                                                                : math::LineChoice::All;
        EndDialog(hwnd, IDOK);
        return TRUE;
      case kUndoButton: EndDialog(hwnd, kUndoChosen); return TRUE;
      case IDCANCEL: EndDialog(hwnd, IDCANCEL); return TRUE;
      default: break;
    }
  }
  return _Win32_DefDlgProc(hwnd, msg, wParam, 0);
}

// The checks before prorating, with their messages; false stops.
bool ValidateProration(std::span<const math::StatementLine> rows, math::LineChoice choice,
                       math::Method method) {
  const math::ProrationCheck check = math::CheckBeforeProrating(rows, choice, method);
  switch (check) {
    case math::ProrationCheck::Ok: return true;
    case math::ProrationCheck::SomeZeroByAmount: return AskYesNo(static_cast<int>(check));
    case math::ProrationCheck::NoLinesChosen:
    case math::ProrationCheck::AllZeroByAmount:
    case math::ProrationCheck::InvoiceAndCreditByQuantity:
      Show(static_cast<int>(check));
      return false;
  }
  return false;
}

// The statement of the window, when it may be read from the database now.
bool ReadyStatement(HWND window, int32_t& statement, std::string& number) {
  return AcqStatmnt::ActiveStatement(window, statement, number) &&
         AcqStatmnt::ReadyFor(window, kMsgSaveFirst, kMsgCloseHeader);
}

// ---- the undo dialog ---------------------------------------------------------------------------

struct UndoChoice {
  std::string number;
  std::vector<AcqDbProrate::OpenCharge> prorated;
  std::vector<std::string> types;
};
UndoChoice* undoChoice = nullptr;

LRESULT UndoDlgProc(HWND hwnd, UINT msg, WPARAM wParam, LPARAM) {
  UndoChoice* c = undoChoice;
  if (msg == WM_INITDIALOG && c != nullptr) {
    CaptionWithNumber(hwnd, c->number);
    FillCharges(hwnd, c->prorated);
    if (c->prorated.size() == 1) SetDlgListSelection(hwnd, kChargeList, {1});
    return TRUE;
  }
  if (msg == WM_COMMAND && HIWORD(wParam) == BN_CLICKED && c != nullptr) {
    switch (LOWORD(wParam)) {
      case IDOK:
        c->types = ChosenTypes(hwnd, c->prorated);
        if (c->types.empty()) {
          Show(kMsgChooseUndoType);
          return TRUE;
        }
        EndDialog(hwnd, IDOK);
        return TRUE;
      case IDCANCEL: EndDialog(hwnd, IDCANCEL); return TRUE;
      default: break;
    }
  }
  return _Win32_DefDlgProc(hwnd, msg, wParam, 0);
}

// ---- the list of one line's prorated charges ----------------------------------------------------

struct LineChargesWindow {
  HENVIR envir = nullptr;
  HLISTER lister = nullptr;
};
// Open line-charge lists, from Initialize to Terminate; a window's record
// is removed and freed when the window is destroyed.
BktHandle windows = nullptr;

LRESULT LineChargesDlgProc(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam) {
  if (msg == WM_DESTROY && windows != nullptr) {
    auto* w = static_cast<LineChargesWindow*>(AcqGlobal::WindowListFind(windows, hwnd));
    if (w != nullptr) {
      AcqGlobal::WindowListRemove(windows, hwnd);
      delete w;
    }
  }
  return _Win32_DefDlgProc(hwnd, msg, wParam, lParam);
}

bool LineHasCharges(int32_t statement, const AcqStatmnt::LineKey& line, bool& has) {
  DbMsg msg;
  BucketHold rows;
  const std::string where = "statement#=" + Lb_Int32ToStr(statement) + " and po#=" +
                            Lb_Int32ToStr(line.po) + " and line=" + Lb_Int16ToStr(line.line) +
                            " and extra_charge_type IS NOT NULL";
  // The first row is enough: an empty Bucket of the column to append it to.
  if (!AcqDbBase::LoadBktFromCols(0, 0, rows.get(), "budget_amount#",
                                  names::po_line_item_budget_amount))
    return false;
  if (DbCode code = AcqDb::LoadTableAppendMax(msg, AcqDb::ClearChanges::Yes, "", where,
                                              "budget_amount#", names::po_line_item_budget_amount,
                                              rows.get(), 1);
      code != kDbOk) {
    AcqDbExcept::HandleDbError(msg, code);
    return false;
  }
  has = _BktCountAll(*rows) > 0;
  return true;
}

void OpenLineCharges(int32_t statement, const std::string& number,
                     const AcqStatmnt::LineKey& line, const std::string& poNumber) {
  const std::string where = "statement#=" + Lb_Int32ToStr(statement) + " and po#=" +
                            Lb_Int32ToStr(line.po) + " and line=" + Lb_Int16ToStr(line.line);
  const std::string caption = Lb_FormatMessage(AcqBase::LoadStrText(kMsgLineChargesCaption),
                                               number, poNumber, Lb_Int16ToStr(line.line));
  MucTools_HourGlass(true);
  auto* w = new LineChargesWindow;
  w->envir = MrProc_NewEnvir(AcqDbGlobal::Session(), "statmnt");
  w->lister = MrLister_MrListerUserInst(w->envir, kLineChargesView, &LineChargesDlgProc,
                                        PwMucBase_hwndClient, where, caption);
  if (w->lister != nullptr) {
    AcqGlobal::WindowListPut(windows, MrLister_Hwnd(w->lister), w);
    if (!MrLister_MrListerBegin(w->lister, MucTools_BuildSizeKey(kLineChargesView)))
      DestroyWindow(MrLister_Hwnd(w->lister));
  } else {
    MrProc_FreeEnvir(&w->envir);   // no window took it
    delete w;
  }
  MucTools_HourGlass(false);
}

// The PO's number for the caption (its key when it cannot be read).
std::string PoNumber(int32_t po) {
  DbMsg msg;
  BucketHold row;
  if (AcqDb::LoadTable(msg, AcqDb::ClearChanges::Yes, "", "po#=" + Lb_Int32ToStr(po),
                       "po_number", names::po, row.get()) == kDbOk &&
      _BktCountAll(*row) > 0 && !_ColIsNull(*row, 1, 1))
    return _ColGetStringW(*row, 1, 1);
  return Lb_Int32ToStr(po);
}

}  // namespace

void Prorate(HWND statementWindow) {
  int32_t statement = 0;
  ProrateChoice choice;
  if (!ReadyStatement(statementWindow, statement, choice.number)) return;
  std::vector<math::StatementLine> rows;
  bool hasLines = false;
  bool approved = false;
  if (!AcqStatmnt::LineRows(statementWindow, rows) ||
      !AcqDbProrate::StatementHasLines(statement, hasLines) ||
      !AcqDbProrate::StatementApproved(statement, approved))
    return;
  if (approved) {
    Show(kMsgUndoApprovalFirst);
    return;
  }
  if (rows.empty() || !hasLines) {
    Show(kMsgNoLines);
    return;
  }
  std::vector<AcqDbProrate::OpenCharge> charges;
  if (!AcqDbProrate::LoadOpenCharges(statement, charges)) return;
  if (charges.empty()) {
    Show(kMsgNoCharges);
    return;
  }
  for (const AcqDbProrate::OpenCharge& c : charges) {
    if (c.prorated) {
      choice.canUndo = true;
    } else {
      choice.charges.push_back(c);
    }
  }
  prorateChoice = &choice;
  const INT_PTR result = DialogBoxParamW(AcqBase::ResourceInstance(), kProrateDialog,
                                         statementWindow, &ProrateDlgProc, 0);
  prorateChoice = nullptr;
  if (result == kUndoChosen) {
    UndoProration(statementWindow);
    return;
  }
  if (result != IDOK || !ValidateProration(rows, choice.lines, choice.method)) return;
  if (ProrateExtraCharges(statement, rows, choice.lines, choice.method, choice.types))
    AcqStatmnt::StatementChanged(statement);
}

void UndoProration(HWND statementWindow) {
  int32_t statement = 0;
  UndoChoice choice;
  if (!ReadyStatement(statementWindow, statement, choice.number)) return;
  std::vector<AcqDbProrate::OpenCharge> charges;
  if (!AcqDbProrate::LoadOpenCharges(statement, charges)) return;
  for (const AcqDbProrate::OpenCharge& c : charges)
    if (c.prorated) choice.prorated.push_back(c);
  if (choice.prorated.empty()) {
    Show(kMsgNothingProrated);
    return;
  }
  undoChoice = &choice;
  const INT_PTR result = DialogBoxParamW(AcqBase::ResourceInstance(), kUndoDialog,
                                         statementWindow, &UndoDlgProc, 0);
  undoChoice = nullptr;
  if (result == IDOK && UndoProratedCharges(statement, choice.types))
    AcqStatmnt::StatementChanged(statement);
}

void ListLineCharges(HWND statementWindow) {
  int32_t statement = 0;
  std::string number;
  std::vector<AcqStatmnt::LineKey> lines;
  if (!AcqStatmnt::ActiveStatement(statementWindow, statement, number) ||
      !AcqStatmnt::SelectedLines(statementWindow, lines))
    return;
  if (lines.size() != 1) {
    Show(kMsgOneLineOnly);
    return;
  }
  bool has = false;
  if (!LineHasCharges(statement, lines.front(), has)) return;
  if (!has) {
    Show(kMsgNoLineCharges);
    return;
  }
  OpenLineCharges(statement, number, lines.front(), PoNumber(lines.front().po));
}

bool ProrateExtraCharges(int32_t statement, std::span<const math::StatementLine> lines,
                         math::LineChoice choice, math::Method method,
                         const std::vector<std::string>& types) {
  if (types.empty() || lines.empty()) return false;
  AcqDbProrate::ProrateReport report;
  MucTools_HourGlass(true);
  const bool committed =
      AcqDbProrate::ProrateCharges(statement, lines, choice, method, types, report);
  MucTools_HourGlass(false);
  if (report.refusal != 0) Show(report.refusal);
  if (committed && report.committed < report.batches)
    Show(kMsgBatchesFailed, Lb_Int32ToStr(static_cast<int32_t>(report.committed)),
         Lb_Int32ToStr(static_cast<int32_t>(report.batches)));
  return committed;
}

bool UndoProratedCharges(int32_t statement, const std::vector<std::string>& types) {
  int refusal = 0;
  MucTools_HourGlass(true);
  const bool done = AcqDbProrate::UndoCharges(statement, types, refusal);
  MucTools_HourGlass(false);
  if (refusal != 0) Show(refusal);
  return done;
}

void Initialize() { windows = AcqGlobal::CreateWindowList(); }

void Terminate() {
  for (int row = 1; windows != nullptr && row <= _BktCountAll(windows); ++row)
    delete static_cast<LineChargesWindow*>(_ColGetNonScalar(windows, row, 2));
  AcqGlobal::DestroyWindowList(&windows);
}

}  // namespace acq::AcqProrate

ACQ_UNIT_BODY(AcqProrate)
