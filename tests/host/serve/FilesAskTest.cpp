// A question for several files: answered by uploads, then an answer that
// carries nothing the page chose.
#include <gtest/gtest.h>

#include <nlohmann/json.hpp>

#include "host/serve/Validate.h"

namespace acqserve {
namespace {

using nlohmann::json;

TEST(FilesAsk, TheAnswerPassesOnTheStoredPathsOnly) {
  FrameState state;
  state.windows = {7};
  state.ask = OpenAsk{3, "files", {}, 0};
  struct Case { const char* page; const char* refusal; };   // refusal "" accepted
  const Case before[] = {
      {R"({"t":"answer","id":3})", "upload the files first"},
      {R"({"t":"answer","id":3,"cancel":true})", ""},
  };
  for (const Case& c : before) {
    const PageVerdict v = Serve_CheckPageMessage(c.page, state);
    EXPECT_EQ(v.refusal.find(c.refusal) == std::string::npos ? "" : c.refusal, std::string(c.refusal));
    EXPECT_EQ(v.kind == PageVerdict::Kind::Refused, *c.refusal != 0) << c.page;
  }
  state.uploaded = {"/srv/s1/a.edi", "/srv/s1/1-a.edi"};
  const Case after[] = {
      {R"({"t":"answer","id":3})", ""},
      {R"({"t":"answer","id":3,"text":"/etc/passwd"})", "uploads only"},
      {R"({"t":"answer","id":3,"paths":["/etc/passwd"]})", ""},   // unknown members are dropped
      {R"({"t":"answer","id":4})", "no open question"},
  };
  for (const Case& c : after) {
    const PageVerdict v = Serve_CheckPageMessage(c.page, state);
    ASSERT_EQ(v.kind == PageVerdict::Kind::Refused, *c.refusal != 0) << c.page << v.refusal;
    if (*c.refusal) {
      EXPECT_NE(v.refusal.find(c.refusal), std::string::npos) << v.refusal;
      continue;
    }
    const json line = json::parse(v.frameLine);
    EXPECT_EQ(line["paths"], json(state.uploaded)) << c.page;
    EXPECT_FALSE(line.contains("text"));
  }
}

}  // namespace
}  // namespace acqserve
