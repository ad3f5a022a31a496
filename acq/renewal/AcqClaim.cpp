// AcqClaim: claim dates, the claims review and claim letter printing.
//
// The review is a lister over the claimable items (view po_claimable) with
// the condition "due by today" added by this unit, so that it lists what
// get_claims_review returns; today is the workstation's date, taken when
// the list opens.
#include "acq/renewal/AcqClaim.h"

#include <algorithm>
#include <string>
#include <string_view>

#include "acq/AcqUnit.h"
#include "acq/db/AcqDb.h"
#include "acq/db/AcqDbExcept.h"
#include "acq/db/AcqDbGen.h"
#include "acq/db/AcqDbGlobal.h"
#include "acq/frame/AcqBase.h"
#include "acq/frame/AcqSecurity.h"
#include "acq/print/AcqPPrint.h"
#include "host/db/DbDabs.h"
#include "host/mr/MrFramework.h"
#include "host/muc/MucTools.h"
#include "host/sys/Bucket.h"
#include "host/sys/LbStr.h"

namespace acq::AcqClaim {
namespace {

using AcqDbExcept::HandleDbError;

constexpr int kMsgNoClaimsDue = 497;

constexpr const char* kReviewView = "acq_claims_review";
constexpr const char* kEnvir = "claims";

// The claims review (one at a time), from OpenClaimsReview to WM_DESTROY.
struct ReviewWindow {
  HLISTER lister = nullptr;
  HWND hwnd = nullptr;
};
ReviewWindow review;

void Tell(int message) {
  MucTools_MsgBoxCap(PwMucBase_hwndClient, AcqBase::LoadStr(message), MB_OK | MB_ICONINFORMATION);
}

// A failure that is not the server's, reported like one.
void ReportFailure(std::string_view text) {
  DbMsg msg;
  msg.Set(text);
  HandleDbError(msg, kDbError);
}

// The vendor's claim settings; `delay` < 0 when the vendor has neither a
// first claim delay nor a claim interval.
struct ClaimSettings {
  int maxClaims = 0;
  int delay = -1;
};

bool ReadClaimSettings(int32_t vendor, ClaimSettings& out) {
  out = ClaimSettings{};
  DbMsg msg;
  BucketHold row;
  const DbCode code = AcqDb::LoadTable(msg, AcqDb::ClearChanges::Yes, "",
                                       "vendor#=" + std::to_string(vendor),
                                       "max_claims,first_claim_delay,claim_interval", "vendor",
                                       row.get());
  if (code != kDbOk) {
    HandleDbError(msg, code);
    return false;
  }
  if (_BktCountAll(*row) < 1) return true;   // no vendor: nothing is claimed
  const int colMax = _BktGetColNum(*row, "max_claims");
  const int colFirst = _BktGetColNum(*row, "first_claim_delay");
  const int colInterval = _BktGetColNum(*row, "claim_interval");
  if (colMax == 0 || colFirst == 0 || colInterval == 0) {
    ReportFailure("AcqClaim.ResetClaimDates: the vendor's claim settings cannot be read");
    return false;
  }
  out.maxClaims = _ColIsNull(*row, 1, colMax) ? 0 : _ColGetInt(*row, 1, colMax);
  if (!_ColIsNull(*row, 1, colFirst))
    out.delay = _ColGetInt(*row, 1, colFirst);
  else if (!_ColIsNull(*row, 1, colInterval))
    out.delay = _ColGetInt(*row, 1, colInterval);
  return true;
}

// Today's condition of the review: due today or earlier.
std::string DueCondition() { return "next_claim_date<=" + std::to_string(DbDabs_GetDate()); }

// Reads the open review again (after claims were printed).
void ReloadReview() {
  if (review.lister != nullptr)
    (void)MrLister_MrListerBegin(review.lister, MucTools_BuildSizeKey(kReviewView));
}

// The POs of the review's selected rows, each once, in the list's order.
std::vector<int32_t> SelectedPos() {
  std::vector<int32_t> pos;
  if (review.lister == nullptr) return pos;
  BktHandle rows = MrLister_Rows(review.lister);
  const int colPo = _BktGetColNum(rows, "po#");
  if (colPo == 0) return pos;
  for (int row : MrLister_Selection(review.lister)) {
    const int32_t po = _ColGetInt(rows, row, colPo);
    if (std::find(pos.begin(), pos.end(), po) == pos.end()) pos.push_back(po);
  }
  return pos;
}

LRESULT ReviewDlgProc(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam) {
  switch (msg) {
    case WM_INITDIALOG:
      MucTools_ReplaceSysMenu(hwnd);
      return TRUE;
    case kMrQueryCode:
      // A search or refresh reads the items again: clmRev each time, as
      // every list asks its privilege. Non-zero stops the code (told).
      if (wParam == kMrSearch || wParam == kMrRefresh)
        return AcqSecurity::CheckPrivilege(AcqSecurity::clmRev) ? FALSE : TRUE;
      break;
    case WM_DESTROY:
      if (review.hwnd == hwnd) review = ReviewWindow{};
      break;
    default:
      break;
  }
  return _Win32_DefDlgProc(hwnd, msg, wParam, lParam);
}

}  // namespace

bool ResetClaimDates(int32_t po, const std::vector<int16_t>& lines) {
  DbMsg msg;
  int32_t vendor = 0;
  if (!AcqDbGen::GetPoVendor(msg, po, vendor)) return false;   // reported
  ClaimSettings settings;
  if (!ReadClaimSettings(vendor, settings)) return false;
  if (settings.maxClaims <= 0) return true;
  std::string sql = "update po_line_item set next_claim_date=";
  sql += settings.delay < 0 ? "null" : "order_date+" + std::to_string(settings.delay);
  sql += " where po#=" + std::to_string(po) +
         " and order_date is not null and receive_date is null and cancel_date is null";
  if (!lines.empty()) {
    sql += " and line in(";
    for (size_t n = 0; n < lines.size(); ++n)
      sql += (n ? "," : "") + std::to_string(lines[n]);
    sql += ")";
  }
  int32_t none = 0;
  const DbCode code = AcqDb::ExecSP(msg, &none, sizeof none, "", sql);
  if (code == kDbOk) return true;
  HandleDbError(msg, code);
  return false;
}

void OpenClaimsReview() {
  if (review.hwnd != nullptr) {
    MucTools_SetCurrKtView(review.hwnd);
    return;
  }
  MucTools_HourGlass(true);
  HENVIR envir = MrProc_NewEnvir(AcqDbGlobal::Session(), kEnvir);
  HLISTER lister = MrLister_MrListerUserInst(envir, kReviewView, &ReviewDlgProc,
                                             PwMucBase_hwndClient, DueCondition(), "");
  if (lister == nullptr) {
    MrProc_FreeEnvir(&envir);   // no window took it
  } else {
    review = ReviewWindow{lister, MrLister_Hwnd(lister)};
    if (!MrLister_MrListerBegin(lister, MucTools_BuildSizeKey(kReviewView)))
      DestroyWindow(review.hwnd);   // WM_DESTROY forgets it
  }
  MucTools_HourGlass(false);
}

bool IsClaimsReviewWindow(HWND hwnd) { return hwnd != nullptr && hwnd == review.hwnd; }

bool LoadDuePos(std::vector<int32_t>& pos) {
  pos.clear();
  DbMsg msg;
  std::vector<BktHandle> sets;
  const DbCode code = AcqDbGen::GetClaimsReview(msg, sets);
  bool ok = code == kDbOk;
  if (!ok) HandleDbError(msg, code);
  if (ok && !sets.empty()) {
    const int colPo = _BktGetColNum(sets[0], "po#");
    for (int row = 1; colPo != 0 && row <= _BktCountAll(sets[0]); ++row) {
      const int32_t po = _ColGetInt(sets[0], row, colPo);
      if (std::find(pos.begin(), pos.end(), po) == pos.end()) pos.push_back(po);
    }
  }
  for (BktHandle& set : sets) _BktDestroy(&set);
  return ok;
}

int PrintClaims(HWND owner) {
  std::vector<int32_t> pos;
  if (IsClaimsReviewWindow(KtWin_GetTopKtWnd())) pos = SelectedPos();
  if (pos.empty() && !LoadDuePos(pos)) return 0;
  if (pos.empty()) {
    Tell(kMsgNoClaimsDue);
    return 0;
  }
  const int printed = AcqPPrint::PrintPos(owner, pos, AcqPPrint::Form::Claim);
  if (printed > 0) ReloadReview();
  return printed;
}

void Initialize() { review = ReviewWindow{}; }

void Terminate() { review = ReviewWindow{}; }

}  // namespace acq::AcqClaim

ACQ_UNIT_BODY(AcqClaim)
