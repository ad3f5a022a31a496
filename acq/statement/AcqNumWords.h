// AcqNumWords: amounts in upper-case English words, for the amount line of
// a printed cheque. Pure functions of their arguments: no state, no host
// calls, safe from any thread.
#pragma once

#include <cstdint>
#include <string>

#include "host/sys/Dec64.h"

namespace acq::AcqNumWords {

// The unit's body: links its termination procedure only.
void Body();

// A whole number in words, e.g. 1101 -> "ONE THOUSAND ONE HUNDRED ONE",
// 0 -> "ZERO". Covers the whole unsigned 64-bit range (up to EIGHTEEN
// QUINTILLION ...).
std::string NumberInWords(uint64_t n);

// A money amount in words as it is printed on a cheque:
//   1234.5  -> "ONE THOUSAND TWO HUNDRED THIRTY-FOUR DOLLARS AND FIFTY CENTS"
//   -0.05   -> "NEGATIVE ZERO DOLLARS AND FIVE CENTS"
// The amount is first rounded to whole cents, half away from zero (as the
// figures beside it are printed), so words and figures always agree. Every
// Dec64, including the extremes, is accepted; never fails.
std::string AmountInWords(Dec64 amount);

}  // namespace acq::AcqNumWords
