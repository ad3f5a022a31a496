// `acq run`: the client session. Installs the UI driver, loads the module,
// creates the frame and client windows, runs the start-up handshake and the
// message loop with the driver's actions, and shuts everything down in the
// host's order.
#pragma once

#include "host/frame/Options.h"

// Returns the exit status (see Options.h).
int RunClient(const Options& options);
