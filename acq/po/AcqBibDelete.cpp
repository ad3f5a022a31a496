// AcqBibDelete: deleting the bibliographic records that orders created.
#include "acq/po/AcqBibDelete.h"

#include "acq/AcqUnit.h"
#include "acq/frame/AcqGlobal.h"

namespace acq::AcqBibDelete {

void DeleteBibs(const std::vector<std::pair<int32_t, int16_t>>&) {
  AcqGlobal::ShowComingSoon("Bibliographic Record");
}

void Initialize() {}
void Terminate() {}

}  // namespace acq::AcqBibDelete

ACQ_UNIT_BODY(AcqBibDelete)
