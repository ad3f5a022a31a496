// AcqPo: the header editor (dialog 16). An editor of the framework over
// the PO's `po` row whose save is the module's own: the header rules in
// their order (the first failure is told and its field gets the focus),
// then one write in a transaction. A new header starts from the
// workstation's location and its default billing and shipping addresses.
#include <map>

#include "acq/db/AcqDb.h"
#include "acq/db/AcqDbBase.h"
#include "acq/db/AcqDbExcept.h"
#include "acq/db/AcqDbGen.h"
#include "acq/db/AcqDbGlobal.h"
#include "acq/db/AcqDbNames.h"
#include "acq/frame/AcqBase.h"
#include "acq/frame/AcqGlobal.h"
#include "acq/frame/AcqSecurity.h"
#include "acq/po/AcqPoParts.h"
#include "host/mr/MrFramework.h"
#include "host/muc/MucTools.h"
#include "host/sys/LbStr.h"

namespace acq::AcqPo::parts {
namespace {

using AcqDb::ClearChanges;

constexpr const char* kHeaderView = "po_header";
constexpr const char* kEnvir = "poline";
constexpr int kHeaderDialog = 16;
constexpr int kMsgFillInNumber = 450;   // "Fill in the following field(s): %1."
constexpr int kVendorButton = 1601;
constexpr int kVendorNameField = 1602;
constexpr int kPoNumberChars = 15;
constexpr int kWriteAttempts = 6;

struct HeaderEditor : PoEditor {
  HeaderEditor() : PoEditor(Kind::Header) {}
  ~HeaderEditor() override { _BktDestroy(&good); }
  bool isNew = false;
  // A new PO from a template or defaults that leave its number to the
  // person: an empty number is asked for instead of defaulted.
  bool numberByPerson = false;
  // The record as it last passed the field checks: a refused value is put
  // back from here.
  BktHandle good = nullptr;
};

// The editor being opened, handed to its WM_INITDIALOG.
HeaderEditor* pending = nullptr;

// What a field of the header must hold beyond its type.
enum class Rule { Vendor, Contract, Code, Range };
struct FieldRule {
  const char* column;
  Rule rule;
  const char* what;    // Code: the table and what a person calls it; Range: the heading
  const char* table;
  int high;            // Range: 0 to high
};
const FieldRule kFieldRules[] = {
    {"vendor#", Rule::Vendor, "vendor", "vendor", 0},
    {"vendor_contract", Rule::Contract, "contract", "vendor_contract", 0},
    {"currency", Rule::Code, "currency", "currency", 0},
    {"location", Rule::Code, "location", "location", 0},
    {"subscription_period", Rule::Code, "subscription period", "subscription_period", 0},
    {"spent_event", Rule::Range, "Spent Event", nullptr, 2},
    {"item_creation", Rule::Range, "Item Creation", nullptr, 6},
    {"renewal_type", Rule::Range, "Renewal Type", nullptr, 2},
};

HeaderEditor* Of(HWND hwnd) {
  PoEditor* e = FindEditor(hwnd);
  return e != nullptr && e->kind == PoEditor::Kind::Header ? static_cast<HeaderEditor*>(e)
                                                           : nullptr;
}

BktHandle Record(const HeaderEditor& h) { return MrEditor_Record(h.editor); }

// Why the record's value of `r` is refused: a message and its arguments, or
// message 0 when it passes. `failed` is set when the database could not
// answer (reported).
struct Refusal {
  int message = 0;
  std::string a1, a2;
};
Refusal Check(const HeaderEditor& h, const FieldRule& r, bool& failed) {
  BktHandle rec = Record(h);
  failed = false;
  const std::string text = TextOf(rec, 1, r.column);
  const auto number = WholeOf(rec, 1, r.column);
  bool exists = true;
  switch (r.rule) {
    case Rule::Vendor:
      if (!number) return {kMsgNoVendor, "", ""};
      failed = !RowExists(r.table, "vendor#", "vendor#=" + std::to_string(*number), exists);
      return failed || exists ? Refusal{} : Refusal{kMsgUnknownVendor, std::to_string(*number), ""};
    case Rule::Contract: {
      const auto vendor = WholeOf(rec, 1, "vendor#");
      if (text.empty() || !vendor) return {};
      failed = !RowExists(r.table, "vendor_contract",
                          "vendor#=" + std::to_string(*vendor) + " and vendor_contract=" +
                              Quote(text),
                          exists);
      return failed || exists ? Refusal{}
                              : Refusal{kMsgContractOfVendor, text, std::to_string(*vendor)};
    }
    case Rule::Code:
      if (text.empty()) return {};
      failed = !RowExists(r.table, r.column, std::string(r.column) + "=" + Quote(text), exists);
      return failed || exists ? Refusal{} : Refusal{kMsgUnknownCode, text, r.what};
    case Rule::Range:
      if (!number || (*number >= 0 && *number <= r.high)) return {};
      return {kMsgCodeRange, r.what, std::to_string(r.high)};
  }
  return {};
}

void ShowVendorName(const HeaderEditor& h) {
  std::string name;
  if (const auto vendor = WholeOf(Record(h), 1, "vendor#")) {
    DbMsg msg;
    AcqDbGen::GetVendorName(msg, static_cast<int32_t>(*vendor), name);
  }
  SetDlgItemTextW(h.hwnd, kVendorNameField, name);
}

void KeepAsGood(HeaderEditor& h) {
  _BktDestroy(&h.good);
  h.good = _BktDupe(Record(h));
}

// A vendor newly on the header: its name beside it, and its currency when
// the header has none yet.
void VendorChosen(HeaderEditor& h) {
  ShowVendorName(h);
  const auto vendor = WholeOf(Record(h), 1, "vendor#");
  if (!vendor || !TextOf(Record(h), 1, "currency").empty()) return;
  std::string currency;
  DbMsg msg;
  if (AcqDbGen::GetVendorCurrency(msg, static_cast<int32_t>(*vendor), currency))
    (void)MrEditor_SetField(h.editor, "currency", currency, nullptr);
}

// A field the person changed (the framework has taken it into the record,
// or refused it as not fitting the column): refused values go back.
void CheckField(HeaderEditor& h, int controlId) {
  const DialogTemplate* t = GetDialogTemplate(h.hwnd);
  if (t == nullptr) return;
  std::string column;
  for (const DialogControl& c : t->controls)
    if (c.id == controlId && c.kind == ControlKind::Edit) column = c.name;
  for (const FieldRule& r : kFieldRules) {
    if (column != r.column) continue;
    bool failed = false;
    const Refusal refusal = Check(h, r, failed);
    BktHandle rec = Record(h);
    const int col = _BktGetColNum(rec, r.column);
    if (refusal.message == 0 && !failed) {
      _ColCopy(h.good, 1, col, rec, 1, col);
      if (r.rule == Rule::Vendor) VendorChosen(h);
      return;
    }
    // Back to the value it had, shown as stored.
    (void)MrEditor_SetField(h.editor, r.column, TextOf(h.good, 1, r.column), nullptr);
    if (!failed) Tell(h.hwnd, refusal.message, MB_OK | MB_ICONWARNING, refusal.a1, refusal.a2);
    return;
  }
}

void PressVendor(HeaderEditor& h) {
  int32_t vendor = 0;
  std::string name;
  if (!MrVendor_FindVendor(AcqDbGlobal::Session(), h.hwnd, vendor, name)) return;
  if (!MrEditor_SetField(h.editor, "vendor#", std::to_string(vendor), nullptr)) return;
  _ColCopy(h.good, 1, _BktGetColNum(h.good, "vendor#"), Record(h), 1,
           _BktGetColNum(Record(h), "vendor#"));
  VendorChosen(h);
}

// ---- the save ---------------------------------------------------------------------------------

bool Refuse(HeaderEditor& h, int message, const char* focus, std::string_view a1 = {},
            std::string_view a2 = {}) {
  Tell(h.hwnd, message, MB_OK | MB_ICONWARNING, a1, a2);
  MrEditor_FocusField(h.editor, focus);
  return false;
}

// The address codes must be addresses of the header's location that may
// serve as billing (358) and shipping (357) addresses.
bool AddressesFit(HeaderEditor& h) {
  BktHandle rec = Record(h);
  const std::string location = TextOf(rec, 1, "location");
  struct Use {
    const char* column;
    const char* flag;
    int message;
  };
  for (const Use& u : {Use{"bill_to_address", "bill_to", kMsgBillToType},
                       Use{"ship_to_address", "ship_to", kMsgShipToType}}) {
    const std::string code = TextOf(rec, 1, u.column);
    bool fits = false;
    if (!RowExists(names::address, "address_code",
                   "location=" + Quote(location) + " and address_code=" + Quote(code) + " and " +
                       u.flag + "=1",
                   fits))
      return false;
    if (!fits) return Refuse(h, u.message, u.column, code);
  }
  return true;
}

// A new item_creation asks more of the lines: each line and its items (not
// cancelled) must have what it requires.
bool LinesFitItemCreation(HeaderEditor& h, int64_t itemCreation) {
  const ItemCreationNeeds needs = NeedsOf(itemCreation);
  const std::string po = "po#=" + std::to_string(h.po);
  BucketHold lines, items;
  DbMsg msg;
  DbCode code = AcqDb::LoadTable(msg, ClearChanges::Yes, "line", po, "line,media_type",
                                 names::po_line, lines.get());
  if (code == kDbOk)
    code = AcqDb::LoadTable(msg, ClearChanges::Yes, "line,item", po + " and cancel_date IS NULL",
                            "line,item,collection,itype", names::po_line_item, items.get());
  if (code != kDbOk) {
    AcqDbExcept::HandleDbError(msg, code);
    return false;
  }
  for (int row = 1; row <= _BktCountAll(*lines); ++row) {
    const auto line = WholeOf(*lines, row, "line").value_or(0);
    if (needs.mediaType && TextOf(*lines, row, "media_type").empty())
      return Refuse(h, kMsgMediaType, "item_creation", std::to_string(line));
    for (int i = 1; i <= _BktCountAll(*items); ++i) {
      if (WholeOf(*items, i, "line").value_or(0) != line) continue;
      if (needs.collection && TextOf(*items, i, "collection").empty())
        return Refuse(h, kMsgCollection, "item_creation");
      if (needs.itemType && TextOf(*items, i, "itype").empty())
        return Refuse(h, kMsgItemType, "item_creation");
    }
  }
  return true;
}

// People find a PO by its number: no two POs may share one (compared as
// the find window's search compares, without regard to case).
bool PoNumberFree(HeaderEditor& h) {
  const std::string number = TextOf(Record(h), 1, "po_number");
  bool used = false;
  if (!RowExists(names::po, "po#",
                 "lower(po_number)=lower(" + Quote(number) + ") and po#<>" + std::to_string(h.po),
                 used))
    return false;
  return !used || Refuse(h, kMsgPoNumberUsed, "po_number", number);
}

// A new PO's key, once: a save refused after it keeps it for the next try.
bool AssignKey(HeaderEditor& h) {
  BktHandle rec = Record(h);
  const int col = _BktGetColNum(rec, "po#");
  if (!_ColIsNull(rec, 1, col)) return true;
  int32_t key = 0;
  DbMsg msg;
  if (DbCode code =
          _DbGetNewKeyValidate(AcqDbGlobal::Session(), names::po, names::po, "po#", key, msg);
      code != kDbOk) {
    AcqDbExcept::HandleDbError(msg, code);
    return false;
  }
  h.po = key;
  _ColSetInt(rec, 1, col, key);
  return true;
}

// The header rules, in order; true when the record may be written.
bool HeaderPasses(HeaderEditor& h) {
  BktHandle rec = Record(h);
  for (const FieldRule& r : kFieldRules) {
    bool failed = false;
    const Refusal refusal = Check(h, r, failed);
    if (failed) return false;
    if (refusal.message != 0) return Refuse(h, refusal.message, r.column, refusal.a1, refusal.a2);
  }
  // Every price of the PO is in its currency, and its money is converted
  // at that currency's rate.
  if (TextOf(rec, 1, "currency").empty()) return Refuse(h, kMsgNoCurrency, "currency");
  const int64_t renewal = WholeOf(rec, 1, "renewal_type").value_or(0);
  if ((renewal == 1 || renewal == 2) && TextOf(rec, 1, "subscription_period").empty())
    return Refuse(h, kMsgSubscriptionPeriod, "subscription_period");
  if (h.numberByPerson && TextOf(rec, 1, "po_number").empty())
    return Refuse(h, kMsgFillInNumber, "po_number", "PO Number");
  if (h.isNew && !AssignKey(h)) return false;
  if (TextOf(rec, 1, "po_number").empty())
    (void)MrEditor_SetField(h.editor, "po_number",
                            Lb_CutChars(std::to_string(h.po), kPoNumberChars), nullptr);
  if ((h.isNew || ColumnChanged(rec, "po_number")) && !PoNumberFree(h)) return false;
  if (!h.isNew) {
    DbMsg msg;
    if (ColumnChanged(rec, "spent_event") && AcqDbGen::ExistsApprovedStatement(msg, h.po))
      return Refuse(h, kMsgSpentEvent, "spent_event");
    if (ColumnChanged(rec, "renewal_type") && AcqDbGen::ExistsPoRenewal(msg, h.po))
      return Refuse(h, kMsgRenewalTypeChanged, "renewal_type");
    if (ColumnChanged(rec, "item_creation") &&
        !LinesFitItemCreation(h, WholeOf(rec, 1, "item_creation").value_or(6)))
      return false;
  }
  _ColSetNull(rec, 1, _BktGetColNum(rec, "completion_date"));
  return AddressesFit(h);
}

// One write of the record, a new one inserted. Another workstation's lock
// is waited out and tried again; a row changed since it was read is never
// overwritten: the person may look at it as it is now.
bool WriteHeader(HeaderEditor& h) {
  BktHandle rec = Record(h);
  BucketHold before(AcqGlobal::SnapshotBkt(rec));
  DbMsg msg;
  DbCode code = kDbOk;
  for (int attempt = 1;; ++attempt) {
    msg.Clear();
    AcqDbBase::BeginTrans();
    code = h.isNew ? AcqDb::InsertRow(msg, 1, rec, names::po)
                   : AcqDb::UpdateRow(msg, 1, rec, names::po);
    if (code == kDbOk) return AcqDbBase::CommitTrans();
    AcqDbBase::RollbackTrans();
    AcqGlobal::RestoreBkt(rec, *before);
    if (code != kDbBusy || attempt == kWriteAttempts) break;
    _DbConflictPause(attempt);
  }
  if (code == kDbLocked && !h.isNew) {
    if (Ask(h.hwnd, kMsgHeaderChanged) && MrEditor_Reload(h.editor)) {
      KeepAsGood(h);
      ShowVendorName(h);
    }
    return false;
  }
  AcqDbExcept::HandleDbError(msg, code);
  return false;
}

bool SaveHeader(HeaderEditor& h) {
  BktHandle rec = Record(h);
  if (!HeaderPasses(h)) return false;
  const std::string today = DbDabs_DateToStr(Today());
  if (h.isNew) (void)MrEditor_SetField(h.editor, "creation_date", today, nullptr);
  (void)MrEditor_SetField(h.editor, "last_update_date", today, nullptr);
  if (!WriteHeader(h)) return false;
  h.number = TextOf(rec, 1, "po_number");
  KeepAsGood(h);
  if (h.isNew) {
    h.isNew = false;
    ShowPoWindow(h.po, h.number);
  } else {
    HeaderChanged(h.po);
  }
  return true;
}

// ---- a new header ------------------------------------------------------------------------------

// The default address code of `flag` ("default_bill_to") of `location`;
// "" (told with `message`) when the location has none.
std::string DefaultAddress(HWND owner, const std::string& location, const char* flag,
                           const char* use, int message) {
  BucketHold rows;
  DbMsg msg;
  if (DbCode code = AcqDb::LoadTable(
          msg, ClearChanges::Yes, "address_code",
          "location=" + Quote(location) + " and " + flag + "=1 and " + use + "=1",
          "address_code", names::address, rows.get());
      code != kDbOk) {
    AcqDbExcept::HandleDbError(msg, code);
    return {};
  }
  if (_BktCountAll(*rows) == 0) {
    Tell(owner, message, MB_OK | MB_ICONWARNING, location);
    return {};
  }
  return TextOf(*rows, 1, "address_code");
}

void StartNewHeader(HeaderEditor& h, int32_t vendor) {
  const std::string location = DbGlobal_globRec.location;
  const std::string today = DbDabs_DateToStr(Today());
  const std::pair<const char*, std::string> values[] = {
      {"location", location}, {"spent_event", "0"},    {"item_creation", "6"},
      {"renewal_type", "0"},  {"attach_barcode", "0"}, {"drop_ship", "0"},
      {"creation_date", today}, {"last_update_date", today},
  };
  for (const auto& [column, value] : values)
    (void)MrEditor_SetField(h.editor, column, value, nullptr);
  if (vendor != 0) {
    (void)MrEditor_SetField(h.editor, "vendor#", std::to_string(vendor), nullptr);
    VendorChosen(h);
  }
  const std::string billTo =
      DefaultAddress(h.hwnd, location, "default_bill_to", "bill_to", kMsgNoDefaultBillTo);
  const std::string shipTo =
      DefaultAddress(h.hwnd, location, "default_ship_to", "ship_to", kMsgNoDefaultShipTo);
  if (!billTo.empty()) (void)MrEditor_SetField(h.editor, "bill_to_address", billTo, nullptr);
  if (!shipTo.empty()) (void)MrEditor_SetField(h.editor, "ship_to_address", shipTo, nullptr);
}

constexpr uint32_t Bit(int code) { return 1u << code; }

LRESULT HeaderDlgProc(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam) {
  if (msg == WM_INITDIALOG) {
    HeaderEditor* h = pending;
    pending = nullptr;
    if (h == nullptr) return TRUE;
    h->editor = reinterpret_cast<HEDITOR>(lParam);
    RegisterEditor(hwnd, h);
    // New POs come from their commands; a header is never deleted here.
    MrProc_WithholdCodes(hwnd, Bit(kMrDelete) | Bit(kMrNew) | Bit(kMrCopy));
    MrEditor_SetSaveHandler(h->editor, [hwnd](HEDITOR) {
      HeaderEditor* e = Of(hwnd);
      return e != nullptr && SaveHeader(*e);
    });
    KeepAsGood(*h);
    ShowVendorName(*h);
    return TRUE;
  }
  HeaderEditor* h = Of(hwnd);
  if (h == nullptr) return _Win32_DefDlgProc(hwnd, msg, wParam, lParam);
  switch (msg) {
    case WM_COMMAND:
      if (LOWORD(wParam) == kVendorButton && HIWORD(wParam) == BN_CLICKED) {
        PressVendor(*h);
        return TRUE;
      }
      if (HIWORD(wParam) == EN_CHANGE) CheckField(*h, LOWORD(wParam));
      break;
    case kMrCodeDone:
      // The record again from the database, or back as it was.
      if ((wParam == kMrRefresh || wParam == kMrCancel) && lParam != 0) {
        KeepAsGood(*h);
        ShowVendorName(*h);
      }
      break;
    case WM_DESTROY:
      UnregisterEditor(hwnd);
      break;
    default:
      break;
  }
  return _Win32_DefDlgProc(hwnd, msg, wParam, lParam);
}

HEDITOR Open(HeaderEditor* h, const std::string& where, bool isNew, const std::string& caption) {
  MucTools_HourGlass(true);
  HENVIR envir = MrProc_NewEnvir(AcqDbGlobal::Session(), kEnvir);
  pending = h;
  h->isNew = isNew;
  h->opening = isNew;
  HEDITOR editor = MrEditor_Open(envir, kHeaderView, &HeaderDlgProc, PwMucBase_hwndClient, where,
                                 isNew, caption);
  if (pending != nullptr) {   // no window took the record
    pending = nullptr;
    delete h;
  } else if (editor != nullptr) {
    h->opening = false;
  }
  if (editor == nullptr) MrProc_FreeEnvir(&envir);   // nothing when its window took it along
  MucTools_HourGlass(false);
  return editor;
}

}  // namespace

void OpenHeader(int32_t po, const std::string& number) {
  auto* h = new HeaderEditor;
  h->po = po;
  h->number = number;
  Open(h, "po#=" + std::to_string(po), false,
       Lb_FormatMessage(TemplateCaption(kHeaderDialog), PoCaption(number)));
}

void OpenNewHeader(int32_t vendor) {
  const HEDITOR editor =
      Open(new HeaderEditor, "", true,
           Lb_FormatMessage(TemplateCaption(kHeaderDialog),
                            AcqBase::LoadStrText(kMsgNewPoCaption)));
  if (HeaderEditor* h = editor != nullptr ? Of(MrEditor_Hwnd(editor)) : nullptr) {
    StartNewHeader(*h, vendor);
    KeepAsGood(*h);
  }
}

void OpenNewHeaderWith(const std::map<std::string, std::string>& values, const std::string& source,
                       bool numberByPerson) {
  const HEDITOR editor =
      Open(new HeaderEditor, "", true, Lb_FormatMessage(TemplateCaption(kHeaderDialog), source));
  HeaderEditor* h = editor != nullptr ? Of(MrEditor_Hwnd(editor)) : nullptr;
  if (h == nullptr) return;
  h->numberByPerson = numberByPerson;
  StartNewHeader(*h, 0);
  // The given values over the new header's defaults (its addresses too).
  for (const auto& [column, text] : values) (void)MrEditor_SetField(h->editor, column, text, nullptr);
  if (values.count("vendor#") != 0) ShowVendorName(*h);
  KeepAsGood(*h);
}

bool HeaderMayChange(PoEditor& /*editor*/, bool newRecord) {
  return AcqSecurity::CheckPrivilege(newRecord ? AcqSecurity::poHead : AcqSecurity::poEdit);
}

}  // namespace acq::AcqPo::parts

namespace acq::AcqPo {

void NewPoFromValues(const std::map<std::string, std::string>& values, const std::string& source,
                     bool numberByPerson) {
  if (AcqSecurity::CheckPrivilege(AcqSecurity::poHead))
    parts::OpenNewHeaderWith(values, source, numberByPerson);
}

}  // namespace acq::AcqPo
