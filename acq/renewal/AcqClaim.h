// AcqClaim: claims of ordered items that have not arrived. Keeps the
// items' next_claim_date in step with the vendor's claim settings when an
// activity is taken back or a vendor reports a delay, shows the items due
// for a claim in the claims review list, and prints the claim letters of
// the POs with due items.
//
// What is due and how a printed claim is recorded are the database's
// (get_claims_review, po_claim_print, print_claim_update_db): an item is
// due while it is ordered, neither received nor cancelled, its
// next_claim_date is today or earlier, and its vendor's max_claims is
// above 0 and above the claims already made for it.
#pragma once

#include <cstdint>
#include <vector>

#include "host/win32/Win32.h"

namespace acq::AcqClaim {

// Gives the items of PO `po` (only those of `lines`, when not empty) that
// are ordered, not received and not cancelled the claim date their
// vendor's settings give: order_date + first_claim_delay, or
// + claim_interval when the vendor has no first_claim_delay (NULL when it
// has neither). A vendor whose max_claims is 0 is never claimed: its items
// keep the dates they have. Claims already counted (claim_count) stay.
// Runs inside the caller's transaction and writes with one statement; a
// failure is reported through HandleDbError (held back until the caller's
// rollback) and gives false.
// REQUIRES: a transaction is open (the caller's).
bool ResetClaimDates(int32_t po, const std::vector<int16_t>& lines = {});

// The claims review: the list of the items due, modeless; when it is open
// already it is brought to the front. Every search and refresh asks
// clmRev again; opening it asks nothing (the caller has).
void OpenClaimsReview();
// True for the claims review's window.
bool IsClaimsReviewWindow(HWND hwnd);

// The POs with items due for a claim, each once, in the order of the
// review (vendor, PO number). False when they cannot be read (reported).
bool LoadDuePos(std::vector<int32_t>& pos);

// Prints the claim letters (clmPrt asked by the caller): for the POs of
// the rows selected in the claims review when it is the active window and
// has a selection, else for every PO with due items. Each letter is
// recorded as a claim once it has printed (AcqPPrint), and an open review
// list is read again. Tells the person when no claim is due (message 497).
// Returns the letters printed.
int PrintClaims(HWND owner);

void Initialize();
void Terminate();

}  // namespace acq::AcqClaim
