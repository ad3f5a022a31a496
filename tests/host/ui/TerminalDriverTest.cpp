#include <gtest/gtest.h>

#include <iostream>
#include <sstream>
#include <string>

#include "host/muc/UiDriver.h"

namespace {

// The terminal driver reading `input` and writing into `output` for the scope.
class Terminal {
 public:
  explicit Terminal(const std::string& input) : in_(input) {
    oldIn_ = std::cin.rdbuf(in_.rdbuf());
    oldOut_ = std::cout.rdbuf(out_.rdbuf());
    std::cin.clear();
  }
  ~Terminal() {
    std::cin.rdbuf(oldIn_);
    std::cout.rdbuf(oldOut_);
    std::cin.clear();
  }
  Terminal(const Terminal&) = delete;
  Terminal& operator=(const Terminal&) = delete;

  UiDriver& driver() { return *driver_; }
  std::string Output() const { return out_.str(); }

 private:
  std::istringstream in_;
  std::ostringstream out_;
  std::streambuf* oldIn_;
  std::streambuf* oldOut_;
  std::unique_ptr<UiDriver> driver_ = Ui_MakeTerminalDriver();
};

TEST(TerminalDriver, MessageBoxesTakeAButtonLetter) {
  struct Case { const char* input; MsgButtons buttons; MsgAnswer answer; };
  const Case cases[] = {
      {"n\n", MsgButtons::YesNo, MsgAnswer::No},
      {"  Yes please\n", MsgButtons::YesNoCancel, MsgAnswer::Yes},
      {"x\n\nr\n", MsgButtons::AbortRetryIgnore, MsgAnswer::Retry},  // asked again
      {"\n", MsgButtons::Ok, MsgAnswer::Ok},                          // Enter confirms OK
      {"", MsgButtons::YesNoCancel, MsgAnswer::Cancel},               // end of input
      {"", MsgButtons::YesNo, MsgAnswer::No},
      {"", MsgButtons::AbortRetryIgnore, MsgAnswer::Abort},
  };
  for (const Case& c : cases) {
    Terminal t(c.input);
    EXPECT_EQ(t.driver().MessageBox("Cap", "Text", c.buttons, MsgIcon::None), c.answer)
        << c.input;
  }
  Terminal t("y\n");
  t.driver().MessageBox("Delete PO", "Are you sure?", MsgButtons::YesNo, MsgIcon::Question);
  EXPECT_NE(t.Output().find("-- Delete PO --\nAre you sure?\n[Y]es  [N]o? "), std::string::npos);
}

TEST(TerminalDriver, QuestionsAndCancels) {
  {
    Terminal t("bob\nhunter2\n");
    std::optional<Credentials> c = t.driver().AskCredentials("Authorisation needed");
    ASSERT_TRUE(c);
    EXPECT_EQ(c->user, "bob");
    EXPECT_EQ(c->password, "hunter2");
  }
  {
    Terminal t("\n");  // an empty user name cancels
    EXPECT_EQ(t.driver().AskCredentials("Authorisation needed"), std::nullopt);
  }
  {
    Terminal t("\nnew.txt\n");  // Enter keeps the initial value
    EXPECT_EQ(t.driver().AskText("File", "orders.edi", false), "orders.edi");
    EXPECT_EQ(t.driver().AskText("File", "orders.edi", false), "new.txt");
    EXPECT_EQ(t.driver().AskText("File", "orders.edi", false), std::nullopt);
  }
}

TEST(TerminalDriver, ActionsAreCheckedAndEndOfInputEndsThem) {
  Terminal t("help\nfrobnicate\n\ncommand 0xA1\nsend 0x400 1 -2\nquit\n");
  UiDriver& d = t.driver();
  EXPECT_EQ(d.NextAction(), "command 161");
  EXPECT_EQ(d.NextAction(), "send 0x0400 1 -2");
  EXPECT_EQ(d.NextAction(), "close");
  EXPECT_EQ(d.NextAction(), std::nullopt);
  EXPECT_NE(t.Output().find("unknown action 'frobnicate'"), std::string::npos);
  EXPECT_NE(t.Output().find("command N"), std::string::npos);  // the help text
  EXPECT_FALSE(d.Failed());
}

}  // namespace
