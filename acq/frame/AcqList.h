// AcqList: the list windows behind the find windows: the POs of a
// statement, and the statements of a PO or of a voucher.
#pragma once

#include <cstdint>
#include <string>
#include <utility>
#include <vector>

#include "acq/frame/AcqSecurity.h"
#include "host/win32/Win32.h"

namespace acq::AcqList {

// Command 154: the POs of the active statement.
void ListPosOfActiveStatement(HWND active);
// Command 213: the statements of the active PO or voucher.
void ListStatementsOfActive(HWND active);
// Command 242: the list that fits the active window (statements for a PO
// window, POs for a statement window, statements for a voucher window).
void ListForActive(HWND active);

// Command 160: the lines of the active PO window's PO; 171: the lines of
// the PO the active window stands for (a PO window, or the selected PO of a
// find or list window).
void ListLinesOfPoWindow(HWND active);
void ListLinesOfActive(HWND active);
// The selected lines (po#, line) of a list of PO lines; none for any other
// window.
std::vector<std::pair<int32_t, int16_t>> SelectedLines(HWND hwnd);

bool IsListWindow(HWND hwnd);
// Whether `hwnd` is a list window of `records`.
bool IsListWindow(HWND hwnd, AcqSecurity::Records records);
// Every selected PO (po#, po_number) of a list of POs, each once, in the
// order shown; none for any other window.
std::vector<std::pair<int32_t, std::string>> SelectedPos(HWND hwnd);
// The first selected PO or statement of a list window.
bool SelectedPo(HWND hwnd, int32_t& po, std::string& number);
bool SelectedStatement(HWND hwnd, int32_t& statement, std::string& number);

void Initialize();
void Terminate();

}  // namespace acq::AcqList
