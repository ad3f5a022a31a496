// AcqProrate: the proration of a statement's extra charges over its lines,
// its undo, and the prorated charges of one line.
#pragma once

#include <cstdint>
#include <span>
#include <string>
#include <vector>

#include "acq/statement/AcqProrateMath.h"
#include "host/win32/Win32.h"

namespace acq::AcqProrate {

// The proration options dialog for the statement window `hwnd` (command 231).
void Prorate(HWND statementWindow);
// The undo dialog: the person picks the prorated charge types to take back.
void UndoProration(HWND statementWindow);
// The prorated extra charges of the one selected line (command 179).
void ListLineCharges(HWND statementWindow);

// Without prompts of its own (fund control still asks through its bust
// handler): prorates the extra charges of `types` of `statement` over the
// rows of `lines` that `choice` takes, in batches of one transaction each.
// True when at least one batch was committed.
bool ProrateExtraCharges(int32_t statement, std::span<const AcqProrateMath::StatementLine> lines,
                         AcqProrateMath::LineChoice choice, AcqProrateMath::Method method,
                         const std::vector<std::string>& types);
// Takes back the prorated rows of `types` of `statement` in one
// transaction; false (after the message 250, 251 or 304, or the database's
// error) when nothing was undone.
bool UndoProratedCharges(int32_t statement, const std::vector<std::string>& types);

void Initialize();
void Terminate();

}  // namespace acq::AcqProrate
