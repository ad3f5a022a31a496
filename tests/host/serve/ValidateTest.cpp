// The checks on the page's messages, against a screen with windows 7 and 9
// and, where a case needs one, an open question.
#include "host/serve/Validate.h"

#include <gtest/gtest.h>

#include <nlohmann/json.hpp>

namespace acqserve {
namespace {

using nlohmann::json;
using Kind = PageVerdict::Kind;

FrameState Screen(std::optional<OpenAsk> ask = std::nullopt, std::optional<int64_t> modal = {}) {
  FrameState state;
  state.windows = {7, 9};
  state.modal = modal;
  state.ask = std::move(ask);
  return state;
}

TEST(Validate, RefusesWhatIsNotAWellFormedMessage) {
  const FrameState state = Screen();
  const std::string refused[] = {
      "", "not json", "[]", "\"action\"", "42", "{}", R"({"t":5})", R"({"t":"hello"})",
      R"({"t":"screen"})", R"({"t":"action"})", R"({"t":"action","text":["command 152"]})",
      R"({"t":"action","text":"command 152","window":7.5})",
      R"({"t":"action","text":"command 152","window":"7"})",
      R"({"t":"action","text":"frobnicate"})",
      R"({"t":"action","text":"send 0x111 152 0"})",   // raw messages are the frame's own
      R"({"t":"action","text":"post 0x111 152 0"})",
      R"({"t":"action","text":"menu"})",
      R"({"t":"action","text":"show","window":8})",     // not on the screen
      json{{"t", "action"}, {"text", "search \"x\" \"" + std::string(kMaxPageText, 'y') + "\""}}.dump(),
  };
  for (const std::string& text : refused) {
    const PageVerdict v = Serve_CheckPageMessage(text, state);
    EXPECT_EQ(v.kind, Kind::Refused) << text.substr(0, 80);
    EXPECT_FALSE(v.refusal.empty()) << text.substr(0, 80);
    EXPECT_TRUE(v.frameLine.empty());
  }
}

TEST(Validate, ForwardsCheckedActionsRebuilt) {
  struct Case { const char* in; const char* out; };
  const Case cases[] = {
      {R"({"t":"action","text":"command 152"})", R"({"t":"action","text":"command 152"})"},
      {R"({"t":"action","text":"press 1001","window":9,"extra":{"x":1}})",
       R"({"t":"action","text":"press 1001","window":9})"},   // unknown members never reach the frame
      {R"({"t":"action","text":"field po_number \"PO-\\\"1\\\"\"","window":7})",
       R"({"t":"action","text":"field po_number \"PO-\\\"1\\\"\"","window":7})"},
  };
  for (const Case& c : cases) {
    const PageVerdict v = Serve_CheckPageMessage(c.in, Screen());
    EXPECT_EQ(v.kind, Kind::Action) << c.in << ": " << v.refusal;
    EXPECT_EQ(json::parse(v.frameLine), json::parse(c.out)) << c.in;
  }
  EXPECT_EQ(Serve_CheckPageMessage(R"({"t":"logout","why":1})", Screen()).kind, Kind::Logout);
}

TEST(Validate, ModalWindowAndOpenQuestionHoldBackOtherActions) {
  const OpenAsk yesNo{3, "message", {"yes", "no"}};
  struct Case { FrameState state; const char* in; Kind kind; };
  const Case cases[] = {
      {Screen({}, 9), R"({"t":"action","text":"command 152"})", Kind::Refused},
      {Screen({}, 9), R"({"t":"action","text":"press 1","window":7})", Kind::Refused},
      {Screen({}, 9), R"({"t":"action","text":"press 1","window":9})", Kind::Action},
      {Screen({}, 9), R"({"t":"action","text":"key \"Escape\""})", Kind::Action},
      {Screen(yesNo), R"({"t":"action","text":"press 1","window":9})", Kind::Refused},
  };
  for (const Case& c : cases)
    EXPECT_EQ(Serve_CheckPageMessage(c.in, c.state).kind, c.kind) << c.in;
}

TEST(Validate, AnswersMustFitTheOpenQuestion) {
  const OpenAsk message{3, "message", {"yes", "no"}};
  const OpenAsk credentials{4, "credentials", {}};
  const OpenAsk text{5, "text", {}};
  const OpenAsk file{6, "file", {}};
  const OpenAsk choice{7, "choice", {}, 2};
  struct Case { const OpenAsk* ask; const char* in; const char* out; };   // out null: refused
  const Case cases[] = {
      {nullptr, R"({"t":"answer","id":3,"button":"yes"})", nullptr},
      {&message, R"({"t":"answer","id":3,"button":"yes"})", R"({"t":"answer","id":3,"button":"yes"})"},
      {&message, R"({"t":"answer","id":2,"button":"yes"})", nullptr},       // an old question
      {&message, R"({"t":"answer","id":"3","button":"yes"})", nullptr},
      {&message, R"({"t":"answer","id":3,"button":"ok"})", nullptr},        // not offered
      {&message, R"({"t":"answer","id":3,"button":"yes","text":"x"})", nullptr},
      {&message, R"({"t":"answer","id":3,"cancel":true})", R"({"t":"answer","id":3,"cancel":true})"},
      {&message, R"({"t":"answer","id":3,"cancel":"yes"})", nullptr},
      {&credentials, R"({"t":"answer","id":4,"user":"ann","password":"x"})",
       R"({"t":"answer","id":4,"user":"ann","password":"x"})"},
      {&credentials, R"({"t":"answer","id":4,"user":"ann"})", nullptr},
      {&credentials, R"({"t":"answer","id":4,"user":"ann","password":1})", nullptr},
      {&text, R"({"t":"answer","id":5,"text":"value"})", R"({"t":"answer","id":5,"text":"value"})"},
      {&text, R"({"t":"answer","id":5,"button":"ok"})", nullptr},
      {&file, R"({"t":"answer","id":6,"text":"/etc/passwd"})", nullptr},   // files come by upload only
      {&file, R"({"t":"answer","id":6,"cancel":true})", R"({"t":"answer","id":6,"cancel":true})"},
      {&choice, R"({"t":"answer","id":7,"choice":1})", R"({"t":"answer","id":7,"choice":1})"},
      {&choice, R"({"t":"answer","id":7,"choice":2})", nullptr},     // two options: 0 and 1
      {&choice, R"({"t":"answer","id":7,"choice":-1})", nullptr},
      {&choice, R"({"t":"answer","id":7,"choice":"1"})", nullptr},
      {&choice, R"({"t":"answer","id":7,"text":"PDF file"})", nullptr},
  };
  for (const Case& c : cases) {
    const FrameState state = Screen(c.ask ? std::optional<OpenAsk>(*c.ask) : std::nullopt);
    const PageVerdict v = Serve_CheckPageMessage(c.in, state);
    if (!c.out) {
      EXPECT_EQ(v.kind, Kind::Refused) << c.in;
      continue;
    }
    EXPECT_EQ(v.kind, Kind::Answer) << c.in << ": " << v.refusal;
    EXPECT_EQ(json::parse(v.frameLine), json::parse(c.out)) << c.in;
  }
}

TEST(Validate, FrameMessagesSetWindowsAndQuestion) {
  FrameState state = Screen(OpenAsk{1, "text", {}});
  ASSERT_TRUE(Serve_NoteFrameMessage(
      json::parse(R"({"t":"screen","current":12,"modal":null,
                      "windows":[{"id":12},{"id":"13"},{"caption":"no id"},5,{"id":14}]})"),
      state));
  EXPECT_EQ(state.windows, (std::set<int64_t>{12, 14}));
  EXPECT_FALSE(state.modal);
  EXPECT_FALSE(state.ask) << "a screen means the question was answered";

  EXPECT_FALSE(Serve_NoteFrameMessage(json::parse(R"({"t":"ask","id":"2","kind":"text"})"), state));
  EXPECT_FALSE(state.ask);
  ASSERT_TRUE(Serve_NoteFrameMessage(
      json::parse(R"({"t":"ask","id":2,"kind":"message","buttons":["retry",7,"cancel"]})"), state));
  ASSERT_TRUE(state.ask);
  EXPECT_EQ(state.ask->buttons, (std::vector<std::string>{"retry", "cancel"}));
  EXPECT_TRUE(Serve_NoteFrameMessage(json::parse(R"({"t":"notice","kind":"status"})"), state));
  EXPECT_TRUE(state.ask) << "a notice leaves the question open";
}

}  // namespace
}  // namespace acqserve
