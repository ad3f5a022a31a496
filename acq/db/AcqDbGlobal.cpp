// AcqDbGlobal: the database session, the privilege tables and the site's
// acquisitions parameters.
#include "acq/db/AcqDbGlobal.h"

#include "acq/AcqUnit.h"

namespace acq::AcqDbGlobal {
namespace {
State state;
}  // namespace

State& Globals() { return state; }

HDb& ThreadSession() {
  thread_local HDb session = nullptr;
  return session;
}

void ResetPrerequisites() {
  state.acqPrivileges.fill(kPrivilegeNotLoaded);
  state.acqmanPrivileges.fill(kPrivilegeNotLoaded);
  state.params = Parameters{};
  state.marcMap.clear();
}

void Initialize() {
  state.session = nullptr;
  state.search = nullptr;
  state.marcUsageBkt = nullptr;
  state.addressPosition = true;
  ResetPrerequisites();
}

// The session and the Buckets are released by the start-up's counterpart
// (FreePrerequisites) at AcqMain's Terminate, which runs before this one.
void Terminate() {}

}  // namespace acq::AcqDbGlobal

ACQ_UNIT_BODY(AcqDbGlobal)
