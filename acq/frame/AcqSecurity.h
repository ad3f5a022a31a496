// AcqSecurity: checks the current user's privileges for the secured program
// features of the programs `acq` and `acqman`.
#pragma once

namespace acq::AcqSecurity {

// Positions in the privilege table of program `acq`.
enum AcqPrivilege : int {
  buClose, buFroze, buOrLim, buSpLim, coOrLim, coSpLim, poHead, poFind, poOpen, poEdit,
  poBReq, poBudSp, poChApp, poApprv, poRec, poCan, poBOrd, poRenew, poSetRw, poUnApp,
  poUnRC, poUnRD, poCCopy, poCItem, poCAtt, poDelBi, poPross, poDraft, poUndo, poDel,
  poChLin, poChQty, stHead, stFind, stInv, stUndo, stApprv, stChApp, stUnApp, vFind,
  vPrint, vVoid, prEdit, prFind, prDel, clmPrt, clmRev, isbDup, issDup, zCheque,
};
// Positions in the privilege table of program `acqman`.
enum AcqManPrivilege : int {
  acEdit, acFind, acDel, apEdit, reasBud, rptBSR, rptTB, rptTV, tranUns, viewBHR, useBHM, modBHM,
};

// The keys as stored in program_feature, by position.
extern const char* const kAcqFeatureKeys[50];
extern const char* const kAcqManFeatureKeys[12];

// Whether the user holds the privilege; the prompting forms let another user
// authorise through the host's security prompt.
bool CheckPrivilege(AcqPrivilege position);
bool CheckPrivilegeNoPrompt(AcqPrivilege position);
bool CheckManPrivilege(AcqManPrivilege position);
bool CheckManPrivilegeNoPrompt(AcqManPrivilege position);

// The records a find or list window shows.
enum class Records { Pos, Statements };
// Whether framework code `code` may run on a find or list window of
// `records`, asked with prompt each time: a search or refresh reads what
// the window's find privilege guards (poFind, stFind: statements carry
// amounts); edit, new and delete need the family's (poEdit, poHead, poDel;
// stHead). Codes that only move the selection need nothing.
bool MayRunListCode(Records records, int code);

}  // namespace acq::AcqSecurity
