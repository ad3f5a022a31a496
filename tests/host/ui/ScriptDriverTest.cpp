#include <gtest/gtest.h>
#include <unistd.h>

#include <memory>
#include <string>

#include "host/muc/MucTools.h"
#include "host/muc/UiDriver.h"
#include "tests/host/ui/UiTestSupport.h"

namespace {

TEST(ScriptDriver, ParseErrorsNameFileAndLine) {
  struct Case { const char* script; const char* error; };
  const Case cases[] = {
      {"command\n", "s.txt:1: 'command' needs one command number"},
      {"# comment\n\nsend 0x400 1\n", "s.txt:3: 'send' needs MSG WPARAM LPARAM"},
      {"command 70000\n", "s.txt:1: 'command' needs one command number"},
      {"answer msgbox maybe\n", "s.txt:1: unknown button 'maybe'"},
      {"answer credentials bob\n", "s.txt:1: 'answer credentials' needs USER PASSWORD"},
      {"command 1\nexpect \"open\n", "s.txt:2: missing closing quote"},
      {"expect \"a\\qb\"\n", "s.txt:1: unknown escape"},
      {"command 1\nlogin a b\n", "s.txt:2: 'login' must come before the first action"},
      {"frobnicate 1\n", "s.txt:1: unknown statement 'frobnicate'"},
      {"close now\n", "s.txt:1: 'close' takes no arguments"},
  };
  for (const Case& c : cases) {
    std::string error;
    EXPECT_EQ(Ui_MakeScriptDriver(c.script, "s.txt", "", &error), nullptr) << c.script;
    EXPECT_EQ(error.rfind(c.error, 0), 0u) << c.script << " gave: " << error;
  }
}

TEST(ScriptDriver, ActionsAreNormalized) {
  struct Case { const char* text; const char* normalized; };
  const Case cases[] = {
      {"command 0xA1", "command 161"},
      {"  send   3024 0 -1  # start-up", "send 0x0BD0 0 -1"},
      {"post 0x146b 0x10 0", "post 0x146B 16 0"},
      {"close", "close"},
  };
  for (const Case& c : cases) {
    UiAction action;
    std::string error;
    ASSERT_TRUE(Ui_ParseAction(c.text, action, &error)) << c.text << ": " << error;
    EXPECT_EQ(Ui_ActionText(action), c.normalized);
  }
  UiAction action;
  EXPECT_FALSE(Ui_ParseAction("send 0x10 -1 0", action, nullptr));  // WPARAM is unsigned
  EXPECT_FALSE(Ui_ParseAction("command 12x", action, nullptr));
}

TEST(ScriptDriver, AnswersServeTheirOwnActionAndOkBoxesAnswerThemselves) {
  ScriptedUi ui(
      "answer msgbox yes \"Start\"\n"
      "command 1\n"
      "answer msgbox no\n"
      "command 0x2\n");
  UiDriver& d = ui.driver();
  // Start-up: the OK box does not fit "yes", so it answers itself and the
  // answer waits for the Yes/No box.
  EXPECT_EQ(d.MessageBox("C", "Welcome", MsgButtons::Ok, MsgIcon::None), MsgAnswer::Ok);
  EXPECT_EQ(d.MessageBox("C", "Start now?", MsgButtons::YesNo, MsgIcon::Question), MsgAnswer::Yes);
  EXPECT_EQ(d.NextAction(), "command 1");
  EXPECT_EQ(d.MessageBox("C", "Save?", MsgButtons::YesNoCancel, MsgIcon::Question), MsgAnswer::No);
  EXPECT_EQ(d.NextAction(), "command 2");
  EXPECT_EQ(d.MessageBox("C", "Saved.", MsgButtons::Ok, MsgIcon::None), MsgAnswer::Ok);
  EXPECT_EQ(d.NextAction(), std::nullopt);
  d.Finish();
  EXPECT_EQ(ui.FailReason(), "");
  EXPECT_EQ(ui.Transcript(),
            "msgbox \"C\" \"Welcome\" -> OK (auto)\n"
            "msgbox \"C\" \"Start now?\" -> Yes\n"
            "action command 1\n"
            "msgbox \"C\" \"Save?\" -> No\n"
            "action command 2\n"
            "msgbox \"C\" \"Saved.\" -> OK (auto)\n");
}

TEST(ScriptDriver, QuestionsWithoutAFittingAnswerFailTheRun) {
  enum class Ask { YesNo, YesNoCancel, Credentials, Text };
  struct Case { const char* answers; Ask ask; const char* reason; };
  const Case cases[] = {
      {"", Ask::YesNo, "s.txt:1 (command 5): no answer left for msgbox \"C\" \"Delete?\""},
      {"", Ask::YesNoCancel, "no answer left for msgbox"},
      {"", Ask::Credentials, "no answer left for credentials \"Authorise\""},
      {"", Ask::Text, "no answer left for text \"File name\""},
      // Answers are taken in order: the wrong kind, or a substring the box
      // text lacks, does not fit.
      {"answer text x\n", Ask::YesNo, "the next answer (line 2: answer text) does not fit msgbox"},
      {"answer msgbox yes \"Remove\"\n", Ask::YesNo, "does not fit msgbox \"C\" \"Delete?\""},
      {"answer msgbox ok\n", Ask::YesNo, "(line 2: answer msgbox OK) does not fit"},
  };
  for (const Case& c : cases) {
    ScriptedUi ui(std::string("command 5\n") + c.answers);
    UiDriver& d = ui.driver();
    ASSERT_EQ(d.NextAction(), "command 5");
    switch (c.ask) {
      case Ask::YesNo:
        EXPECT_EQ(d.MessageBox("C", "Delete?", MsgButtons::YesNo, MsgIcon::None), MsgAnswer::No);
        break;
      case Ask::YesNoCancel:
        EXPECT_EQ(d.MessageBox("C", "Keep?", MsgButtons::YesNoCancel, MsgIcon::None),
                  MsgAnswer::Cancel);
        break;
      case Ask::Credentials: EXPECT_EQ(d.AskCredentials("Authorise"), std::nullopt); break;
      case Ask::Text: EXPECT_EQ(d.AskText("File name", "a.txt", false), std::nullopt); break;
    }
    EXPECT_TRUE(d.Failed());
    EXPECT_NE(ui.FailReason().find(c.reason), std::string::npos) << ui.FailReason();
    EXPECT_NE(ui.Transcript().find("fail " + ui.FailReason()), std::string::npos);
  }
}

TEST(ScriptDriver, UnusedAnswerFailsAndStopsTheActions) {
  ScriptedUi ui(
      "command 1\n"
      "answer msgbox yes\n"
      "command 2\n");
  UiDriver& d = ui.driver();
  EXPECT_EQ(d.NextAction(), "command 1");
  EXPECT_EQ(d.NextAction(), std::nullopt);  // command 2 is not handed out after the failure
  EXPECT_EQ(ui.FailReason(), "s.txt:2: answer not used (line 2: answer msgbox Yes)");
}

TEST(ScriptDriver, FinishChecksTheLastGroupAndActionsNeverRun) {
  {
    ScriptedUi ui("close\nanswer msgbox no\n");
    ASSERT_EQ(ui.driver().NextAction(), "close");
    ui.driver().Finish();  // the close went through without asking
    EXPECT_NE(ui.FailReason().find("s.txt:2: answer not used"), std::string::npos);
  }
  {
    ScriptedUi ui("command 1\ncommand 2\n");
    ASSERT_EQ(ui.driver().NextAction(), "command 1");
    ui.driver().Finish();
    EXPECT_EQ(ui.FailReason(), "s.txt:2: the frame shut down before this action ran");
  }
}

TEST(ScriptDriver, ExpectationsAreCheckedAfterTheirAction) {
  ScriptedUi ui(
      "expect-not \"Saved\"\n"
      "command 1\n"
      "expect \"notice status Saved\"\n"
      "expect-not \"Error\"\n"
      "command 2\n"
      "expect \"Error\"\n");
  UiDriver& d = ui.driver();
  ASSERT_EQ(d.NextAction(), "command 1");
  d.Notice("status", "Saved");
  ASSERT_EQ(d.NextAction(), "command 2");
  EXPECT_FALSE(d.Failed());
  EXPECT_EQ(d.NextAction(), std::nullopt);
  EXPECT_EQ(ui.FailReason(), "s.txt:6: \"Error\" is not in the transcript");
}

TEST(ScriptDriver, TranscriptNeverHoldsPasswords) {
  ScriptedUi ui(
      "login alice pw-login\n"
      "answer text \"pw-text\"\n"
      "command 1\n"
      "answer credentials bob pw-bob\n"
      "answer credentials carol pw-carol\n");
  UiDriver& d = ui.driver();
  ASSERT_TRUE(d.StartupLogin());
  EXPECT_EQ(d.StartupLogin()->password, "pw-login");
  EXPECT_EQ(d.AskText("Password for alice", "", true), "pw-text");
  ASSERT_EQ(d.NextAction(), "command 1");
  std::optional<Credentials> bob = d.AskCredentials("Authorisation needed: privilege 1009");
  ASSERT_TRUE(bob);
  EXPECT_EQ(bob->password, "pw-bob");
  EXPECT_EQ(d.NextAction(), std::nullopt);  // carol's answer is left over
  const std::string transcript = ui.Transcript();
  EXPECT_NE(transcript.find("text \"Password for alice\" -> (secret)"), std::string::npos);
  EXPECT_NE(transcript.find("credentials \"Authorisation needed: privilege 1009\" -> bob"),
            std::string::npos);
  EXPECT_NE(ui.FailReason().find("answer credentials carol"), std::string::npos);
  EXPECT_EQ(transcript.find("pw-"), std::string::npos) << transcript;
  EXPECT_EQ(ui.FailReason().find("pw-"), std::string::npos);
}

TEST(ScriptDriver, TranscriptThatCannotBeWrittenFailsTheRun) {
  if (access("/dev/full", W_OK) != 0) GTEST_SKIP() << "no /dev/full here";
  std::string error;
  std::unique_ptr<UiDriver> d = Ui_MakeScriptDriver("command 1\ncommand 2\n", "s.txt",
                                                    "/dev/full", &error);
  ASSERT_TRUE(d) << error;
  EXPECT_EQ(d->NextAction(), "command 1");   // its line is lost on the full disk
  EXPECT_EQ(d->NextAction(), std::nullopt);  // so nothing more runs
  std::string reason;
  ASSERT_TRUE(d->Failed(&reason));
  EXPECT_EQ(reason, "the transcript '/dev/full' could not be written (No space left on device); "
                    "the run's record is lost");
}

// A script line of any length gives a message of a few lines at most.
TEST(ScriptDriver, ErrorsQuoteOnlyTheStartOfLongInput) {
  const std::string huge(1 << 20, 'x');
  for (const std::string& script :
       {huge + "\n", "answer msgbox " + huge + "\n", "command 1\nexpect \"" + huge + "\"\n"}) {
    std::string error;
    std::unique_ptr<UiDriver> d = Ui_MakeScriptDriver(script, "s.txt", "", &error);
    if (d) {   // parsed: the expectation fails after its action
      ASSERT_EQ(d->NextAction(), "command 1");
      EXPECT_EQ(d->NextAction(), std::nullopt);
      ASSERT_TRUE(d->Failed(&error));
    }
    EXPECT_LT(error.size(), 200u) << error.substr(0, 200);
    EXPECT_NE(error.find("xxx..."), std::string::npos) << error.substr(0, 200);
  }
  UiAction action;
  std::string error;
  EXPECT_FALSE(Ui_ParseAction(huge, action, &error));
  EXPECT_LT(error.size(), 200u);
}

TEST(MucTools, HourGlassIsCountedAndToldOnlyOnTransitions) {
  ScriptedUi ui("");
  MucTools_HourGlass(true);
  MucTools_HourGlass(true);
  EXPECT_EQ(GetCursor(), IDC_WAIT);
  MucTools_HourGlass(false);
  EXPECT_EQ(GetCursor(), IDC_WAIT);
  MucTools_HourGlass(false);
  MucTools_HourGlass(false);  // unbalanced off: ignored
  EXPECT_EQ(GetCursor(), IDC_ARROW);
  EXPECT_EQ(ui.Transcript(), "notice hourglass on\nnotice hourglass off\n");
}

TEST(MucTools, MessageBoxesGoThroughTheDriver) {
  ScriptedUi ui("answer msgbox no \"sure\"\nanswer msgbox retry\n");
  EXPECT_FALSE(MucTools_MsgBoxCapYNbool(nullptr, "Delete PO|Are you sure?"));
  EXPECT_EQ(MucTools_MsgBox(nullptr, "Print", "Printer offline.", MB_RETRYCANCEL), IDRETRY);
  EXPECT_EQ(MucTools_MsgBoxCap(nullptr, "No caption here", MB_OK), IDOK);
  EXPECT_EQ(ui.Transcript(),
            "msgbox \"Delete PO\" \"Are you sure?\" -> No\n"
            "msgbox \"Print\" \"Printer offline.\" -> Retry\n"
            "msgbox \"\" \"No caption here\" -> OK (auto)\n");
}

// A script answers a choice (a printer) with the option's text, any case;
// a text that names no option cancels it.
TEST(ScriptDriver, ChoicesAreAnsweredByTheOptionsText) {
  ScriptedUi ui(
      "answer text \"pdf FILE\"\n"
      "answer text \"front desk\"\n");
  UiDriver& d = ui.driver();
  const std::vector<std::string> printers = {"front-desk", "PDF file"};
  EXPECT_EQ(d.AskChoice("Printer", printers, 0), 1u);
  EXPECT_EQ(d.AskChoice("Printer", printers, 0), std::nullopt);
  d.Finish();
  EXPECT_NE(ui.Transcript().find("Printer (front-desk, PDF file)"), std::string::npos)
      << ui.Transcript();
}

}  // namespace
