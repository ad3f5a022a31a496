// AcqNumWords: amounts in words for cheques. It keeps no state, so its body
// only links a termination procedure and registers no Initialize/Terminate.
#include "acq/AcqUnit.h"

namespace acq::AcqNumWords {
namespace {
UnitProc savedTermHead = nullptr;
void TermProc() { unit::RunTermProc("AcqNumWords", savedTermHead); }
}  // namespace

void Body() { unit::RunBody("AcqNumWords", &savedTermHead, &TermProc, nullptr, nullptr); }

}  // namespace acq::AcqNumWords
