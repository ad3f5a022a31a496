// The client session of the frame.
//
// Close protocol: the frame sends WM_CLOSE to the client window (the
// module's MainWndProc). A result of 0 lets the close proceed; any other
// result, or a window kept open with KtWin_WindowStayOpen, refuses it and
// the loop goes on. A WM_CLOSE for the client (or frame) that arrives
// through the queue counts the same way.
//
// Actions on windows (window, select, sort, search, field, press, key,
// framework, show) go to the framework (MrUi.h), which does them on the top
// window; the frame's own keys are the module's accelerator table 1.
//
// Menus: the frame's menu bar is menu 1 of the module's menu resource
// (FrameMenu.h). Before a command runs, and for each item when the `menu`
// action lists them, the frame asks the module whether the command is
// available on the top module window (message 0x0798, the number in the
// high word of wParam), as it would before showing the menu: first the
// window's own procedure, then MainWndProc for that window. FALSE leaves
// the item to the frame (available); TRUE means the module has set the
// item's state in the frame's menu, and a disabled item is not run. A
// command may be given by number or by its menu text.
//
// Raw messages (`send`, `post`) get real windows and pointers where the
// module reads them (RawMessage.h); numbers that are none are refused.
//
// Shut-down order: phase closing, the frame window destroyed (and with it
// the client and every module window), a bounded wait for the module's
// registered threads (one still running keeps the module loaded and is
// named in the transcript), phase terminating with the units'
// Terminate procedures, then the module's unload (the termination chain).
#include "host/frame/Session.h"

#include <sys/stat.h>

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <deque>
#include <filesystem>
#include <fstream>
#include <iostream>
#include <map>
#include <memory>
#include <optional>
#include <sstream>
#include <string>

#include "host/db/PwDb.h"
#include "host/frame/AdminCommands.h"
#include "host/frame/FrameMenu.h"
#include "host/frame/Loader.h"
#include "host/frame/RawMessage.h"
#include "host/mr/MrFramework.h"
#include "host/mr/MrUi.h"
#include "host/mr/PwMr.h"
#include "host/muc/MucTools.h"
#include "host/sys/LbStr.h"
#include "host/sys/RunTime.h"
#include "host/sys/Thread.h"
#include "host/win32/Dialog.h"

namespace {

constexpr UINT kStartupMessage = 0x0BD0;
constexpr UINT kMenuStateMessage = 0x0798;
constexpr LRESULT kStartupFailed = -1;
constexpr const char* kDatabaseName = "acq";
constexpr int kFrameWidth = 1024, kFrameHeight = 768;
// The module's accelerator table of the frame's general keys.
constexpr int kFrameAccelerators = 1;
// How long shut-down waits for the module's threads, in milliseconds.
constexpr int kModuleThreadWaitMs = 30000;

// The client window while the frame exists; the frame forwards its close.
HWND frameClient = nullptr;

LRESULT FrameProc(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam) {
  if (msg == WM_CLOSE && frameClient) return SendMessageW(frameClient, WM_CLOSE, wParam, lParam);
  return DefWindowProcW(hwnd, msg, wParam, lParam);
}

void ShowSystemError(std::string_view text, bool) {
  if (UiDriver* driver = Ui_Driver())
    driver->MessageBox("System Error", text, MsgButtons::Ok, MsgIcon::Error);
  else
    std::fprintf(stderr, "System Error: %.*s\n", static_cast<int>(text.size()), text.data());
}

// The driver and the error sink for the length of the run.
class DriverInstall {
 public:
  explicit DriverInstall(UiDriver* driver) {
    Ui_SetDriver(driver);
    oldSink_ = Lib_SetErrorSink(ShowSystemError);
  }
  ~DriverInstall() {
    Lib_SetErrorSink(oldSink_);
    Ui_SetDriver(nullptr);
  }
  DriverInstall(const DriverInstall&) = delete;
  DriverInstall& operator=(const DriverInstall&) = delete;

 private:
  ErrorSink oldSink_ = nullptr;
};

std::string ResultText(UINT msg, LRESULT result) {
  char buf[64];
  std::snprintf(buf, sizeof buf, "0x%04X -> %lld", static_cast<unsigned>(msg),
                static_cast<long long>(result));
  return buf;
}

std::unique_ptr<UiDriver> MakeDriver(const Options& o, std::string& error) {
  if (o.uiFd >= 0) {
    std::unique_ptr<UiRemoteDriver> remote = Ui_MakeRemoteDriver(o.uiFd, &error);
    return remote;
  }
  if (o.script.empty()) return Ui_MakeTerminalDriver();
  const std::string shown = "'" + Lb_CutForMessage(o.script, 200) + "'";
  struct stat st {};
  if (stat(o.script.c_str(), &st) != 0) {
    error = "cannot read the script " + shown + ": " + std::strerror(errno);
    return nullptr;
  }
  if (S_ISDIR(st.st_mode)) {
    error = "the script " + shown + " is a directory, not a script file";
    return nullptr;
  }
  std::ifstream in(o.script, std::ios::binary);
  std::ostringstream text;
  if (in) text << in.rdbuf();
  if (!in || in.bad()) {
    error = "cannot read the script " + shown;
    return nullptr;
  }
  return Ui_MakeScriptDriver(text.str(), o.script, o.transcript, &error);
}

// The server name of the log-in: --db (a server's URI as it is, else a file
// of any name as a "sqlite:PATH" target), --server, or the workstation's.
std::string ServerName(const Options& o) {
  if (!o.db.empty()) {
    if (DbConfig_IsServerTarget(o.db)) return o.db;
    std::error_code ec;
    const std::filesystem::path path = std::filesystem::absolute(o.db, ec);
    return "sqlite:" + (ec ? o.db : path.lexically_normal().string());
  }
  if (!o.server.empty()) return o.server;
  return Lb_IniRead(Lb_WorkstationIniPath(), "ACQ", "Server");
}

// A server URI with a password written in it works, but the password sits
// in a command line or a configuration file others may read: said once,
// before the log-in. A server name that does not resolve is left for the
// log-in to report.
void WarnOfPasswordInServer(const std::string& server) {
  std::string target;
  DbMsg msg;
  if (DbConfig_ResolveServer(server, target, msg) == kDbOk) WarnOfPasswordInTarget(target);
}

// Fills the log-in texts of DbGlobal_globRec; false when a question was
// cancelled.
bool FillLogin(const Options& o, const std::string& server, UiDriver& driver) {
  std::optional<Credentials> scripted = driver.StartupLogin();
  std::string user = !o.user.empty() ? o.user : scripted ? scripted->user : std::string();
  if (user.empty()) {
    std::optional<std::string> asked = driver.AskText("User name", "", false);
    if (!asked || asked->empty()) return false;
    user = *asked;
  }
  std::string password;
  const char* fromEnv = std::getenv("ACQ_PASSWORD");
  if (scripted) {
    password = scripted->password;
  } else if (o.passwordStdin) {
    if (!std::getline(std::cin, password)) return false;
    if (!password.empty() && password.back() == '\r') password.pop_back();
  } else if (fromEnv) {
    password = fromEnv;
  } else {
    std::optional<std::string> asked = driver.AskText("Password for " + user, "", true);
    if (!asked) return false;
    password = *asked;
  }
  std::string location = o.location;
  if (location.empty()) location = Lb_IniRead(Lb_WorkstationIniPath(), "ACQ", "Location");
  if (location.empty()) location = kDefaultLocation;
  DbGlobal_globRec = DbGlobalRec{server, user, password, kDatabaseName, location};
  return true;
}

// The frame's side of a running session: the queue, the driver's actions and
// the close protocol; and the whole screen for a driver that draws it.
class FrameLoop final : public UiScreenSource {
 public:
  FrameLoop(UiDriver& driver, const FrameMenu& menu, HWND frame, HWND client,
            WNDPROC moduleProc)
      : driver_(driver), menu_(menu), frame_(frame), client_(client), moduleProc_(moduleProc),
        keys_(LoadAcceleratorsW(LbUtil_LanguageInstance(), kFrameAccelerators)) {}

  UiScreen Screen() override {
    UiScreen screen;
    std::map<HWND, int> alive;
    for (HWND hwnd : MrUi_OpenWindows()) {
      auto known = windowIds_.find(hwnd);
      const int id = known != windowIds_.end() ? known->second : ++lastWindowId_;
      alive[hwnd] = id;
      screen.windows.push_back(UiScreen::Window{id, MrUi_DescribeWindow(hwnd)});
    }
    windowIds_ = std::move(alive);
    auto idOf = [this](HWND hwnd) {
      auto it = windowIds_.find(hwnd);
      return it == windowIds_.end() ? 0 : it->second;
    };
    screen.current = idOf(MrUi_TopWindow());
    screen.modal = idOf(MrUi_ModalWindow());
    if (menu_.loaded()) screen.menu = MenuView("", true);
    return screen;
  }

  bool MakeCurrent(int id, std::string& error) override {
    for (const auto& [hwnd, known] : windowIds_)
      if (known == id) return MrUi_MakeCurrent(hwnd, error);
    error = "no window " + std::to_string(id) + " is open";
    return false;
  }

  // Dispatches everything queued; true once a close was accepted.
  bool Pump() {
    MSG msg;
    while (PeekMessageW(msg, true)) {
      if (msg.message == WM_QUIT) return true;
      bool isClose = msg.message == WM_CLOSE && msg.hwnd &&
                     (msg.hwnd == client_ || msg.hwnd == GetParent(client_));
      if (isClose) KtWin_CloseRefused();  // a mark from before is not this answer
      LRESULT result = DispatchMessageW(msg);
      if (isClose && Accepted(result)) return true;
    }
    return false;
  }

  // Runs the driver's actions until a close is accepted. False when the
  // actions ran out while the module still refused to close.
  bool Run() {
    for (;;) {
      if (Pump()) return true;
      std::optional<std::string> text = driver_.NextAction();
      if (!text) {
        if (Close()) return true;
        if (Pump()) return true;
        return false;
      }
      Lib_Trace("acq: action " + *text);
      UiAction action;
      std::string error;
      if (!Ui_ParseAction(*text, action, &error)) {
        driver_.Notice("error", "not an action: " + Lb_CutForMessage(*text) + " (" + error + ")");
        continue;
      }
      if (Execute(action)) return true;
    }
  }

 private:
  bool Accepted(LRESULT result) {
    bool refused = KtWin_CloseRefused() || result != 0;
    if (refused) driver_.Notice("close", "refused");
    return !refused;
  }

  bool Close() {
    KtWin_CloseRefused();
    return Accepted(SendMessageW(client_, WM_CLOSE, 0, 0));
  }

  // Whether menu command `command` is available on the top module window
  // (see the head of this file). A command the frame's menu does not hold
  // has no state to set, so the module cannot have disabled it.
  bool CommandAvailable(UINT command) {
    HWND top = KtWin_GetTopKtWnd();
    const WPARAM query = MAKEWPARAM(0, static_cast<uint16_t>(command));
    LRESULT answered = top ? SendMessageW(top, kMenuStateMessage, query, 0) : FALSE;
    if (!answered) answered = moduleProc_(top, kMenuStateMessage, query, 0);
    if (!answered || menu_.Text(command).empty()) return true;
    HMENU menu = GetMenu(frame_);
    return menu == nullptr || IsMenuItemEnabled(menu, command);
  }

  void RunCommand(const UiAction& action) {
    UINT command = action.message;
    std::string error;
    if (!action.text.empty() && !menu_.Resolve(action.text, command, error)) {
      driver_.ActionFailed(error);
      return;
    }
    if (!CommandAvailable(command)) {
      const std::string text = menu_.Text(command);
      driver_.ActionFailed("command " + std::to_string(command) + " " + text +
                           " is not available here");
      return;
    }
    SendMessageW(client_, WM_COMMAND, MAKEWPARAM(static_cast<uint16_t>(command), 0), 0);
  }

  // Every popup (or the one named) with its items, their keys and their
  // state on the top window now.
  UiMenuView MenuView(const std::string& popupName, bool separators) {
    UiMenuView view;
    for (const LbMenuPopup& popup : menu_.menu().popups) {
      if (!popupName.empty() && !FrameMenu_SameText(popup.text, popupName)) continue;
      UiMenuView::Popup shown{FrameMenu_PlainText(popup.text), {}, popup.text};
      for (const LbMenuItem& item : popup.items) {
        if (item.command == 0) {
          if (separators && !shown.items.empty() && !shown.items.back().separator)
            shown.items.push_back(UiMenuView::Item{"", 0, false, "", "", true});
          continue;
        }
        shown.items.push_back(UiMenuView::Item{FrameMenu_PlainText(item.text), item.command,
                                               CommandAvailable(item.command), item.text,
                                               GetAcceleratorKey(keys_, item.command)});
      }
      view.popups.push_back(std::move(shown));
    }
    return view;
  }

  // The `menu` action.
  void ShowMenu(const std::string& popupName) {
    if (!menu_.loaded()) {
      driver_.ActionFailed("the module has no menu; give commands by number");
      return;
    }
    UiMenuView view = MenuView(popupName, false);
    if (view.popups.empty()) {
      std::string names;
      for (const LbMenuPopup& popup : menu_.menu().popups)
        names += (names.empty() ? "" : ", ") + FrameMenu_PlainText(popup.text);
      driver_.ActionFailed("no menu \"" + Lb_CutForMessage(popupName) + "\" (the menus: " + names +
                           ")");
      return;
    }
    for (const std::string& line : Ui_MenuViewLines(view)) driver_.Notice("menu", line);
  }

  // A raw message with real windows where the module reads them; false
  // (the driver told) when a number names no window.
  bool Prepare(const UiAction& action, WPARAM& wParam, LPARAM& lParam) {
    std::string error;
    if (PrepareRawMessage(action, RawMessageWindows{KtWin_GetTopKtWnd(), client_}, heldWindows_,
                          wParam, lParam, error))
      return true;
    driver_.ActionFailed(error);
    return false;
  }

  // True when the action closed the frame.
  bool Execute(const UiAction& action) {
    if (action.IsWindowAction()) {
      std::string error;
      if (!MrUi_RunWindowAction(action, error)) driver_.ActionFailed(error);
      return false;
    }
    switch (action.kind) {
      case UiAction::Kind::Command:
        RunCommand(action);
        return false;
      case UiAction::Kind::Menu:
        ShowMenu(action.text);
        return false;
      case UiAction::Kind::Send: {
        WPARAM wParam = 0;
        LPARAM lParam = 0;
        if (!Prepare(action, wParam, lParam)) return false;
        if (action.message == WM_CLOSE) KtWin_CloseRefused();
        LRESULT result = SendMessageW(client_, action.message, wParam, lParam);
        driver_.Notice("result", ResultText(action.message, result));
        return action.message == WM_CLOSE && Accepted(result);
      }
      case UiAction::Kind::Post: {
        WPARAM wParam = 0;
        LPARAM lParam = 0;
        if (Prepare(action, wParam, lParam)) PostMessageW(client_, action.message, wParam, lParam);
        return false;
      }
      case UiAction::Kind::Close:
        return Close();
      default:
        break;
    }
    return false;
  }

  UiDriver& driver_;
  const FrameMenu& menu_;
  HWND frame_;
  HWND client_;
  WNDPROC moduleProc_;
  HACCEL keys_;
  // The ids of the windows on the last screen, and the last id given.
  std::map<HWND, int> windowIds_;
  int lastWindowId_ = 0;
  // Window handles whose addresses went to the module in raw messages; a
  // deque keeps each slot in place for a posted message still queued.
  std::deque<HWND> heldWindows_;
};

// The frame and client windows; nullptr client when the module's window
// could not be created.
struct FrameWindows {
  HWND frame = nullptr;
  HWND client = nullptr;
};

FrameWindows CreateFrameWindows(WNDPROC clientProc, const FrameMenu& menu) {
  RegisterClassW("AcqFrame", FrameProc);
  RegisterClassW("AcqClient", clientProc);
  FrameWindows w;
  w.frame = CreateWindowW("AcqFrame", "Acquisitions", nullptr, menu.Build());
  if (!w.frame) return w;
  SetClientRect(w.frame, RECT{0, 0, kFrameWidth, kFrameHeight});
  w.client = CreateWindowW("AcqClient", "", w.frame);
  frameClient = w.client;
  return w;
}

// The module's threads (registered by name) use its units' state, so they
// end before the Terminate procedures run; their windows are gone by now,
// which tells them to stop. False, with the names of those still running
// told, when they do not end in time: the module then stays as it is.
bool WaitForModuleThreads() {
  if (_RegisteredThreads().empty()) return true;
  Lib_Trace("acq: waiting for the module's threads to end");
  if (_WaitRegisteredThreads(kModuleThreadWaitMs)) return true;
  for (const std::string& name : _RegisteredThreads()) {
    if (UiDriver* driver = Ui_Driver()) driver->Notice("thread", "still running: " + name);
    std::fprintf(stderr, "acq: the module's thread \"%s\" is still running; the module is not "
                         "unloaded\n", name.c_str());
  }
  return false;
}

void ShutDown(LoadedModule& module, HWND frame) {
  Lib_Trace("acq: shutting down");
  Lib_SetPhase(kPhaseClosing);
  if (frame) DestroyWindow(frame);
  frameClient = nullptr;
  if (!WaitForModuleThreads()) {
    module.Abandon();
    return;
  }
  Lib_SetPhase(kPhaseTerminating);
  Lib_RunTerminateProcs();
  module.Unload();
}

// The status of a run that got as far as shut-down: the script's verdict.
int FinalStatus(UiDriver& driver, int status) {
  driver.Finish();
  std::string reason;
  if (!driver.Failed(&reason)) return status;
  std::fprintf(stderr, "acq: the script failed: %s\n", reason.c_str());
  return status == kExitOk ? kExitFailed : status;
}

}  // namespace

int RunClient(const Options& o) {
  std::string error;
  std::unique_ptr<UiDriver> driver = MakeDriver(o, error);
  if (!driver) {
    std::fprintf(stderr, "acq: %s\n", error.c_str());
    return kExitUsage;
  }
  DriverInstall install(driver.get());
  if (o.trace) Lib_SetTrace(true);
  if (!o.hostVersion.empty()) Lib_SetHostVersion(o.hostVersion);

  const std::string server = ServerName(o);
  if (server.empty()) {
    std::fprintf(stderr, "acq: no database: give --db PATH|URI or --server NAME, or set Server "
                         "in the [ACQ] section of %s\n",
                 Lb_WorkstationIniPath().c_str());
    return kExitUsage;
  }
  WarnOfPasswordInServer(server);

  LoadedModule module;
  const std::string path = o.module.empty() ? DefaultModulePath() : o.module;
  if (!module.Load(path, error)) {
    std::fprintf(stderr, "%s\n", error.c_str());
    return kExitLoad;
  }
  if (!FillLogin(o, server, *driver)) {
    ShutDown(module, nullptr);
    std::fprintf(stderr, "acq: the log-in was cancelled.\nStart-up failed.\n");
    return FinalStatus(*driver, kExitStartup);
  }

  // The menu bar comes from the module's resources, loaded with it.
  FrameMenu menu;
  if (!menu.Load(LbUtil_LanguageInstance(), error))
    Lib_Trace("acq: no menu bar (" + error + "); commands are taken by number only");
  FrameWindows windows = CreateFrameWindows(module.mainWndProc(), menu);
  if (!windows.client) {
    ShutDown(module, windows.frame);
    std::fprintf(stderr, "acq: the module's main window could not be created.\nStart-up failed.\n");
    return FinalStatus(*driver, kExitStartup);
  }
  module.setHwnd()(windows.frame, windows.client);
  // The frame's keys come from the module's resources, loaded by now.
  _Win32_SetAccelTable(windows.frame,
                       LoadAcceleratorsW(LbUtil_LanguageInstance(), kFrameAccelerators));
  SendMessageW(windows.client, WM_SIZE, 0,
               static_cast<LPARAM>(MAKEWPARAM(kFrameWidth, kFrameHeight)));

  FrameLoop loop(*driver, menu, windows.frame, windows.client, module.mainWndProc());
  if (o.uiFd >= 0) static_cast<UiRemoteDriver&>(*driver).SetScreenSource(&loop);
  LRESULT started = SendMessageW(windows.client, kStartupMessage, 0, 0);
  driver->Notice("result", ResultText(kStartupMessage, started));
  if (started == kStartupFailed) {
    loop.Pump();  // the module posts WM_CLOSE to itself after a failed load
    ShutDown(module, windows.frame);
    std::fprintf(stderr, "Start-up failed.\n");
    return FinalStatus(*driver, kExitStartup);
  }
  Lib_SetPhase(kPhaseRunning);
  int status = kExitOk;
  if (!loop.Run()) {
    std::fprintf(stderr, "acq: the module refused to close and no actions are left; "
                         "closing anyway.\n");
    status = kExitFailed;
  }
  ShutDown(module, windows.frame);
  return FinalStatus(*driver, status);
}
