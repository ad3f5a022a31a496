// AcqTempPea: distribution patterns, PO templates and session defaults.
#include "acq/po/AcqTempPea.h"

#include <optional>
#include <string>

#include "acq/AcqUnit.h"
#include "acq/db/AcqDbBase.h"
#include "acq/frame/AcqBase.h"
#include "acq/frame/AcqGlobal.h"
#include "acq/po/AcqDbTempPea.h"
#include "acq/po/AcqPo.h"
#include "acq/po/AcqPoParts.h"
#include "host/muc/MucTools.h"
#include "host/sys/LbStr.h"
#include "host/win32/Dialog.h"

namespace acq::AcqTempPea {
namespace {

namespace db = AcqDbTempPea;
using AcqPo::parts::Ask;
using AcqPo::parts::Tell;

constexpr int kSavePatternDialog = 78;
constexpr int kSelectPatternDialog = 83;
constexpr int kPatternField = 1001;  // the name (78) or the choice (83)

constexpr int kMsgOneLine = 435;
constexpr int kMsgPatternExists = 436;
constexpr int kMsgDeletePattern = 437;
constexpr int kMsgApplyPattern = 438;
constexpr int kMsgNoPattern = 439;
constexpr int kMsgNothingToSave = 441;
constexpr int kMsgSaveBeforeApply = 442;
constexpr int kMsgSaveBeforeSave = 443;
constexpr int kMsgEmptyName = 456;
constexpr int kMsgSelectLines = 1208;
constexpr int kMsgReplacePattern = 1840;
constexpr int kMsgNameTooLong = 1841;

constexpr size_t kNameChars = 30;

// The pattern last saved or applied in this session: offered first when a
// pattern is chosen again. Initialize to Terminate.
std::string lastPattern;

std::string Trim(std::string_view s) {
  while (!s.empty() && (s.front() == ' ' || s.front() == '\t')) s.remove_prefix(1);
  while (!s.empty() && (s.back() == ' ' || s.back() == '\t')) s.remove_suffix(1);
  return std::string(s);
}

// ---- Save Pattern (dialog 78) -------------------------------------------------------------

struct SaveRequest {
  int32_t po = 0;
  int16_t line = 0;
  std::string caption;
  std::string saved;  // the name saved under, once saved
};
SaveRequest* saving = nullptr;

// The name's rules, then the save; a name taken asks to replace it.
// The dialog stays open on a refusal so the person can type another name.
void ConfirmSave(HWND hwnd) {
  const std::string name = Trim(GetDlgItemTextW(hwnd, kPatternField));
  if (name.empty()) {
    Tell(hwnd, kMsgEmptyName, MB_OK | MB_ICONWARNING);
    return;
  }
  if (Lb_CharCount(name) > kNameChars) {
    Tell(hwnd, kMsgNameTooLong, MB_OK | MB_ICONWARNING);
    return;
  }
  int32_t key = 0;
  db::SaveResult result = db::SavePattern(saving->po, saving->line, name, false, key);
  if (result == db::SaveResult::NameExists) {
    Tell(hwnd, kMsgPatternExists, MB_OK | MB_ICONWARNING);
    if (!Ask(hwnd, kMsgReplacePattern, name)) return;
    result = db::SavePattern(saving->po, saving->line, name, true, key);
  }
  switch (result) {
    case db::SaveResult::Saved:
      saving->saved = name;
      EndDialog(hwnd, IDOK);
      return;
    case db::SaveResult::NoItems:
      Tell(hwnd, kMsgNothingToSave, MB_OK | MB_ICONWARNING);
      EndDialog(hwnd, IDCANCEL);
      return;
    case db::SaveResult::NameExists:  // taken again between the two saves
      Tell(hwnd, kMsgPatternExists, MB_OK | MB_ICONWARNING);
      return;
    case db::SaveResult::Failed: return;  // reported by the database layer
  }
}

LRESULT SaveDlgProc(HWND hwnd, UINT msg, WPARAM wParam, LPARAM) {
  if (msg == WM_INITDIALOG) {
    SetWindowTextW(hwnd, saving->caption);
    return TRUE;
  }
  if (msg == WM_COMMAND && HIWORD(wParam) == BN_CLICKED) {
    switch (LOWORD(wParam)) {
      case IDOK: ConfirmSave(hwnd); return TRUE;
      case IDCANCEL: EndDialog(hwnd, IDCANCEL); return TRUE;
      default: break;
    }
  }
  return _Win32_DefDlgProc(hwnd, msg, wParam, 0);
}

// ---- Select Distribution Pattern (dialog 83) ------------------------------------------------

struct Selection {
  std::vector<db::Pattern> patterns;
  std::optional<db::Pattern> chosen;
  std::string offered;  // chosen when the dialog opens ("" none)
};
Selection* selecting = nullptr;

LRESULT SelectDlgProc(HWND hwnd, UINT msg, WPARAM wParam, LPARAM) {
  if (msg == WM_INITDIALOG) {
    std::vector<std::string> names;
    for (const db::Pattern& p : selecting->patterns) names.push_back(p.name);
    SetDlgChoices(hwnd, kPatternField, names);
    (void)SetDlgChoice(hwnd, kPatternField, selecting->offered);  // none when it is gone
    return TRUE;
  }
  if (msg == WM_COMMAND && HIWORD(wParam) == BN_CLICKED) {
    switch (LOWORD(wParam)) {
      case IDOK: {
        const int chosen = GetDlgChoice(hwnd, kPatternField);
        if (chosen < 0 || static_cast<size_t>(chosen) >= selecting->patterns.size()) {
          Tell(hwnd, kMsgNoPattern, MB_OK | MB_ICONWARNING);
          return TRUE;
        }
        selecting->chosen = selecting->patterns[static_cast<size_t>(chosen)];
        EndDialog(hwnd, IDOK);
        return TRUE;
      }
      case IDCANCEL: EndDialog(hwnd, IDCANCEL); return TRUE;
      default: break;
    }
  }
  return _Win32_DefDlgProc(hwnd, msg, wParam, 0);
}

// The pattern the person chooses in dialog 83; nullopt on cancel or a
// database failure (reported).
std::optional<db::Pattern> AskPattern(HWND owner) {
  Selection s;
  s.offered = AcqPo::ChosenPattern(owner);
  if (s.offered.empty()) s.offered = lastPattern;
  if (!db::LoadPatterns(s.patterns)) return std::nullopt;
  selecting = &s;
  const INT_PTR result =
      DialogBoxParamW(AcqBase::ResourceInstance(), kSelectPatternDialog, owner, &SelectDlgProc, 0);
  selecting = nullptr;
  return result == IDOK ? s.chosen : std::nullopt;
}

// ---- templates and session defaults -------------------------------------------------------

constexpr int kTemplatesDialog = 79;
constexpr int kSessionDialog = 81;
constexpr int kSaveTemplateDialog = 82;
constexpr int kTemplateEditor = 1840;
constexpr int kTemplateList = 1001;
constexpr int kNameField = 1001;
constexpr int kDescriptionField = 1002;
constexpr int kUserAssigns = 1003;
constexpr int kPatternChoice = 1004;
constexpr int kVendorField = 1010;
constexpr int kVendorName = 1011;
enum TemplateButton : int {
  kEdit = 1841,
  kNew = 1842,
  kCreatePo = 1843,
  kShowDefaults = 1844,
  kClearDefaults = 1845
};

constexpr int kMsgSaveBeforeTemplate = 444;
constexpr int kMsgEmptyTemplate = 445;
constexpr int kMsgDefaultsHeading = 446;
constexpr int kMsgNoDefaults = 447;
constexpr int kMsgOneTemplate = 448;
constexpr int kMsgFillIn = 450;
constexpr int kMsgPoSource = 451;
constexpr int kMsgTemplateSource = 452;
constexpr int kMsgSaveBeforeDefaults = 453;
constexpr int kMsgReplaceTemplate = 1845;
constexpr int kMsgClearDefaults = 1846;
constexpr int kMsgSelectTemplate = 1847;
constexpr int kMsgNewTemplate = 1848;
constexpr int kMsgUnknownVendor = 1849;

constexpr const char* kWholeColumns[] = {"vendor#", "spent_event", "item_creation", "renewal_type"};

// The session's defaults: a PO's header values, a pattern and the
// numbering flag, with the PO they came from. Initialize to Terminate.
struct SessionDefaults {
  db::TemplateValues values;
  std::string source;  // the PO's number
};
std::optional<SessionDefaults> sessionDefaults;
// Shows the defaults as a message over `owner` (447 when none); clears
// them when the person confirms.
void ShowDefaults(HWND owner);
void ClearDefaults(HWND owner);

// The caption part of message `id` (the sources 451 and 452 are captions).
std::string CaptionOf(int id) {
  std::string caption, text;
  Lb_SplitCaption(AcqBase::LoadStr(id), caption, text);
  return caption;
}

std::string PatternName(const std::vector<db::Pattern>& patterns, int32_t key) {
  for (const db::Pattern& p : patterns)
    if (p.key == key) return p.name;
  return {};
}
int32_t PatternKey(const std::vector<db::Pattern>& patterns, const std::string& name) {
  for (const db::Pattern& p : patterns)
    if (p.name == name) return p.key;
  return 0;
}

// The pattern choice of a dialog filled with every pattern, `key` chosen.
void FillPatternChoice(HWND hwnd, const std::vector<db::Pattern>& patterns, int32_t key) {
  std::vector<std::string> names;
  for (const db::Pattern& p : patterns) names.push_back(p.name);
  SetDlgChoices(hwnd, kPatternChoice, names);
  (void)SetDlgChoice(hwnd, kPatternChoice, PatternName(patterns, key));
}

// Saves `values` as template `name`, asking before one of that name is
// replaced. True when saved.
bool SaveTemplateAsked(HWND owner, const std::string& name, const std::string& description,
                       const db::TemplateValues& values, const std::string& original) {
  const bool same = !original.empty() && original == name;
  db::TemplateSave r = db::SaveTemplate(name, description, values, same, original);
  if (r == db::TemplateSave::NameExists) {
    if (!Ask(owner, kMsgReplaceTemplate, name)) return false;
    r = db::SaveTemplate(name, description, values, true, original);
  }
  return r == db::TemplateSave::Saved;
}

// A PO window's PO whose edits are all saved; false when told otherwise.
bool SavedPo(HWND poWindow, int message, int32_t& po, std::string& number) {
  if (!AcqPo::PoOfWindow(poWindow, po, number)) return false;
  if (!AcqPo::HasUnsavedEdits(po)) return true;
  Tell(poWindow, message, MB_OK | MB_ICONWARNING);
  return false;
}

// -- dialog 82 and 81: a template or the session's defaults from a PO --
struct FromPo {
  int32_t po = 0;
  std::string number;
  std::string caption;
  std::vector<db::Pattern> patterns;
  bool asTemplate = true;
  std::string offered;  // the PO window's pattern choice ("" none)
};
FromPo* fromPo = nullptr;

bool ConfirmFromPo(HWND hwnd) {
  db::TemplateValues values;
  if (!db::PoHeaderValues(fromPo->po, values.header)) return false;
  values.userAssigns = IsDlgButtonChecked(hwnd, kUserAssigns);
  values.pattern = PatternKey(fromPo->patterns, GetDlgItemTextW(hwnd, kPatternChoice));
  if (!fromPo->asTemplate) {
    sessionDefaults = SessionDefaults{std::move(values), fromPo->number};
    return true;
  }
  const std::string name = Trim(GetDlgItemTextW(hwnd, kNameField));
  if (name.empty()) return Tell(hwnd, kMsgEmptyTemplate, MB_OK | MB_ICONWARNING), false;
  if (Lb_CharCount(name) > kNameChars)
    return Tell(hwnd, kMsgFillIn, MB_OK | MB_ICONWARNING, "Template Name (30)"), false;
  return SaveTemplateAsked(hwnd, name, Trim(GetDlgItemTextW(hwnd, kDescriptionField)), values, "");
}

LRESULT FromPoDlgProc(HWND hwnd, UINT msg, WPARAM wParam, LPARAM) {
  if (msg == WM_INITDIALOG) {
    SetWindowTextW(hwnd, fromPo->caption);
    // The PO window's pattern is offered; the defaults keep theirs.
    int32_t chosen = PatternKey(fromPo->patterns, fromPo->offered);
    if (!fromPo->asTemplate && sessionDefaults) chosen = sessionDefaults->values.pattern;
    FillPatternChoice(hwnd, fromPo->patterns, chosen);
    return TRUE;
  }
  if (msg == WM_COMMAND && HIWORD(wParam) == BN_CLICKED) {
    switch (LOWORD(wParam)) {
      case IDOK:
        if (ConfirmFromPo(hwnd)) EndDialog(hwnd, IDOK);
        return TRUE;
      case IDCANCEL: EndDialog(hwnd, IDCANCEL); return TRUE;
      default: break;
    }
  }
  return _Win32_DefDlgProc(hwnd, msg, wParam, 0);
}

void RunFromPo(HWND poWindow, bool asTemplate) {
  FromPo state;
  state.asTemplate = asTemplate;
  if (!SavedPo(poWindow, asTemplate ? kMsgSaveBeforeTemplate : kMsgSaveBeforeDefaults, state.po,
               state.number) ||
      !db::LoadPatterns(state.patterns))
    return;
  state.offered = AcqPo::ChosenPattern(poWindow);
  const int dialog = asTemplate ? kSaveTemplateDialog : kSessionDialog;
  state.caption = Lb_FormatMessage(AcqPo::parts::TemplateCaption(dialog), state.number);
  fromPo = &state;
  (void)DialogBoxParamW(AcqBase::ResourceInstance(), dialog, poWindow, &FromPoDlgProc, 0);
  fromPo = nullptr;
}

// -- dialog 1840: a template's values --
struct TemplateEdit {
  std::string original;  // "" for a new template
  std::string description;
  db::TemplateValues values;
  std::vector<db::Pattern> patterns;
};
TemplateEdit* editing = nullptr;

void ShowTemplateVendor(HWND hwnd) {
  const std::string vendor = Trim(GetDlgItemTextW(hwnd, kVendorField));
  std::string name;
  int64_t number = 0;
  if (AcqPo::parts::ParseWhole(vendor, number) && number > 0) {
    BucketHold row;
    if (AcqDbBase::LoadRows("name", "vendor", "vendor#=" + std::to_string(number), "", row) &&
        _BktCountAll(*row) > 0)
      name = AcqPo::parts::TextOf(*row, 1, "name");
  }
  SetDlgItemTextW(hwnd, kVendorName, name);
}

bool ConfirmTemplate(HWND hwnd) {
  const std::string name = Trim(GetDlgItemTextW(hwnd, kNameField));
  std::string missing;
  if (name.empty()) missing = "Template";
  const std::string vendor = Trim(GetDlgItemTextW(hwnd, kVendorField));
  if (vendor.empty()) missing += std::string(missing.empty() ? "" : ", ") + "Vendor #";
  if (!missing.empty()) return Tell(hwnd, kMsgFillIn, MB_OK | MB_ICONWARNING, missing), false;
  if (Lb_CharCount(name) > kNameChars)
    return Tell(hwnd, kMsgFillIn, MB_OK | MB_ICONWARNING, "Template (30)"), false;
  db::TemplateValues values;
  const DialogTemplate* t = GetDialogTemplate(hwnd);
  for (const DialogControl& c : t->controls) {
    if (c.kind != ControlKind::Edit || c.id < kVendorField) continue;
    const std::string text = Trim(c.text);
    if (text.empty()) continue;
    int64_t whole = 0;
    for (const char* w : kWholeColumns)
      if (c.name == w && !AcqPo::parts::ParseWhole(text, whole))
        return Tell(hwnd, kMsgFillIn, MB_OK | MB_ICONWARNING, c.name), false;
    values.header[c.name] = text;
  }
  if (GetDlgItemTextW(hwnd, kVendorName).empty())
    return Tell(hwnd, kMsgUnknownVendor, MB_OK | MB_ICONWARNING, vendor), false;
  values.userAssigns = IsDlgButtonChecked(hwnd, kUserAssigns);
  values.pattern = PatternKey(editing->patterns, GetDlgItemTextW(hwnd, kPatternChoice));
  return SaveTemplateAsked(hwnd, name, Trim(GetDlgItemTextW(hwnd, kDescriptionField)), values,
                           editing->original);
}

LRESULT TemplateDlgProc(HWND hwnd, UINT msg, WPARAM wParam, LPARAM) {
  if (msg == WM_INITDIALOG) {
    const std::string shown =
        editing->original.empty() ? AcqBase::LoadStrText(kMsgNewTemplate) : editing->original;
    SetWindowTextW(hwnd, Lb_FormatMessage(AcqPo::parts::TemplateCaption(kTemplateEditor), shown));
    SetDlgItemTextW(hwnd, kNameField, editing->original);
    SetDlgItemTextW(hwnd, kDescriptionField, editing->description);
    const DialogTemplate* t = GetDialogTemplate(hwnd);
    for (const DialogControl& c : t->controls)
      if (c.kind == ControlKind::Edit && editing->values.header.count(c.name) != 0)
        SetDlgItemTextW(hwnd, c.id, editing->values.header.at(c.name));
    CheckDlgButton(hwnd, kUserAssigns, editing->values.userAssigns);
    FillPatternChoice(hwnd, editing->patterns, editing->values.pattern);
    ShowTemplateVendor(hwnd);
    return TRUE;
  }
  if (msg == WM_COMMAND && HIWORD(wParam) == EN_CHANGE && LOWORD(wParam) == kVendorField) {
    ShowTemplateVendor(hwnd);
    return TRUE;
  }
  if (msg == WM_COMMAND && HIWORD(wParam) == BN_CLICKED) {
    switch (LOWORD(wParam)) {
      case IDOK:
        if (ConfirmTemplate(hwnd)) EndDialog(hwnd, IDOK);
        return TRUE;
      case IDCANCEL: EndDialog(hwnd, IDCANCEL); return TRUE;
      default: break;
    }
  }
  return _Win32_DefDlgProc(hwnd, msg, wParam, 0);
}

// The editor on template `name` ("" a new one). True when saved.
bool EditTemplate(HWND owner, const std::string& name, const std::string& description) {
  TemplateEdit state;
  state.original = name;
  state.description = description;
  if (!db::LoadPatterns(state.patterns)) return false;
  if (!name.empty()) {
    db::Refusal refusal;
    // A template whose vendor is gone still opens: that is how it is mended.
    if (!db::LoadTemplate(name, state.values, refusal) && refusal.id != 1844) {
      if (refusal.id != 0) Tell(owner, refusal.id, MB_OK | MB_ICONWARNING, refusal.a1, refusal.a2);
      return false;
    }
  }
  editing = &state;
  const INT_PTR result =
      DialogBoxParamW(AcqBase::ResourceInstance(), kTemplateEditor, owner, &TemplateDlgProc, 0);
  editing = nullptr;
  return result == IDOK;
}

// A new PO's header from template `name`; its pattern becomes the one
// offered first when a pattern is applied.
void CreatePoFromTemplate(HWND owner, const std::string& name) {
  db::TemplateValues values;
  db::Refusal refusal;
  if (!db::LoadTemplate(name, values, refusal)) {
    if (refusal.id != 0) Tell(owner, refusal.id, MB_OK | MB_ICONWARNING, refusal.a1, refusal.a2);
    return;
  }
  std::vector<db::Pattern> patterns;
  if (values.pattern != 0 && db::LoadPatterns(patterns))
    lastPattern = PatternName(patterns, values.pattern);
  // The PO number stays empty: the header save gives the default, or,
  // when the template leaves it to the person, asks for it.
  AcqPo::NewPoFromValues(values.header, CaptionOf(kMsgTemplateSource) + name, values.userAssigns);
}

// -- dialog 79: the template lister --
std::vector<db::TemplateRow>* listed = nullptr;

void FillTemplates(HWND hwnd) {
  if (!db::LoadTemplates(*listed)) return;
  std::vector<std::vector<std::string>> rows;
  for (const db::TemplateRow& r : *listed)
    rows.push_back({r.name, r.description, r.vendor, r.vendorName});
  SetDlgListRows(hwnd, kTemplateList, rows);
}

// The one selected template's row; nullptr (told) when not exactly one.
const db::TemplateRow* SelectedTemplate(HWND hwnd, int message) {
  const std::vector<int> selected = GetDlgListSelection(hwnd, kTemplateList);
  if (selected.empty()) return Tell(hwnd, kMsgSelectTemplate, MB_OK | MB_ICONINFORMATION), nullptr;
  if (selected.size() > 1) return Tell(hwnd, message, MB_OK | MB_ICONWARNING), nullptr;
  const size_t at = static_cast<size_t>(selected.front() - 1);
  return at < listed->size() ? &(*listed)[at] : nullptr;
}

LRESULT TemplatesDlgProc(HWND hwnd, UINT msg, WPARAM wParam, LPARAM) {
  if (msg == WM_INITDIALOG) {
    SetDlgListColumns(hwnd, kTemplateList,
                      {{"po_template", "Template", false},
                       {"po_template_descr", "Description", false},
                       {"vendor#", "Vendor #", false},
                       {"vendor_name", "Vendor", false}});
    FillTemplates(hwnd);
    return TRUE;
  }
  if (msg == WM_COMMAND && HIWORD(wParam) == BN_CLICKED) {
    switch (LOWORD(wParam)) {
      case kEdit:
        if (const db::TemplateRow* r = SelectedTemplate(hwnd, kMsgOneTemplate)) {
          if (EditTemplate(hwnd, r->name, r->description)) FillTemplates(hwnd);
        }
        return TRUE;
      case kNew:
        if (EditTemplate(hwnd, "", "")) FillTemplates(hwnd);
        return TRUE;
      case kShowDefaults: ShowDefaults(hwnd); return TRUE;
      case kClearDefaults: ClearDefaults(hwnd); return TRUE;
      case kCreatePo:
        if (const db::TemplateRow* r = SelectedTemplate(hwnd, kMsgOneTemplate)) {
          const std::string name = r->name;
          EndDialog(hwnd, IDOK);
          CreatePoFromTemplate(PwMucBase_hwndClient, name);
        }
        return TRUE;
      case IDCANCEL: EndDialog(hwnd, IDCANCEL); return TRUE;
      default: break;
    }
  }
  return _Win32_DefDlgProc(hwnd, msg, wParam, 0);
}

}  // namespace

void SavePattern(HWND poWindow) {
  int32_t po = 0;
  std::string number;
  if (!AcqPo::PoOfWindow(poWindow, po, number)) return;
  const AcqPo::LineKeys lines = AcqPo::SelectedLines(poWindow);
  if (lines.size() != 1) {
    Tell(poWindow, kMsgOneLine, MB_OK | MB_ICONWARNING);
    return;
  }
  if (AcqPo::HasUnsavedEdits(po)) {
    Tell(poWindow, kMsgSaveBeforeSave, MB_OK | MB_ICONWARNING);
    return;
  }
  SaveRequest request;
  request.po = po;
  request.line = lines.front().second;
  request.caption = Lb_FormatMessage(AcqPo::parts::TemplateCaption(kSavePatternDialog), number,
                                     std::to_string(request.line));
  saving = &request;
  const INT_PTR result =
      DialogBoxParamW(AcqBase::ResourceInstance(), kSavePatternDialog, poWindow, &SaveDlgProc, 0);
  saving = nullptr;
  if (result != IDOK) return;
  lastPattern = request.saved;
  AcqPo::SetPatternChoices(PatternNames());
  AcqPo::ChoosePattern(poWindow, request.saved);
}

void ApplyPattern(HWND poWindow) {
  int32_t po = 0;
  std::string number;
  if (!AcqPo::PoOfWindow(poWindow, po, number)) return;
  const AcqPo::LineKeys lines = AcqPo::SelectedLines(poWindow);
  if (lines.empty()) {
    Tell(poWindow, kMsgSelectLines, MB_OK | MB_ICONINFORMATION);
    return;
  }
  if (AcqPo::HasUnsavedEdits(po)) {
    Tell(poWindow, kMsgSaveBeforeApply, MB_OK | MB_ICONWARNING);
    return;
  }
  const std::optional<db::Pattern> pattern = AskPattern(poWindow);
  if (!pattern) return;
  if (!Ask(poWindow, kMsgApplyPattern, pattern->name)) return;
  lastPattern = pattern->name;
  AcqPo::ChoosePattern(poWindow, pattern->name);
  MucTools_HourGlass(true);
  for (const auto& [linePo, line] : lines) {
    db::Refusal refusal;
    switch (db::ApplyPattern(pattern->key, linePo, line, refusal)) {
      case db::ApplyResult::Applied: AcqPo::parts::LineChanged(linePo, line); break;
      case db::ApplyResult::Refused:
        MucTools_HourGlass(false);
        Tell(poWindow, refusal.id, MB_OK | MB_ICONWARNING, refusal.a1, refusal.a2);
        MucTools_HourGlass(true);
        break;
      case db::ApplyResult::Failed: break;  // told by the save
    }
  }
  MucTools_HourGlass(false);
}

void DeletePattern(HWND poWindow) {
  const std::optional<db::Pattern> pattern = AskPattern(poWindow);
  if (!pattern) return;
  if (!Ask(poWindow, kMsgDeletePattern, pattern->name)) return;
  if (!db::DeletePattern(pattern->key)) return;
  if (lastPattern == pattern->name) lastPattern.clear();
  AcqPo::SetPatternChoices(PatternNames());
}

std::vector<std::string> PatternNames() {
  std::vector<db::Pattern> patterns;
  std::vector<std::string> names;
  if (db::LoadPatterns(patterns))
    for (const db::Pattern& p : patterns) names.push_back(p.name);
  return names;
}

std::string OfferedPattern() { return lastPattern; }

void OpenTemplates() {
  std::vector<db::TemplateRow> rows;
  listed = &rows;
  (void)DialogBoxParamW(AcqBase::ResourceInstance(), kTemplatesDialog, PwMucBase_hwndClient,
                        &TemplatesDlgProc, 0);
  listed = nullptr;
}

void NewTemplate() { (void)EditTemplate(PwMucBase_hwndClient, "", ""); }

void SaveTemplate(HWND poWindow) { RunFromPo(poWindow, true); }
void StoreSessionDefaults(HWND poWindow) { RunFromPo(poWindow, false); }

void DisplaySessionDefaults() { ShowDefaults(PwMucBase_hwndClient); }
void ClearSessionDefaults() { ClearDefaults(PwMucBase_hwndClient); }

namespace {

void ShowDefaults(HWND owner) {
  if (!sessionDefaults) {
    Tell(owner, kMsgNoDefaults, MB_OK | MB_ICONINFORMATION);
    return;
  }
  std::string text = CaptionOf(kMsgPoSource) + sessionDefaults->source;
  for (const auto& [column, value] : sessionDefaults->values.header)
    text += "\n" + column + ": " + value;
  std::vector<db::Pattern> patterns;
  if (sessionDefaults->values.pattern != 0 && db::LoadPatterns(patterns))
    text += "\npattern: " + PatternName(patterns, sessionDefaults->values.pattern);
  text += std::string("\nuser_assign_po_number: ") +
          (sessionDefaults->values.userAssigns ? "Yes" : "No");
  MucTools_MsgBoxCap(owner, CaptionOf(kMsgDefaultsHeading) + "|" + text,
                     MB_OK | MB_ICONINFORMATION);
}

void ClearDefaults(HWND owner) {
  if (!sessionDefaults) {
    Tell(owner, kMsgNoDefaults, MB_OK | MB_ICONINFORMATION);
    return;
  }
  if (Ask(owner, kMsgClearDefaults)) sessionDefaults.reset();
}

}  // namespace

bool NewPoFromSessionDefaults() {
  if (!sessionDefaults) return false;
  std::vector<db::Pattern> patterns;
  if (sessionDefaults->values.pattern != 0 && db::LoadPatterns(patterns))
    lastPattern = PatternName(patterns, sessionDefaults->values.pattern);
  AcqPo::NewPoFromValues(sessionDefaults->values.header,
                         CaptionOf(kMsgPoSource) + sessionDefaults->source,
                         sessionDefaults->values.userAssigns);
  return true;
}

void Initialize() {
  lastPattern.clear();
  sessionDefaults.reset();
}
void Terminate() {
  lastPattern.clear();
  sessionDefaults.reset();
}

}  // namespace acq::AcqTempPea

ACQ_UNIT_BODY(AcqTempPea)
