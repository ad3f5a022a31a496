// AcqDbStat: usage-statistics events of PO activities, through the host's
// statistics service on the module's session.
#include "acq/po/AcqDbStat.h"

#include "acq/AcqUnit.h"
#include "acq/db/AcqDbExcept.h"
#include "acq/db/AcqDbGlobal.h"
#include "host/db/PwDb.h"

namespace acq::AcqDbStat {

bool LogStat(std::string_view eventCode, Dec64 value, int32_t key) {
  DbMsg msg;
  const DbCode code =
      DbStat_LogStat(AcqDbGlobal::Session(), kAcqStatClass, eventCode, value, key, msg);
  if (code == kDbOk) return true;
  AcqDbExcept::HandleDbError(msg, code);
  return false;
}

// Nothing is kept between events.
void Initialize() {}
void Terminate() {}

}  // namespace acq::AcqDbStat

ACQ_UNIT_BODY(AcqDbStat)
