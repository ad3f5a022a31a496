#include "host/serve/Serve.h"

#include <cstdio>

int RunServer(const Options&) {
  std::fprintf(stderr, "acq serve: not built yet\n");
  return kExitFailed;
}
