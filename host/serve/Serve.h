// `acq serve`: the web server of the browser client.
#pragma once

#include "host/frame/Options.h"

// Serves until SIGINT or SIGTERM; the exit status of `acq serve`.
int RunServer(const Options& options);
