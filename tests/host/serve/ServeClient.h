// A real `acq serve` for a test (its own folder, demo library and free port)
// and a small HTTP and WebSocket client to talk to it. Every wait has a
// generous limit, so a hang fails the test instead of stopping the suite.
#pragma once

#include <gtest/gtest.h>
#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <spawn.h>
#include <stdlib.h>
#include <sys/wait.h>
#include <unistd.h>

#include <boost/asio/connect.hpp>
#include <boost/asio/io_context.hpp>
#include <boost/asio/ip/tcp.hpp>
#include <boost/beast/core.hpp>
#include <boost/beast/http.hpp>
#include <boost/beast/ssl.hpp>
#include <boost/beast/websocket.hpp>
#include <chrono>
#include <filesystem>
#include <fstream>
#include <map>
#include <nlohmann/json.hpp>
#include <optional>
#include <sstream>
#include <string>
#include <thread>
#include <utility>
#include <vector>

extern char** environ;

namespace servetest {

namespace asio = boost::asio;
namespace beast = boost::beast;
namespace http = beast::http;
namespace websocket = beast::websocket;
namespace fs = std::filesystem;
using tcp = asio::ip::tcp;
using nlohmann::json;
using namespace std::chrono_literals;
using Clock = std::chrono::steady_clock;

constexpr auto kWait = 60s;   // sanitizer builds start a frame in seconds, not milliseconds

// Runs `ioc` until `done` or `limit` has passed; false on the limit.
inline bool RunUntil(asio::io_context& ioc, const bool& done, Clock::duration limit = kWait) {
  ioc.restart();
  const auto end = Clock::now() + limit;
  while (!done && Clock::now() < end) ioc.run_one_for(200ms);
  return done;
}

inline std::string Slurp(const fs::path& path) {
  std::ifstream in(path, std::ios::binary);
  std::ostringstream text;
  text << in.rdbuf();
  return text.str();
}

// Runs `acq ARGS` to its end with the environment `env` added; its status.
inline int RunAcq(const std::vector<std::string>& args) {
  std::vector<std::string> all = {std::string(ACQ_BIN_DIR) + "/acq"};
  all.insert(all.end(), args.begin(), args.end());
  std::vector<char*> argv;
  for (auto& a : all) argv.push_back(a.data());
  argv.push_back(nullptr);
  pid_t pid;
  if (posix_spawn(&pid, argv[0], nullptr, nullptr, argv.data(), environ) != 0) return -1;
  int status = 0;
  waitpid(pid, &status, 0);
  return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
}

struct Reply {
  int status = 0;
  std::map<std::string, std::string> headers;   // names in lower case
  std::string body;
  double seconds = 0;
  std::string Header(const std::string& name) const {
    auto it = headers.find(name);
    return it == headers.end() ? "" : it->second;
  }
};

enum class Tls { No, Yes };

// A fresh folder with a demo library and `acq serve` on a free port; with
// Tls::Yes a self-signed certificate made by the openssl tool (CanStart()
// false when there is none).
class ServeProcess {
 public:
  explicit ServeProcess(std::vector<std::string> extraArgs = {},
                        std::vector<std::string> extraEnv = {}, Tls tls = Tls::No) {
    std::string pattern = (fs::temp_directory_path() / "acq-serve-test-XXXXXX").string();
    if (mkdtemp(pattern.data()) == nullptr) {
      ADD_FAILURE() << "cannot make a temporary folder";
      return;
    }
    dir_ = pattern;
    db_ = dir_ / "library.db";
    if (RunAcq({"init", "--demo", "--db", db_.string()}) != 0) {
      ADD_FAILURE() << "acq init --demo failed";
      return;
    }
    std::vector<std::string> args = {"serve", "--db", db_.string(), "--port", "0"};
    args.insert(args.end(), extraArgs.begin(), extraArgs.end());
    if (tls == Tls::Yes) {
      const std::string cert = (dir_ / "cert.pem").string(), key = (dir_ / "key.pem").string();
      const std::string make = "openssl req -x509 -newkey rsa:2048 -nodes -days 1 -subj /CN=127.0.0.1 -keyout '" +
                               key + "' -out '" + cert + "' >/dev/null 2>&1";
      if (std::system(make.c_str()) != 0) {
        noTls_ = true;
        return;
      }
      args.insert(args.end(), {"--tls-cert", cert, "--tls-key", key});
      tls_ = true;
    }
    std::vector<std::string> env = {"ACQ_WORKSTATION=" + (dir_ / "workstation.ini").string(),
                                    "TMPDIR=" + dir_.string()};
    env.insert(env.end(), extraEnv.begin(), extraEnv.end());
    Start(args, env);
  }
  ~ServeProcess() {
    // A sanitizer's report, of the server or of a frame (their stderr is the
    // log), fails the test whatever it checked.
    const int status = Stop();
    EXPECT_NE(status, 86) << Log();
    const std::string log = Log();
    EXPECT_EQ(log.find("Sanitizer"), std::string::npos) << log;
    EXPECT_EQ(log.find("runtime error:"), std::string::npos) << log;
    std::error_code ec;
    if (!dir_.empty()) fs::remove_all(dir_, ec);
  }
  ServeProcess(const ServeProcess&) = delete;
  ServeProcess& operator=(const ServeProcess&) = delete;

  bool CanStart() const { return !noTls_; }
  int Port() const { return port_; }
  const fs::path& Dir() const { return dir_; }
  std::string Origin() const {
    return (tls_ ? "https://127.0.0.1:" : "http://127.0.0.1:") + std::to_string(port_);
  }
  std::string Log() const { return Slurp(dir_ / "serve.err"); }
  std::string StartLine() const { return startLine_; }

  // The pid of the frame of session `number`, from the server's log; -1 none.
  pid_t FramePid(int number) const {
    std::istringstream log(Log());
    const std::string head = "acq serve: session " + std::to_string(number) + " ";
    for (std::string line; std::getline(log, line);) {
      const size_t at = line.find("): started (pid ");
      if (line.rfind(head, 0) == 0 && at != std::string::npos) return std::stoi(line.substr(at + 16));
    }
    return -1;
  }
  // Waits until the log holds `text`; false after the limit.
  bool WaitForLog(const std::string& text) const {
    for (auto end = Clock::now() + kWait; Clock::now() < end; std::this_thread::sleep_for(50ms))
      if (Log().find(text) != std::string::npos) return true;
    return false;
  }

  // SIGTERM and the exit status (-1 when it had to be killed).
  int Stop() {
    if (pid_ <= 0) return exitStatus_;
    kill(pid_, SIGTERM);
    int status = 0;
    for (auto end = Clock::now() + 30s; waitpid(pid_, &status, WNOHANG) == 0;) {
      if (Clock::now() > end) {
        kill(pid_, SIGKILL);
        waitpid(pid_, &status, 0);
        status = -1;
        break;
      }
      std::this_thread::sleep_for(20ms);
    }
    pid_ = -1;
    exitStatus_ = status >= 0 && WIFEXITED(status) ? WEXITSTATUS(status) : -1;
    return exitStatus_;
  }

  Reply Request(http::verb method, const std::string& target,
                const std::vector<std::pair<std::string, std::string>>& headers = {},
                const std::string& body = "") const {
    http::request<http::string_body> request{method, target, 11};
    request.set(http::field::host, "127.0.0.1:" + std::to_string(port_));
    for (const auto& [name, value] : headers) request.set(name, value);
    request.body() = body;
    request.prepare_payload();
    asio::io_context ioc;
    const tcp::endpoint endpoint(asio::ip::make_address("127.0.0.1"), static_cast<unsigned short>(port_));
    beast::error_code ec;
    if (!tls_) {
      beast::tcp_stream stream(ioc);
      stream.socket().connect(endpoint, ec);
      return Exchange(ioc, stream, request, ec);
    }
    asio::ssl::context context(asio::ssl::context::tls_client);   // the certificate is self-signed
    beast::ssl_stream<beast::tcp_stream> stream(ioc, context);
    beast::get_lowest_layer(stream).socket().connect(endpoint, ec);
    bool done = false;
    if (!ec) {
      stream.async_handshake(asio::ssl::stream_base::client, [&](beast::error_code e) {
        ec = e;
        done = true;
      });
      RunUntil(ioc, done);
    }
    return Exchange(ioc, stream, request, ec);
  }

  // Logs in; the reply (its cookie in Header("set-cookie")).
  Reply Login(const std::string& user, const std::string& password) const {
    return Request(http::verb::post, "/api/login", {{"Origin", Origin()}},
                   json{{"user", user}, {"password", password}}.dump());
  }

 private:
  void Start(const std::vector<std::string>& args, const std::vector<std::string>& extraEnv) {
    int out[2];
    if (pipe(out) != 0) return;
    std::vector<std::string> all = {std::string(ACQ_BIN_DIR) + "/acq"};
    all.insert(all.end(), args.begin(), args.end());
    std::vector<char*> argv;
    for (auto& a : all) argv.push_back(a.data());
    argv.push_back(nullptr);
    std::vector<std::string> envText;
    for (char** e = environ; *e != nullptr; ++e) envText.emplace_back(*e);
    envText.insert(envText.end(), extraEnv.begin(), extraEnv.end());
    std::vector<char*> env;
    for (auto& e : envText) env.push_back(e.data());
    env.push_back(nullptr);
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_adddup2(&actions, out[1], 1);
    posix_spawn_file_actions_addopen(&actions, 2, (dir_ / "serve.err").c_str(),
                                     O_WRONLY | O_CREAT | O_APPEND, 0600);
    posix_spawn_file_actions_addclose(&actions, out[0]);
    const int rc = posix_spawn(&pid_, argv[0], &actions, nullptr, argv.data(), env.data());
    posix_spawn_file_actions_destroy(&actions);
    close(out[1]);
    if (rc != 0) {
      close(out[0]);
      ADD_FAILURE() << "cannot start acq serve";
      return;
    }
    // The start line, however slow the start.
    std::string line;
    pollfd p{out[0], POLLIN, 0};
    for (auto end = Clock::now() + kWait; line.find('\n') == std::string::npos && Clock::now() < end;) {
      if (poll(&p, 1, 200) <= 0) continue;
      char buf[256];
      const ssize_t n = read(out[0], buf, sizeof buf);
      if (n <= 0) break;
      line.append(buf, size_t(n));
    }
    close(out[0]);
    startLine_ = line;
    const size_t colon = line.rfind(':');
    if (colon == std::string::npos || line.find("acq serve: open http") != 0) {
      ADD_FAILURE() << "no start line: " << line << Log();
      return;
    }
    port_ = std::atoi(line.c_str() + colon + 1);
  }

  template <class Stream>
  static Reply Exchange(asio::io_context& ioc, Stream& stream,
                        const http::request<http::string_body>& request, beast::error_code ec) {
    Reply reply;
    if (ec) {
      ADD_FAILURE() << "cannot connect: " << ec.message();
      return reply;
    }
    const auto start = Clock::now();
    http::write(stream, request, ec);
    beast::flat_buffer buffer;
    http::response_parser<http::string_body> parser;
    parser.body_limit(64u << 20);
    if (request.method() == http::verb::head) parser.skip(true);
    bool done = false;
    http::async_read(stream, buffer, parser, [&](beast::error_code e, size_t) {
      ec = e;
      done = true;
    });
    if (!RunUntil(ioc, done) || ec) {
      ADD_FAILURE() << "no answer to " << request.target() << ": " << ec.message();
      return reply;
    }
    reply.seconds = std::chrono::duration<double>(Clock::now() - start).count();
    const auto& response = parser.get();
    reply.status = response.result_int();
    for (const auto& field : response) {
      std::string name(field.name_string());
      for (char& c : name) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
      reply.headers[name] = std::string(field.value());
    }
    reply.body = response.body();
    return reply;
  }

  fs::path dir_;
  fs::path db_;
  bool tls_ = false;
  bool noTls_ = false;
  pid_t pid_ = -1;
  int port_ = 0;
  int exitStatus_ = -1;
  std::string startLine_;
};

// The value of the session cookie in a Set-Cookie header ("acq_session=X").
inline std::string CookieOf(const Reply& reply) {
  const std::string set = reply.Header("set-cookie");
  return set.substr(0, set.find(';'));
}

// The page's WebSocket, as a test drives it.
class PageClient {
 public:
  PageClient(const ServeProcess& serve, const std::string& cookie, const std::string& origin)
      : ws_(ioc_) {
    beast::error_code ec;
    beast::get_lowest_layer(ws_).socket().connect(
        tcp::endpoint(asio::ip::make_address("127.0.0.1"), serve.Port()), ec);
    if (ec) return;
    ws_.read_message_max(128u << 20);
    ws_.set_option(websocket::stream_base::decorator([cookie, origin](websocket::request_type& r) {
      if (!cookie.empty()) r.set(http::field::cookie, cookie);
      if (!origin.empty()) r.set(http::field::origin, origin);
    }));
    bool done = false;
    ws_.async_handshake(response_, "127.0.0.1:" + std::to_string(serve.Port()), "/ws",
                        [&](beast::error_code e) {
                          ec = e;
                          done = true;
                        });
    open_ = RunUntil(ioc_, done) && !ec;
  }

  bool Open() const { return open_; }
  int HandshakeStatus() const { return response_.result_int(); }

  void Send(const std::string& text) {
    beast::error_code ec;
    ws_.text(true);
    ws_.write(asio::buffer(text), ec);
  }
  void SendJson(const json& message) { Send(message.dump()); }

  // The next message; nullopt when the connection closed or nothing came.
  std::optional<json> Next(Clock::duration limit = kWait) {
    beast::flat_buffer buffer;
    beast::error_code ec;
    bool done = false;
    ws_.async_read(buffer, [&](beast::error_code e, size_t) {
      ec = e;
      done = true;
    });
    if (!RunUntil(ioc_, done, limit)) {
      beast::get_lowest_layer(ws_).cancel();
      RunUntil(ioc_, done, 5s);
      return std::nullopt;
    }
    if (ec) {
      open_ = false;
      return std::nullopt;
    }
    return json::parse(beast::buffers_to_string(buffer.data()), nullptr, false);
  }
  // The next message of type `t`, skipping others; nullopt when none came.
  std::optional<json> NextOf(const std::string& t, Clock::duration limit = kWait) {
    for (auto end = Clock::now() + limit; Clock::now() < end;) {
      auto m = Next(end - Clock::now());
      if (!m) return std::nullopt;
      if (m->is_object() && m->value("t", "") == t) return m;
    }
    return std::nullopt;
  }

 private:
  asio::io_context ioc_;
  websocket::stream<beast::tcp_stream> ws_;
  websocket::response_type response_;
  bool open_ = false;
};

// The captions of the windows of a screen.
inline std::vector<std::string> Captions(const json& screen) {
  std::vector<std::string> out;
  for (const json& w : screen.value("windows", json::array())) out.push_back(w.value("caption", ""));
  return out;
}

}  // namespace servetest
