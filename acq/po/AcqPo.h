// AcqPo: the PO header and line editors.
#pragma once

#include <cstdint>
#include <string>

namespace acq::AcqPo {

// Opens PO `po` (its number `number` for captions) in the PO window.
void OpenPo(int32_t po, const std::string& number);

}  // namespace acq::AcqPo
