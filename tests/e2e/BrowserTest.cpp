// The browser client end to end: `acq serve` on a fresh demo library of
// the engine the suite runs on, and a scenario of tests/browser driven in
// headless Chromium by node. Each scenario prints what it did; a failing
// one prints its step, and leaves screenshots in the build's
// browser-artifacts folder.
#include <fcntl.h>
#include <gtest/gtest.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdio>
#include <string>

#include "FrameRun.h"
#include "QueryDb.h"

namespace {

namespace fs = std::filesystem;

// `acq serve` on the workspace's library, on a free port of the loopback.
class Server {
 public:
  explicit Server(const e2e::Workspace& ws) : err_(ws.Dir() / "serve-stderr.txt") {
    int out[2];
    if (pipe(out) != 0) return;
    pid_ = fork();
    if (pid_ == 0) {
      setenv("ACQ_WORKSTATION", (ws.Dir() / "workstation.ini").c_str(), 1);
      const int in = open("/dev/null", O_RDONLY);
      const int e = open(err_.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
      dup2(in, 0);
      dup2(out[1], 1);
      dup2(e, 2);
      close(out[0]);
      execl(ACQ_BIN_DIR "/acq", "acq", "serve", "--db", ws.Db().c_str(), "--port", "0",
            "--grace-seconds", "5", static_cast<char*>(nullptr));
      _exit(127);
    }
    close(out[1]);
    // "acq serve: open http://127.0.0.1:PORT/ in a browser"
    FILE* lines = fdopen(out[0], "r");
    char line[512];
    if (lines && std::fgets(line, sizeof line, lines)) {
      const std::string text = line;
      const size_t at = text.find("http");
      if (at != std::string::npos) url_ = text.substr(at, text.find(' ', at) - at);
    }
    if (lines) std::fclose(lines);
  }
  ~Server() {
    if (pid_ <= 0) return;
    kill(pid_, SIGTERM);
    int status = 0;
    waitpid(pid_, &status, 0);
    const std::string err = e2e::ReadFile(err_);
    if (e2e::HasSanitizerReport(err))
      ADD_FAILURE() << "acq serve (or a session) reported a sanitizer error:\n" << err;
  }
  Server(const Server&) = delete;
  Server& operator=(const Server&) = delete;

  const std::string& url() const { return url_; }
  std::string log() const { return e2e::ReadFile(err_); }

 private:
  fs::path err_;
  pid_t pid_ = -1;
  std::string url_;
};

struct NodeRun {
  int exitCode = -1;
  std::string out;
};

// Runs tests/browser/<scenario>.e2e.mjs against `url`.
NodeRun RunScenario(const std::string& scenario, const std::string& url, const fs::path& dir) {
  const fs::path script = fs::path(ACQ_SOURCE_DIR) / "tests/browser" / (scenario + ".e2e.mjs");
  const fs::path artifacts = fs::path(ACQ_BIN_DIR).parent_path() / "browser-artifacts";
  fs::create_directories(artifacts);
  const fs::path out = dir / ("node-" + scenario + ".txt");
  const pid_t child = fork();
  if (child == 0) {
    setenv("ACQ_URL", url.c_str(), 1);
    setenv("ACQ_ARTIFACTS_DIR", artifacts.c_str(), 1);
    const int o = open(out.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
    dup2(o, 1);
    dup2(o, 2);
    alarm(240);   // a hung browser ends the test instead of the test run
    execlp("node", "node", script.c_str(), static_cast<char*>(nullptr));
    _exit(127);
  }
  int status = 0;
  waitpid(child, &status, 0);
  NodeRun r;
  r.exitCode = WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
  r.out = e2e::ReadFile(out);
  return r;
}

struct Scenario {
  const char* name;
  const char* setupSql;   // run on the library before the server starts ("" none)
  const char* checkSql;   // after the scenario, its first row must be `expected` ("" none)
  const char* expected;
};

// The scenario by its name in the test's listing.
void PrintTo(const Scenario& s, std::ostream* os) { *os << s.name; }

class Browser : public testing::TestWithParam<Scenario> {};

TEST_P(Browser, Scenario) {
  const Scenario& s = GetParam();
  ASSERT_TRUE(fs::exists(fs::path(ACQ_SOURCE_DIR) / "tests/browser/node_modules/playwright-core"))
      << "playwright-core is not installed: run scripts/install-deps.sh";
  e2e::Workspace ws;
  if (*s.setupSql) ws.Exec(s.setupSql);
  Server server(ws);
  ASSERT_FALSE(server.url().empty()) << "acq serve did not start:\n" << server.log();
  const NodeRun r = RunScenario(s.name, server.url(), ws.Dir());
  EXPECT_EQ(r.exitCode, 0) << r.out << "\n--- acq serve:\n" << server.log();
  if (*s.checkSql) {
    EXPECT_EQ(e2e::QueryRow(ws.Db(), s.checkSql), s.expected) << r.out;
  }
}

// PO-2026-0001 line 3 (two items, 60 % ADULT.2026, 40 % REF.2026) invoiced
// on an approved statement, so receiving it spends REF.2026 30.80, past a
// spent limit of 20.00 set for it.
constexpr const char* kInvoicedOnApprovedStatement =
    "insert into statement(\"statement#\", statement_number, statement_type, \"vendor#\", "
    "amount, currency, exchange_rate, approve_date) "
    "values(3, 'NF-88150', 0, 1, 77000000, 'USD', 1000000, 46058);"
    "insert into statement_line(\"statement#\", statement_line, statement_line_type, \"po#\", "
    "line, location, quantity, amount) values(3, 1, 0, 1, 3, 'MAIN', 2, 77000000);"
    "update po_line_item set invoice_date = 46058 where \"po#\" = 1 and line = 3;"
    "update po_line_item_budget_amount set \"statement#\" = 3, statement_line = 1, "
    "statement_line_type = 0 where \"po#\" = 1 and line = 3;"
    "update account_year set spent_limit = 20000000, spent_limit_percent = 0 "
    "where account = 'REF' and year = 2026";

const Scenario kScenarios[] = {
    {"login", "", "", ""},
    // Two approved items split 70/30: 12.00 of each on REF.2026.
    {"raise_po", "",
     "select count(*), count(i.approve_date), min(i.budget_split), max(i.budget_split), "
     "(select count(*) || ':' || sum(a.amount) from po_line_item_budget_amount a where "
     "a.\"po#\" = p.\"po#\" and a.budget = 'REF.2026') from po_line_item i join po p on "
     "p.\"po#\" = i.\"po#\" where p.po_number = 'PO-2026-0201' group by p.\"po#\"",
     "2|2|ADULT.2026 70% + REF.2026 30%|ADULT.2026 70% + REF.2026 30%|2:24000000"},
    {"receive", kInvoicedOnApprovedStatement,
     "select (select count(receive_date) from po_line_item where \"po#\" = 1 and line = 3), "
     "(select spent from account_year where account = 'REF' and year = 2026)",
     "2|30800000"},
    {"wrong_password", "", "", ""},
    {"privilege", "", "", ""},
    {"two_sessions", "", "", ""},
    {"unsaved", "", "select title from po_line where \"po#\" = 6 and line = 1",
     "Wild Places: Nature Documentary Collection"},
    {"crash", "", "", ""},
    {"forged", "", "", ""},
    // A draft marks nothing: no printed or order date on PO-2026-0003.
    {"print", "",
     "select count(printed_date), count(order_date) from po_line_item where \"po#\" = 3", "0|0"},
    // Statement 2 approved: the money of its three received items and its
    // shipping charge on OPS.2026 are spent.
    {"statement", "",
     "select count(approve_date), (select count(*) from po_line_item_budget_amount where "
     "\"statement#\" = 2 and spent = 1), (select spent from statement_extra_charge where "
     "\"statement#\" = 2) from statement where \"statement#\" = 2",
     "1|3|1"},
    // The demo's one open payable is paid by the cheque run.
    {"payables", "", "select status, \"cheque#\" from payables", "2|1"},
    // An order response uploaded through the picker, its parties made
    // vendor 1 (SAN 1697978, customer number 20M2361) and BRANCH (SAN
    // 6666666): the interchange and its 39 segments stored.
    {"edi_upload",
     "update vendor set san = '1697978', cust_number = '20M2361' where \"vendor#\" = 1;"
     "update address set san = '6666666' where location = 'BRANCH'",
     "select count(*), max(\"vendor#\"), max(location), (select count(*) from edifact_segment) "
     "from edifact_interchange",
     "1|1|BRANCH|39"},
    // PO-2026-0001 line 3 received and the receipt undone: no receive date
    // left, a type-2 'receive' row for each item. PO 4 line 2 renewed into
    // line 1 of the renewal order PO 4 names: two new items that name the
    // old ones, the old ones marked renewed, 2 x 95.00 GBP on SERIAL.2027
    // (241.30 USD on order).
    {"undo_renew", "",
     "select (select count(receive_date) from po_line_item where \"po#\" = 1 and line = 3), "
     "(select count(*) from po_line_item_history where \"po#\" = 1 and line = 3 and "
     "po_activity_type = 'receive' and transaction_type = 2), "
     "(select count(*) || ':' || min(line) from po_line where renew_id = 4 and \"po#\" = "
     "(select \"renew_po#\" from po where \"po#\" = 4)), "
     "(select renew_line from po_line where \"po#\" = 4 and line = 2), "
     "(select count(renew_item) from po_line_item where \"po#\" = "
     "(select \"renew_po#\" from po where \"po#\" = 4)), "
     "(select count(*) from po_line_item where \"po#\" = 4 and line = 2 and "
     "renew_activity_type = 'renew'), "
     "(select count(*) || ':' || sum(amount) from po_line_item_budget_amount where "
     "budget = 'SERIAL.2027'), "
     "(select on_order from account_year where account = 'SERIAL' and year = 2027)",
     "0|2|1:1|1|2|2|2:190000000|241300000"},
    // PO-2026-0001 line 2 (received) has two catalogue items of its bib,
    // location, collection and type, both 'n': one with the typed barcode,
    // one "acq" + its item number. PO-2026-0006 line 1 took the pattern
    // saved from line 3: one item split 50/50, the pattern's two budgets.
    {"items_pattern", "",
     "select (select i.ibarcode || ':' || i.item_status from item i join po_line_item l on "
     "l.\"item#\" = i.\"item#\" where l.\"po#\" = 1 and l.line = 2 and l.item = 1), "
     "(select case when i.ibarcode = 'acq' || i.\"item#\" then 'acq+item#' else i.ibarcode "
     "end || ':' || i.item_status from item i join po_line_item l on l.\"item#\" = i.\"item#\" "
     "where l.\"po#\" = 1 and l.line = 2 and l.item = 2), "
     "(select count(*) from item i join po_line_item l on l.\"item#\" = i.\"item#\" where "
     "l.\"po#\" = 1 and l.line = 2 and i.\"bib#\" = 1002 and i.location = 'MAIN' and "
     "i.collection = 'REF' and i.itype = 'REFBK'), "
     "(select count(*) || ':' || min(budget_split) from po_line_item where \"po#\" = 6 and "
     "line = 1), "
     "(select count(*) from po_line_item_budget where \"po#\" = 6 and line = 1 and "
     "percentage = 50), "
     "(select count(*) from po_line_item_budget_pattern b join po_line_pattern p on "
     "p.\"po_line_pattern#\" = b.\"po_line_pattern#\" where p.pattern = 'AV half and half')",
     "31234000012345:n|acq+item#:n|2|1:AV.2026 50% + ADULT.2026 50%|2|2"},
    // AV.2026 moved under the group renamed Printed, saved; REF.2026's
    // amount made 8500.00.
    {"budgets", "",
     "select (select p.label from budget_hierarchy h join budget_hierarchy p on p.item_key = "
     "h.parent_item_key where h.budget = 'AV.2026'), (select count(*) from budget_hierarchy "
     "where label in ('Print', 'Reference')), (select amount from account_year where account "
     "= 'REF' and year = 2026)",
     "Printed|0|8500000000"},
};

INSTANTIATE_TEST_SUITE_P(Client, Browser, testing::ValuesIn(kScenarios),
                         [](const testing::TestParamInfo<Scenario>& info) {
                           return std::string(info.param.name);
                         });

}  // namespace
