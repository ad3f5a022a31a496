// The module's load and unload. The order is the one a Windows loader and
// the host run-time give a library: bodies under the entry's process
// attach, Initialize procedures after the entry returned, and at the end
// process detach (the termination chain) before the file is closed.
#include "host/frame/Loader.h"

#include <dlfcn.h>
#include <unistd.h>

#include <climits>

namespace {

constexpr uint32_t kProcessDetach = 0;
constexpr uint32_t kProcessAttach = 1;

}  // namespace

std::string DefaultModulePath() {
  char buf[PATH_MAX];
  ssize_t n = readlink("/proc/self/exe", buf, sizeof buf - 1);
  std::string exe = n > 0 ? std::string(buf, static_cast<size_t>(n)) : std::string();
  size_t slash = exe.rfind('/');
  std::string dir = slash == std::string::npos ? std::string(".") : exe.substr(0, slash);
  return dir + "/libPwAcq75.so";
}

#ifdef ACQ_SANITIZE
// A leak report names the module's functions only while the module is still
// mapped when the process ends: the sanitizer build never unmaps it (its
// detach still runs).
constexpr int kKeepMapped = RTLD_NODELETE;
#else
constexpr int kKeepMapped = 0;
#endif

bool LoadedModule::Load(const std::string& path, std::string& error) {
  handle_ = dlopen(path.c_str(), RTLD_NOW | RTLD_LOCAL | kKeepMapped);
  if (!handle_) {
    const char* why = dlerror();
    error = "Cannot load the acquisitions module '" + path + "': " + (why ? why : "unknown error");
    return false;
  }
  entry_ = reinterpret_cast<EntryProc>(dlsym(handle_, "DllEntryPoint"));
  setHwnd_ = reinterpret_cast<SetHwndProc>(dlsym(handle_, "SetHwnd"));
  mainWndProc_ = reinterpret_cast<WNDPROC>(dlsym(handle_, "MainWndProc"));
  if (!entry_ || !setHwnd_ || !mainWndProc_) {
    const char* missing = !entry_ ? "DllEntryPoint" : !setHwnd_ ? "SetHwnd" : "MainWndProc";
    error = "Cannot load the acquisitions module '" + path + "': it has no entry point " +
            missing + ".";
    dlclose(handle_);
    handle_ = nullptr;
    return false;
  }
  Lib_Trace("acq: loaded " + path);
  instance_ = Lib_RegisterInstance(path, handle_);
  Lib_ResetTermChain();
  Lib_SetPhase(kPhaseBodies);
  attached_ = true;
  if (entry_(instance_, kProcessAttach, nullptr) == 0) {
    // The bodies ran and linked their termination procedures: undo them.
    Unload();
    error = "The host does not accept this version of the acquisitions module.";
    return false;
  }
  Lib_Trace("acq: module accepted; running the units' Initialize procedures");
  Lib_RunInitializeProcs();
  Lib_SetPhase(kPhaseInitialised);
  return true;
}

void LoadedModule::Unload() {
  if (!handle_) return;
  if (attached_) {
    Lib_Trace("acq: unloading the module");
    Lib_SetPhase(kPhaseUnloading);
    entry_(instance_, kProcessDetach, nullptr);
    attached_ = false;
  }
  Lib_ForgetRegisteredProcs();
  Lib_UnregisterInstance(instance_);
  instance_ = nullptr;
  dlclose(handle_);
  handle_ = nullptr;
}
