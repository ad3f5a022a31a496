// The sound of MessageBeep as the person's driver tells it: a notice
// "beep" naming the sound ("ok", "error", "question", "warning",
// "information", else the type in hexadecimal).
#include <cstdio>
#include <string>

#include "host/muc/UiDriver.h"
#include "host/win32/Win32.h"

namespace {

std::string SoundName(UINT type) {
  switch (type & 0xF0) {
    case 0x00: return "ok";
    case 0x10: return "error";
    case 0x20: return "question";
    case 0x30: return "warning";
    case 0x40: return "information";
    default: break;
  }
  char buf[16];
  std::snprintf(buf, sizeof buf, "0x%X", static_cast<unsigned>(type));
  return buf;
}

void OnBeep(UINT type) {
  if (UiDriver* driver = Ui_Driver()) driver->Notice("beep", SoundName(type));
}

// PwWin32 sits below this library and cannot call the driver itself.
[[maybe_unused]] const bool beepSinkInstalled = (_Win32_SetBeepSink(OnBeep), true);

}  // namespace
