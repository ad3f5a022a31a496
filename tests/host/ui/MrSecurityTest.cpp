// Security prompts against a real database: the demo users admin (every
// privilege), clerk (poFind, poOpen, poEdit, poRec, stFind) and viewer
// (poFind), each with the user name as password.
#include <gtest/gtest.h>

#include <string>

#include "host/db/PwDb.h"
#include "host/mr/PwMr.h"
#include "support/TestLibrary.h"
#include "tests/host/ui/UiTestSupport.h"

namespace {

constexpr int32_t kPoFind = 1007;
constexpr int32_t kPoHead = 1006;  // admin only
constexpr int32_t kPoEdit = 1009;  // clerk and admin

class MrSecurity : public ::testing::Test {
 protected:
  void SetUp() override {
    DbMsg msg;
    ASSERT_EQ(_DbLogin(session_, lib_.Target(), "viewer", "viewer", "acq", msg), kDbOk)
        << msg.text;
  }
  void TearDown() override { _DbLogout(&session_); }

  // Asks for `privilege` with the prompt, answered by `script`; the run must
  // use every answer.
  bool Ask(const std::string& script, int32_t privilege, std::string* transcript = nullptr) {
    ScriptedUi ui(script);
    bool granted = MrKeyStr_CheckSecurityUser(privilege, 0, 2, session_, nullptr);
    ui.driver().Finish();
    EXPECT_EQ(ui.FailReason(), "") << script;
    if (transcript) *transcript = ui.Transcript();
    return granted;
  }

  testlib::TestLibrary lib_;
  HDb session_ = nullptr;
};

TEST_F(MrSecurity, CurrentUsersOwnPrivilegeNeedsNoPrompt) {
  EXPECT_TRUE(MrKeyStr_CheckSecurityUserNoPrompt(kPoFind, session_));
  EXPECT_FALSE(MrKeyStr_CheckSecurityUserNoPrompt(kPoEdit, session_));
  EXPECT_TRUE(Ask("", kPoFind));  // an empty script: any question would fail it
}

TEST_F(MrSecurity, AnotherUserAuthorises) {
  std::string transcript;
  EXPECT_TRUE(Ask("answer credentials clerk clerk\n", kPoEdit, &transcript));
  EXPECT_NE(transcript.find("credentials \"Authorisation needed: privilege 1009\" -> clerk\n"
                            "notice security granted by clerk\n"),
            std::string::npos)
      << transcript;
}

TEST_F(MrSecurity, RefusalsAreToldAndAskedAgain) {
  const std::string refused =
      "msgbox \"Security\" \"The user name or password is incorrect, or that user does not "
      "hold this privilege.\" -> OK (auto)";
  struct Case { const char* script; int32_t privilege; bool granted; int refusals; };
  const Case cases[] = {
      {"answer credentials clerk wrong\nanswer credentials cancel\n", kPoEdit, false, 1},
      // Right password, but clerk lacks poHead; admin has it.
      {"answer credentials clerk clerk\nanswer credentials admin admin\n", kPoHead, true, 1},
      {"answer credentials nobody x\nanswer credentials clerk x\nanswer credentials admin x\n",
       kPoEdit, false, 3},  // three tries, then no fourth question
  };
  for (const Case& c : cases) {
    std::string transcript;
    EXPECT_EQ(Ask(c.script, c.privilege, &transcript), c.granted) << c.script;
    int count = 0;
    for (size_t at = transcript.find(refused); at != std::string::npos;
         at = transcript.find(refused, at + 1))
      ++count;
    EXPECT_EQ(count, c.refusals) << transcript;
  }
}

}  // namespace
