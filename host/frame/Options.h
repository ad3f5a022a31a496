// The command line of `acq`: which command, and its options.
#pragma once

#include <string>
#include <vector>

// Exit statuses of `acq`.
enum : int {
  kExitOk = 0,
  kExitFailed = 1,     // an admin command failed, or the script failed
  kExitStartup = 2,    // the module's start-up failed
  kExitLoad = 3,       // the module could not be loaded or refused the host
  kExitUsage = 64,     // a usage error (EX_USAGE)
};

// The workstation's location when neither --location nor the workstation
// file names one.
constexpr const char* kDefaultLocation = "MAIN";

enum class FrameCommand {
  Run, Serve, Help, Init, Upgrade, UserAdd, UserPasswd, UserGrant, UserRevoke, UserList,
};

struct Options {
  FrameCommand command = FrameCommand::Run;
  std::vector<std::string> args;  // user name, then feature keys
  std::string db;                 // --db PATH or URI
  std::string server;             // --server NAME
  std::string user;
  std::string location;
  std::string script;
  std::string transcript;
  bool transcriptGiven = false;
  std::string module;
  std::string hostVersion;
  std::string fullName;
  bool demo = false;
  bool passwordStdin = false;
  bool trace = false;
  // run: the browser driver on this inherited socket (a session of `acq serve`); -1 none.
  int uiFd = -1;
  // serve: each empty (or -1) when not given; the workstation's [Serve] section or the
  // defaults fill it in.
  std::string listen;
  int port = -1;
  std::string tlsCert;
  std::string tlsKey;
  int idleMinutes = -1;
  int graceSeconds = -1;
};

// False with `error` (for "acq: <error>") on a usage error.
bool ParseOptions(int argc, char** argv, Options& out, std::string& error);
const char* UsageText();
