// The page's tree actions and pop-up menu answers: item numbers must lie
// within what the window's tree showed last.
#include <gtest/gtest.h>

#include <nlohmann/json.hpp>

#include "host/serve/Validate.h"

namespace acqserve {
namespace {

using nlohmann::json;

// Window 4 shows a tree of three items and is current; window 5 has none.
FrameState TreeScreen() {
  FrameState state;
  const json screen = {
      {"t", "screen"},
      {"current", 4},
      {"modal", nullptr},
      {"windows",
       {{{"id", 4}, {"trees", {{{"name", "h"}, {"nodes", {json::object(), json::object(), json::object()}}}}}},
        {{"id", 5}, {"trees", json::array()}}}}};
  EXPECT_TRUE(Serve_NoteFrameMessage(screen, state));
  return state;
}

TEST(ValidateTree, ItemNumbersWithinTheTreeShown) {
  struct Case { json message; bool forwarded; };
  const Case cases[] = {
      {{{"t", "action"}, {"text", "node 3"}}, true},
      {{{"t", "action"}, {"text", "node 3"}, {"window", 4}}, true},
      {{{"t", "action"}, {"text", "node 4"}}, false},
      {{{"t", "action"}, {"text", "rename 2 \"ART\""}}, true},
      {{{"t", "action"}, {"text", "rename 7 \"ART\""}}, false},
      {{{"t", "action"}, {"text", "drag 1 3"}}, true},
      {{{"t", "action"}, {"text", "drag 3 4"}}, false},
      {{{"t", "action"}, {"text", "drag 1 1"}}, false},
      {{{"t", "action"}, {"text", "node 1"}, {"window", 5}}, false},   // no tree there
      {{{"t", "action"}, {"text", "node \"ART\""}}, true},
  };
  const FrameState state = TreeScreen();
  for (const Case& c : cases) {
    const PageVerdict v = Serve_CheckPageMessage(c.message.dump(), state);
    EXPECT_EQ(v.kind == PageVerdict::Kind::Action, c.forwarded) << c.message.dump() << ": " << v.refusal;
  }
}

TEST(ValidateTree, MenuIsAnsweredByAnItemOrDismissed) {
  FrameState state = TreeScreen();
  ASSERT_TRUE(Serve_NoteFrameMessage(
      {{"t", "ask"}, {"id", 3}, {"kind", "menu"}, {"options", {"Move Item", "Copy Item"}}}, state));
  struct Case { const char* answer; bool forwarded; };
  const Case cases[] = {
      {R"({"t":"answer","id":3,"choice":1})", true},
      {R"({"t":"answer","id":3,"cancel":true})", true},
      {R"({"t":"answer","id":3,"choice":2})", false},
      {R"({"t":"answer","id":3,"text":"Move Item"})", false},
  };
  for (const Case& c : cases)
    EXPECT_EQ(Serve_CheckPageMessage(c.answer, state).kind == PageVerdict::Kind::Answer, c.forwarded)
        << c.answer;
  EXPECT_EQ(Serve_CheckPageMessage(R"({"t":"action","text":"node 1"})", state).kind,
            PageVerdict::Kind::Refused) << "the menu is modal";
}

}  // namespace
}  // namespace acqserve
