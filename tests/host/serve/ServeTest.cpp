// `acq serve` end to end: the real program, real frame processes on a demo
// library, and a client speaking HTTP and WebSocket as the page does.
#include <gtest/gtest.h>
#include <signal.h>

#include <algorithm>

#include "host/serve/ServeClient.h"

namespace servetest {
namespace {

bool Contains(const std::vector<std::string>& list, const std::string& text) {
  return std::any_of(list.begin(), list.end(),
                     [&](const std::string& s) { return s.find(text) != std::string::npos; });
}

bool ProcessGone(pid_t pid) {
  for (auto end = Clock::now() + kWait; Clock::now() < end; std::this_thread::sleep_for(50ms))
    if (kill(pid, 0) != 0) return true;
  return false;
}

// Logs in as `user` and opens the page's WebSocket, up to the first screen.
struct LoggedIn {
  LoggedIn(const ServeProcess& serve, const std::string& user)
      : reply(serve.Login(user, user)), page(serve, CookieOf(reply), serve.Origin()) {
    EXPECT_EQ(reply.status, 200) << reply.body;
    EXPECT_TRUE(page.Open());
    auto hello = page.Next();
    EXPECT_TRUE(hello && (*hello)["t"] == "hello" && (*hello)["user"] == user) << hello.value_or(json());
    screen = page.NextOf("screen").value_or(json());
  }
  Reply reply;
  PageClient page;
  json screen;
};

TEST(Serve, AnswersOnlyItsOwnFilesWithSecurityHeaders) {
  ServeProcess serve;
  ASSERT_GT(serve.Port(), 0);
  EXPECT_EQ(serve.StartLine(), "acq serve: open http://127.0.0.1:" + std::to_string(serve.Port()) +
                                   "/ in a browser\n");
  struct Case { http::verb method; const char* target; int status; const char* type; };
  const Case cases[] = {
      {http::verb::get, "/", 200, "text/html; charset=utf-8"},
      {http::verb::get, "/index.html?x=1", 200, "text/html; charset=utf-8"},
      {http::verb::head, "/", 200, "text/html; charset=utf-8"},
      {http::verb::get, "/../etc/passwd", 404, nullptr},
      {http::verb::get, "/%2e%2e/", 404, nullptr},
      {http::verb::get, "/%2e%2e/etc/passwd", 404, nullptr},
      {http::verb::get, "//etc/passwd", 404, nullptr},
      {http::verb::get, "/files/unknown", 404, nullptr},
      {http::verb::get, "/files/../../etc/passwd", 404, nullptr},
      {http::verb::get, "/nothing.js", 404, nullptr},
      {http::verb::get, "/api/session", 401, "application/json"},   // no cookie
      {http::verb::delete_, "/", 405, nullptr},
      {http::verb::get, "/api/login", 405, nullptr},
  };
  for (const Case& c : cases) {
    const Reply r = serve.Request(c.method, c.target);
    EXPECT_EQ(r.status, c.status) << c.target;
    if (c.type) {
      EXPECT_EQ(r.Header("content-type"), c.type) << c.target;
    }
    EXPECT_EQ(r.Header("cache-control"), "no-store") << c.target;
    EXPECT_EQ(r.Header("x-content-type-options"), "nosniff") << c.target;
    EXPECT_NE(r.Header("content-security-policy").find("frame-ancestors 'none'"), std::string::npos);
  }
  EXPECT_NE(serve.Request(http::verb::get, "/").body.find("<html"), std::string::npos);
  EXPECT_TRUE(serve.Request(http::verb::head, "/").body.empty());
}

TEST(Serve, RefusesRequestsFromElsewhereOrWithoutASession) {
  ServeProcess serve;
  ASSERT_GT(serve.Port(), 0);
  const std::string body = json{{"user", "admin"}, {"password", "admin"}}.dump();
  struct Case { const char* what; std::vector<std::pair<std::string, std::string>> headers;
                const char* target; std::string body; int status; };
  const Case cases[] = {
      {"log-in without Origin", {}, "/api/login", body, 403},
      {"log-in from another site", {{"Origin", "http://evil.example"}}, "/api/login", body, 403},
      {"log-in from another port", {{"Origin", "http://127.0.0.1:1"}}, "/api/login", body, 403},
      {"log-in body not JSON", {{"Origin", serve.Origin()}}, "/api/login", "user=admin", 400},
      {"log-in without password", {{"Origin", serve.Origin()}}, "/api/login", R"({"user":"admin"})", 400},
      {"log-in body too large", {{"Origin", serve.Origin()}}, "/api/login",
       std::string(100 * 1024, ' '), 413},
      {"upload without a session", {{"Origin", serve.Origin()}}, "/api/upload?ask=1", "data", 401},
      {"upload from another site", {{"Origin", "http://evil.example"}}, "/api/upload?ask=1", "d", 403},
  };
  for (const Case& c : cases) {
    const Reply r = serve.Request(http::verb::post, c.target, c.headers, c.body);
    EXPECT_EQ(r.status, c.status) << c.what << ": " << r.body;
    EXPECT_TRUE(r.Header("set-cookie").empty()) << c.what;
  }
  // No WebSocket without a session, whatever the origin.
  PageClient noCookie(serve, "", serve.Origin());
  EXPECT_FALSE(noCookie.Open());
  EXPECT_EQ(noCookie.HandshakeStatus(), 403);
  PageClient forged(serve, "acq_session=" + std::string(64, 'a'), serve.Origin());
  EXPECT_FALSE(forged.Open());
  EXPECT_EQ(forged.HandshakeStatus(), 403);
  EXPECT_EQ(serve.Log().find("started"), std::string::npos) << "no frame for a refused log-in";
}

TEST(Serve, FailedLogInsAreSlowedAndASuccessGetsAStrictCookie) {
  ServeProcess serve;
  ASSERT_GT(serve.Port(), 0);
  const Reply first = serve.Login("admin", "wrong");
  EXPECT_EQ(first.status, 401);
  EXPECT_NE(json::parse(first.body, nullptr, false).value("error", "").find("admin"), std::string::npos)
      << "the frame's own text: " << first.body;
  const Reply second = serve.Login("admin", "wrong");
  EXPECT_EQ(second.status, 401);
  EXPECT_GE(second.seconds, 0.4) << "a repeated failure is answered only after a delay";
  EXPECT_TRUE(serve.WaitForLog("session 2 (admin from 127.0.0.1): ended: the log-in failed"));
  EXPECT_EQ(serve.Log().find("wrong"), std::string::npos) << "passwords never reach the log";

  const Reply ok = serve.Login("admin", "admin");
  ASSERT_EQ(ok.status, 200) << ok.body;
  EXPECT_EQ(json::parse(ok.body, nullptr, false).value("user", ""), "admin");
  const std::string cookie = ok.Header("set-cookie");
  EXPECT_EQ(cookie.rfind("acq_session=", 0), 0u) << cookie;
  EXPECT_EQ(CookieOf(ok).size(), std::string("acq_session=").size() + 64);
  for (const char* attribute : {"; Path=/", "; HttpOnly", "; SameSite=Strict"})
    EXPECT_NE(cookie.find(attribute), std::string::npos) << attribute << " in " << cookie;
  EXPECT_EQ(cookie.find("Secure"), std::string::npos) << "no Secure over plain HTTP";

  const Reply session = serve.Request(http::verb::get, "/api/session", {{"Cookie", CookieOf(ok)}});
  EXPECT_EQ(session.status, 200);
  EXPECT_EQ(json::parse(session.body, nullptr, false).value("user", ""), "admin");
  PageClient foreign(serve, CookieOf(ok), "http://evil.example");
  EXPECT_FALSE(foreign.Open()) << "a valid cookie from another site's page";
  EXPECT_EQ(foreign.HandshakeStatus(), 403);
}

TEST(Serve, ForgedMessagesAreRefusedAndTheSessionGoesOn) {
  ServeProcess serve;
  ASSERT_GT(serve.Port(), 0);
  LoggedIn admin(serve, "admin");
  ASSERT_TRUE(admin.screen.is_object()) << serve.Log();
  const std::string forged[] = {
      "not json",
      "[1,2]",
      R"({"text":"command 152"})",
      R"({"t":"hello"})",
      R"({"t":"action"})",
      R"({"t":"action","text":42})",
      R"({"t":"action","text":"no such verb"})",
      R"({"t":"action","text":"send 0x111 152 0"})",
      R"({"t":"action","text":"post 0x111 152 0"})",
      R"({"t":"action","text":"menu"})",
      R"({"t":"action","text":"show","window":987654})",
      R"({"t":"action","text":"show","window":"1"})",
      R"({"t":"answer","id":1,"button":"ok"})",   // no question is open
      json{{"t", "action"}, {"text", "command \"" + std::string(70 * 1024, 'x') + "\""}}.dump(),
  };
  for (const std::string& message : forged) {
    admin.page.Send(message);
    auto reply = admin.page.Next();
    ASSERT_TRUE(reply) << message.substr(0, 60);
    EXPECT_EQ((*reply)["t"], "refused") << message.substr(0, 60) << " -> " << reply->dump();
  }
  admin.page.SendJson({{"t", "action"}, {"text", "command 152"}});
  auto screen = admin.page.NextOf("screen");
  ASSERT_TRUE(screen);
  EXPECT_TRUE(Contains(Captions(*screen), "Find PO")) << screen->dump().substr(0, 400);
  // An action on a window that is on the screen is taken.
  const int64_t window = (*screen)["windows"].back()["id"].get<int64_t>();
  admin.page.SendJson({{"t", "action"}, {"text", "show"}, {"window", window}});
  auto after = admin.page.Next();
  ASSERT_TRUE(after);
  EXPECT_NE((*after)["t"], "refused") << after->dump();

  // A message over 1 MiB closes that WebSocket; a new one goes on with the
  // same screen.
  admin.page.Send(json{{"t", "action"}, {"text", std::string(2u << 20, 'x')}}.dump());
  while (admin.page.Next()) {
  }
  EXPECT_FALSE(admin.page.Open());
  PageClient again(serve, CookieOf(admin.reply), serve.Origin());
  ASSERT_TRUE(again.Open());
  EXPECT_EQ(again.Next().value_or(json())["t"], "hello");
  auto resent = again.NextOf("screen");
  ASSERT_TRUE(resent);
  EXPECT_TRUE(Contains(Captions(*resent), "Find PO"));

  // No file is asked for: an upload is refused and nothing is stored.
  const Reply upload = serve.Request(http::verb::post, "/api/upload?ask=1",
                                     {{"Origin", serve.Origin()}, {"Cookie", CookieOf(admin.reply)},
                                      {"X-File-Name", "../../x.edi"}},
                                     "UNA:+.? '");
  EXPECT_EQ(upload.status, 400) << upload.body;

  // Log-out ends the frame.
  const pid_t frame = serve.FramePid(1);
  again.SendJson({{"t", "logout"}});
  auto ended = again.NextOf("ended");
  ASSERT_TRUE(ended) << serve.Log();
  EXPECT_EQ((*ended)["text"], "You have logged out.");
  EXPECT_TRUE(ProcessGone(frame));
  EXPECT_EQ(serve.Request(http::verb::get, "/api/session", {{"Cookie", CookieOf(admin.reply)}}).status, 401);
  EXPECT_EQ(serve.Stop(), 0);
}

TEST(Serve, AKilledFrameEndsOnlyItsOwnSession) {
  ServeProcess serve;
  ASSERT_GT(serve.Port(), 0);
  LoggedIn admin(serve, "admin");
  LoggedIn clerk(serve, "clerk");
  ASSERT_TRUE(admin.screen.is_object() && clerk.screen.is_object()) << serve.Log();
  const pid_t adminFrame = serve.FramePid(1);
  ASSERT_GT(adminFrame, 0);
  ASSERT_EQ(kill(adminFrame, SIGKILL), 0);
  auto ended = admin.page.NextOf("ended");
  ASSERT_TRUE(ended);
  EXPECT_NE(ended->value("text", "").find("signal 9"), std::string::npos) << ended->dump();
  EXPECT_EQ(serve.Request(http::verb::get, "/api/session", {{"Cookie", CookieOf(admin.reply)}}).status, 401);

  clerk.page.SendJson({{"t", "action"}, {"text", "command 152"}});
  auto screen = clerk.page.NextOf("screen");
  ASSERT_TRUE(screen);
  EXPECT_TRUE(Contains(Captions(*screen), "Find PO"));
  // The server ends the other frame as it stops.
  const pid_t clerkFrame = serve.FramePid(2);
  EXPECT_EQ(serve.Stop(), 0);
  EXPECT_TRUE(ProcessGone(clerkFrame));
  EXPECT_NE(serve.Log().find("session 2 (clerk from 127.0.0.1): ended: the server stops"),
            std::string::npos);
}

TEST(Serve, AnIdleSessionIsWarnedThenEnded) {
  // Idle after 4 s, the notice 2 s before; the grace is long enough not to interfere.
  ServeProcess serve({"--grace-seconds", "300"}, {"ACQ_SERVE_IDLE_SECONDS=4"});
  ASSERT_GT(serve.Port(), 0);
  LoggedIn admin(serve, "admin");
  ASSERT_TRUE(admin.screen.is_object()) << serve.Log();
  auto notice = admin.page.NextOf("notice");
  while (notice && notice->value("kind", "") != "idle") notice = admin.page.NextOf("notice");
  ASSERT_TRUE(notice);
  EXPECT_NE(notice->value("text", "").find("the session ends in 2 seconds"), std::string::npos)
      << notice->dump();
  auto ended = admin.page.NextOf("ended");
  ASSERT_TRUE(ended);
  EXPECT_EQ((*ended)["text"], "The session ended after 4 seconds without activity.");
  EXPECT_TRUE(ProcessGone(serve.FramePid(1)));
}

TEST(Serve, ASessionWithoutItsPageEndsAfterTheGrace) {
  ServeProcess serve({"--grace-seconds", "1"});
  ASSERT_GT(serve.Port(), 0);
  std::string cookie;
  {
    LoggedIn admin(serve, "admin");
    ASSERT_TRUE(admin.screen.is_object()) << serve.Log();
    cookie = CookieOf(admin.reply);
  }   // the tab is closed
  EXPECT_TRUE(serve.WaitForLog("session 1 (admin from 127.0.0.1): ended: no page for 1 second"));
  EXPECT_TRUE(ProcessGone(serve.FramePid(1)));
  PageClient late(serve, cookie, serve.Origin());
  EXPECT_FALSE(late.Open()) << "the cookie of an ended session opens nothing";
}

TEST(Serve, UnderTlsTheCookieIsSecure) {
  ServeProcess serve({}, {}, Tls::Yes);
  if (!serve.CanStart()) GTEST_SKIP() << "no openssl tool to make a certificate";
  ASSERT_GT(serve.Port(), 0);
  EXPECT_EQ(serve.StartLine().rfind("acq serve: open https://127.0.0.1:", 0), 0u) << serve.StartLine();
  EXPECT_EQ(serve.Request(http::verb::get, "/").status, 200);
  // An http:// origin is another origin than the server's https:// one.
  const std::string body = json{{"user", "admin"}, {"password", "admin"}}.dump();
  const std::string http = "http://127.0.0.1:" + std::to_string(serve.Port());
  EXPECT_EQ(serve.Request(http::verb::post, "/api/login", {{"Origin", http}}, body).status, 403);
  const Reply ok = serve.Login("admin", "admin");
  ASSERT_EQ(ok.status, 200) << ok.body;
  EXPECT_NE(ok.Header("set-cookie").find("; Secure"), std::string::npos) << ok.Header("set-cookie");
  EXPECT_EQ(serve.Stop(), 0);
}

TEST(Serve, CannotStartIsExitStatusTwo) {
  ServeProcess serve;
  ASSERT_GT(serve.Port(), 0);
  const std::string missing = (serve.Dir() / "missing.pem").string();
  struct Case { std::vector<std::string> args; const char* says; };
  const Case cases[] = {
      {{"serve", "--port", std::to_string(serve.Port())}, "cannot listen on 127.0.0.1:"},
      {{"serve", "--port", "0", "--tls-cert", missing, "--tls-key", missing}, "cannot read the certificate"},
      {{"serve", "--port", "0", "--listen", "no.such.host.invalid"}, "cannot listen on"},
  };
  for (const Case& c : cases) {
    const std::string err = (serve.Dir() / "start.err").string();
    std::vector<std::string> args = c.args;
    const std::string command = std::string(ACQ_BIN_DIR) + "/acq";
    std::string line = "'" + command + "'";
    for (const std::string& a : args) line += " '" + a + "'";
    line += " </dev/null >/dev/null 2>'" + err + "'";
    const int status = std::system(line.c_str());
    EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 2) << c.says << ": " << status;
    EXPECT_NE(Slurp(err).find(c.says), std::string::npos) << Slurp(err);
  }
}

}  // namespace
}  // namespace servetest
