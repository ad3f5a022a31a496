// AcqPPrint: printing of purchase orders (negotiable, draft), cancellation
// notices and claim letters, and the database marking that follows.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "host/win32/Win32.h"

namespace acq::AcqPPrint {

enum class Form { Negotiable, Draft, Cancellation, Claim };

// Prints `pos` in `form`, each PO on its own pages ("Page n of m" per
// PO) in one print job, after the printer dialog; then marks each PO in
// its own transaction (print_po_update_db, print_change_po_update_db,
// print_claim_update_db; a draft nothing). The privilege is the
// caller's to ask. Returns the POs printed and marked.
int PrintPos(HWND owner, const std::vector<int32_t>& pos, Form form);

// PrintPos without the printer dialog: on `printer` (a name of
// MucPrint_ListPrinters, "PDF file" keeps the job as a PDF). A printer that
// cannot be opened, or that refuses the job, is told to the person and
// nothing is marked. POs that fail the selection check of `form` (a
// negotiable order needs every item approved; a cancellation notice needs
// items cancelled after ordering; a claim letter claimed items) are left
// out, a negotiable one with message 346.
int PrintPosOn(const std::string& printer, const std::vector<int32_t>& pos, Form form);

// The POs a command acts on in `active`: the PO of a PO window, the
// selected POs of the PO find window or a list of POs, the POs of the
// selected lines of a PO line find window or list of lines; in order, each
// once. None for any other window.
std::vector<int32_t> SelectedPos(HWND active);

// "Print POs": dialog 21 chooses the form for the POs of `active`; a draft
// asks poDraft (the command has asked poPross for the other forms), then
// PrintPos.
void RunPrintPos(HWND active);
// "Print Draft POs": the POs of `active` as drafts (the command has asked
// poDraft).
void RunPrintDraftPos(HWND active);

void Initialize();
void Terminate();

}  // namespace acq::AcqPPrint
