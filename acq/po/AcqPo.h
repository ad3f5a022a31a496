// AcqPo: the PO window and its editors. The window shows one PO: its
// header, its lines with their counts and money, and the PO's totals; from
// it the header and the lines are edited (each with the rules a save must
// pass) and the activities of the selected lines are started.
#pragma once

#include <cstdint>
#include <map>
#include <string>
#include <utility>
#include <vector>

#include "acq/po/AcqDbAct.h"
#include "host/win32/Win32.h"

namespace acq::AcqPo {

// (po#, line) of PO lines.
using LineKeys = std::vector<std::pair<int32_t, int16_t>>;

// Opens PO `po` (its number `number` for captions) in the PO window, or
// brings its open window to the top.
void OpenPo(int32_t po, const std::string& number);
// A PO opened from a find or list window: the person chooses Edit (the PO
// window) or Receive (the window and the receive activity of `line`, or,
// with line 0, of the first line with items to receive).
void OpenPoWithMode(int32_t po, const std::string& number, int16_t line);

// Command 151: a new PO for a vendor chosen first; 165: a new PO. Both need
// poHead.
void NewPoForVendor();
void NewPo();
// A new PO's header holding `values` (column -> text, as a template or the
// session's defaults give them) over the defaults of a new header; its
// caption names `source` ("Template Standing orders"). `numberByPerson`:
// the person types the PO number (an empty one is refused, not defaulted).
// Needs poHead.
void NewPoFromValues(const std::map<std::string, std::string>& values, const std::string& source,
                     bool numberByPerson);

// Whether `hwnd` is a PO window; its PO.
bool IsPoWindow(HWND hwnd);
bool PoOfWindow(HWND hwnd, int32_t& po, std::string& number);
// The selected lines of a PO window, in line order.
LineKeys SelectedLines(HWND hwnd);
// Commands on a PO window: edit (12) or delete (13, poDel) its selected
// line, reload it (57642), and the activity of `kind` on its selected
// lines (approval: every line when none is selected).
void EditSelectedLine(HWND hwnd);
void DeleteSelectedLine(HWND hwnd);
void Reload(HWND hwnd);
// Every open PO window of `po` shows it again as the database holds it.
void ReloadPo(int32_t po);
void RunActivity(HWND hwnd, AcqDbAct::Activity kind);
// The activity on lines listed elsewhere (a line list or find window); the
// PO windows of those POs follow.
void RunActivityOnLines(AcqDbAct::Activity kind, const LineKeys& lines);

// The Distribution Pattern choice of the PO windows: every window's
// options replaced by `names` (a window keeps its choice while it is still
// one of them); the choice of window `hwnd` ("" none, or not a PO window).
void SetPatternChoices(const std::vector<std::string>& names);
void ChoosePattern(HWND hwnd, const std::string& name);
std::string ChosenPattern(HWND hwnd);

// Whether `hwnd` is one of the PO editors (header or line), and whether its
// record may change now (a refused privilege answers false, told).
bool IsPoEditor(HWND hwnd);
// Whether an editor of PO `po` (its header or a line) is open with changes
// not saved yet.
bool HasUnsavedEdits(int32_t po);
bool MayChangeRecord(HWND editor, bool newRecord);
// Ends PO editor `hwnd` as its OK (IDOK: save, closing when saved) or
// Cancel button would (any other result). Nothing for any other window.
void EndEditor(HWND hwnd, int result);

void Initialize();
void Terminate();

}  // namespace acq::AcqPo
