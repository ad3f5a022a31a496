// The lister/editor framework on a real library database: listers load,
// search, sort and select; editors refuse what does not fit, save only what
// changed and keep their edits when a save fails; deletes ask first and run
// in one transaction; the menu set; the script actions on the top window;
// the vendor finder as a modal window.
#include <gtest/gtest.h>

#include <chrono>
#include <string>
#include <thread>
#include <vector>

#include "host/db/DbAdmin.h"
#include "host/db/TempDb.h"
#include "host/mr/MrFramework.h"
#include "host/mr/MrUi.h"
#include "host/mr/PwMr.h"
#include "host/muc/MucTools.h"
#include "host/ui/TestResources.h"
#include "host/ui/UiTestSupport.h"

using testdb::Session;
using testdb::TempDb;

namespace {

// Books: the lister "fw_books" (ordered by title, editor "fw_book") and a
// read-only lister "fw_titles" without an editor. Book 4 cannot be deleted
// (it is on loan); a title "refused" cannot be saved.
const char* const kBooks = R"(
  CREATE TABLE fw_book("book#" INTEGER PRIMARY KEY,
                       title VARCHAR(40) NOT NULL CHECK(title <> 'refused'),
                       author VARCHAR(30), price DEC64, added DAYNUM);
  INSERT INTO fw_book VALUES (1, 'Ulysses', 'Joyce', 12500000, 44927),
                             (2, 'Dubliners', 'Joyce', 9000000, NULL),
                             (3, 'The Third Policeman', 'O''Brien', 15000000, NULL),
                             (4, '100% Proof', 'Percy', 7000000, NULL),
                             (5, '1000 Cranes', 'Ono', NULL, NULL);
  CREATE TABLE fw_loan("book#" INTEGER NOT NULL REFERENCES fw_book("book#"));
  INSERT INTO fw_loan VALUES (4);
  INSERT INTO pw_view(view_name, kind, source, key_columns, order_by, caption, linked_view)
    VALUES ('fw_books', 'L', 'fw_book', 'book#', 'title', 'Books', 'fw_book'),
           ('fw_titles', 'L', 'fw_book', 'book#', 'title', 'Titles', ''),
           ('fw_book', 'E', 'fw_book', 'book#', '', 'Book', '');
  INSERT INTO pw_view_column(view_name, position, column_name, heading, editable, searchable,
                             format)
    VALUES ('fw_books', 1, 'title', 'Title', 0, 1, ''),
           ('fw_books', 2, 'author', 'Author', 0, 1, ''),
           ('fw_books', 3, 'price', 'Price', 0, 1, 'money'),
           ('fw_titles', 1, 'title', 'Title', 0, 0, ''),
           ('fw_book', 1, 'book#', 'No.', 0, 0, ''), ('fw_book', 2, 'title', 'Title', 1, 0, ''),
           ('fw_book', 3, 'author', 'Author', 1, 0, ''),
           ('fw_book', 4, 'price', 'Price', 1, 0, 'money'),
           ('fw_book', 5, 'added', 'Added', 1, 0, 'date');
)";

class Framework : public ::testing::Test {
 protected:
  void SetUp() override {
    DbMsg msg;
    ASSERT_EQ(DbAdmin_CreateDatabase(tmp_.path(), false, msg), kDbOk) << msg.text;
    ASSERT_EQ(DbAdmin_CreateUser(tmp_.path(), "tester", "secret", "", msg), kDbOk) << msg.text;
    ASSERT_TRUE(tmp_.Exec(kBooks));
  }

  // The lister's column as shown, top to bottom.
  static std::vector<std::string> Column(HLISTER lister, const char* column) {
    BktHandle rows = MrLister_Rows(lister);
    std::vector<std::string> out;
    const int col = _BktGetColNum(rows, column);
    for (int r = 1; r <= _BktCountAll(rows); ++r) out.push_back(_ColGetStringW(rows, r, col));
    return out;
  }

  std::string Query(const std::string& sql) const {
    std::string out;
    for (const std::string& cell : tmp_.Column(sql)) out += (out.empty() ? "" : ",") + cell;
    return out;
  }

  TempDb tmp_{false};
};

TEST_F(Framework, ListerLoadsSearchesSortsAndKeepsTheSelection) {
  ScriptedUi ui("answer msgbox ok \"not an amount\"\n");
  Session s("tester", "secret");
  ASSERT_EQ(s.code, kDbOk) << s.msg.text;
  HENVIR envir = MrProc_NewEnvir(s, "books");
  HLISTER lister = MrLister_MrListerUserInst(envir, "fw_books", nullptr, nullptr, "", "");
  ASSERT_TRUE(lister);
  EXPECT_EQ(MrLister_MrListerUserInst(envir, "no_such_view", nullptr, nullptr, "", ""), nullptr);
  ASSERT_TRUE(MrLister_MrListerBegin(lister, "fw_books"));
  EXPECT_EQ(Column(lister, "title"),
            (std::vector<std::string>{"100% Proof", "1000 Cranes", "Dubliners",
                                      "The Third Policeman", "Ulysses"}));
  MrLister_SetSelection(lister, {3, 9, 3});  // Dubliners; no row 9
  EXPECT_EQ(MrLister_Selection(lister), std::vector<int>{3});

  ASSERT_TRUE(MrLister_Sort(lister, "price", true));  // NULL price first, then dearest
  EXPECT_EQ(Column(lister, "title"),
            (std::vector<std::string>{"1000 Cranes", "The Third Policeman", "Ulysses", "Dubliners",
                                      "100% Proof"}));
  EXPECT_EQ(MrLister_Selection(lister), std::vector<int>{4});  // still Dubliners
  EXPECT_FALSE(MrLister_Sort(lister, "no_column", false));

  // Search values are data: an apostrophe and LIKE's wildcards match themselves.
  EXPECT_EQ(Act("search author \"O'Brien\""), "");
  EXPECT_EQ(Column(lister, "title"), std::vector<std::string>{"The Third Policeman"});
  EXPECT_TRUE(MrLister_SetSearch(lister, "author", ""));  // dropped
  EXPECT_EQ(Act("search title \"100%\""), "");
  EXPECT_EQ(Column(lister, "title"), std::vector<std::string>{"100% Proof"});
  EXPECT_EQ(Act("search price \"abc\""), "");  // refused by the window, criterion kept
  EXPECT_EQ(Act("search book# \"1\""), "the list cannot be searched on \"book#\"");
  EXPECT_TRUE(MrLister_SetSearch(lister, "title", ""));
  EXPECT_TRUE(MrLister_SetSearch(lister, "price", "12.50"));
  EXPECT_TRUE(MrProc_MrProcCmd(nullptr, kMrSearch, nullptr));
  EXPECT_EQ(Column(lister, "title"), std::vector<std::string>{"Ulysses"});

  // The module's condition is added to the definition's.
  HLISTER joyce =
      MrLister_MrListerUserInst(envir, "fw_books", nullptr, nullptr, "author='Joyce'", "");
  ASSERT_TRUE(MrLister_MrListerBegin(joyce, "fw_books"));
  EXPECT_EQ(Column(joyce, "title"), (std::vector<std::string>{"Dubliners", "Ulysses"}));
  // A refresh keeps the selected record selected where it moved to.
  EXPECT_EQ(Act("select \"ulysses\""), "");
  ASSERT_TRUE(tmp_.Exec("INSERT INTO fw_book VALUES (6, 'Chamber Music', 'Joyce', NULL, NULL)"));
  EXPECT_EQ(Act("framework 24"), "");
  EXPECT_EQ(Column(joyce, "title"),
            (std::vector<std::string>{"Chamber Music", "Dubliners", "Ulysses"}));
  EXPECT_EQ(MrLister_Selection(joyce), std::vector<int>{3});
  EXPECT_EQ(Act("select 4"), "there is no row 4 (3 rows)");
  EXPECT_EQ(Act("select \"Proust\""), "no row contains \"Proust\"");
  EXPECT_EQ(Act("show"), "");
  const std::string shown = ui.Transcript();
  EXPECT_NE(shown.find("window \"Books\" (lister fw_books)\n"
                       "  button 1 \"OK\" default\n"
                       "  button 2 \"Cancel\"\n"
                       "  columns | Title | Author | Price\n"
                       "  row 1 | Chamber Music | Joyce | \n"
                       "  row 2 | Dubliners | Joyce | 9.00\n"
                       "  row 3* | Ulysses | Joyce | 12.50\n"),
            std::string::npos)
      << shown;
  MrProc_FreeEnvir(&envir);
  EXPECT_FALSE(IsWindow(MrLister_Hwnd(joyce)));
  EXPECT_EQ(ui.FailReason(), "");
}

TEST_F(Framework, EditorRefusesWhatDoesNotFitAndSavesOnlyChangedColumns) {
  ScriptedUi ui("");
  Session s("tester", "secret");
  HENVIR envir = MrProc_NewEnvir(s, "books");
  HEDITOR editor = MrEditor_Open(envir, "fw_book", nullptr, nullptr, "book#=1", false, "");
  ASSERT_TRUE(editor);
  struct Case {
    const char* column;
    const char* text;
    const char* error;
  };
  const Case refused[] = {
      {"price", "abc", "\"abc\" is not an amount."},
      {"price", "1.2345678", "is not an amount"},  // more than six decimals
      {"added", "2024-02-30", "is not a date"},
      {"title", "A title longer than the forty characters allowed", "longer than 40 characters"},
      {"book#", "7", "The key 'book#' of a saved record cannot change."},
      {"publisher", "x", "is not a field of this record"},
  };
  for (const Case& c : refused) {
    std::string error;
    EXPECT_FALSE(MrEditor_SetField(editor, c.column, c.text, &error)) << c.text;
    EXPECT_NE(error.find(c.error), std::string::npos) << error;
    EXPECT_FALSE(MrEditor_IsChanged(editor)) << c.text;
  }
  EXPECT_TRUE(MrEditor_SetField(editor, "title", "Ulysses", nullptr));  // the same value
  EXPECT_FALSE(MrEditor_IsChanged(editor));

  EXPECT_TRUE(MrEditor_SetField(editor, "price", "1,015.5", nullptr));
  EXPECT_TRUE(MrEditor_SetField(editor, "added", "2024-01-31", nullptr));
  EXPECT_TRUE(MrEditor_IsChanged(editor));
  // Another workstation changes another column of the same record meanwhile.
  ASSERT_TRUE(tmp_.Exec("update fw_book set author='James Joyce' where \"book#\"=1"));

  ASSERT_TRUE(MrEditor_Save(editor));
  EXPECT_FALSE(MrEditor_IsChanged(editor));
  EXPECT_EQ(Query("select price || ' ' || added || ' ' || author from fw_book where \"book#\"=1"),
            "1015500000 45320 James Joyce");  // 2024-01-31 is day 45320
  BktHandle record = MrEditor_Record(editor);
  EXPECT_EQ(_ColGetStringW(record, 1, _BktGetColNum(record, "author")), "James Joyce");
  EXPECT_EQ(Act("show"), "");
  EXPECT_NE(ui.Transcript().find("window \"Book\" (editor fw_book)\n"
                                 "  field book# = 1 (read-only)\n"
                                 "  field title = Ulysses\n"
                                 "  field author = James Joyce\n"
                                 "  field price = 1015.50\n"
                                 "  field added = 2024-01-31\n"),
            std::string::npos)
      << ui.Transcript();
  MrProc_FreeEnvir(&envir);
}

TEST_F(Framework, FailedSaveKeepsTheEditsAndTellsWhy) {
  ScriptedUi ui(std::string("answer msgbox ok \"") +
                testlib::ByEngine("CHECK constraint failed", "violates check constraint") +
                "\"\nanswer msgbox ok \"database is locked\"\n");
  Session s("tester", "secret");
  HENVIR envir = MrProc_NewEnvir(s, "books");
  HEDITOR editor = MrEditor_Open(envir, "fw_book", nullptr, nullptr, "book#=2", false, "");
  ASSERT_TRUE(editor);
  BktHandle record = MrEditor_Record(editor);
  const int title = _BktGetColNum(record, "title");
  ASSERT_TRUE(MrEditor_SetField(editor, "title", "refused", nullptr));
  EXPECT_FALSE(MrEditor_Save(editor));
  EXPECT_TRUE(MrEditor_IsChanged(editor));
  EXPECT_TRUE(_ColIsChanged(record, 1, title));
  EXPECT_EQ(_ColGetStringW(record, 1, title), "refused");

  // Another workstation holds the write lock through every try: the save
  // gives up with the conflict; held for a moment only, a later try saves.
  ASSERT_TRUE(MrEditor_SetField(editor, "title", "Dubliners (2nd ed.)", nullptr));
  std::unique_ptr<pwdb::DbConnection> holder = tmp_.lib().Connect();
  ASSERT_TRUE(holder);
  ASSERT_EQ(testlib::HoldWriteLock(*holder), "");
  EXPECT_FALSE(MrEditor_Save(editor));
  EXPECT_TRUE(MrEditor_IsChanged(editor));
  EXPECT_TRUE(_ColIsChanged(record, 1, title));
  std::thread release([&holder] {
    std::this_thread::sleep_for(std::chrono::milliseconds(40));
    holder->Rollback();
  });
  const bool saved = MrEditor_Save(editor);
  release.join();
  holder.reset();
  EXPECT_TRUE(saved);
  EXPECT_EQ(Query("select title from fw_book where \"book#\"=2"), "Dubliners (2nd ed.)");
  ui.driver().Finish();
  EXPECT_EQ(ui.FailReason(), "");
  MrProc_FreeEnvir(&envir);
}

TEST_F(Framework, DeleteAsksAndDeletesAllOrNothing) {
  ScriptedUi ui(
      "answer msgbox yes \"Delete 2 record(s)?\"\n"
      "answer msgbox ok \"" +
      std::string(testlib::ByEngine("FOREIGN KEY constraint failed", "violates foreign key")) +
      "\"\n"
      "answer msgbox no \"Delete 2 record(s)?\"\n"
      "answer msgbox yes \"Delete 2 record(s)?\"\n");
  Session s("tester", "secret");
  HENVIR envir = MrProc_NewEnvir(s, "books");
  HLISTER lister = MrLister_MrListerUserInst(envir, "fw_books", nullptr, nullptr, "", "");
  ASSERT_TRUE(MrLister_MrListerBegin(lister, "fw_books"));
  // Rows: Ulysses (1), The Third Policeman (3), Dubliners (2), 1000 Cranes
  // (5), 100% Proof (4); rows are deleted top down, so book 4's refusal
  // comes after book 5 is gone, and undoes it.
  ASSERT_TRUE(MrLister_Sort(lister, "title", true));
  MrLister_SetSelection(lister, {5, 4});
  EXPECT_FALSE(MrProc_MrProcCmd(nullptr, kMrDelete, nullptr));
  EXPECT_EQ(Query("select count(*) from fw_book"), "5");
  EXPECT_EQ(MrLister_Selection(lister), (std::vector<int>{4, 5}));

  MrLister_SetSelection(lister, {2, 3});
  EXPECT_FALSE(MrProc_MrProcCmd(nullptr, kMrDelete, nullptr));  // answered No
  EXPECT_EQ(Query("select count(*) from fw_book"), "5");
  EXPECT_TRUE(MrProc_MrProcCmd(nullptr, kMrDelete, nullptr));
  EXPECT_EQ(Query("select \"book#\" from fw_book order by 1"), "1,4,5");
  EXPECT_EQ(Column(lister, "title"),
            (std::vector<std::string>{"Ulysses", "1000 Cranes", "100% Proof"}));
  EXPECT_TRUE(MrLister_Selection(lister).empty());
  ui.driver().Finish();
  EXPECT_EQ(ui.FailReason(), "");
  MrProc_FreeEnvir(&envir);
}

TEST_F(Framework, MenuSetFollowsTheWindowAndItsState) {
  ScriptedUi ui("");
  Session s("tester", "secret");
  HENVIR envir = MrProc_NewEnvir(s, "books");
  HLISTER titles = MrLister_MrListerUserInst(envir, "fw_titles", nullptr, nullptr, "", "");
  HLISTER books = MrLister_MrListerUserInst(envir, "fw_books", nullptr, nullptr, "", "");
  ASSERT_TRUE(MrLister_MrListerBegin(titles, "t") && MrLister_MrListerBegin(books, "b"));
  auto bits = [](std::initializer_list<int> codes) {
    uint32_t b = 0;
    for (int c : codes) b |= 1u << c;
    return b;
  };
  const uint32_t moving = bits({kMrFirst, kMrLast, kMrNext});
  EXPECT_EQ(MrProc_MrProcMenuSet(MrLister_Hwnd(titles)), moving | bits({kMrRefresh}));
  EXPECT_EQ(MrProc_MrProcMenuSet(MrLister_Hwnd(books)),
            moving | bits({kMrRefresh, kMrSearch, kMrNew}));
  MrLister_SetSelection(books, {2, 3, 5});
  EXPECT_EQ(
      MrProc_MrProcMenuSet(MrLister_Hwnd(books)),
      bits({kMrFirst, kMrLast, kMrPrevious, kMrRefresh, kMrSearch, kMrNew, kMrEdit, kMrDelete}));
  MrProc_SetWindowMenuBits(MrLister_Hwnd(titles), bits({kMrPrint, kMrSaveToFile}));
  EXPECT_EQ(MrProc_MrProcMenuSet(MrLister_Hwnd(titles)),
            moving | bits({kMrRefresh, kMrPrint, kMrSaveToFile}));

  // The top window is the books lister (opened last); edit opens its editor
  // on the first selected row, which becomes the top window.
  EXPECT_EQ(KtWin_GetTopKtWnd(), MrLister_Hwnd(books));
  EXPECT_FALSE(MrProc_MrProcCmd(nullptr, kMrSave, nullptr));  // not a lister's
  ASSERT_TRUE(MrProc_MrProcCmd(nullptr, kMrEdit, nullptr));
  HEDITOR editor = MrEditor_FromHwnd(KtWin_GetTopKtWnd());
  ASSERT_TRUE(editor);
  HWND e = MrEditor_Hwnd(editor);
  EXPECT_EQ(MrProc_MrProcMenuSet(e),
            bits({kMrNew, kMrRefresh, kMrDelete, kMrCopy, kMrEdit, kMrNext, kMrLast}));
  // Selected: 1000 Cranes, Dubliners, Ulysses; the editor shows the first.
  EXPECT_TRUE(MrProc_MrProcCmd(nullptr, kMrLast, nullptr));
  EXPECT_EQ(Act("show"), "");
  EXPECT_NE(ui.Transcript().find("  field title = Ulysses\n"), std::string::npos);
  ASSERT_TRUE(MrEditor_SetField(editor, "author", "Flann O'Brien", nullptr));
  EXPECT_EQ(MrProc_MrProcMenuSet(e), bits({kMrNew, kMrRefresh, kMrDelete, kMrCopy, kMrSave,
                                           kMrCancel, kMrPrevious, kMrFirst}));

  // The top window follows MucTools_SetCurrKtView.
  MucTools_SetCurrKtView(MrLister_Hwnd(titles));
  EXPECT_EQ(KtWin_GetTopKtWnd(), MrLister_Hwnd(titles));
  EXPECT_FALSE(MrProc_MrProcCmd(nullptr, kMrSave, nullptr));
  MucTools_SetCurrKtView(e);
  EXPECT_TRUE(MrProc_MrProcCmd(nullptr, kMrCancel, nullptr));
  EXPECT_FALSE(MrEditor_IsChanged(editor));
  MrProc_FreeEnvir(&envir);
}

// A client window that records the commands routed to it and leaves record
// changes to the framework, as the module's does.
std::vector<unsigned> clientCommands;
LRESULT ClientProc(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam) {
  if (msg == WM_COMMAND) clientCommands.push_back(LOWORD(wParam));
  return MrProc_MrWndProc(nullptr, lParam, wParam, msg, hwnd);
}

// The module's procedure of the test lister: attaches table 2, handles search.
HINSTANCE testResources = nullptr;
int searches = 0;
LRESULT FindProc(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam) {
  if (msg == WM_INITDIALOG) {
    _Win32_SetAccelTable(hwnd, LoadAcceleratorsW(testResources, 2));
    return TRUE;
  }
  if (msg == WM_COMMAND && LOWORD(wParam) == 57636) {
    ++searches;
    return TRUE;
  }
  return _Win32_DefDlgProc(hwnd, msg, wParam, lParam);
}

TEST_F(Framework, ScriptActionsOperateListersAndEditorsAsAPersonWould) {
  TestResources resources("FwTest", "accelerators 2\n  Ctrl+F 57636\n  F5 57642\n");
  testResources = resources.res();
  RegisterClassW("FrameworkTestClient", ClientProc);
  HWND client = CreateWindowW("FrameworkTestClient", "client", nullptr);
  PwMucBase_hwndClient = client;
  clientCommands.clear();
  ScriptedUi ui(
      "answer msgbox ok \"is not an amount\"\n"
      "answer msgbox yes \"Save changes to Book?\"\n");
  Session s("tester", "secret");
  HENVIR envir = MrProc_NewEnvir(s, "books");
  HLISTER lister = MrLister_MrListerUserInst(envir, "fw_books", FindProc, client, "", "Find Books");
  ASSERT_TRUE(MrLister_MrListerBegin(lister, "b"));

  EXPECT_EQ(Act("key \"ctrl+f\""), "");  // the window's own key, handled by its module
  EXPECT_EQ(searches, 1);
  EXPECT_EQ(Act("key \"F5\""), "");  // a command it leaves goes on to the client
  EXPECT_EQ(clientCommands, std::vector<unsigned>{57642});
  EXPECT_EQ(Act("key \"Ctrl+Q\""), "the key \"Ctrl+Q\" does nothing on \"Find Books\"");
  EXPECT_EQ(Act("select \"Dubliners\""), "");
  EXPECT_EQ(Act("key \"Enter\""), "");  // the default button: OK opens the editor
  ASSERT_TRUE(MrEditor_FromHwnd(KtWin_GetTopKtWnd()));
  EXPECT_EQ(Act("field price \"cheap\""), "");  // refused by the editor with a message
  EXPECT_EQ(Act("field book# \"9\""), "the field \"book#\" is read-only");
  EXPECT_EQ(Act("field publisher \"x\""), "\"Book\" has no field \"publisher\"");
  EXPECT_EQ(Act("field price \"8\""), "");
  EXPECT_EQ(Act("press Apply"), "\"Book\" has no button \"Apply\"");
  EXPECT_EQ(Act("window \"Find\""), "");  // back to the list, the editor stays open
  EXPECT_EQ(Act("framework 14"), "framework code 14 is not available on \"Find Books\"");
  EXPECT_EQ(Act("window \"Book\""), "");
  EXPECT_EQ(Act("key \"Escape\""), "");  // asks, saves, closes
  EXPECT_EQ(Query("select price from fw_book where \"book#\"=2"), "8000000");
  EXPECT_EQ(MrLister_FromHwnd(KtWin_GetTopKtWnd()), lister);
  EXPECT_EQ(Act("window \"Nowhere\""), "no window's caption contains \"Nowhere\"");
  ui.driver().Finish();
  EXPECT_EQ(ui.FailReason(), "");
  const std::string t = ui.Transcript();
  EXPECT_NE(t.find("msgbox \"Book\" \"\\\"cheap\\\" is not an amount.\" -> OK"), std::string::npos)
      << t;
  EXPECT_NE(t.find("notice window current \"Find Books\""), std::string::npos) << t;
  EXPECT_NE(t.find("notice window close \"Book\""), std::string::npos) << t;
  MrProc_FreeEnvir(&envir);
  PwMucBase_hwndClient = nullptr;
  DestroyWindow(client);
}

// A module procedure that refuses one code and notes what it is asked and
// told, and a client that notes the record-change requests it gets.
int refusedCode = -1;
std::vector<int> askedCodes;
std::vector<std::pair<int, LPARAM>> doneCodes;
LRESULT VetoProc(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam) {
  if (msg == kMrQueryCode) {
    askedCodes.push_back(static_cast<int>(wParam));
    return static_cast<int>(wParam) == refusedCode ? TRUE : FALSE;
  }
  if (msg == kMrCodeDone) doneCodes.emplace_back(static_cast<int>(wParam), lParam);
  return _Win32_DefDlgProc(hwnd, msg, wParam, lParam);
}
std::vector<std::pair<WPARAM, LPARAM>> recordChanges;
LRESULT RecordingClientProc(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam) {
  if (msg == 0x0E2C || msg == 0x0E2D) recordChanges.emplace_back(wParam, lParam);
  return MrProc_MrWndProc(nullptr, lParam, wParam, msg, hwnd);
}

TEST_F(Framework, TheWindowsModuleIsAskedBeforeEveryCodeAndToldAfter) {
  RegisterClassW("FrameworkVetoClient", RecordingClientProc);
  HWND client = CreateWindowW("FrameworkVetoClient", "client", nullptr);
  PwMucBase_hwndClient = client;
  askedCodes.clear();
  doneCodes.clear();
  recordChanges.clear();
  ScriptedUi ui("");
  Session s("tester", "secret");
  HENVIR envir = MrProc_NewEnvir(s, "books");
  HLISTER lister = MrLister_MrListerUserInst(envir, "fw_books", VetoProc, client, "", "Books");
  ASSERT_TRUE(MrLister_MrListerBegin(lister, "b"));
  const HWND hwnd = MrLister_Hwnd(lister);

  // Refused, a search does not run, whether the program or a script asks.
  refusedCode = kMrSearch;
  ASSERT_TRUE(MrLister_SetSearch(lister, "author", "Joyce"));
  EXPECT_FALSE(MrProc_MrProcCmd(nullptr, kMrSearch, nullptr));
  EXPECT_EQ(Act("search author \"Joyce\""), "");
  EXPECT_EQ(Column(lister, "title").size(), 5u);
  refusedCode = -1;
  EXPECT_TRUE(MrProc_MrProcCmd(nullptr, kMrSearch, nullptr));
  EXPECT_EQ(Column(lister, "title"), (std::vector<std::string>{"Dubliners", "Ulysses"}));
  EXPECT_EQ(askedCodes, (std::vector<int>{kMrSearch, kMrSearch, kMrSearch}));
  EXPECT_EQ(doneCodes, (std::vector<std::pair<int, LPARAM>>{{kMrSearch, 1}}));

  // A withheld code is neither offered nor run, and the module is not asked.
  MrProc_WithholdCodes(hwnd, 1u << kMrNew);
  EXPECT_EQ(MrProc_MrProcMenuSet(hwnd) & (1u << kMrNew), 0u);
  EXPECT_NE(MrProc_MrProcMenuSet(hwnd) & (1u << kMrRefresh), 0u);
  EXPECT_FALSE(MrProc_MrProcCmd(nullptr, kMrNew, nullptr));
  EXPECT_EQ(askedCodes.size(), 3u);
  EXPECT_EQ(KtWin_GetTopKtWnd(), hwnd);

  // The editor opened from the list names the list in its record-change
  // request, so the module knows whose records change.
  MrLister_SetSelection(lister, {2});
  ASSERT_TRUE(MrProc_MrProcCmd(nullptr, kMrEdit, nullptr));
  HEDITOR editor = MrEditor_FromHwnd(KtWin_GetTopKtWnd());
  ASSERT_TRUE(editor);
  ASSERT_TRUE(MrEditor_SetField(editor, "author", "James Joyce", nullptr));
  ASSERT_EQ(recordChanges.size(), 1u);
  EXPECT_EQ(recordChanges[0].first, reinterpret_cast<WPARAM>(MrEditor_Hwnd(editor)));
  EXPECT_EQ(recordChanges[0].second, reinterpret_cast<LPARAM>(hwnd));
  EXPECT_EQ(ui.FailReason(), "");
  MrProc_FreeEnvir(&envir);
  PwMucBase_hwndClient = nullptr;
  DestroyWindow(client);
}

TEST_F(Framework, VendorFinderWaitsForTheScriptsAnswer) {
  ASSERT_TRUE(
      tmp_.Exec("DELETE FROM vendor; INSERT INTO vendor(\"vendor#\", name) VALUES (1, 'Book "
                "Wholesale'), (2, 'O''Brien Books'),"
                " (3, 'Obscure Press')"));
  Session s("tester", "secret");
  {
    ScriptedUi ui("search name \"O'B\"\nshow\nselect 1\nkey \"Enter\"\n");
    int32_t vendor = 0;
    std::string name;
    EXPECT_TRUE(MrVendor_FindVendor(s, nullptr, vendor, name));
    EXPECT_EQ(vendor, 2);
    EXPECT_EQ(name, "O'Brien Books");
    ui.driver().Finish();
    EXPECT_EQ(ui.FailReason(), "");
    EXPECT_NE(ui.Transcript().find("window \"Find Vendor\" (lister vendor_find)\n"
                                   "  button 1 \"OK\" default\n"
                                   "  button 2 \"Cancel\"\n"
                                   "  columns | Vendor # | Name\n"
                                   "  row 1 | 2 | O'Brien Books\n"),
              std::string::npos)
        << ui.Transcript();
  }
  {
    ScriptedUi ui("press OK\nanswer msgbox ok \"Select a row first.\"\nkey \"Escape\"\n");
    int32_t vendor = 0;
    std::string name;
    EXPECT_FALSE(MrVendor_FindVendor(s, nullptr, vendor, name));
    ui.driver().Finish();
    EXPECT_EQ(ui.FailReason(), "");
  }
  {
    ScriptedUi ui("command 152\n");  // the frame is out of reach while the finder waits
    int32_t vendor = 0;
    std::string name;
    EXPECT_FALSE(MrVendor_FindVendor(s, nullptr, vendor, name));
    EXPECT_NE(
        ui.FailReason().find("\"Find Vendor\" waits for an answer; 'command 152' cannot run now"),
        std::string::npos)
        << ui.FailReason();
  }
}

}  // namespace
