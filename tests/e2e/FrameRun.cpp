#include "FrameRun.h"

#include <fcntl.h>
#include <gtest/gtest.h>
#include <sys/wait.h>
#include <unistd.h>

#include <fstream>
#include <sstream>

namespace e2e {
namespace fs = std::filesystem;

std::string ReadFile(const fs::path& path) {
  std::ifstream in(path, std::ios::binary);
  std::stringstream s;
  s << in.rdbuf();
  return s.str();
}

bool HasSanitizerReport(const std::string& err) {
  return err.find("ERROR: AddressSanitizer") != std::string::npos ||
         err.find("ERROR: LeakSanitizer") != std::string::npos ||
         err.find(": runtime error: ") != std::string::npos;
}

Workspace::Workspace() : dir_(lib_.Dir()) {}

Workspace::~Workspace() = default;

void Workspace::Exec(const std::string& sql) const {
  const std::string error = lib_.Exec(sql);
  EXPECT_EQ(error, "") << sql;
}

RunResult Workspace::Run(const std::vector<std::string>& args, const std::string& script) const {
  const fs::path out = dir_ / "stdout.txt", err = dir_ / "stderr.txt";
  const fs::path transcript = dir_ / "transcript.txt", trace = dir_ / "trace.txt";
  const fs::path scriptFile = dir_ / "run.acqs";
  fs::remove(transcript);
  fs::remove(trace);
  std::vector<std::string> argv = {ACQ_BIN_DIR "/acq"};
  argv.insert(argv.end(), args.begin(), args.end());
  if (!script.empty()) {
    std::ofstream(scriptFile) << script;
    argv.insert(argv.end(), {"--script", scriptFile.string(), "--transcript", transcript.string()});
  }
  const pid_t child = fork();
  if (child == 0) {
    setenv("ACQ_WORKSTATION", (dir_ / "workstation.ini").c_str(), 1);
    setenv("ACQ_TRACE", trace.c_str(), 1);
    unsetenv("ACQ_PASSWORD");
    const int in = open("/dev/null", O_RDONLY);
    const int o = open(out.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
    const int e = open(err.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
    dup2(in, 0);
    dup2(o, 1);
    dup2(e, 2);
    std::vector<char*> cargv;
    for (auto& a : argv) cargv.push_back(a.data());
    cargv.push_back(nullptr);
    alarm(60);  // a hung client ends the test instead of the test run
    execv(cargv[0], cargv.data());
    _exit(127);
  }
  int status = 0;
  waitpid(child, &status, 0);
  RunResult r;
  r.exitCode = WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
  r.out = ReadFile(out);
  r.err = ReadFile(err);
  r.transcript = ReadFile(transcript);
  r.trace = ReadFile(trace);
  // In a sanitizer build a report from the client lands in its standard
  // error, which the test would otherwise only see as an odd exit status.
  if (HasSanitizerReport(r.err)) {
    ADD_FAILURE() << "acq reported a sanitizer error:\n" << r.err;
  }
  return r;
}

std::vector<std::string> LinesWithPrefix(const std::string& text, const std::string& prefix) {
  std::vector<std::string> lines;
  std::istringstream in(text);
  for (std::string line; std::getline(in, line);) {
    if (line.rfind(prefix, 0) == 0) lines.push_back(line.substr(prefix.size()));
  }
  return lines;
}

size_t CountOf(const std::string& text, const std::string& needle) {
  size_t n = 0;
  for (size_t at = text.find(needle); at != std::string::npos; at = text.find(needle, at + 1)) ++n;
  return n;
}

}  // namespace e2e
