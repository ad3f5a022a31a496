// Helpers for tests and benchmarks spread over real processes: a gate the children wait
// at so they start together, forking a child that runs a body and exits with
// its result, and waiting for a child without ever hanging the test.
#pragma once

#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <thread>

namespace testproc {

// Children wait at the gate until the parent opens it.
class Gate {
 public:
  Gate() { (void)!pipe(fds_); }
  ~Gate() { close(fds_[0]); close(fds_[1]); }
  Gate(const Gate&) = delete;
  Gate& operator=(const Gate&) = delete;
  void Wait() const { char c; (void)!read(fds_[0], &c, 1); }
  void Open(int children) const {
    for (int i = 0; i < children; ++i) (void)!write(fds_[1], "g", 1);
  }

 private:
  int fds_[2] = {-1, -1};
};

// Forks a child that runs `body` and exits with its result (0 for success).
template <typename F>
pid_t Spawn(F body) {
  pid_t pid = fork();
  if (pid == 0) _exit(body());
  return pid;
}

// Exit status of `pid`; -1 when it crashed or had to be killed after
// `seconds` (a hang is a failure, never a stuck test).
inline int WaitFor(pid_t pid, int seconds) {
  using Clock = std::chrono::steady_clock;
  const auto deadline = Clock::now() + std::chrono::seconds(seconds);
  int status = 0;
  while (waitpid(pid, &status, WNOHANG) == 0) {
    if (Clock::now() > deadline) {
      kill(pid, SIGKILL);
      waitpid(pid, &status, 0);
      return -1;
    }
    std::this_thread::sleep_for(std::chrono::milliseconds(20));
  }
  return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
}

}  // namespace testproc
