// The host's window and message-box tools and the installed UI driver.
// Every message box goes to the driver; with none installed (a tool run
// before the frame set one up) the box is written to stderr and answered
// with its first button, so nothing ever waits for an absent person.
#include <atomic>
#include <cstdio>
#include <cstdlib>
#include <optional>
#include <string>

#include "host/muc/MucTools.h"
#include "host/os2/PwOs.h"
#include "host/sys/LbStr.h"

HWND PwMucBase_hwndFrame = nullptr;
HWND PwMucBase_hwndClient = nullptr;

namespace {

std::atomic<UiDriver*> installedDriver{nullptr};

// Hourglass requests outstanding; only the user-interface thread counts.
int hourGlassCount = 0;

constexpr WPARAM kSizeMinimized = 1;

MsgAnswer FirstButton(MsgButtons buttons) {
  switch (buttons) {
    case MsgButtons::Ok:
    case MsgButtons::OkCancel: return MsgAnswer::Ok;
    case MsgButtons::AbortRetryIgnore: return MsgAnswer::Abort;
    case MsgButtons::YesNoCancel:
    case MsgButtons::YesNo: return MsgAnswer::Yes;
    case MsgButtons::RetryCancel: return MsgAnswer::Retry;
  }
  return MsgAnswer::Ok;
}

void ShowHelpThroughDriver(HWND, std::string_view path, unsigned command, uintptr_t data) {
  if (UiDriver* driver = Ui_Driver())
    driver->Notice("help", std::string(path) + " command " + std::to_string(command) +
                               " data " + std::to_string(data));
}

// PwOs275 sits below this library and cannot call the driver itself.
[[maybe_unused]] const bool helpViewerInstalled = (Os_SetHelpViewer(ShowHelpThroughDriver), true);

}  // namespace

void Ui_SetDriver(UiDriver* driver) { installedDriver.store(driver); }

UiDriver* Ui_Driver() { return installedDriver.load(); }

int MucTools_MsgBox(HWND, std::string_view caption, std::string_view text, unsigned flags) {
  unsigned buttonBits = flags & 0x0F;
  MsgButtons buttons = buttonBits <= static_cast<unsigned>(MsgButtons::RetryCancel)
                           ? static_cast<MsgButtons>(buttonBits)
                           : MsgButtons::Ok;
  unsigned iconBits = flags & 0xF0;
  MsgIcon icon = iconBits <= static_cast<unsigned>(MsgIcon::Information)
                     ? static_cast<MsgIcon>(iconBits)
                     : MsgIcon::None;
  if (UiDriver* driver = Ui_Driver())
    return static_cast<int>(driver->MessageBox(caption, text, buttons, icon));
  MsgAnswer answer = FirstButton(buttons);
  std::fprintf(stderr, "%.*s: %.*s [answered %d]\n", static_cast<int>(caption.size()),
               caption.data(), static_cast<int>(text.size()), text.data(),
               static_cast<int>(answer));
  return static_cast<int>(answer);
}

int MucTools_MsgBoxCap(HWND owner, std::string_view message, unsigned flags) {
  std::string caption, text;
  Lb_SplitCaption(message, caption, text);
  return MucTools_MsgBox(owner, caption, text, flags);
}

bool MucTools_MsgBoxCapYNbool(HWND owner, std::string_view message) {
  return MucTools_MsgBoxCap(owner, message, MB_YESNO | MB_ICONQUESTION) == IDYES;
}

void MucTools_HourGlass(bool on) {
  // Only the transitions show: nested on/off pairs keep the wait cursor.
  if (on) {
    if (hourGlassCount++ > 0) return;
    SetCursor(IDC_WAIT);
  } else {
    if (hourGlassCount == 0 || --hourGlassCount > 0) return;
    SetCursor(IDC_ARROW);
  }
  if (UiDriver* driver = Ui_Driver()) driver->Notice("hourglass", on ? "on" : "off");
}

bool MucTools_StartupDLL(bool (*startup)()) {
  MucTools_HourGlass(true);
  bool ok = startup && startup();
  MucTools_HourGlass(false);
  if (UiDriver* driver = Ui_Driver()) driver->Notice("startup", ok ? "ok" : "failed");
  return ok;
}

std::string MucTools_AskOpenFile(std::string_view prompt, std::string_view initial) {
  UiDriver* driver = Ui_Driver();
  std::optional<std::string> path = driver ? driver->AskFile(prompt, initial) : std::nullopt;
  return path.value_or(std::string());
}

std::string MucTools_OutputFolder() {
  const char* session = std::getenv("ACQ_SESSION_DIR");
  return session && *session ? session : ".";
}

void MucTools_FileWritten(const std::string& path, std::string_view title) {
  if (UiDriver* driver = Ui_Driver()) driver->FileWritten(path, title);
}

void MucTools_Progress(std::string_view text, int64_t done, int64_t total) {
  if (UiDriver* driver = Ui_Driver()) driver->Progress(text, done, total);
}

void MucTools_SizeYoink(LPARAM lParam, WPARAM wParam, HWND hwnd) {
  // A minimised window keeps the size it had; otherwise the new client size
  // (width in the low word, height in the high word) becomes the window's.
  if (wParam == kSizeMinimized) return;
  RECT rect{0, 0, LOWORD(static_cast<uintptr_t>(lParam)), HIWORD(static_cast<uintptr_t>(lParam))};
  SetClientRect(hwnd, rect);
}

// Windows are not laid out on a screen here, so minimised dialogs have no
// icon row to be put back on.
void MucTools_ReposMinimizedDlg(HWND) {}
