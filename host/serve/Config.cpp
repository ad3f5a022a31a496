// Resolves each setting of `acq serve` in order: flag, [Serve] of the
// workstation file, default.
#include "host/serve/Config.h"

#include <algorithm>
#include <charconv>
#include <cstdlib>
#include <filesystem>
#include <string_view>
#include <system_error>

#include "host/sys/LbStr.h"

namespace acqserve {
namespace {

// A whole number in [low, high]; false when `text` is anything else.
bool ReadNumber(std::string_view text, int low, int high, int& out) {
  int value = 0;
  const char* end = text.data() + text.size();
  auto [at, ec] = std::from_chars(text.data(), end, value);
  if (text.empty() || ec != std::errc() || at != end || value < low || value > high) return false;
  out = value;
  return true;
}

struct IniNumber {
  const char* key;
  int flag;    // the option's value, -1 when not given
  int low, high;
  int* out;
  int scale;   // the unit of the key in seconds (1 for a plain count)
};

bool IsServerUri(std::string_view db) {
  return db.rfind("postgresql:", 0) == 0 || db.rfind("postgres:", 0) == 0;
}

// A database file is handed on as an absolute path: the frame must open the
// same file whatever folder it starts in.
std::string AbsoluteDb(const std::string& db) {
  if (IsServerUri(db)) return db;
  std::error_code ec;
  const std::filesystem::path path = std::filesystem::absolute(db, ec);
  return ec ? db : path.lexically_normal().string();
}

}  // namespace

std::string Serve_Duration(int seconds) {
  if (seconds % 60 == 0) {
    const int minutes = seconds / 60;
    return std::to_string(minutes) + (minutes == 1 ? " minute" : " minutes");
  }
  return std::to_string(seconds) + (seconds == 1 ? " second" : " seconds");
}

bool Serve_LoadConfig(const Options& o, ServeConfig& out, std::string& error) {
  const std::string ini = Lb_WorkstationIniPath();
  auto text = [&](const std::string& flag, const char* key, std::string& field) {
    if (!flag.empty()) {
      field = flag;
      return;
    }
    const std::string value = Lb_IniRead(ini, "Serve", key);
    if (!value.empty()) field = value;
  };
  text(o.listen, "Listen", out.listen);
  text(o.tlsCert, "TlsCert", out.tlsCert);
  text(o.tlsKey, "TlsKey", out.tlsKey);
  if (out.tlsCert.empty() != out.tlsKey.empty()) {
    error = "a certificate needs its key: give both TlsCert and TlsKey (or neither)";
    return false;
  }

  int idleMinutes = out.idleSeconds / 60;
  const IniNumber numbers[] = {
      {"Port", o.port, 0, 65535, &out.port, 1},
      {"IdleMinutes", o.idleMinutes, 1, 7 * 24 * 60, &idleMinutes, 1},
      {"GraceSeconds", o.graceSeconds, 0, 24 * 3600, &out.graceSeconds, 1},
  };
  for (const IniNumber& n : numbers) {
    if (n.flag >= 0) {
      *n.out = n.flag;
      continue;
    }
    const std::string value = Lb_IniRead(ini, "Serve", n.key);
    if (value.empty()) continue;
    if (!ReadNumber(value, n.low, n.high, *n.out)) {
      error = "the workstation file's [Serve] " + std::string(n.key) + " is not a number from " +
              std::to_string(n.low) + " to " + std::to_string(n.high) + ": " +
              Lb_CutForMessage(value);
      return false;
    }
  }
  out.idleSeconds = idleMinutes * 60;
  // Test knob: ACQ_SERVE_IDLE_SECONDS (a whole number of seconds) replaces the
  // idle timeout, so that tests see a session time out without waiting minutes.
  if (const char* knob = std::getenv("ACQ_SERVE_IDLE_SECONDS"); knob != nullptr && *knob != '\0') {
    if (!ReadNumber(knob, 2, 7 * 24 * 3600, out.idleSeconds)) {
      error = "ACQ_SERVE_IDLE_SECONDS is not a number of seconds from 2 up";
      return false;
    }
  }
  out.warnSeconds = std::min(60, out.idleSeconds / 2);

  // Resolved here as the frame would, and given to every frame, so the page
  // shows the location the sessions really log in at.
  out.location = !o.location.empty() ? o.location : Lb_IniRead(ini, "ACQ", "Location");
  if (out.location.empty()) out.location = kDefaultLocation;
  out.frameArgs = {"run", "--ui-fd", "3"};
  if (!o.db.empty()) out.frameArgs.insert(out.frameArgs.end(), {"--db", AbsoluteDb(o.db)});
  if (!o.server.empty()) out.frameArgs.insert(out.frameArgs.end(), {"--server", o.server});
  out.frameArgs.insert(out.frameArgs.end(), {"--location", out.location});
  if (!o.module.empty()) out.frameArgs.insert(out.frameArgs.end(), {"--module", o.module});
  if (o.trace) out.frameArgs.push_back("--trace");
  return true;
}

}  // namespace acqserve
