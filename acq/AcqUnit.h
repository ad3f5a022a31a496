// The life-cycle every unit of the module shares. A unit's body runs once
// when the library is loaded: it links the unit's termination procedure into
// the run-time's chain (keeping the previous head, which that procedure puts
// back) and registers the unit's Initialize/Terminate pair with the host.
// The host calls the pair; the module never does.
#pragma once

#include "host/sys/RunTime.h"

namespace acq::unit {

// Runs a unit body: trace, link `termProc` (saving the old head in *saved),
// and register `init`/`term` when given (two units register none).
void RunBody(const char* unit, UnitProc* saved, UnitProc termProc, UnitProc init,
             UnitProc term);
// What a unit's termination procedure does: trace, re-install the saved head.
void RunTermProc(const char* unit, UnitProc saved);
// Traces the host's call of a unit's Initialize or Terminate.
void TraceCall(const char* what, const char* unit);

}  // namespace acq::unit

// Defines, in namespace acq::<Unit>, the unit's body `Body()` and its
// termination procedure, registering the unit's own Initialize/Terminate.
#define ACQ_UNIT_BODY(Unit)                                                     \
  namespace acq::Unit {                                                         \
  namespace {                                                                   \
  UnitProc savedTermHead = nullptr;                                             \
  void TermProc() { ::acq::unit::RunTermProc(#Unit, savedTermHead); }           \
  void TracedInitialize() { ::acq::unit::TraceCall("Initialize", #Unit); Initialize(); } \
  void TracedTerminate() { ::acq::unit::TraceCall("Terminate", #Unit); Terminate(); }    \
  }                                                                             \
  void Body() {                                                                 \
    ::acq::unit::RunBody(#Unit, &savedTermHead, &TermProc, &TracedInitialize,   \
                         &TracedTerminate);                                     \
  }                                                                             \
  }

// A unit with nothing to set up yet: empty Initialize/Terminate and its body.
#define ACQ_UNIT_EMPTY(Unit)                 \
  namespace acq::Unit {                      \
  void Initialize() {}                       \
  void Terminate() {}                        \
  }                                          \
  ACQ_UNIT_BODY(Unit)
