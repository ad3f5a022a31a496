// AcqDbPrereq: loads, in one pass at start-up, what the module must know of
// the site and of the user's rights: the privilege numbers of the secured
// program features, the acquisitions parameters, the money precision, the
// item barcode and inventory-number shapes, the MARC map and usage rows and
// the budget-restriction rows.
#pragma once

namespace acq::AcqDbPrereq {

// The message of the string table shown when the secured program features
// in the database are not those this program expects.
constexpr int kFeatureMismatchMsg = 214;

// The whole start-up load. The first failure goes to HandleDbError and the
// result is false; `mismatchMessage` is the string shown (as code 2) when a
// program's features do not match.
bool LoadPrerequisites(int mismatchMessage);
// Logs out and frees what the load kept.
void FreePrerequisites();
// Reads the site's acquisitions parameters again (after the parameters
// editor saved them), by the start-up's rule: the values of the single row
// of acq_parameter, the defaults when it holds none or several. A failure
// is shown through HandleDbError and the module's copy stays as it was.
bool ReloadParameters();

}  // namespace acq::AcqDbPrereq
