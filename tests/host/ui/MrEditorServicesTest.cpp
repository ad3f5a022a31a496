// What the framework offers module windows on a real library database: a
// save the module owns, the focus it puts on a field, rows under a record
// (child rows) that a person selects and types into, marks on a lister's
// rows, column headings wherever a column is named, the borrower finder.
#include <gtest/gtest.h>

#include <functional>
#include <string>
#include <vector>

#include "host/db/DbAdmin.h"
#include "host/db/TempDb.h"
#include "host/mr/MrFramework.h"
#include "host/mr/PwMr.h"
#include "host/muc/MucTools.h"
#include "host/ui/UiTestSupport.h"

using testdb::Session;
using testdb::TempDb;

namespace {

// Books and their copies; the lister "sv_books" and the editor "sv_book"
// show headings that differ from the column names.
const char* const kBooks = R"(
  CREATE TABLE sv_book("book#" INTEGER PRIMARY KEY, title VARCHAR(40) NOT NULL,
                       author VARCHAR(30), price DEC64);
  INSERT INTO sv_book VALUES (1, 'Ulysses', 'Joyce', 12500000), (2, 'Dubliners', 'Joyce', 9000000),
                             (3, 'The Third Policeman', 'O''Brien', NULL);
  CREATE TABLE sv_copy("copy#" INTEGER PRIMARY KEY, "book#" INTEGER NOT NULL,
                       barcode VARCHAR(14), price DEC64);
  INSERT INTO sv_copy VALUES (11, 1, 'B-11', 1000000), (12, 1, 'B-12', 3000000),
                             (13, 1, 'B-13', NULL), (21, 2, 'B-21', NULL);
  INSERT INTO pw_view(view_name, kind, source, key_columns, order_by, caption, linked_view)
    VALUES ('sv_books', 'L', 'sv_book', 'book#', 'title', 'Books', 'sv_book'),
           ('sv_book', 'E', 'sv_book', 'book#', '', 'Book', '');
  INSERT INTO pw_view_column(view_name, position, column_name, heading, editable, searchable,
                             format)
    VALUES ('sv_books', 1, 'title', 'Book Title', 0, 1, ''),
           ('sv_books', 2, 'author', 'Written By', 0, 1, ''),
           ('sv_book', 1, 'book#', 'No.', 0, 0, ''), ('sv_book', 2, 'title', 'Book Title', 1, 0, ''),
           ('sv_book', 3, 'author', 'Written By', 1, 0, ''),
           ('sv_book', 4, 'price', 'Price', 1, 0, 'money');
)";

// What the editor's module procedure heard from the child list.
std::vector<std::string> heard;
LRESULT BookProc(HWND hwnd, UINT msg, WPARAM wParam, LPARAM) {
  if (msg == WM_COMMAND && LOWORD(wParam) == kMrChildListId) {
    HEDITOR editor = MrEditor_FromHwnd(hwnd);
    const std::vector<int> sel = MrEditor_ChildSelection(editor);
    heard.push_back((HIWORD(wParam) == EN_CHANGE ? "change " + MrEditor_FocusedField(editor)
                                                 : std::string("select")) +
                    " " + std::to_string(sel.empty() ? 0 : sel.front()));
  }
  return 0;
}

class EditorServices : public ::testing::Test {
 protected:
  void SetUp() override {
    DbMsg msg;
    ASSERT_EQ(DbAdmin_CreateDatabase(tmp_.path(), false, msg), kDbOk) << msg.text;
    ASSERT_EQ(DbAdmin_CreateUser(tmp_.path(), "tester", "secret", "", msg), kDbOk) << msg.text;
    ASSERT_TRUE(tmp_.Exec(kBooks));
    heard.clear();
  }
  void TearDown() override {
    MrProc_FreeEnvir(&envir_);
    _BktDestroy(&copies_);
  }

  // An editor on book 1 with its copies as child rows.
  HEDITOR OpenBook(Session& s) {
    envir_ = MrProc_NewEnvir(s, "books");
    HEDITOR editor = MrEditor_Open(envir_, "sv_book", BookProc, nullptr, "book#=1", false, "");
    DbMsg msg;
    EXPECT_EQ(_DbLoadQuery(s, copies_, kLoadCreate, 4, 4, 0, "sv_copy", "copy#,barcode,price,book#",
                           "\"book#\"=1", "\"copy#\"", msg),
              kDbOk)
        << msg.text;
    MrEditor_SetChildRows(editor, copies_, {"copy#", "barcode", "price"}, {"Copy", "Barcode"});
    MrEditor_SetChildColumn(editor, "price", "money", true);
    return editor;
  }

  std::string Query(const std::string& sql) const {
    std::string out;
    for (const std::string& cell : tmp_.Column(sql)) out += (out.empty() ? "" : ",") + cell;
    return out;
  }

  TempDb tmp_{false};
  HENVIR envir_ = nullptr;
  BktHandle copies_ = nullptr;
};

TEST_F(EditorServices, ModuleSaveWritesWhatItOwnsOrKeepsEveryEdit) {
  ScriptedUi ui("answer msgbox ok \"A title is needed\"\n");
  Session s("tester", "secret");
  HEDITOR editor = OpenBook(s);
  ASSERT_TRUE(editor);
  // The module's save: refuses an empty title (telling and focusing it),
  // else writes the book and its copies in one transaction.
  int calls = 0;
  MrEditor_SetSaveHandler(editor, [&](HEDITOR e) {
    ++calls;
    BktHandle book = MrEditor_Record(e);
    if (_ColGetStringW(book, 1, _BktGetColNum(book, "title")).empty()) {
      MucTools_MsgBox(MrEditor_Hwnd(e), "Book", "A title is needed.", MB_OK);
      MrEditor_FocusField(e, "Book Title");
      return false;
    }
    DbMsg msg;
    _DbBeginTrans(s);
    DbCode code = _DbxUpdateRowU(s, "sv_book", book, 1, 1, msg);
    for (int row = 1; code == kDbOk && row <= _BktCountAll(copies_); ++row) {
      if (_BktGetState(copies_, row) == kRowDeleted)
        code = _DbxDeleteRowU(s, "sv_copy", copies_, row, 1, msg);
      else if (_BktGetState(copies_, row) == kRowNew)
        code = _DbxInsertRow(s, "sv_copy", copies_, row, 1, msg);
      else if (_BktRowIsChanged(copies_, row))
        code = _DbxUpdateRowU(s, "sv_copy", copies_, row, 1, msg);
    }
    if (code == kDbOk) code = _DbCommitTrans(s, msg);
    EXPECT_EQ(code, kDbOk) << msg.text;
    return code == kDbOk;
  });

  EXPECT_EQ(Act("field \"written by\" \"James Joyce\""), "");   // a field by its heading
  EXPECT_EQ(Act("field \"Book Title\" \"\""), "");
  EXPECT_EQ(Act("select 2"), "");
  EXPECT_EQ(Act("field Barcode \"B-12x\""), "");
  EXPECT_EQ(Act("field Copy \"99\""), "the column \"Copy\" is read-only");   // a saved key
  _BktSetState(copies_, 3, kRowDeleted);   // the module's Delete and Add buttons
  int added = 0;
  _BktInsert(copies_, 0, added);
  _ColSetInt(copies_, added, 1, 14);
  _ColSetTextW(copies_, added, 2, "B-14");
  _ColSetInt(copies_, added, 4, 1);
  MrEditor_ChildRowsChanged(editor);
  EXPECT_EQ(Act("select 3"), "");
  EXPECT_EQ(Act("field barcode \"B-13x\""), "row 3 is deleted");

  EXPECT_FALSE(MrProc_MrProcCmd(nullptr, kMrSave, nullptr));   // refused: nothing written
  EXPECT_EQ(MrEditor_FocusedField(editor), "title");
  EXPECT_TRUE(MrEditor_IsChanged(editor));
  EXPECT_EQ(_BktGetState(copies_, 3), kRowDeleted);
  EXPECT_TRUE(_BktRowIsChanged(copies_, 2));
  EXPECT_EQ(Query("select author from sv_book where \"book#\"=1"), "Joyce");
  EXPECT_EQ(Act("show"), "");

  EXPECT_EQ(Act("field title \"Ulysses (annotated)\""), "");
  EXPECT_TRUE(MrProc_MrProcCmd(nullptr, kMrSave, nullptr));
  EXPECT_EQ(calls, 2);
  EXPECT_EQ(Query("select title || '/' || author from sv_book where \"book#\"=1"),
            "Ulysses (annotated)/James Joyce");
  EXPECT_EQ(Query("select group_concat(barcode) from (select barcode from sv_copy "
                  "where \"book#\"=1 order by 1)"),
            "B-11,B-12x,B-14");
  // Taken as saved: nothing changed, the deleted copy gone, the new one an
  // existing row, and Cancel goes back to the saved values.
  EXPECT_FALSE(MrEditor_IsChanged(editor));
  ASSERT_EQ(_BktCountAll(copies_), 3);
  EXPECT_EQ(_BktCountState(copies_, kRowExisting), 3);
  ASSERT_TRUE(MrEditor_SetField(editor, "author", "J. Joyce", nullptr));
  EXPECT_TRUE(MrProc_MrProcCmd(nullptr, kMrCancel, nullptr));
  BktHandle book = MrEditor_Record(editor);
  EXPECT_EQ(_ColGetStringW(book, 1, _BktGetColNum(book, "author")), "James Joyce");

  // Reload reads what another workstation wrote meanwhile.
  ASSERT_TRUE(tmp_.Exec("update sv_book set price=13000000 where \"book#\"=1"));
  EXPECT_TRUE(MrEditor_Reload(editor));
  EXPECT_EQ(_ColGetDec64(book, 1, _BktGetColNum(book, "price")).raw, 13000000);

  ui.driver().Finish();
  EXPECT_EQ(ui.FailReason(), "");
  const std::string t = ui.Transcript();
  EXPECT_NE(t.find("notice focus title\n"), std::string::npos) << t;
  EXPECT_NE(t.find("  columns | Copy | Barcode | price\n"
                   "  row 1 | 11 | B-11 | 1.00\n"
                   "  row 2 | 12 | B-12x | 3.00\n"
                   "  row 3* (deleted) | 13 | B-13 | \n"
                   "  row 4 | 14 | B-14 | \n"),
            std::string::npos)
      << t;
  EXPECT_EQ(heard, (std::vector<std::string>{"select 2", "change barcode 2", "select 3"}));
}

TEST_F(EditorServices, ChildRowsMakeTheEditorChangedUntilCancelled) {
  struct Case {
    const char* what;
    std::function<void(HEDITOR, BktHandle)> change;
  };
  const Case cases[] = {
      {"typed", [](HEDITOR, BktHandle) { EXPECT_EQ(Act("select 1"), "");
                                         EXPECT_EQ(Act("field price \"4.50\""), ""); }},
      {"deleted", [](HEDITOR, BktHandle rows) { _BktSetState(rows, 2, kRowDeleted); }},
      {"added", [](HEDITOR, BktHandle rows) { int row = 0; _BktInsert(rows, 0, row); }},
      {"removed", [](HEDITOR e, BktHandle rows) { _BktDelete(rows, 1);
                                                 MrEditor_ChildRowsChanged(e); }},
  };
  for (const Case& c : cases) {
    ScriptedUi ui("");
    Session s("tester", "secret");
    HEDITOR editor = OpenBook(s);
    ASSERT_TRUE(editor);
    EXPECT_FALSE(MrEditor_IsChanged(editor)) << c.what;
    c.change(editor, copies_);
    EXPECT_TRUE(MrEditor_IsChanged(editor)) << c.what;
    EXPECT_TRUE(MrProc_MrProcMenuSet(MrEditor_Hwnd(editor)) & (1u << kMrSave)) << c.what;
    EXPECT_TRUE(MrProc_MrProcCmd(nullptr, kMrCancel, nullptr)) << c.what;
    EXPECT_FALSE(MrEditor_IsChanged(editor)) << c.what;
    ASSERT_EQ(_BktCountAll(copies_), 3) << c.what;
    EXPECT_EQ(_ColGetDec64(copies_, 1, 3).raw, 1000000) << c.what;
    EXPECT_EQ(_BktCountState(copies_, kRowExisting), 3) << c.what;
    EXPECT_EQ(ui.FailReason(), "") << c.what;
    MrProc_FreeEnvir(&envir_);
    _BktDestroy(&copies_);
  }
}

TEST_F(EditorServices, ListerMarksFollowTheirRecordsAndHeadingsNameColumns) {
  ScriptedUi ui("");
  Session s("tester", "secret");
  envir_ = MrProc_NewEnvir(s, "books");
  HLISTER lister = MrLister_MrListerUserInst(envir_, "sv_books", nullptr, nullptr, "", "");
  ASSERT_TRUE(MrLister_MrListerBegin(lister, "sv_books"));
  // Rows by title: Dubliners, The Third Policeman, Ulysses.
  MrLister_SetMark(lister, 3, true);
  MrLister_SetMark(lister, 1, true);
  MrLister_SetMark(lister, 1, false);
  MrLister_SetMark(lister, 9, true);   // no such row
  EXPECT_EQ(Act("sort \"BOOK TITLE\" desc"), "");
  EXPECT_TRUE(MrLister_IsMarked(lister, 1));   // Ulysses, now first
  EXPECT_FALSE(MrLister_IsMarked(lister, 3));
  ASSERT_TRUE(tmp_.Exec("INSERT INTO sv_book VALUES (4, 'Watt', 'Beckett', NULL)"));
  EXPECT_EQ(Act("framework 24"), "");   // refreshed: Watt comes first
  EXPECT_TRUE(MrLister_IsMarked(lister, 2));
  EXPECT_EQ(Act("show"), "");
  EXPECT_NE(ui.Transcript().find("  columns | Book Title | Written By\n"
                                 "  row 1 | Watt | Beckett\n"
                                 "  row 2 (marked) | Ulysses | Joyce\n"
                                 "  row 3 | The Third Policeman | O'Brien\n"),
            std::string::npos)
      << ui.Transcript();
  EXPECT_EQ(Act("search \"written by\" \"joyce\""), "");   // a fresh list: no marks
  EXPECT_EQ(MrLister_RowCount(lister), 2);
  EXPECT_FALSE(MrLister_IsMarked(lister, 1) || MrLister_IsMarked(lister, 2));
  EXPECT_EQ(Act("search Price \"1\""), "the list cannot be searched on \"Price\"");
  EXPECT_EQ(ui.FailReason(), "");
}

TEST_F(EditorServices, BorrowerFinderGivesThePickedBorrower) {
  ASSERT_TRUE(tmp_.Exec(
      "INSERT INTO borrower(\"borrower#\", name, reconst, bbarcode) VALUES "
      "(7, 'Ann Lee', 'Lee, Ann', 'P7'), (8, 'Bo Lee', 'Lee, Bo', 'P8'), (9, 'Cy Ray', 'Ray, Cy', 'P9')"));
  Session s("tester", "secret");
  struct Case {
    const char* script;
    bool picked;
    int32_t borrower;
    const char* name;
  };
  const Case cases[] = {
      {"search Barcode \"p8\"\nselect 1\nkey \"Enter\"\n", true, 8, "Bo Lee"},
      {"select 1\nkey \"Escape\"\n", false, 0, ""},
  };
  for (const Case& c : cases) {
    ScriptedUi ui(c.script);
    int32_t borrower = 0;
    std::string name;
    EXPECT_EQ(MrBorrower_FindBorrower(s, nullptr, borrower, name), c.picked) << c.script;
    EXPECT_EQ(borrower, c.borrower) << c.script;
    EXPECT_EQ(name, c.name) << c.script;
    ui.driver().Finish();
    EXPECT_EQ(ui.FailReason(), "") << c.script;
  }
}

}  // namespace
