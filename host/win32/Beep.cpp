// MessageBeep: handed to the sink the user-interface library installs.
#include <atomic>

#include "host/win32/Win32.h"

namespace {
std::atomic<BeepSink> sink{nullptr};
}  // namespace

void _Win32_SetBeepSink(BeepSink s) { sink.store(s); }

bool MessageBeep(UINT type) {
  if (BeepSink s = sink.load()) s(type);
  return true;
}
