// acq: the host frame of the acquisitions module, and its database tools.
#include <cstdio>
#include <string>

#include "host/frame/AdminCommands.h"
#include "host/frame/Options.h"
#include "host/frame/Session.h"
#include "host/serve/Serve.h"

int main(int argc, char** argv) {
  Options options;
  std::string error;
  if (!ParseOptions(argc, argv, options, error)) {
    std::fprintf(stderr, "acq: %s\nTry 'acq --help'.\n", error.c_str());
    return kExitUsage;
  }
  switch (options.command) {
    case FrameCommand::Help: std::fputs(UsageText(), stdout); return kExitOk;
    case FrameCommand::Run: return RunClient(options);
    case FrameCommand::Serve: return RunServer(options);
    default: return RunAdminCommand(options);
  }
}
