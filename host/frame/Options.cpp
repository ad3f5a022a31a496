// Argument parsing of `acq`: a command word (none means run), its
// positional arguments, and "--name value" or "--name=value" options, each
// accepted only by the commands it means something to.
#include "host/frame/Options.h"

#include <charconv>
#include <map>
#include <string_view>

#include "host/sys/LbStr.h"

namespace {

constexpr const char* kUsage =
    "Usage:\n"
    "  acq init [--demo] --db DB             create a new library database (a file), or make\n"
    "                                        the library in an empty database on a server\n"
    "  acq upgrade --db DB                   bring a database to the current schema\n"
    "  acq user add NAME [--full-name TEXT] [--password-stdin] --db DB\n"
    "  acq user passwd NAME [--password-stdin] --db DB\n"
    "  acq user grant NAME FEATURE... --db DB       (FEATURE: a key such as poEdit, or all)\n"
    "  acq user revoke NAME FEATURE... --db DB\n"
    "  acq user list --db DB\n"
    "  acq [run] [--db DB | --server NAME] [--user NAME] [--password-stdin]\n"
    "            [--location CODE] [--script FILE] [--transcript FILE|-] [--trace]\n"
    "            [--module PATH] [--host-version X.Y]\n"
    "  acq serve [--db DB | --server NAME] [--listen ADDR] [--port N]\n"
    "            [--tls-cert FILE --tls-key FILE] [--idle-minutes N] [--grace-seconds N]\n"
    "            [--location CODE] [--module PATH] [--trace]\n"
    "\n"
    "DB is a database file (of any name), or a PostgreSQL database as a URI:\n"
    "postgresql://USER@HOST[:PORT]/DBNAME, or postgresql:///DBNAME?service=NAME\n"
    "(~/.pg_service.conf). The password for the server belongs in ~/.pgpass (or the\n"
    "file $PGPASSFILE names), not in the URI.\n"
    "\n"
    "Run options:\n"
    "  --db DB              the database: a file or a URI, as above\n"
    "  --server NAME        a server of the workstation's [Servers] section\n"
    "                       (default: Server in its [ACQ] section)\n"
    "  --user NAME          the log-in user (else the script's login, else asked)\n"
    "  --password-stdin     read the password from the first line of standard input\n"
    "                       (else the script's login, $ACQ_PASSWORD, or asked)\n"
    "  --location CODE      the workstation's location (else Location in [ACQ], else MAIN)\n"
    "  --script FILE        answer from a script instead of the terminal (docs/script.md)\n"
    "  --transcript FILE    where the script's transcript goes ('-' for standard output)\n"
    "  --trace              switch the host's trace on\n"
    "  --module PATH        the acquisitions module (default: libPwAcq75.so beside acq)\n"
    "  --host-version X.Y   the host version the module is checked against\n"
    "\n"
    "Serve options (each else from the [Serve] section of the workstation file:\n"
    "Listen, Port, TlsCert, TlsKey, IdleMinutes, GraceSeconds):\n"
    "  --listen ADDR        the address to listen on (default 127.0.0.1, this machine only)\n"
    "  --port N             the TCP port (default 8080; 0: any free port)\n"
    "  --tls-cert FILE      HTTPS with this certificate chain (PEM) ...\n"
    "  --tls-key FILE       ... and its private key (PEM); both or neither\n"
    "  --idle-minutes N     end a session after N minutes without activity (default 30)\n"
    "  --grace-seconds N    keep a session whose page was closed this long (default 30)\n"
    "\n"
    "Exit status: 0 done; 1 an init, upgrade or user command failed (the database\n"
    "cannot be opened or reached, is not a library database or a newer one, already\n"
    "holds tables, ...), or the script failed; 2 start-up failed (the same database\n"
    "faults, or the log-in, or the start-up load); 3 the module could not be loaded;\n"
    "64 usage error.\n";

enum Opt : unsigned {
  kDb = 1u << 0, kServer = 1u << 1, kUser = 1u << 2, kPasswordStdin = 1u << 3,
  kLocation = 1u << 4, kScript = 1u << 5, kTranscript = 1u << 6, kTrace = 1u << 7,
  kModule = 1u << 8, kHostVersion = 1u << 9, kDemo = 1u << 10, kFullName = 1u << 11,
  kUiFd = 1u << 12, kListen = 1u << 13, kPort = 1u << 14, kTlsCert = 1u << 15,
  kTlsKey = 1u << 16, kIdleMinutes = 1u << 17, kGraceSeconds = 1u << 18,
};

struct OptionInfo {
  Opt bit;
  bool takesValue;
};

const std::map<std::string_view, OptionInfo>& OptionTable() {
  static const std::map<std::string_view, OptionInfo> table = {
      {"--db", {kDb, true}},           {"--server", {kServer, true}},
      {"--user", {kUser, true}},       {"--password-stdin", {kPasswordStdin, false}},
      {"--location", {kLocation, true}}, {"--script", {kScript, true}},
      {"--transcript", {kTranscript, true}}, {"--trace", {kTrace, false}},
      {"--module", {kModule, true}},   {"--host-version", {kHostVersion, true}},
      {"--demo", {kDemo, false}},      {"--full-name", {kFullName, true}},
      {"--ui-fd", {kUiFd, true}},      {"--listen", {kListen, true}},
      {"--port", {kPort, true}},       {"--tls-cert", {kTlsCert, true}},
      {"--tls-key", {kTlsKey, true}},  {"--idle-minutes", {kIdleMinutes, true}},
      {"--grace-seconds", {kGraceSeconds, true}},
  };
  return table;
}

struct CommandRule {
  const char* name;   // for messages
  unsigned allowed;   // options it takes
  int minArgs, maxArgs;
};

CommandRule RuleOf(FrameCommand command) {
  const unsigned run = kDb | kServer | kUser | kPasswordStdin | kLocation | kScript |
                       kTranscript | kTrace | kModule | kHostVersion;
  switch (command) {
    case FrameCommand::Run: return {"run", run | kUiFd, 0, 0};
    case FrameCommand::Serve:
      return {"serve", kDb | kServer | kLocation | kModule | kTrace | kListen | kPort | kTlsCert |
                           kTlsKey | kIdleMinutes | kGraceSeconds, 0, 0};
    case FrameCommand::Help: return {"help", 0, 0, 0};
    case FrameCommand::Init: return {"init", kDb | kDemo, 0, 0};
    case FrameCommand::Upgrade: return {"upgrade", kDb, 0, 0};
    case FrameCommand::UserAdd: return {"user add", kDb | kFullName | kPasswordStdin, 1, 1};
    case FrameCommand::UserPasswd: return {"user passwd", kDb | kPasswordStdin, 1, 1};
    case FrameCommand::UserGrant: return {"user grant", kDb, 2, 1000};
    case FrameCommand::UserRevoke: return {"user revoke", kDb, 2, 1000};
    case FrameCommand::UserList: return {"user list", kDb, 0, 0};
  }
  return {"?", 0, 0, 0};
}

// A whole number in [min, max] for option `name`.
bool ReadCount(const std::string& name, const std::string& value, int min, int max, int& out,
               std::string& error) {
  long long n = 0;
  auto [end, ec] = std::from_chars(value.data(), value.data() + value.size(), n);
  if (ec != std::errc() || end != value.data() + value.size() || n < min || n > max) {
    error = "option " + name + " needs a whole number from " + std::to_string(min) + " to " +
            std::to_string(max) + ", not '" + Lb_CutForMessage(value) + "'";
    return false;
  }
  out = static_cast<int>(n);
  return true;
}

bool Store(Options& o, Opt bit, const std::string& name, std::string value, std::string& error) {
  switch (bit) {
    case kUiFd: return ReadCount(name, value, 0, 1 << 20, o.uiFd, error);
    case kListen: o.listen = std::move(value); break;
    case kPort: return ReadCount(name, value, 0, 65535, o.port, error);
    case kTlsCert: o.tlsCert = std::move(value); break;
    case kTlsKey: o.tlsKey = std::move(value); break;
    case kIdleMinutes: return ReadCount(name, value, 1, 7 * 24 * 60, o.idleMinutes, error);
    case kGraceSeconds: return ReadCount(name, value, 0, 24 * 3600, o.graceSeconds, error);
    case kDb: o.db = std::move(value); break;
    case kServer: o.server = std::move(value); break;
    case kUser: o.user = std::move(value); break;
    case kPasswordStdin: o.passwordStdin = true; break;
    case kLocation: o.location = std::move(value); break;
    case kScript: o.script = std::move(value); break;
    case kTranscript: o.transcript = std::move(value); o.transcriptGiven = true; break;
    case kTrace: o.trace = true; break;
    case kModule: o.module = std::move(value); break;
    case kHostVersion: o.hostVersion = std::move(value); break;
    case kDemo: o.demo = true; break;
    case kFullName: o.fullName = std::move(value); break;
  }
  return true;
}

// The command named by the leading words; consumed words are skipped.
bool ReadCommand(const std::vector<std::string>& words, size_t& next, FrameCommand& out,
                 std::string& error) {
  if (words.empty() || words[0].rfind("--", 0) == 0) {
    out = FrameCommand::Run;
    return true;
  }
  const std::string& first = words[0];
  next = 1;
  if (first == "run") out = FrameCommand::Run;
  else if (first == "serve") out = FrameCommand::Serve;
  else if (first == "init") out = FrameCommand::Init;
  else if (first == "upgrade") out = FrameCommand::Upgrade;
  else if (first == "help") out = FrameCommand::Help;
  else if (first == "user") {
    static const std::map<std::string_view, FrameCommand> sub = {
        {"add", FrameCommand::UserAdd},       {"passwd", FrameCommand::UserPasswd},
        {"grant", FrameCommand::UserGrant},   {"revoke", FrameCommand::UserRevoke},
        {"list", FrameCommand::UserList},
    };
    auto it = words.size() > 1 ? sub.find(words[1]) : sub.end();
    if (it == sub.end()) {
      error = "'acq user' needs add, passwd, grant, revoke or list";
      return false;
    }
    out = it->second;
    next = 2;
  } else {
    error = "unknown command '" + Lb_CutForMessage(first) + "'";
    return false;
  }
  return true;
}

}  // namespace

bool ParseOptions(int argc, char** argv, Options& out, std::string& error) {
  std::vector<std::string> words(argv + 1, argv + argc);
  for (const std::string& w : words)
    if (w == "--help" || w == "-h") {
      out.command = FrameCommand::Help;
      return true;
    }
  size_t i = 0;
  if (!ReadCommand(words, i, out.command, error)) return false;
  const CommandRule rule = RuleOf(out.command);
  unsigned seen = 0;
  for (; i < words.size(); ++i) {
    const std::string& w = words[i];
    if (w.rfind("--", 0) != 0) {
      out.args.push_back(w);
      continue;
    }
    size_t eq = w.find('=');
    std::string name = w.substr(0, eq);
    auto it = OptionTable().find(name);
    if (it == OptionTable().end()) {
      error = "unknown option '" + Lb_CutForMessage(name) + "'";
      return false;
    }
    const OptionInfo opt = it->second;
    if (!(rule.allowed & opt.bit)) {
      error = "option " + name + " is not for 'acq " + rule.name + "'";
      return false;
    }
    if (seen & opt.bit) {
      error = "option " + name + " given twice";
      return false;
    }
    seen |= opt.bit;
    std::string value;
    if (opt.takesValue) {
      if (eq != std::string::npos) {
        value = w.substr(eq + 1);
      } else if (i + 1 < words.size()) {
        value = words[++i];
      } else {
        error = "option " + name + " needs a value";
        return false;
      }
    } else if (eq != std::string::npos) {
      error = "option " + name + " takes no value";
      return false;
    }
    if (!Store(out, opt.bit, name, std::move(value), error)) return false;
  }
  const int count = static_cast<int>(out.args.size());
  if (count < rule.minArgs || count > rule.maxArgs) {
    error = count > rule.maxArgs ? "too many arguments for 'acq " + std::string(rule.name) + "'"
                                 : "missing arguments for 'acq " + std::string(rule.name) + "'";
    return false;
  }
  if (out.command != FrameCommand::Run && out.command != FrameCommand::Serve &&
      out.command != FrameCommand::Help && out.db.empty()) {
    error = "'acq " + std::string(rule.name) + "' needs --db PATH or --db URI";
    return false;
  }
  if (out.command == FrameCommand::Serve && out.tlsCert.empty() != out.tlsKey.empty()) {
    error = "give both --tls-cert and --tls-key, or neither";
    return false;
  }
  if (out.command == FrameCommand::Run || out.command == FrameCommand::Serve) {
    if (!out.db.empty() && !out.server.empty()) {
      error = "give either --db or --server, not both";
      return false;
    }
    if (out.transcriptGiven && out.script.empty()) {
      error = "--transcript needs --script";
      return false;
    }
  }
  return true;
}

const char* UsageText() { return kUsage; }
