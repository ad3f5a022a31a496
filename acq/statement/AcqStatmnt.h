// AcqStatmnt: vendor statements: entry, balance and approval.
#pragma once

#include <cstdint>
#include <string>

namespace acq::AcqStatmnt {

// Opens statement `statement` (its number `number` for captions).
void OpenStatement(int32_t statement, const std::string& number);

}  // namespace acq::AcqStatmnt
