// The host run-time: loaded-library registry, unit Initialize/Terminate
// registration, the termination chain, run phase, version acceptance, error
// reporting, the language library (string tables) and the trace.
//
// String table files ("<module>.<lang>.str", UTF-8): one string a line,
// "ID<TAB>Caption|Text"; blank lines and lines starting with '#' are skipped;
// in the text "\n", "\t" and "\\" stand for a line break, a tab and a
// backslash. A later line with the same id replaces an earlier one.
#include "host/sys/RunTime.h"

#include <fcntl.h>
#include <unistd.h>

#include <atomic>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <map>
#include <memory>
#include <mutex>
#include <set>
#include <string>
#include <utility>
#include <vector>

struct InstanceImpl {
  std::string path;
  void* dlHandle = nullptr;
  bool language = false;             // a language library (string table)
  std::map<int, std::string> strings;  // language libraries only
};

namespace {

// ---- instances ---------------------------------------------------------------

std::mutex& InstancesLock() { static std::mutex m; return m; }
std::set<InstanceImpl*>& Instances() { static std::set<InstanceImpl*> s; return s; }

HINSTANCE AddInstance(std::unique_ptr<InstanceImpl> inst) {
  std::lock_guard lock(InstancesLock());
  InstanceImpl* raw = inst.release();
  Instances().insert(raw);
  return raw;
}

// ---- units -----------------------------------------------------------------------

struct UnitPair { UnitProc init; UnitProc term; };
std::mutex& UnitsLock() { static std::mutex m; return m; }
std::vector<UnitPair>& Units() { static std::vector<UnitPair> v; return v; }

std::atomic<UnitProc> g_termHead{&Lib_TermChainFinal};
std::atomic<int> g_phase{kPhaseLoading};

std::mutex& VersionLock() { static std::mutex m; return m; }
std::string& HostVersion() { static std::string v = "7.5"; return v; }

// ---- errors ----------------------------------------------------------------------

std::atomic<ErrorSink> g_errorSink{nullptr};
std::atomic<PanicHook> g_panicHook{nullptr};

void ShowError(std::string_view text, bool fatal) {
  Lib_Trace(std::string(fatal ? "panic: " : "error: ") + std::string(text));
  if (ErrorSink sink = g_errorSink.load()) {
    sink(text, fatal);
    return;
  }
  std::string line = std::string(fatal ? "panic: " : "error: ") + std::string(text) + "\n";
  std::fwrite(line.data(), 1, line.size(), stderr);
  std::fflush(stderr);
}

std::string Substitute(std::string_view format, std::string_view arg) {
  for (size_t i = 0; i + 1 < format.size(); ++i) {
    if (format[i] == '%' && (format[i + 1] == 's' || format[i + 1] == 'u' ||
                             format[i + 1] == 'd')) {
      return std::string(format.substr(0, i)) + std::string(arg) +
             std::string(format.substr(i + 2));
    }
  }
  return std::string(format);
}

// ---- language library -----------------------------------------------------------

std::mutex& ResourceLock() { static std::mutex m; return m; }
ResourceProc g_resourceLoad = nullptr;
ResourceProc g_resourceUnload = nullptr;
std::atomic<HINSTANCE> g_languageInstance{nullptr};   // see LbUtil_LanguageInstance

std::string Unescape(std::string_view s) {
  std::string out;
  out.reserve(s.size());
  for (size_t i = 0; i < s.size(); ++i) {
    if (s[i] == '\\' && i + 1 < s.size()) {
      char c = s[i + 1];
      if (c == 'n' || c == 't' || c == '\\') {
        out.push_back(c == 'n' ? '\n' : c == 't' ? '\t' : '\\');
        ++i;
        continue;
      }
    }
    out.push_back(s[i]);
  }
  return out;
}

// Reads a string table; false when the file cannot be opened.
bool ReadStringTable(const std::string& path, std::map<int, std::string>& table) {
  std::ifstream in(path, std::ios::binary);
  if (!in) return false;
  std::string line;
  int lineNo = 0;
  while (std::getline(in, line)) {
    ++lineNo;
    if (lineNo == 1 && line.rfind("\xEF\xBB\xBF", 0) == 0) line.erase(0, 3);
    if (!line.empty() && line.back() == '\r') line.pop_back();
    if (line.empty() || line[0] == '#') continue;
    size_t tab = line.find('\t');
    char* end = nullptr;
    long id = tab == std::string::npos ? -1 : std::strtol(line.c_str(), &end, 10);
    if (tab == std::string::npos || tab == 0 || end != line.c_str() + tab || id < 0) {
      Lib_Trace(path + ":" + std::to_string(lineNo) + ": not \"ID<TAB>text\", skipped");
      continue;
    }
    table[static_cast<int>(id)] = Unescape(std::string_view(line).substr(tab + 1));
  }
  return true;
}

// ---- trace -----------------------------------------------------------------------

struct TraceState {
  std::mutex lock;
  bool initialised = false;
  bool on = false;
  int fd = 2;  // stderr, or the file ACQ_TRACE names (opened O_APPEND)
};
TraceState& Trace() { static TraceState t; return t; }

// Points the trace at ACQ_TRACE's file, or stderr when it names none ("1",
// unset) or the file cannot be opened. Returns whether ACQ_TRACE asks for a
// trace. REQUIRES: Trace().lock held.
bool OpenTraceLocked(TraceState& t) {
  if (t.fd != 2) ::close(t.fd);
  t.fd = 2;
  const char* env = std::getenv("ACQ_TRACE");
  if (env == nullptr || *env == 0 || std::string_view(env) == "0") return false;
  if (std::string_view(env) != "1") {
    int fd = ::open(env, O_WRONLY | O_CREAT | O_APPEND | O_CLOEXEC, 0644);
    if (fd >= 0) t.fd = fd;
  }
  return true;
}

// REQUIRES: Trace().lock held.
void InitTraceLocked(TraceState& t) {
  if (t.initialised) return;
  t.initialised = true;
  t.on = OpenTraceLocked(t);
}

}  // namespace

// ---- instances ---------------------------------------------------------------

HINSTANCE Lib_RegisterInstance(std::string_view path, void* dlHandle) {
  auto inst = std::make_unique<InstanceImpl>();
  inst->path = path;
  inst->dlHandle = dlHandle;
  return AddInstance(std::move(inst));
}

void Lib_UnregisterInstance(HINSTANCE inst) {
  if (inst == nullptr) return;
  std::lock_guard lock(InstancesLock());
  if (Instances().erase(inst) != 0) delete inst;
}

std::string Lib_GetModulePath(HINSTANCE inst) {
  if (inst == nullptr) {
    // The program itself, as for a null module handle.
    std::error_code ec;
    return std::filesystem::read_symlink("/proc/self/exe", ec).string();
  }
  {
    std::lock_guard lock(InstancesLock());
    if (Instances().count(inst) != 0) return inst->path;
  }
  KtSystem_Panic("RunTime.Lib_GetModulePath: unknown instance");
}

// ---- unit registration ---------------------------------------------------------

void _RegisterInitializeTerminate(UnitProc init, UnitProc term, int /*flag*/) {
  std::lock_guard lock(UnitsLock());
  Units().push_back({init, term});
}

void Lib_RunInitializeProcs() {
  std::vector<UnitPair> units;
  {
    std::lock_guard lock(UnitsLock());
    units = Units();
  }
  for (const UnitPair& u : units) {
    if (u.init) u.init();
  }
  Lib_SetPhase(kPhaseInitialised);
}

void Lib_RunTerminateProcs() {
  Lib_SetPhase(kPhaseTerminating);
  std::vector<UnitPair> units;
  {
    std::lock_guard lock(UnitsLock());
    units = Units();
  }
  for (auto it = units.rbegin(); it != units.rend(); ++it) {
    if (it->term) it->term();
  }
}

void Lib_ForgetRegisteredProcs() {
  std::lock_guard lock(UnitsLock());
  Units().clear();
}

// ---- termination chain ------------------------------------------------------

void Lib_TermChainFinal() {}

void Lib_ResetTermChain() { g_termHead.store(&Lib_TermChainFinal); }

UnitProc Lib_SwapTermChainHead(UnitProc newHead) {
  return g_termHead.exchange(newHead != nullptr ? newHead : &Lib_TermChainFinal);
}

void Lib_RunTermChain() {
  Lib_SetPhase(kPhaseUnloading);
  for (;;) {
    UnitProc taken = g_termHead.exchange(&Lib_TermChainFinal);
    if (taken == &Lib_TermChainFinal) break;
    taken();  // re-installs its saved predecessor as the head
  }
}

// ---- run phase ----------------------------------------------------------------

int Lib_ktPhase() { return g_phase.load(); }
void Lib_SetPhase(int phase) { g_phase.store(phase); }

// ---- version acceptance -----------------------------------------------------------

bool Lib_Compatible(std::string_view moduleId, std::string_view version) {
  std::string host;
  {
    std::lock_guard lock(VersionLock());
    host = HostVersion();
  }
  // The first two dot-separated fields of the version, as text.
  size_t dot1 = version.find('.');
  std::string_view majorMinor = version;
  if (dot1 != std::string_view::npos) {
    size_t dot2 = version.find('.', dot1 + 1);
    if (dot2 != std::string_view::npos) majorMinor = version.substr(0, dot2);
  }
  bool ok = moduleId == "PWACQ" && dot1 != std::string_view::npos && majorMinor == host;
  if (!ok) {
    Lib_Trace("Lib_Compatible: module " + std::string(moduleId) + " version " +
              std::string(version) + " refused by host " + host);
  }
  return ok;
}

void Lib_SetHostVersion(std::string_view majorMinor) {
  std::lock_guard lock(VersionLock());
  HostVersion() = majorMinor;
}

// ---- errors ---------------------------------------------------------------------

void KtSystem_Error(std::string_view text) { ShowError(text, false); }

void KtSystem_Error1(std::string_view format, std::string_view arg) {
  ShowError(Substitute(format, arg), false);
}

void KtSystem_Panic(std::string_view text) {
  ShowError(text, true);
  if (PanicHook hook = g_panicHook.load()) hook(text);
  std::exit(70);  // EX_SOFTWARE; also if a hook returned against its contract
}

void KtSystem_Panic1(std::string_view format, std::string_view arg) {
  KtSystem_Panic(Substitute(format, arg));
}

ErrorSink Lib_SetErrorSink(ErrorSink sink) { return g_errorSink.exchange(sink); }
PanicHook Lib_SetPanicHook(PanicHook hook) { return g_panicHook.exchange(hook); }

// ---- language library ---------------------------------------------------------------

void LbUtil_RegisterResourceProcs(ResourceProc load, ResourceProc unload) {
  {
    std::lock_guard lock(ResourceLock());
    g_resourceLoad = load;
    g_resourceUnload = unload;
  }
  if (load) load(0, 0);
}

void LbUtil_UnregisterResourceProcs(ResourceProc load, ResourceProc unload) {
  ResourceProc toCall = nullptr;
  {
    std::lock_guard lock(ResourceLock());
    if (g_resourceLoad != load || g_resourceUnload != unload) {
      Lib_Trace("LbUtil_UnregisterResourceProcs: procedures were not registered");
      return;
    }
    toCall = g_resourceUnload;
    g_resourceLoad = nullptr;
    g_resourceUnload = nullptr;
  }
  if (toCall) toCall(0, 0);
}

bool LbUtil_LoadLanguageDLL(uintptr_t /*a*/, uintptr_t /*b*/, std::string_view module,
                            std::string_view defaultLang, HINSTANCE* resInstance,
                            HINSTANCE inst) {
  std::filesystem::path dir =
      std::filesystem::path(Lib_GetModulePath(inst)).parent_path() / "resources";
  std::vector<std::string> langs;
  if (const char* env = std::getenv("ACQ_LANG"); env != nullptr && *env != 0) {
    langs.emplace_back(env);
  }
  langs.emplace_back(defaultLang);

  for (const std::string& lang : langs) {
    std::string file = (dir / (std::string(module) + "." + lang + ".str")).string();
    auto table = std::make_unique<InstanceImpl>();
    if (!ReadStringTable(file, table->strings)) continue;
    table->path = file;
    table->language = true;
    Lib_Trace("LbUtil_LoadLanguageDLL: " + file + ", " +
              std::to_string(table->strings.size()) + " strings");
    if (resInstance != nullptr) {
      HINSTANCE previous = *resInstance;
      *resInstance = AddInstance(std::move(table));
      g_languageInstance.store(*resInstance);
      // A table loaded before (a reload without unload) is freed here.
      if (previous != nullptr && previous != inst) {
        std::lock_guard lock(InstancesLock());
        if (Instances().count(previous) != 0 && previous->language) {
          Instances().erase(previous);
          delete previous;
        }
      }
    }
    return true;
  }
  Lib_Trace("LbUtil_LoadLanguageDLL: no string table for " + std::string(module) +
            " in " + dir.string());
  return false;
}

void LbUtil_UnLoadLanguageDLL(HINSTANCE* resInstance, HINSTANCE inst) {
  if (resInstance == nullptr || *resInstance == nullptr || *resInstance == inst) return;
  {
    std::lock_guard lock(InstancesLock());
    if (Instances().count(*resInstance) == 0 || !(*resInstance)->language) return;
  }
  HINSTANCE unloaded = *resInstance;
  g_languageInstance.compare_exchange_strong(unloaded, nullptr);
  Lib_UnregisterInstance(*resInstance);
  *resInstance = inst;  // the library itself is the resource instance again
}

std::string LbUtil_LoadString(HINSTANCE resInstance, int id) {
  std::lock_guard lock(InstancesLock());
  if (resInstance == nullptr || Instances().count(resInstance) == 0) return {};
  auto it = resInstance->strings.find(id);
  return it == resInstance->strings.end() ? std::string() : it->second;
}

HINSTANCE LbUtil_LanguageInstance() { return g_languageInstance.load(); }

std::string LbUtil_ResourceFilePath(HINSTANCE resInstance, std::string_view extension) {
  std::lock_guard lock(InstancesLock());
  if (resInstance == nullptr || Instances().count(resInstance) == 0 || !resInstance->language)
    return {};
  // A language library's path is its string table, "<module>.<lang>.str".
  const std::string& table = resInstance->path;
  return table.substr(0, table.size() - std::string_view(".str").size()) + "." +
         std::string(extension);
}

// ---- trace ---------------------------------------------------------------------------

bool Lib_TraceOn() {
  TraceState& t = Trace();
  std::lock_guard lock(t.lock);
  InitTraceLocked(t);
  return t.on;
}

void Lib_SetTrace(bool on) {
  TraceState& t = Trace();
  std::lock_guard lock(t.lock);
  t.initialised = true;
  if (on) OpenTraceLocked(t);  // switched on: to ACQ_TRACE's file as it is now
  t.on = on;
}

void Lib_Trace(std::string_view line) {
  TraceState& t = Trace();
  std::lock_guard lock(t.lock);
  InitTraceLocked(t);
  if (!t.on) return;
  // One write per line: lines of several processes appending to one file
  // never interleave.
  std::string text = "trace: " + std::string(line) + "\n";
  const char* p = text.data();
  size_t left = text.size();
  while (left > 0) {
    ssize_t n = ::write(t.fd, p, left);
    if (n <= 0) break;
    p += n;
    left -= static_cast<size_t>(n);
  }
}
