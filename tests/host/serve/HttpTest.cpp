// Paths, cookies, origins and file names as the server reads them.
#include "host/serve/Http.h"

#include <gtest/gtest.h>


namespace acqserve {
namespace {

TEST(Http, OnlyEmbeddedFilesAreServed) {
  ASSERT_NE(Http_PageFile("/"), nullptr);
  EXPECT_EQ(Http_PageFile("/")->name, "index.html");
  EXPECT_EQ(Http_PageFile("/index.html?v=2#top"), Http_PageFile("/"));
  for (const char* target : {"", "index.html", "/..", "/../index.html", "/%2e%2e/", "/./index.html",
                             "//index.html", "/index.html/", "/www/index.html", "/INDEX.HTML"})
    EXPECT_EQ(Http_PageFile(target), nullptr) << target;
  EXPECT_EQ(Http_ContentType("app.JS"), "text/javascript; charset=utf-8");
  EXPECT_EQ(Http_ContentType("favicon.svg"), "image/svg+xml");
  EXPECT_EQ(Http_ContentType("noextension"), "application/octet-stream");
}

TEST(Http, CookiesOriginsAndQueries) {
  EXPECT_EQ(Http_CookieValue("a=1; acq_session=abc ;b=2", "acq_session"), "abc");
  EXPECT_EQ(Http_CookieValue("xacq_session=abc", "acq_session"), "");
  EXPECT_EQ(Http_CookieValue("", "acq_session"), "");
  EXPECT_EQ(Http_SessionCookie("T", true), "acq_session=T; Path=/; HttpOnly; SameSite=Strict; Secure");

  struct Case { const char* origin; const char* host; bool tls; bool same; };
  const Case cases[] = {
      {"http://127.0.0.1:8080", "127.0.0.1:8080", false, true},
      {"HTTP://Example.org", "example.org", false, true},
      {"https://127.0.0.1:8080", "127.0.0.1:8080", false, false},   // scheme of the connection
      {"http://127.0.0.1:8080", "127.0.0.1:8080", true, false},
      {"http://127.0.0.1:8081", "127.0.0.1:8080", false, false},
      {"http://127.0.0.1:8080.evil.example", "127.0.0.1:8080", false, false},
      {"null", "127.0.0.1:8080", false, false},
      {"", "127.0.0.1:8080", false, false},
      {"http://", "", false, false},
  };
  for (const Case& c : cases) EXPECT_EQ(Http_SameOrigin(c.origin, c.host, c.tls), c.same) << c.origin;

  EXPECT_EQ(Http_QueryNumber("/api/upload?ask=12", "ask"), 12);
  EXPECT_EQ(Http_QueryNumber("/api/upload?x=1&ask=3", "ask"), 3);
  EXPECT_FALSE(Http_QueryNumber("/api/upload?ask=3x", "ask"));
  EXPECT_FALSE(Http_QueryNumber("/api/upload?task=3", "ask"));
  EXPECT_FALSE(Http_QueryNumber("/api/upload", "ask"));
}

TEST(Http, UploadNamesStayInTheirFolder) {
  struct Case { const char* given; const char* safe; };
  const Case cases[] = {
      {"order.edi", "order.edi"},
      {"../../etc/passwd", "passwd"},
      {"..%2F..%2Fetc%2Fpasswd", "passwd"},
      {"C:\\Users\\ann\\x.edi", "x.edi"},
      {"..", "upload"},
      {".hidden", "hidden"},
      {"", "upload"},
      {"a b;c$(rm).txt", "a_b_c__rm_.txt"},
      {"r%C3%A9sum%C3%A9.pdf", "r__sum__.pdf"},
  };
  for (const Case& c : cases) EXPECT_EQ(Http_SafeFileName(c.given), c.safe) << c.given;
  EXPECT_EQ(Http_SafeFileName(std::string(300, 'x') + ".edi").size(), 100u);
  EXPECT_EQ(Http_ContentDisposition("a\"b.pdf"), "inline; filename=\"a_b.pdf\"; filename*=UTF-8''a%22b.pdf");
  EXPECT_EQ(Http_ContentDisposition("x.edi").rfind("attachment;", 0), 0u);
}

}  // namespace
}  // namespace acqserve
