// What `acq serve` runs with: the command line's options, else the
// workstation file's [Serve] section, else the defaults.
#pragma once

#include <string>
#include <vector>

#include "host/frame/Options.h"

namespace acqserve {

struct ServeConfig {
  std::string listen = "127.0.0.1";   // address to listen on
  int port = 8080;                    // 0: any free port
  std::string tlsCert;                // both set: HTTPS and WSS only
  std::string tlsKey;
  int idleSeconds = 30 * 60;          // no message from the page this long ends a session
  int warnSeconds = 60;               // the idle notice comes this long before
  int graceSeconds = 30;              // a session waits this long for a new WebSocket
  std::string location;               // shown to the page; "" when the frame picks its own
  // The frame's arguments after the executable: run --ui-fd 3 [--db ABS] ...
  std::vector<std::string> frameArgs;

  bool Tls() const { return !tlsCert.empty(); }
};

// Fills `out` from `options`, the workstation file and the defaults. False
// with `error` (one line, for "acq serve: <error>") when a value of the
// workstation file is not usable; the server then does not start.
bool Serve_LoadConfig(const Options& options, ServeConfig& out, std::string& error);

// "30 minutes", "1 minute", "45 seconds": how long, as a person reads it.
std::string Serve_Duration(int seconds);

}  // namespace acqserve
