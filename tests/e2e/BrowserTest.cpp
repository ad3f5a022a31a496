// The browser client end to end: `acq serve` on a fresh demo library of
// the engine the suite runs on, and a scenario of tests/browser driven in
// headless Chromium by node. Each scenario prints what it did; a failing
// one prints its step, and leaves screenshots in the build's
// browser-artifacts folder.
#include <fcntl.h>
#include <gtest/gtest.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdio>
#include <fstream>
#include <sstream>
#include <string>

#include "FrameRun.h"
#include "QueryDb.h"

namespace {

namespace fs = std::filesystem;

std::string ReadAll(const fs::path& path) {
  std::ifstream in(path, std::ios::binary);
  std::stringstream s;
  s << in.rdbuf();
  return s.str();
}

// `acq serve` on the workspace's library, on a free port of the loopback.
class Server {
 public:
  explicit Server(const e2e::Workspace& ws) : err_(ws.Dir() / "serve-stderr.txt") {
    int out[2];
    if (pipe(out) != 0) return;
    pid_ = fork();
    if (pid_ == 0) {
      setenv("ACQ_WORKSTATION", (ws.Dir() / "workstation.ini").c_str(), 1);
      const int in = open("/dev/null", O_RDONLY);
      const int e = open(err_.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
      dup2(in, 0);
      dup2(out[1], 1);
      dup2(e, 2);
      close(out[0]);
      execl(ACQ_BIN_DIR "/acq", "acq", "serve", "--db", ws.Db().c_str(), "--port", "0",
            "--grace-seconds", "5", static_cast<char*>(nullptr));
      _exit(127);
    }
    close(out[1]);
    // "acq serve: open http://127.0.0.1:PORT/ in a browser"
    FILE* lines = fdopen(out[0], "r");
    char line[512];
    if (lines && std::fgets(line, sizeof line, lines)) {
      const std::string text = line;
      const size_t at = text.find("http");
      if (at != std::string::npos) url_ = text.substr(at, text.find(' ', at) - at);
    }
    if (lines) std::fclose(lines);
  }
  ~Server() {
    if (pid_ <= 0) return;
    kill(pid_, SIGTERM);
    int status = 0;
    waitpid(pid_, &status, 0);
    const std::string err = ReadAll(err_);
    if (err.find("ERROR: AddressSanitizer") != std::string::npos ||
        err.find("ERROR: LeakSanitizer") != std::string::npos ||
        err.find(": runtime error: ") != std::string::npos)
      ADD_FAILURE() << "acq serve (or a session) reported a sanitizer error:\n" << err;
  }
  Server(const Server&) = delete;
  Server& operator=(const Server&) = delete;

  const std::string& url() const { return url_; }
  std::string log() const { return ReadAll(err_); }

 private:
  fs::path err_;
  pid_t pid_ = -1;
  std::string url_;
};

struct NodeRun {
  int exitCode = -1;
  std::string out;
};

// Runs tests/browser/<scenario>.e2e.mjs against `url`.
NodeRun RunScenario(const std::string& scenario, const std::string& url, const fs::path& dir) {
  const fs::path script = fs::path(ACQ_SOURCE_DIR) / "tests/browser" / (scenario + ".e2e.mjs");
  const fs::path artifacts = fs::path(ACQ_BIN_DIR).parent_path() / "browser-artifacts";
  fs::create_directories(artifacts);
  const fs::path out = dir / ("node-" + scenario + ".txt");
  const pid_t child = fork();
  if (child == 0) {
    setenv("ACQ_URL", url.c_str(), 1);
    setenv("ACQ_ARTIFACTS_DIR", artifacts.c_str(), 1);
    const int o = open(out.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
    dup2(o, 1);
    dup2(o, 2);
    alarm(240);   // a hung browser ends the test instead of the test run
    execlp("node", "node", script.c_str(), static_cast<char*>(nullptr));
    _exit(127);
  }
  int status = 0;
  waitpid(child, &status, 0);
  NodeRun r;
  r.exitCode = WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
  r.out = ReadAll(out);
  return r;
}

struct Scenario {
  const char* name;
  const char* setupSql;   // run on the library before the server starts ("" none)
};

class Browser : public testing::TestWithParam<Scenario> {};

TEST_P(Browser, Scenario) {
  const Scenario& s = GetParam();
  ASSERT_TRUE(fs::exists(fs::path(ACQ_SOURCE_DIR) / "tests/browser/node_modules/playwright-core"))
      << "playwright-core is not installed: run scripts/install-deps.sh";
  e2e::Workspace ws;
  if (*s.setupSql) ws.Exec(s.setupSql);
  Server server(ws);
  ASSERT_FALSE(server.url().empty()) << "acq serve did not start:\n" << server.log();
  const NodeRun r = RunScenario(s.name, server.url(), ws.Dir());
  EXPECT_EQ(r.exitCode, 0) << r.out << "\n--- acq serve:\n" << server.log();
}

const Scenario kScenarios[] = {
    {"login", ""},
};

INSTANTIATE_TEST_SUITE_P(Client, Browser, testing::ValuesIn(kScenarios),
                         [](const testing::TestParamInfo<Scenario>& info) {
                           return std::string(info.param.name);
                         });

}  // namespace
