#include "CupsScheduler.h"

#include <arpa/inet.h>
#include <cups/cups.h>
#include <fcntl.h>
#include <netinet/in.h>
#include <signal.h>
#include <spawn.h>
#include <stdlib.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <memory>
#include <sstream>
#include <thread>

extern char** environ;

namespace cups_test {
namespace {

namespace fs = std::filesystem;
using Clock = std::chrono::steady_clock;

struct HttpClose { void operator()(http_t* http) const { httpClose(http); } };
struct IppDelete { void operator()(ipp_t* ipp) const { ippDelete(ipp); } };
using Http = std::unique_ptr<http_t, HttpClose>;
using Ipp = std::unique_ptr<ipp_t, IppDelete>;

// A loopback port nobody listens on now. Another process could take it
// before the scheduler does; the scheduler then fails to start and says so.
int FreeLoopbackPort() {
  const int fd = socket(AF_INET, SOCK_STREAM, 0);
  if (fd < 0) return 0;
  sockaddr_in address{};
  address.sin_family = AF_INET;
  address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
  socklen_t length = sizeof address;
  int port = 0;
  if (bind(fd, reinterpret_cast<sockaddr*>(&address), sizeof address) == 0 &&
      getsockname(fd, reinterpret_cast<sockaddr*>(&address), &length) == 0)
    port = ntohs(address.sin_port);
  close(fd);
  return port;
}

bool WriteFile(const fs::path& path, const std::string& text) {
  std::ofstream out(path);
  out << text;
  return static_cast<bool>(out);
}

std::string PrinterUri(const std::string& name) {
  char uri[HTTP_MAX_URI];
  httpAssembleURIf(HTTP_URI_CODING_ALL, uri, sizeof uri, "ipp", nullptr, "localhost", 0,
                   "/printers/%s", name.c_str());
  return uri;
}

}  // namespace

std::string CupsScheduler::Program() {
  for (const char* path : {"/usr/sbin/cupsd", "/usr/local/sbin/cupsd"})
    if (access(path, X_OK) == 0) return path;
  return "";
}

CupsScheduler::~CupsScheduler() { Stop(); }

bool CupsScheduler::Start(std::string* error) {
  auto fail = [&](std::string why) {
    *error = std::move(why);
    return false;
  };
  const std::string program = Program();
  if (program.empty()) return fail("cupsd is not installed");
  char pattern[] = "/tmp/cupsd-test-XXXXXX";
  if (!mkdtemp(pattern)) return fail("cannot make a temporary folder");
  dir_ = pattern;
  // Run as root, the scheduler drops to its own user for the jobs' helpers,
  // who must reach the spool beneath this folder.
  chmod(dir_.c_str(), 0755);
  const fs::path dir(dir_);
  for (const char* sub : {"root", "spool", "spool/tmp", "cache", "state", "log", "bin/filter",
                          "bin/daemon"})
    fs::create_directories(dir / sub);
  // The scheduler's programs: its own helper that starts a job's filters,
  // and one filter, the printer's "driver", that hands the document to the
  // device as it came. (A queue without a driver sends a lone document
  // nowhere when its device is a file.)
  std::error_code linked;
  fs::create_symlink(fs::path(program).parent_path().parent_path() / "lib/cups/daemon/cups-exec",
                     dir / "bin/daemon/cups-exec", linked);
  if (linked) return fail("cannot link the scheduler's cups-exec: " + linked.message());
  const fs::path filter = dir / "bin/filter/passthru";
  if (!WriteFile(filter, "#!/bin/sh\n# job user title copies options [file]\n"
                         "if [ -n \"$6\" ]; then exec cat \"$6\"; else exec cat; fi\n"))
    return fail("cannot write the filter " + filter.string());
  chmod(filter.c_str(), 0755);
  port_ = FreeLoopbackPort();
  if (port_ == 0) return fail("no free loopback port");

  const std::string files =
      "ServerRoot " + dir_ + "/root\n"
      "RequestRoot " + dir_ + "/spool\n"
      "TempDir " + dir_ + "/spool/tmp\n"
      "CacheDir " + dir_ + "/cache\n"
      "StateDir " + dir_ + "/state\n"
      "ErrorLog " + dir_ + "/log/error_log\n"
      "AccessLog " + dir_ + "/log/access_log\n"
      "PageLog " + dir_ + "/log/page_log\n"
      "Printcap " + dir_ + "/printcap\n"
      "ServerBin " + dir_ + "/bin\n"
      "FileDevice Yes\n";
  // Anyone on loopback may do anything, administration included: the
  // scheduler lives only as long as the test.
  const std::string server =
      "Listen 127.0.0.1:" + std::to_string(port_) + "\n"
      "LogLevel debug\n"
      "Browsing No\n"
      "WebInterface No\n"
      "DefaultAuthType None\n"
      "<Location />\n  Order allow,deny\n  Allow from 127.0.0.1\n</Location>\n"
      "<Policy default>\n  <Limit All>\n    Order deny,allow\n  </Limit>\n</Policy>\n";
  const std::string filesConf = dir_ + "/root/cups-files.conf";
  const std::string serverConf = dir_ + "/root/cupsd.conf";
  if (!WriteFile(filesConf, files) || !WriteFile(serverConf, server))
    return fail("cannot write the scheduler's configuration in " + dir_);

  // The scheduler's own output (configuration errors before its log is
  // open) goes to a file beside the log.
  posix_spawn_file_actions_t actions;
  posix_spawn_file_actions_init(&actions);
  const std::string output = dir_ + "/log/output";
  posix_spawn_file_actions_addopen(&actions, 1, output.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
  posix_spawn_file_actions_adddup2(&actions, 1, 2);
  std::vector<std::string> args = {program, "-f", "-c", serverConf, "-s", filesConf};
  std::vector<char*> argv;
  for (std::string& arg : args) argv.push_back(arg.data());
  argv.push_back(nullptr);
  const int spawned = posix_spawn(&pid_, program.c_str(), &actions, nullptr, argv.data(), environ);
  posix_spawn_file_actions_destroy(&actions);
  if (spawned != 0) {
    pid_ = -1;
    return fail("cannot start " + program + ": " + std::strerror(spawned));
  }

  // Ready when it takes a connection; a scheduler that ends instead has
  // said why in its output or log.
  const auto deadline = Clock::now() + std::chrono::seconds(60);
  while (Clock::now() < deadline) {
    int status = 0;
    if (waitpid(pid_, &status, WNOHANG) == pid_) {
      pid_ = -1;
      std::ifstream in(output);
      std::stringstream said;
      said << in.rdbuf();
      return fail("cupsd ended at start-up: " + said.str() + ErrorLog());
    }
    Http http(httpConnect2("127.0.0.1", port_, nullptr, AF_INET, HTTP_ENCRYPTION_NEVER, 1, 1000,
                           nullptr));
    if (http) return true;
    std::this_thread::sleep_for(std::chrono::milliseconds(100));
  }
  return fail("cupsd did not answer on port " + std::to_string(port_) + " within a minute\n" +
              ErrorLog());
}

void CupsScheduler::Stop() {
  if (pid_ > 0) {
    kill(pid_, SIGTERM);
    const auto deadline = Clock::now() + std::chrono::seconds(30);
    int status = 0;
    bool ended = false;
    while (!ended && Clock::now() < deadline) {
      ended = waitpid(pid_, &status, WNOHANG) == pid_;
      if (!ended) std::this_thread::sleep_for(std::chrono::milliseconds(50));
    }
    if (!ended) {
      kill(pid_, SIGKILL);
      waitpid(pid_, &status, 0);
    }
    pid_ = -1;
  }
  if (!dir_.empty()) {
    std::error_code ignored;   // a folder that cannot go is left in /tmp, harmless
    fs::remove_all(dir_, ignored);
    dir_.clear();
  }
}

std::string CupsScheduler::Server() const { return "127.0.0.1:" + std::to_string(port_); }

std::string CupsScheduler::ErrorLog() const {
  std::ifstream in(dir_ + "/log/error_log");
  std::stringstream text;
  text << in.rdbuf();
  return text.str();
}

namespace {

// Sends `request`, and `file` when there is one, to the scheduler on
// `port`; the response, or null with the reason in `error`.
Ipp Ask(int port, ipp_t* request, const char* resource, std::string* error,
        const char* file = nullptr) {
  Http http(httpConnect2("127.0.0.1", port, nullptr, AF_INET, HTTP_ENCRYPTION_NEVER, 1, 10000,
                         nullptr));
  if (!http) {
    ippDelete(request);
    *error = "cannot reach the scheduler";
    return nullptr;
  }
  Ipp response(cupsDoFileRequest(http.get(), request, resource, file));   // takes `request`
  if (!response || ippGetStatusCode(response.get()) > IPP_STATUS_OK_EVENTS_COMPLETE) {
    *error = cupsLastErrorString();
    return nullptr;
  }
  return response;
}

}  // namespace

bool CupsScheduler::AddFileQueue(const std::string& name, const std::string& path,
                                 bool accepting, std::string* error) {
  // The printer's description: A4 paper, and PDF through the pass-through
  // filter.
  const std::string ppd = dir_ + "/" + name + ".ppd";
  if (!WriteFile(ppd,
                 "*PPD-Adobe: \"4.3\"\n*FormatVersion: \"4.3\"\n*FileVersion: \"1.0\"\n"
                 "*LanguageVersion: English\n*LanguageEncoding: ISOLatin1\n"
                 "*PCFileName: \"TESTFILE.PPD\"\n*Manufacturer: \"Test\"\n"
                 "*Product: \"(File)\"\n*ModelName: \"Test file printer\"\n"
                 "*ShortNickName: \"Test file printer\"\n*NickName: \"Test file printer\"\n"
                 "*PSVersion: \"(3010.000) 0\"\n*LanguageLevel: \"3\"\n*ColorDevice: False\n"
                 "*DefaultColorSpace: Gray\n*FileSystem: False\n*Throughput: \"1\"\n"
                 "*LandscapeOrientation: Plus90\n*TTRasterizer: Type42\n"
                 "*cupsFilter: \"application/pdf 0 passthru\"\n"
                 "*OpenUI *PageSize/Media Size: PickOne\n*DefaultPageSize: A4\n"
                 "*PageSize A4/A4: \"<</PageSize[595 842]>>setpagedevice\"\n"
                 "*CloseUI: *PageSize\n*DefaultPageRegion: A4\n"
                 "*PageRegion A4/A4: \"<</PageSize[595 842]>>setpagedevice\"\n"
                 "*DefaultImageableArea: A4\n*ImageableArea A4/A4: \"0 0 595 842\"\n"
                 "*DefaultPaperDimension: A4\n*PaperDimension A4/A4: \"595 842\"\n")) {
    *error = "cannot write " + ppd;
    return false;
  }
  ipp_t* request = ippNewRequest(IPP_OP_CUPS_ADD_MODIFY_PRINTER);
  ippAddString(request, IPP_TAG_OPERATION, IPP_TAG_URI, "printer-uri", nullptr,
               PrinterUri(name).c_str());
  ippAddString(request, IPP_TAG_OPERATION, IPP_TAG_NAME, "requesting-user-name", nullptr,
               cupsUser());
  ippAddString(request, IPP_TAG_PRINTER, IPP_TAG_URI, "device-uri", nullptr,
               ("file://" + path).c_str());
  ippAddBoolean(request, IPP_TAG_PRINTER, "printer-is-accepting-jobs", accepting ? 1 : 0);
  ippAddInteger(request, IPP_TAG_PRINTER, IPP_TAG_ENUM, "printer-state", IPP_PSTATE_IDLE);
  return Ask(port_, request, "/admin/", error, ppd.c_str()) != nullptr;
}

bool CupsScheduler::SetDefault(const std::string& name, std::string* error) {
  ipp_t* request = ippNewRequest(IPP_OP_CUPS_SET_DEFAULT);
  ippAddString(request, IPP_TAG_OPERATION, IPP_TAG_URI, "printer-uri", nullptr,
               PrinterUri(name).c_str());
  ippAddString(request, IPP_TAG_OPERATION, IPP_TAG_NAME, "requesting-user-name", nullptr,
               cupsUser());
  return Ask(port_, request, "/admin/", error) != nullptr;
}

bool CupsScheduler::Jobs(std::vector<Job>* jobs, std::string* error) {
  jobs->clear();
  ipp_t* request = ippNewRequest(IPP_OP_GET_JOBS);
  ippAddString(request, IPP_TAG_OPERATION, IPP_TAG_URI, "printer-uri", nullptr, "ipp://localhost/");
  ippAddString(request, IPP_TAG_OPERATION, IPP_TAG_NAME, "requesting-user-name", nullptr,
               cupsUser());
  ippAddString(request, IPP_TAG_OPERATION, IPP_TAG_KEYWORD, "which-jobs", nullptr, "all");
  static const char* const wanted[] = {"job-id", "job-state", "copies", "job-name"};
  ippAddStrings(request, IPP_TAG_OPERATION, IPP_TAG_KEYWORD, "requested-attributes",
                sizeof wanted / sizeof *wanted, nullptr, wanted);
  Ipp response = Ask(port_, request, "/", error);
  if (!response) return false;
  // Each job is a run of attributes in the job group; a separator (no
  // name) or another group ends it.
  Job job;
  auto flush = [&] {
    if (job.id > 0) jobs->push_back(job);
    job = Job{};
  };
  for (ipp_attribute_t* attribute = ippFirstAttribute(response.get()); attribute;
       attribute = ippNextAttribute(response.get())) {
    const char* name = ippGetName(attribute);
    if (!name || ippGetGroupTag(attribute) != IPP_TAG_JOB) {
      flush();
      continue;
    }
    const std::string key = name;
    if (key == "job-id") job.id = ippGetInteger(attribute, 0);
    else if (key == "job-state") job.state = ippGetInteger(attribute, 0);
    else if (key == "copies") job.copies = ippGetInteger(attribute, 0);
    else if (key == "job-name") job.name = ippGetString(attribute, 0, nullptr);
  }
  flush();
  return true;
}

}  // namespace cups_test
