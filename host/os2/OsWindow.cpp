// Paint wrappers, the help file kept per window, and host path forms.
// There is no help viewer on this host: a help request other than quit goes
// to the viewer PwMuc75 installs (the UI driver), else to the trace.
#include <atomic>
#include <map>
#include <mutex>
#include <string>

#include "host/os2/PwOs.h"
#include "host/sys/RunTime.h"

namespace {

constexpr unsigned kHelpQuit = 2;

struct HelpFiles {
  std::mutex mutex;
  std::map<HWND, std::string> byWindow;
};

HelpFiles& Help() {
  static HelpFiles* files = new HelpFiles;
  return *files;
}

std::atomic<HelpViewer> helpViewer{nullptr};

}  // namespace

HDC _Win32_BeginPaint(HWND hwnd, PAINTSTRUCT& ps, RECT& rect) {
  HDC dc = BeginPaint(hwnd, ps);
  rect = ps.rcPaint;
  return dc;
}

void _Win32_EndPaint(HWND hwnd, const PAINTSTRUCT& ps) { EndPaint(hwnd, ps); }

void _Win32_SetHelpFile(HWND hwnd, std::string_view path) {
  HelpFiles& help = Help();
  std::lock_guard<std::mutex> lock(help.mutex);
  help.byWindow[hwnd] = std::string(path);
}

std::string _Win32_GetHelpFile(HWND hwnd) {
  HelpFiles& help = Help();
  std::lock_guard<std::mutex> lock(help.mutex);
  auto it = help.byWindow.find(hwnd);
  return it == help.byWindow.end() ? std::string() : it->second;
}

bool KtRTL_WinHelp(HWND hwnd, std::string_view path, unsigned command, uintptr_t data) {
  if (command == kHelpQuit) {
    HelpFiles& help = Help();
    std::lock_guard<std::mutex> lock(help.mutex);
    auto it = help.byWindow.find(hwnd);
    if (it != help.byWindow.end() && it->second == path) help.byWindow.erase(it);
    return true;
  }
  if (HelpViewer viewer = helpViewer.load()) {
    viewer(hwnd, path, command, data);
  } else if (Lib_TraceOn()) {
    Lib_Trace("help " + std::string(path) + " command " + std::to_string(command) + " data " +
              std::to_string(data));
  }
  return true;
}

void Os_SetHelpViewer(HelpViewer viewer) { helpViewer.store(viewer); }

std::string Lb_PathToHostForm(std::string_view path) {
  std::string out(path);
  for (char& c : out)
    if (c == '\\') c = '/';
  return out;
}
