// `acq serve`: the configuration, the folder of the sessions, the server's
// loop, and the one start line on stdout.
#include "host/serve/Serve.h"

#include <signal.h>
#include <sodium.h>

#include <boost/asio/io_context.hpp>
#include <cstdio>
#include <string>

#include "host/serve/Child.h"
#include "host/serve/Config.h"
#include "host/serve/Server.h"

namespace {

// Removes the run's folder whichever way RunServer returns.
class FolderHold {
 public:
  explicit FolderHold(std::string dir) : dir_(std::move(dir)) {}
  ~FolderHold() { acqserve::Child_RemoveTree(dir_); }
  FolderHold(const FolderHold&) = delete;
  FolderHold& operator=(const FolderHold&) = delete;

 private:
  std::string dir_;
};

int Fail(const std::string& error) {
  std::fprintf(stderr, "acq serve: %s\n", error.c_str());
  return kExitStartup;
}

// The address a browser opens: a wildcard address is this machine.
std::string ShownHost(const std::string& listen) {
  if (listen == "0.0.0.0") return "127.0.0.1";
  if (listen == "::") return "[::1]";
  if (listen.find(':') != std::string::npos) return "[" + listen + "]";
  return listen;
}

}  // namespace

int RunServer(const Options& options) {
  using namespace acqserve;
  ServeConfig config;
  std::string error;
  if (!Serve_LoadConfig(options, config, error)) return Fail(error);
  if (sodium_init() < 0) return Fail("cannot start the random number generator");
  // A page or frame that went away shows as a write error, never a signal.
  signal(SIGPIPE, SIG_IGN);

  std::string runFolder;
  if (!Child_MakeRunFolder(runFolder, error)) return Fail(error);
  FolderHold holdFolder(runFolder);

  boost::asio::io_context io(1);
  Server server(io, config, runFolder);
  if (!server.Open(error)) return Fail(error);
  server.Start();
  std::printf("acq serve: open %s://%s:%d/ in a browser\n", config.Tls() ? "https" : "http",
              ShownHost(config.listen).c_str(), server.Port());
  std::fflush(stdout);
  io.run();
  return kExitOk;
}
