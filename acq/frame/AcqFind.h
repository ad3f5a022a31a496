// AcqFind: the find windows for purchase orders ("po_find_head"), PO lines
// ("po_find_line") and statements ("statement_find"): listers of the
// framework, one of each at a time, with one dialog procedure for all three.
#pragma once

#include <cstdint>
#include <string>
#include <utility>
#include <vector>

#include "host/win32/Win32.h"

namespace acq::AcqFind {

enum class FindKind { PoHead, PoLine, Statement };

// Opens the find window of `kind` after its privilege (poFind or stFind,
// with prompt), or brings the open one to the top. Nothing when refused.
void OpenFindWindow(FindKind kind);

// Whether `hwnd` is a find window, and of which kind.
bool IsFindWindow(HWND hwnd);
bool IsFindWindow(HWND hwnd, FindKind kind);

// The record a find window's selection stands for: the first selected
// row's key and number (po# and po_number, or statement# and
// statement_number). False when nothing is selected or `hwnd` is no find
// window of that family.
bool SelectedPo(HWND hwnd, int32_t& po, std::string& number);
bool SelectedStatement(HWND hwnd, int32_t& statement, std::string& number);
// Every selected PO (po#, po_number) of a PO find window, each once, in
// the order shown; none for any other window.
std::vector<std::pair<int32_t, std::string>> SelectedPos(HWND hwnd);
// The selected lines (po#, line) of a PO line find window; none for any
// other window.
std::vector<std::pair<int32_t, int16_t>> SelectedLines(HWND hwnd);

void Initialize();
void Terminate();

}  // namespace acq::AcqFind
