// A CUPS scheduler of a test's own: cupsd in the foreground on a free
// loopback port, with its configuration, spool, cache, state and logs in a
// temporary folder, so that nothing of the machine's printing system is
// read or changed. Stopped, and its folder removed, with the holder.
#pragma once

#include <sys/types.h>

#include <string>
#include <vector>

namespace cups_test {

class CupsScheduler {
 public:
  // The scheduler program, "" when it is not installed.
  static std::string Program();

  CupsScheduler() = default;
  ~CupsScheduler();
  CupsScheduler(const CupsScheduler&) = delete;
  CupsScheduler& operator=(const CupsScheduler&) = delete;

  // Starts the scheduler and waits (at most a minute) until it answers.
  // False with the reason, and its error log, in `error`.
  bool Start(std::string* error);
  // "127.0.0.1:PORT", the value for CUPS_SERVER.
  std::string Server() const;
  // The temporary folder everything of this scheduler lives in.
  const std::string& Dir() const { return dir_; }
  // The scheduler's error log so far.
  std::string ErrorLog() const;

  // Adds the queue `name` whose device is the file `path` and whose driver
  // passes PDF through unchanged, enabled;
  // accepting jobs or not as `accepting` says.
  bool AddFileQueue(const std::string& name, const std::string& path, bool accepting,
                    std::string* error);
  bool SetDefault(const std::string& name, std::string* error);

  struct Job {
    int id = 0;
    int state = 0;      // ipp_jstate_t: 3 pending ... 9 completed
    int copies = 0;     // 0 when the job has none
    std::string name;
  };
  // Every job the scheduler knows, finished or not, of every queue.
  bool Jobs(std::vector<Job>* jobs, std::string* error);

 private:
  void Stop();

  std::string dir_;
  int port_ = 0;
  pid_t pid_ = -1;
};

}  // namespace cups_test
