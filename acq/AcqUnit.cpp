// Unit life-cycle helpers shared by every unit body.
#include "acq/AcqUnit.h"

#include <string>

namespace acq::unit {

void RunBody(const char* unit, UnitProc* saved, UnitProc termProc, UnitProc init,
             UnitProc term) {
  if (Lib_TraceOn()) Lib_Trace(std::string("body ") + unit);
  *saved = Lib_SwapTermChainHead(termProc);
  if (init != nullptr) _RegisterInitializeTerminate(init, term, 1);
}

void RunTermProc(const char* unit, UnitProc saved) {
  if (Lib_TraceOn()) Lib_Trace(std::string("termination ") + unit);
  Lib_SwapTermChainHead(saved);
}

void TraceCall(const char* what, const char* unit) {
  if (Lib_TraceOn()) Lib_Trace(std::string(what) + " " + unit);
}

}  // namespace acq::unit
