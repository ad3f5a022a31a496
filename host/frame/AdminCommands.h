// `acq init`, `acq upgrade` and `acq user ...`: database administration
// from the command line, without loading the module.
#pragma once

#include <string_view>

#include "host/frame/Options.h"

// Returns the exit status (see Options.h).
int RunAdminCommand(const Options& options);

// When the database `target` is a server URI with a password written in it,
// says on standard error that passwords belong in libpq's password file
// (the URI still works).
void WarnOfPasswordInTarget(std::string_view target);
