// Loads the acquisitions module the way an operating-system loader would:
// dlopen, the library entry with process attach, the unit Initialize
// procedures, and the reverse at unload.
#pragma once

#include <cstdint>
#include <string>

#include "host/sys/RunTime.h"
#include "host/win32/Win32.h"

// The module file beside the running executable.
std::string DefaultModulePath();

// Holds a loaded module from Load until Unload (or destruction).
class LoadedModule {
 public:
  using EntryProc = int32_t (*)(HINSTANCE, uint32_t reason, void* reserved);
  using SetHwndProc = void (*)(HWND frame, HWND client);

  LoadedModule() = default;
  ~LoadedModule() { Unload(); }
  LoadedModule(const LoadedModule&) = delete;
  LoadedModule& operator=(const LoadedModule&) = delete;

  // Opens `path`, finds the entry points, runs the unit bodies through the
  // entry (process attach) and then the registered Initialize procedures.
  // False with the text for stderr when the file cannot be loaded, lacks an
  // entry point, or the module does not accept this host; nothing is left
  // loaded then.
  bool Load(const std::string& path, std::string& error);
  // Process detach (the termination chain), then forgets the module's
  // registrations and closes the file. Does nothing when not loaded.
  void Unload();
  // Forgets the module without detaching or closing it: for threads still
  // running in its code at shut-down, which must not lose it under them.
  void Abandon() {
    handle_ = nullptr;
    attached_ = false;
  }

  SetHwndProc setHwnd() const { return setHwnd_; }
  WNDPROC mainWndProc() const { return mainWndProc_; }

 private:
  void* handle_ = nullptr;
  HINSTANCE instance_ = nullptr;
  EntryProc entry_ = nullptr;
  SetHwndProc setHwnd_ = nullptr;
  WNDPROC mainWndProc_ = nullptr;
  bool attached_ = false;
};
