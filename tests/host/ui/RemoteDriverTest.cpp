// The browser session's driver takes only well-formed answers to the open
// question and actions on windows that are open; everything else is refused
// with a notice, and a server that goes away ends the session with the
// answers that change least.
#include <gtest/gtest.h>
#include <sys/socket.h>
#include <unistd.h>

#include <nlohmann/json.hpp>
#include <sstream>
#include <string>
#include <thread>
#include <vector>

#include "host/muc/UiDriver.h"

namespace {

// The server's end of a session socket: lines written ahead, lines read back.
class Peer {
 public:
  Peer() {
    int fds[2];
    EXPECT_EQ(socketpair(AF_UNIX, SOCK_STREAM, 0, fds), 0);
    server_ = fds[0];
    frame_ = fds[1];
  }
  ~Peer() {
    close(server_);
    if (frame_ >= 0) close(frame_);
  }
  int frame() const { return frame_; }
  void Write(const std::string& lines) {
    ASSERT_EQ(write(server_, lines.data(), lines.size()), static_cast<ssize_t>(lines.size()));
  }
  void Hangup() { shutdown(server_, SHUT_WR); }
  // Everything the frame wrote so far.
  std::string Read() {
    std::string out;
    char buf[65536];
    for (;;) {
      ssize_t n = recv(server_, buf, sizeof buf, MSG_DONTWAIT);
      if (n <= 0) break;
      out.append(buf, static_cast<size_t>(n));
    }
    return out;
  }

 private:
  int server_ = -1;
  int frame_ = -1;
};

class OneWindow final : public UiScreenSource {
 public:
  UiScreen Screen() override {
    UiScreen s;
    UiWindowView v;
    v.caption = "Find PO";
    v.kind = "lister po_find_head";
    s.windows.push_back({4, v});
    s.current = 4;
    return s;
  }
  bool MakeCurrent(int id, std::string& error) override {
    made.push_back(id);
    if (id == 4) return true;
    error = "no window " + std::to_string(id) + " is open";
    return false;
  }
  std::vector<int> made;
};

std::unique_ptr<UiRemoteDriver> LoggedIn(Peer& peer) {
  peer.Write(R"({"t":"login","user":"ann","password":"pw \"1\""})"
             "\n");
  std::string error;
  auto driver = Ui_MakeRemoteDriver(peer.frame(), &error);
  EXPECT_NE(driver, nullptr) << error;
  return driver;
}

TEST(RemoteDriver, TheFirstLineMustBeALogIn) {
  for (const char* first : {"{\"t\":\"action\",\"text\":\"close\"}\n", "not json\n",
                            "{\"t\":\"login\",\"user\":7,\"password\":\"x\"}\n", ""}) {
    Peer peer;
    peer.Write(first);
    peer.Hangup();
    std::string error;
    EXPECT_EQ(Ui_MakeRemoteDriver(peer.frame(), &error), nullptr) << first;
    EXPECT_NE(error.find("log-in"), std::string::npos);
  }
  Peer peer;
  auto driver = LoggedIn(peer);
  ASSERT_TRUE(driver->StartupLogin());
  EXPECT_EQ(driver->StartupLogin()->password, "pw \"1\"");
}

TEST(RemoteDriver, ForgedLinesAreRefusedAndTheNextActionTaken) {
  Peer peer;
  auto driver = LoggedIn(peer);
  OneWindow screen;
  driver->SetScreenSource(&screen);
  // More than the socket holds: written while the driver reads.
  std::thread writer([&peer] {
    peer.Write(
      "{bad json\n"
      "[1,2]\n"
      "{\"t\":\"answer\",\"id\":1,\"button\":\"yes\"}\n"
      "{\"t\":\"action\"}\n"
      "{\"t\":\"action\",\"text\":\"press 1\",\"window\":\"4\"}\n"
      "{\"t\":\"action\",\"text\":\"press 1\",\"window\":99}\n"
      "{\"t\":\"action\",\"text\":\"press 1\",\"window\":4}\n" +
      std::string(2 << 20, 'x') + "\n{\"t\":\"action\",\"text\":\"show\"}\n");
  });
  EXPECT_EQ(driver->NextAction(), "press 1");
  EXPECT_EQ(screen.made, (std::vector<int>{99, 4}));
  const std::string out = peer.Read();
  for (const char* refused : {"not a JSON object", "no question is open",
                              "an action without its text", "a window id is a number",
                              "no window 99 is open"})
    EXPECT_NE(out.find(refused), std::string::npos) << refused;
  // One screen before each line read, with the window and its id.
  EXPECT_NE(out.find(R"("current":4)"), std::string::npos);
  // The overlong line is skipped whole; the line after it is taken.
  EXPECT_EQ(driver->NextAction(), "show");
  writer.join();
  EXPECT_NE(peer.Read().find("longer than 1 MiB"), std::string::npos);
}

TEST(RemoteDriver, AQuestionTakesOnlyItsOwnAnswer) {
  Peer peer;
  auto driver = LoggedIn(peer);
  peer.Write(
      "{\"t\":\"action\",\"text\":\"close\"}\n"
      "{\"t\":\"answer\",\"id\":2,\"button\":\"yes\"}\n"
      "{\"t\":\"answer\",\"id\":1,\"button\":\"retry\"}\n"
      "{\"t\":\"answer\",\"id\":2,\"button\":\"no\"}\n"
      "{\"t\":\"answer\",\"id\":3,\"user\":\"bob\",\"password\":\"b\"}\n"
      "{\"t\":\"answer\",\"id\":4,\"cancel\":true}\n"
      "{\"t\":\"answer\",\"id\":5,\"text\":\"/tmp/s/in.edi\"}\n"
      "{\"t\":\"answer\",\"id\":6,\"choice\":2}\n"
      "{\"t\":\"answer\",\"id\":7,\"choice\":1}\n");
  // Box 1: a button it does not offer reads as the safest one offered.
  EXPECT_EQ(driver->MessageBox("Save", "Save changes?", MsgButtons::YesNoCancel,
                               MsgIcon::Question),
            MsgAnswer::Cancel);
  EXPECT_EQ(driver->MessageBox("Save", "Save?", MsgButtons::YesNo, MsgIcon::Question),
            MsgAnswer::No);
  auto who = driver->AskCredentials("Authorise: poEdit");
  ASSERT_TRUE(who);
  EXPECT_EQ(who->user, "bob");
  EXPECT_EQ(driver->AskText("Name", "", false), std::nullopt);
  EXPECT_EQ(driver->AskFile("Interchange", "in.edi"), "/tmp/s/in.edi");
  const std::vector<std::string> printers = {"front-desk", "PDF file"};
  EXPECT_EQ(driver->AskChoice("Printer", printers, 1), std::nullopt);   // no option 2
  EXPECT_EQ(driver->AskChoice("Printer", printers, 1), 1u);
  const std::string out = peer.Read();
  EXPECT_NE(out.find("answer the open question first"), std::string::npos);
  EXPECT_NE(out.find("the answer is not to the open question"), std::string::npos);
  EXPECT_NE(out.find(R"("buttons":["yes","no","cancel"])"), std::string::npos);
  EXPECT_NE(out.find(R"("options":["front-desk","PDF file"])"), std::string::npos);
  EXPECT_NE(out.find("chooses none of the options"), std::string::npos);
}

TEST(RemoteDriver, AServerThatGoesAwayEndsTheSessionSafely) {
  Peer peer;
  auto driver = LoggedIn(peer);
  peer.Write("{\"t\":\"end\"}\n");
  EXPECT_EQ(driver->NextAction(), std::nullopt);
  // Questions asked while the frame closes get the answer that changes least.
  EXPECT_EQ(driver->MessageBox("Save", "Save changes?", MsgButtons::YesNo, MsgIcon::Question),
            MsgAnswer::No);
  Peer gone;
  auto orphan = LoggedIn(gone);
  gone.Hangup();
  EXPECT_EQ(orphan->MessageBox("Save", "Save changes?", MsgButtons::YesNoCancel,
                               MsgIcon::Question),
            MsgAnswer::Cancel);
  EXPECT_EQ(orphan->NextAction(), std::nullopt);
}

// A dialog with a check box and two radio groups side by side: the page
// needs each radio's group to draw one choice per group, and a check box
// has none.
class RadioDialog final : public UiScreenSource {
 public:
  UiScreen Screen() override {
    UiWindowView v;
    v.caption = "Print PO(s)";
    v.kind = "dialog 21";
    auto field = [&v](int id, const char* name, const char* text, bool check, int group,
                      const char* label) {
      UiWindowView::Item item;
      item.id = id;
      item.name = name;
      item.text = text;
      item.isCheck = check;
      item.radioGroup = group;
      item.label = label;
      v.items.push_back(item);
    };
    field(2100, "urgent", "No", true, 0, "");
    field(2101, "negotiable", "Yes", true, 2101, "Negotiable");
    field(2102, "draft", "No", true, 2101, "Draft");
    field(2111, "a4", "No", true, 2111, "A4");
    field(2112, "letter", "Yes", true, 2111, "Letter");
    UiScreen s;
    s.windows.push_back({9, v});
    s.current = 9;
    return s;
  }
  bool MakeCurrent(int, std::string&) override { return true; }
};

TEST(RemoteDriver, RadioButtonsGoToThePageWithTheirGroup) {
  Peer peer;
  auto driver = LoggedIn(peer);
  RadioDialog screen;
  driver->SetScreenSource(&screen);
  peer.Write("{\"t\":\"action\",\"text\":\"field draft yes\",\"window\":9}\n");
  EXPECT_EQ(driver->NextAction(), "field draft yes");
  nlohmann::json items;
  std::istringstream lines(peer.Read());
  for (std::string line; std::getline(lines, line);) {
    const nlohmann::json j = nlohmann::json::parse(line, nullptr, false);
    if (j.is_object() && j.value("t", "") == "screen") items = j["windows"][0]["items"];
  }
  ASSERT_EQ(items.size(), 5u) << items.dump();
  struct Expected { const char* name; const char* k; int group; const char* text; };
  const Expected expected[] = {{"urgent", "check", 0, "No"},
                               {"negotiable", "radio", 2101, "Yes"},
                               {"draft", "radio", 2101, "No"},
                               {"a4", "radio", 2111, "No"},
                               {"letter", "radio", 2111, "Yes"}};
  for (size_t n = 0; n < items.size(); ++n) {
    const nlohmann::json& item = items[n];
    EXPECT_EQ(item.value("name", ""), expected[n].name);
    EXPECT_EQ(item.value("k", ""), expected[n].k) << item.dump();
    EXPECT_EQ(item.value("group", 0), expected[n].group) << item.dump();
    EXPECT_EQ(item.value("text", ""), expected[n].text) << item.dump();
  }
  EXPECT_EQ(items[2].value("label", ""), "Draft");
}

}  // namespace
