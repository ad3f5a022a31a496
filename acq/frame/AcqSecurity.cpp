// AcqSecurity: privilege checks against the current user.
#include "acq/frame/AcqSecurity.h"

#include "acq/AcqUnit.h"
#include "acq/db/AcqDbGlobal.h"
#include "host/mr/MrFramework.h"
#include "host/mr/PwMr.h"
#include "host/muc/MucTools.h"

namespace acq::AcqSecurity {

const char* const kAcqFeatureKeys[50] = {
    "buClose", "buFroze", "buOrLim", "buSpLim", "coOrLim", "coSpLim", "poHead",  "poFind",
    "poOpen",  "poEdit",  "poBReq",  "poBudSp", "poChApp", "poApprv", "poRec",   "poCan",
    "poBOrd",  "poRenew", "poSetRw", "poUnApp", "poUnRC",  "poUnRD",  "poCCopy", "poCItem",
    "poCAtt",  "poDelBi", "poPross", "poDraft", "poUndo",  "poDel",   "poChLin", "poChQty",
    "stHead",  "stFind",  "stInv",   "stUndo",  "stApprv", "stChApp", "stUnApp", "vFind",
    "vPrint",  "vVoid",   "prEdit",  "prFind",  "prDel",   "clmPrt",  "clmRev",  "isbDup",
    "issDup",  "zCheque",
};
const char* const kAcqManFeatureKeys[12] = {
    "acEdit", "acFind", "acDel", "apEdit", "reasBud", "rptBSR",
    "rptTB",  "rptTV",  "tranUns", "viewBHR", "useBHM", "modBHM",
};

namespace {

// Constants the host's prompt takes: ask once, and let another user
// authorise.
constexpr int kPromptOnce = 0;
constexpr int kPromptOtherUser = 2;

bool Check(int32_t privilege) {
  return MrKeyStr_CheckSecurityUser(privilege, kPromptOnce, kPromptOtherUser,
                                    AcqDbGlobal::Session(), PwMucBase_hwndClient);
}

bool CheckNoPrompt(int32_t privilege) {
  return MrKeyStr_CheckSecurityUserNoPrompt(privilege, AcqDbGlobal::Session());
}

}  // namespace

bool CheckPrivilege(AcqPrivilege position) {
  return Check(AcqDbGlobal::Globals().acqPrivileges[position]);
}
bool CheckPrivilegeNoPrompt(AcqPrivilege position) {
  return CheckNoPrompt(AcqDbGlobal::Globals().acqPrivileges[position]);
}
bool CheckManPrivilege(AcqManPrivilege position) {
  return Check(AcqDbGlobal::Globals().acqmanPrivileges[position]);
}
bool CheckManPrivilegeNoPrompt(AcqManPrivilege position) {
  return CheckNoPrompt(AcqDbGlobal::Globals().acqmanPrivileges[position]);
}

bool MayRunListCode(Records records, int code) {
  const bool pos = records == Records::Pos;
  switch (code) {
    case kMrSearch:
    case kMrRefresh:
      return CheckPrivilege(pos ? poFind : stFind);
    case kMrEdit:
      return CheckPrivilege(pos ? poEdit : stHead);
    case kMrNew:
    case kMrCopy:
      return CheckPrivilege(pos ? poHead : stHead);
    case kMrDelete:
      return CheckPrivilege(pos ? poDel : stHead);
    default:
      return true;
  }
}

}  // namespace acq::AcqSecurity

ACQ_UNIT_EMPTY(AcqSecurity)
