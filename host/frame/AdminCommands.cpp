// Database administration commands. Each reports what it did on stdout and
// a failure as "acq: <server text>" on stderr with exit status 1. --db names
// an SQLite file (of any name) or a server's URI; a URI is shown without its
// password.
#include "host/frame/AdminCommands.h"

#include <sys/stat.h>

#include <cstdio>
#include <iostream>
#include <memory>
#include <optional>
#include <string>

#include "host/db/DbAdmin.h"
#include "host/muc/UiDriver.h"
#include "host/sys/LbStr.h"

namespace {

int Failure(const std::string& text) {
  std::fprintf(stderr, "acq: %s\n", text.c_str());
  return kExitFailed;
}

int DbFailure(const DbMsg& msg) { return Failure(msg.text); }

// `text` filled with blanks to `width` characters (not bytes: names may be
// beyond ASCII).
std::string Padded(const std::string& text, size_t width) {
  const size_t chars = Lb_CharCount(text);
  return chars >= width ? text : text + std::string(width - chars, ' ');
}

// The new password: one line of stdin, or asked twice without echo.
std::optional<std::string> NewPassword(const Options& o, const std::string& user,
                                       std::string& error) {
  std::string password;
  if (o.passwordStdin) {
    if (!std::getline(std::cin, password)) {
      error = "no password on standard input.";
      return std::nullopt;
    }
    if (!password.empty() && password.back() == '\r') password.pop_back();
  } else {
    std::unique_ptr<UiDriver> terminal = Ui_MakeTerminalDriver();
    std::optional<std::string> first = terminal->AskText("New password for " + user, "", true);
    std::optional<std::string> again =
        first ? terminal->AskText("Repeat the password", "", true) : std::nullopt;
    if (!first || !again) {
      error = "no password given.";
      return std::nullopt;
    }
    if (*first != *again) {
      error = "the passwords do not match.";
      return std::nullopt;
    }
    password = *first;
  }
  if (password.empty()) {
    error = "a password must not be empty.";
    return std::nullopt;
  }
  return password;
}

// The database of --db as shown: a URI without its password.
std::string Shown(const Options& o) { return DbConfig_ShownTarget(o.db); }

int Init(const Options& o) {
  const bool server = DbConfig_IsServerTarget(o.db);
  struct stat st;
  if (!server && stat(o.db.c_str(), &st) == 0)
    return Failure("'" + Lb_CutForMessage(o.db, 200) +
                   "' already exists; acq init never touches an existing file.");
  DbMsg msg;
  if (DbAdmin_CreateDatabase(o.db, o.demo, msg) != kDbOk) return DbFailure(msg);
  std::printf("%s %s (schema version %d)%s.\n", server ? "Made the library in" : "Created",
              Shown(o).c_str(), DbAdmin_SchemaVersion(), o.demo ? " with the demo library" : "");
  if (o.demo)
    std::printf("Demo users: admin, clerk and viewer; each password is the user name.\n");
  if (!server)
    std::printf("Only you can read and write it (mode 0600); README.md tells how to share it "
                "with a group.\n");
  return kExitOk;
}

int Upgrade(const Options& o) {
  DbMsg msg;
  int from = 0;
  if (DbAdmin_UpgradeDatabase(o.db, from, msg) != kDbOk) return DbFailure(msg);
  const int to = DbAdmin_SchemaVersion();
  if (from == to)
    std::printf("%s is at schema version %d already.\n", Shown(o).c_str(), to);
  else
    std::printf("Upgraded %s from schema version %d to %d.\n", Shown(o).c_str(), from, to);
  return kExitOk;
}

int SetPassword(const Options& o, bool create) {
  const std::string& user = o.args[0];
  std::string error;
  // A name that will be refused is told before the password is asked for.
  if (create && (!DbAdmin_CheckUserName(user, error) || !DbAdmin_CheckFullName(o.fullName, error)))
    return Failure(error);
  std::optional<std::string> password = NewPassword(o, user, error);
  if (!password) return Failure(error);
  DbMsg msg;
  DbCode code = create ? DbAdmin_CreateUser(o.db, user, *password, o.fullName, msg)
                       : DbAdmin_SetPassword(o.db, user, *password, msg);
  if (code != kDbOk) return DbFailure(msg);
  std::printf(create ? "Added user %s.\n" : "Changed the password of %s.\n", user.c_str());
  return kExitOk;
}

int Grant(const Options& o, bool grant) {
  const std::string& user = o.args[0];
  std::vector<std::string> features(o.args.begin() + 1, o.args.end());
  DbMsg msg;
  if (DbAdmin_Grant(o.db, user, features, grant, msg) != kDbOk) return DbFailure(msg);
  std::printf(grant ? "Granted %zu feature(s) to %s.\n" : "Revoked %zu feature(s) from %s.\n",
              features.size(), user.c_str());
  return kExitOk;
}

int List(const Options& o) {
  std::vector<DbUserInfo> users;
  DbMsg msg;
  if (DbAdmin_ListUsers(o.db, users, msg) != kDbOk) return DbFailure(msg);
  for (const DbUserInfo& u : users) {
    std::string features;
    for (const std::string& f : u.features) features += (features.empty() ? "" : " ") + f;
    std::printf("%s %s %s\n", Padded(u.user, 16).c_str(), Padded(u.fullName, 30).c_str(),
                features.empty() ? "(no features)" : features.c_str());
  }
  return kExitOk;
}

}  // namespace

void WarnOfPasswordInTarget(std::string_view target) {
  const std::string shown = DbConfig_ShownTarget(target);
  if (shown == target) return;
  std::fprintf(stderr, "acq: warning: the database URI %s holds a password; passwords belong in "
                       "the password file (~/.pgpass, or the file $PGPASSFILE names).\n",
               shown.c_str());
}

int RunAdminCommand(const Options& o) {
  WarnOfPasswordInTarget(o.db);
  switch (o.command) {
    case FrameCommand::Init: return Init(o);
    case FrameCommand::Upgrade: return Upgrade(o);
    case FrameCommand::UserAdd: return SetPassword(o, true);
    case FrameCommand::UserPasswd: return SetPassword(o, false);
    case FrameCommand::UserGrant: return Grant(o, true);
    case FrameCommand::UserRevoke: return Grant(o, false);
    case FrameCommand::UserList: return List(o);
    case FrameCommand::Run:
    case FrameCommand::Serve:
    case FrameCommand::Help: break;
  }
  return kExitUsage;
}
