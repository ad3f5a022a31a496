// `acq init`, `acq upgrade` and `acq user ...`: database administration
// from the command line, without loading the module.
#pragma once

#include "host/frame/Options.h"

// Returns the exit status (see Options.h).
int RunAdminCommand(const Options& options);
