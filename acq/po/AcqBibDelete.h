// AcqBibDelete: deleting the bibliographic records that orders created,
// line by line, once what the catalogue holds for them allows it.
#pragma once

#include <cstdint>
#include <utility>
#include <vector>

namespace acq::AcqBibDelete {

// The bibliographic record action (180) on `lines` (po#, line): asks 258,
// then for each eligible line shows its title and asks whether to remove
// what the line created.
void DeleteBibs(const std::vector<std::pair<int32_t, int16_t>>& lines);

void Initialize();
void Terminate();

}  // namespace acq::AcqBibDelete
