// Several workstations on one database, as real processes: saves wait for
// each other instead of failing, no update is lost, and a change to a field
// that another workstation changed first is told to the one that saved
// second instead of overwriting it unseen.
#include <gtest/gtest.h>
#include <unistd.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <functional>
#include <memory>
#include <string>
#include <thread>
#include <vector>

#include "ModuleFixture.h"
#include "acq/db/AcqDb.h"
#include "acq/db/AcqDbBase.h"
#include "acq/db/AcqDbExcept.h"
#include "acq/db/AcqDbGlobal.h"
#include "host/db/DbEngine.h"
#include "host/mr/MrFramework.h"
#include "host/muc/UiDriver.h"
#include "support/Processes.h"
#include "support/WorkstationSaves.h"

namespace {

namespace base = acq::AcqDbBase;
using acqtest::ModuleDb;
using acqtest::ShownErrors;
using testproc::BumpTally;
using testproc::SaveOwnItem;

constexpr int kWorkstations = 4;
constexpr const char* kConflictText = "Another user changed this record";

// A record edited through the framework's editor (a shared counter and a
// column of each workstation's own), a tally bumped by saves that re-read it
// inside their transaction, and one item per workstation on PO 6 line 1.
const char* const kSetUp = R"(
  CREATE TABLE ws_record("record#" INTEGER PRIMARY KEY, counter INTEGER NOT NULL,
                         p1 VARCHAR(20), p2 VARCHAR(20), p3 VARCHAR(20), p4 VARCHAR(20));
  INSERT INTO ws_record VALUES (1, 0, '', '', '', '');
  INSERT INTO pw_view(view_name, kind, source, key_columns, caption)
    VALUES ('ws_record', 'E', 'ws_record', 'record#', 'Record');
  INSERT INTO pw_view_column(view_name, position, column_name, heading, editable)
    VALUES ('ws_record', 1, 'record#', 'No.', 0), ('ws_record', 2, 'counter', 'Counter', 1),
           ('ws_record', 3, 'p1', 'P1', 1), ('ws_record', 4, 'p2', 'P2', 1),
           ('ws_record', 5, 'p3', 'P3', 1), ('ws_record', 6, 'p4', 'P4', 1);
  CREATE TABLE tally("tally#" INTEGER PRIMARY KEY, hits INTEGER NOT NULL);
  INSERT INTO tally VALUES (1, 0);
  INSERT INTO po_line_item("po#", line, item, location)
    VALUES (6, 1, 11, 'MAIN'), (6, 1, 12, 'MAIN'), (6, 1, 13, 'MAIN'), (6, 1, 14, 'MAIN');
  CREATE TABLE parent(id INTEGER PRIMARY KEY);
  CREATE TABLE child(id INTEGER PRIMARY KEY,
                     parent INTEGER REFERENCES parent(id) DEFERRABLE INITIALLY DEFERRED);
)";

// Answers every question as a person who wants their save to go through:
// Yes (reload the record after a conflict), else OK; keeps what was asked.
class AnsweringUi : public UiDriver {
 public:
  AnsweringUi() { Ui_SetDriver(this); }
  ~AnsweringUi() override { Ui_SetDriver(nullptr); }
  MsgAnswer MessageBox(std::string_view, std::string_view text, MsgButtons buttons,
                       MsgIcon) override {
    boxes.emplace_back(text);
    return buttons == MsgButtons::YesNo ? MsgAnswer::Yes : MsgAnswer::Ok;
  }
  std::optional<Credentials> AskCredentials(std::string_view) override { return {}; }
  std::optional<std::string> AskText(std::string_view, std::string_view, bool) override {
    return {};
  }
  void Notice(std::string_view, std::string_view) override {}
  std::optional<std::string> NextAction() override { return {}; }
  bool Failed(std::string*) const override { return false; }

  bool LastWasConflict() const {
    return !boxes.empty() && boxes.back().find(kConflictText) != std::string::npos;
  }
  std::vector<std::string> boxes;
};

// The editor of record 1 on `session`, in an environment of its own that
// goes with its window at the end of the scope.
class RecordEditor {
 public:
  explicit RecordEditor(HDb session) : envir_(MrProc_NewEnvir(session, "ws")) {
    editor_ = MrEditor_Open(envir_, "ws_record", nullptr, nullptr, "record#=1", false, "");
  }
  ~RecordEditor() {
    if (editor_)
      DestroyWindow(MrEditor_Hwnd(editor_));
    else
      MrProc_FreeEnvir(&envir_);
  }
  RecordEditor(const RecordEditor&) = delete;
  RecordEditor& operator=(const RecordEditor&) = delete;
  HEDITOR get() const { return editor_; }
  std::string Field(const char* column) const {
    BktHandle record = MrEditor_Record(editor_);
    return _ColGetStringW(record, 1, _BktGetColNum(record, column));
  }
  int32_t Counter() const {
    BktHandle record = MrEditor_Record(editor_);
    return _ColGetInt(record, 1, _BktGetColNum(record, "counter"));
  }
  bool Set(const char* column, const std::string& text) {
    return MrEditor_SetField(editor_, column, text, nullptr);
  }

 private:
  HENVIR envir_;
  HEDITOR editor_;
};

// Adds one to the record's counter through an editor, as a person would: on
// a conflict they are told, the record is shown as it is now, and they add
// one to that. False on any other failure; `conflicts` counts those told.
bool AddOneThroughEditor(HDb session, AnsweringUi& ui, int& conflicts) {
  RecordEditor editor(session);
  if (!editor.get()) return false;
  for (int tries = 0; tries < 1000; ++tries) {
    if (!editor.Set("counter", std::to_string(editor.Counter() + 1))) return false;
    if (MrEditor_Save(editor.get())) return true;
    if (!ui.LastWasConflict() || MrEditor_IsChanged(editor.get())) return false;
    ++conflicts;
  }
  return false;
}

// A workstation of its own in a forked child: a session of its own on the
// same file. The connection inherited from the parent is left alone.
bool LogInAgain() {
  acq::AcqDbGlobal::Globals().session = nullptr;
  acq::AcqDbGlobal::Globals().search = nullptr;
  DbMsg msg;
  return acq::AcqDb::Login(msg) == kDbOk;
}

// Saves continuously for a fixed count of rounds: each round a column of its
// own and the shared counter through the editor, its own PO line item, and
// the tally. 0 when every save went through, else which save failed.
int SaveRounds(int number, int rounds, AnsweringUi& ui, int& conflicts) {
  HDb session = acq::AcqDbGlobal::Session();
  const std::string own = "p" + std::to_string(number);
  for (int round = 1; round <= rounds; ++round) {
    {
      RecordEditor editor(session);
      if (!editor.get() || !editor.Set(own.c_str(), "round " + std::to_string(round)))
        return 21;
      if (!MrEditor_Save(editor.get())) return 22;   // no one else writes this column
    }
    if (!AddOneThroughEditor(session, ui, conflicts)) return 23;
    if (SaveOwnItem(number, "r" + std::to_string(round)) != kDbOk) return 24;
    if (!BumpTally()) return 25;
  }
  return ShownErrors().empty() ? 0 : 26;
}

// A workstation process: exit status 0 when every save went through; the
// conflicts told go to a file, what it was shown on a failure to stderr.
int Workstation(int number, int rounds, const testproc::Gate& gate, const std::string& dir) {
  if (!LogInAgain()) return 20;
  AnsweringUi ui;
  gate.Wait();
  int conflicts = 0;
  const int status = SaveRounds(number, rounds, ui, conflicts);
  if (status != 0) {
    for (const std::string& text : ShownErrors())
      std::fprintf(stderr, "workstation %d was shown: %s\n", number, text.c_str());
    if (!ui.boxes.empty())
      std::fprintf(stderr, "workstation %d last box: %s\n", number, ui.boxes.back().c_str());
  }
  std::ofstream(dir + "/conflicts" + std::to_string(number)) << conflicts;
  return status;
}

class Workstations : public ::testing::Test {
 protected:
  void SetUp() override {
    db.Exec(kSetUp);
    db.StartUnits();
    ASSERT_EQ(db.Login(), kDbOk);
  }

  // The one value `sql` selects, as text.
  std::string Text(const std::string& sql) {
    const std::vector<std::string> rows = db.Lib().Rows(sql);
    EXPECT_EQ(rows.size(), 1u) << sql;
    return rows.empty() ? "" : rows[0];
  }
  int Number(const std::string& sql) { return std::atoi(Text(sql).c_str()); }

  ModuleDb db;
};

TEST_F(Workstations, FourSavingContinuouslyLoseNothingAndFailNothing) {
  constexpr int kRounds = 60;
  testproc::Gate gate;
  const std::string dir = db.Dir().string();
  std::vector<pid_t> children;
  for (int n = 1; n <= kWorkstations; ++n)
    children.push_back(testproc::Spawn([&, n] { return Workstation(n, kRounds, gate, dir); }));
  gate.Open(kWorkstations);
  for (pid_t child : children) EXPECT_EQ(testproc::WaitFor(child, 600), 0);

  // Every save landed, the counter's included: a lost update would leave it short.
  EXPECT_EQ(Number("select counter from ws_record where \"record#\"=1"), kWorkstations * kRounds);
  EXPECT_EQ(Number("select hits from tally where \"tally#\"=1"), kWorkstations * kRounds);
  const std::string last = "r" + std::to_string(kRounds);
  for (int n = 1; n <= kWorkstations; ++n) {
    const std::string p = std::to_string(n);
    EXPECT_EQ(Text("select p" + p + " from ws_record where \"record#\"=1"),
              "round " + std::to_string(kRounds));
    EXPECT_EQ(Text("select call_number from po_line_item where \"po#\"=6 and line=1 and item=1" + p),
              last);
  }
  int conflicts = 0;
  for (int n = 1; n <= kWorkstations; ++n) {
    int told = 0;
    std::ifstream(dir + "/conflicts" + std::to_string(n)) >> told;
    conflicts += told;
  }
  std::printf("same-field conflicts told: %d of %d counter saves\n", conflicts,
              kWorkstations * kRounds);
}

// The first to save wins; the second is told and shown the record as it is
// now, and nothing is overwritten unseen.
TEST_F(Workstations, SameFieldConflictIsToldToTheSecondToSave) {
  AnsweringUi ui;
  HDb other = nullptr;
  DbMsg msg;
  ASSERT_EQ(_DbLogin(other, db.Path(), "admin", "admin", "acq", msg), kDbOk) << msg.text;
  {
    RecordEditor a(acq::AcqDbGlobal::Session()), b(other);
    ASSERT_TRUE(a.get() && b.get());
    ASSERT_TRUE(a.Set("counter", "5"));
    ASSERT_TRUE(a.Set("p2", "mine"));
    ASSERT_TRUE(b.Set("counter", "7"));
    ASSERT_TRUE(MrEditor_Save(b.get()));
    EXPECT_FALSE(MrEditor_Save(a.get()));
    ASSERT_TRUE(ui.LastWasConflict());
    EXPECT_EQ(ui.boxes.size(), 1u);
    // Answered Yes: the record as it is now, the edits dropped.
    EXPECT_FALSE(MrEditor_IsChanged(a.get()));
    EXPECT_EQ(a.Counter(), 7);
    EXPECT_EQ(a.Field("p2"), "");
    // Their change stays; mine goes through once made on what is there now.
    ASSERT_TRUE(a.Set("counter", "8"));
    EXPECT_TRUE(MrEditor_Save(a.get()));
  }
  EXPECT_EQ(Number("select counter from ws_record where \"record#\"=1"), 8);
  _DbLogout(&other);
  EXPECT_TRUE(ShownErrors().empty());
}

// Another workstation keeps the write lock for a whole second: each way of
// saving waits for it and then saves, with nothing shown.
TEST_F(Workstations, SavesWaitOutALockHeldForASecond) {
  AnsweringUi ui;
  const struct {
    const char* way;
    std::function<bool()> save;
  } saves[] = {
      {"steps that report their failures", [] { return BumpTally(); }},
      {"steps that return their codes", [] { return SaveOwnItem(1, "held") == kDbOk; }},
      {"an editor", [&] {
         RecordEditor editor(acq::AcqDbGlobal::Session());
         return editor.get() && editor.Set("p3", "held") && MrEditor_Save(editor.get());
       }},
  };
  for (const auto& s : saves) {
    int locked[2];
    ASSERT_EQ(pipe(locked), 0);
    const pid_t holder = testproc::Spawn([&] {
      std::unique_ptr<pwdb::DbConnection> conn = db.Lib().Connect();
      if (!conn || conn->Begin() != kDbOk) return 1;
      // SQLite: the transaction holds the write lock from its start. A
      // server locks rows: those the saves write, without changing them.
      if (conn->IsServer() &&
          conn->Exec(R"(SELECT hits FROM tally WHERE "tally#"=1 FOR UPDATE;
                        SELECT call_number FROM po_line_item
                          WHERE "po#"=6 AND line=1 AND item=11 FOR UPDATE;
                        SELECT p3 FROM ws_record WHERE "record#"=1 FOR UPDATE)") != kDbOk)
        return 2;
      (void)!write(locked[1], "l", 1);
      std::this_thread::sleep_for(std::chrono::seconds(1));
      return conn->Commit() == kDbOk ? 0 : 3;
    });
    // Only the holder keeps the pipe open now: a holder that failed ends
    // the read instead of leaving it waiting.
    close(locked[1]);
    char c = 0;
    const ssize_t got = read(locked[0], &c, 1);
    close(locked[0]);
    if (got != 1) {
      ADD_FAILURE() << "the holder could not take the lock: " << testproc::WaitFor(holder, 60);
      continue;
    }
    EXPECT_TRUE(s.save()) << s.way;
    EXPECT_EQ(testproc::WaitFor(holder, 60), 0);
  }
  EXPECT_EQ(Number("select hits from tally where \"tally#\"=1"), 1);
  EXPECT_EQ(Text("select call_number from po_line_item where \"po#\"=6 and line=1 and item=11"),
            "held");
  EXPECT_EQ(Text("select p3 from ws_record where \"record#\"=1"), "held");
  EXPECT_TRUE(ShownErrors().empty());
  EXPECT_TRUE(ui.boxes.empty());
}

// A failed commit is told with the write lock already free, so no other
// workstation waits while the message is on screen.
bool lockFreeWhenTold = false;
void CheckLockWhileTold(std::string_view text) {
  ShownErrors().emplace_back(text);
  // Another workstation writes the row the failed transaction wrote.
  std::unique_ptr<pwdb::DbConnection> conn;
  std::string error;
  lockFreeWhenTold = false;
  if (pwdb::DbEngine_Open(DbGlobal_globRec.server, false, conn, error) != kDbOk) return;
  conn->SetBusyTimeout(100);
  lockFreeWhenTold = conn->Begin() == kDbOk &&
                     conn->Exec("INSERT INTO child (id, parent) VALUES (1, NULL)") == kDbOk;
  conn->Rollback();
}

TEST_F(Workstations, FailedCommitIsToldWithTheLockAlreadyFree) {
  acq::AcqDbExcept::SetDbErrorProc(&CheckLockWhileTold);
  base::BeginTrans();
  DbMsg msg;
  char none[4];
  ASSERT_EQ(acq::AcqDb::ExecSP(msg, none, sizeof none, "",
                               "insert into child (id, parent) values (1, 99)"),
            kDbOk) << msg.text;
  EXPECT_FALSE(base::CommitTrans());
  ASSERT_EQ(ShownErrors().size(), 1u);
  EXPECT_TRUE(lockFreeWhenTold);
  EXPECT_EQ(acq::AcqDbExcept::TransCount(), 0u);
}

}  // namespace
