#include "host/serve/Child.h"

#include <fcntl.h>
#include <signal.h>
#include <spawn.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <climits>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <system_error>

extern char** environ;

namespace acqserve {
namespace {

std::string Errno(const char* what) { return std::string(what) + ": " + std::strerror(errno); }

// Closes a descriptor at the end of the scope unless released.
class FdHold {
 public:
  explicit FdHold(int fd) : fd_(fd) {}
  ~FdHold() {
    if (fd_ >= 0) close(fd_);
  }
  FdHold(const FdHold&) = delete;
  FdHold& operator=(const FdHold&) = delete;
  int Get() const { return fd_; }
  int Release() {
    const int fd = fd_;
    fd_ = -1;
    return fd;
  }

 private:
  int fd_;
};

class SpawnSetup {
 public:
  SpawnSetup() {
    posix_spawn_file_actions_init(&actions);
    posix_spawnattr_init(&attr);
  }
  ~SpawnSetup() {
    posix_spawn_file_actions_destroy(&actions);
    posix_spawnattr_destroy(&attr);
  }
  SpawnSetup(const SpawnSetup&) = delete;
  SpawnSetup& operator=(const SpawnSetup&) = delete;
  posix_spawn_file_actions_t actions;
  posix_spawnattr_t attr;
};

}  // namespace

bool Child_MakeRunFolder(std::string& dir, std::string& error) {
  const char* tmp = std::getenv("TMPDIR");
  std::string pattern = std::string(tmp != nullptr && *tmp != '\0' ? tmp : "/tmp") + "/acq-serve-XXXXXX";
  if (mkdtemp(pattern.data()) == nullptr) {
    error = Errno(("cannot make a folder " + pattern).c_str());
    return false;
  }
  char real[PATH_MAX];
  dir = realpath(pattern.c_str(), real) != nullptr ? real : pattern;
  return true;
}

bool Child_MakeSessionFolder(const std::string& parent, int number, std::string& dir,
                             std::string& error) {
  dir = parent + "/session-" + std::to_string(number);
  if (mkdir(dir.c_str(), 0700) != 0) {
    error = Errno(("cannot make the folder " + dir).c_str());
    return false;
  }
  return true;
}

void Child_RemoveTree(const std::string& dir) {
  if (dir.empty()) return;
  std::error_code ec;
  std::filesystem::remove_all(dir, ec);   // removes links themselves, never their targets
}

bool Child_Spawn(const std::vector<std::string>& args, const std::string& sessionDir, pid_t& pid,
                 int& fd, std::string& error) {
  int pair[2];
  if (socketpair(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0, pair) != 0) {
    error = Errno("cannot make a socket pair");
    return false;
  }
  FdHold mine(pair[0]);
  // The child's end away from 3, so that dup2 onto 3 really makes a copy
  // without close-on-exec.
  FdHold theirs(fcntl(pair[1], F_DUPFD_CLOEXEC, 10));
  close(pair[1]);
  if (theirs.Get() < 0) {
    error = Errno("cannot copy a descriptor");
    return false;
  }

  SpawnSetup setup;
  posix_spawn_file_actions_adddup2(&setup.actions, theirs.Get(), 3);
  posix_spawn_file_actions_addopen(&setup.actions, 0, "/dev/null", O_RDONLY, 0);
  // Listening and client sockets of the server are not the frame's business.
  posix_spawn_file_actions_addclosefrom_np(&setup.actions, 4);
  sigset_t all, none;
  sigfillset(&all);
  sigemptyset(&none);
  posix_spawnattr_setsigdefault(&setup.attr, &all);   // SIGPIPE is ignored here, not there
  posix_spawnattr_setsigmask(&setup.attr, &none);
  posix_spawnattr_setflags(&setup.attr, POSIX_SPAWN_SETSIGDEF | POSIX_SPAWN_SETSIGMASK);

  char self[PATH_MAX];
  const ssize_t n = readlink("/proc/self/exe", self, sizeof self - 1);
  const std::string argv0 = n > 0 ? std::string(self, size_t(n)) : "acq";
  std::vector<char*> argv;
  argv.push_back(const_cast<char*>(argv0.c_str()));
  for (const std::string& a : args) argv.push_back(const_cast<char*>(a.c_str()));
  argv.push_back(nullptr);

  const std::string sessionVar = "ACQ_SESSION_DIR=" + sessionDir;
  std::vector<char*> env;
  for (char** e = environ; *e != nullptr; ++e)
    if (std::strncmp(*e, "ACQ_SESSION_DIR=", 16) != 0) env.push_back(*e);
  env.push_back(const_cast<char*>(sessionVar.c_str()));
  env.push_back(nullptr);

  const int rc = posix_spawn(&pid, "/proc/self/exe", &setup.actions, &setup.attr, argv.data(),
                             env.data());
  if (rc != 0) {
    error = std::string("cannot start the frame: ") + std::strerror(rc);
    return false;
  }
  const int flags = fcntl(mine.Get(), F_GETFL);
  fcntl(mine.Get(), F_SETFL, flags | O_NONBLOCK);
  fd = mine.Release();
  return true;
}

std::string Child_EndText(int status) {
  if (WIFSIGNALED(status)) return "signal " + std::to_string(WTERMSIG(status));
  if (WIFEXITED(status)) return "exit status " + std::to_string(WEXITSTATUS(status));
  return "status " + std::to_string(status);
}

std::string Child_FileInside(const std::string& path, const std::string& folder) {
  char real[PATH_MAX];
  if (path.empty() || folder.empty() || realpath(path.c_str(), real) == nullptr) return {};
  const std::string resolved = real;
  if (resolved.size() <= folder.size() + 1 || resolved.compare(0, folder.size(), folder) != 0 ||
      resolved[folder.size()] != '/')
    return {};
  struct stat st;
  if (stat(resolved.c_str(), &st) != 0 || !S_ISREG(st.st_mode)) return {};
  return resolved;
}

}  // namespace acqserve
