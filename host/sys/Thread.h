// Threads of the module (the EDIFACT import thread): started with
// CreateThread, registered with the host by name so that the frame can
// wait for them before it unloads the module, and ended with ExitThread.
// Also the host's module critical section.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

struct HostThread;
using HTHREAD = HostThread*;
using LPTHREAD_START_ROUTINE = uint32_t (*)(void* param);

// Starts `proc(param)` on a new thread. nullptr when the system refuses
// (no thread is started). The handle stays valid until CloseThreadHandle.
HTHREAD CreateThread(LPTHREAD_START_ROUTINE proc, void* param);
// Ends the calling thread (started by CreateThread) with `exitCode`. The
// thread's stack unwinds first, so every RAII holder on it releases.
[[noreturn]] void ExitThread(uint32_t exitCode);
// Waits up to `timeoutMs` (negative: for ever) for the thread to end;
// true when it has, with its exit code in *exitCode when given.
bool WaitForThread(HTHREAD thread, int timeoutMs, uint32_t* exitCode = nullptr);
// Forgets the handle; a thread still running is detached, not stopped.
void CloseThreadHandle(HTHREAD thread);

// The registry of the module's running threads. A thread registers itself
// under a name as it starts and unregisters as it ends; the frame waits
// for every registered thread (_WaitRegisteredThreads) before it unloads
// the module, and names those that do not end in time.
void _RegisterThread(std::string_view name);
void _UnRegisterThread();
std::vector<std::string> _RegisteredThreads();   // names, in start order
// True when every registered thread ended within `timeoutMs`.
bool _WaitRegisteredThreads(int timeoutMs);

// The host's module critical section: one per process, recursive.
void KtSystem_EnterCriticalSection();
void KtSystem_LeaveCriticalSection();
class KtCriticalSectionHold {
 public:
  KtCriticalSectionHold() { KtSystem_EnterCriticalSection(); }
  ~KtCriticalSectionHold() { KtSystem_LeaveCriticalSection(); }
  KtCriticalSectionHold(const KtCriticalSectionHold&) = delete;
  KtCriticalSectionHold& operator=(const KtCriticalSectionHold&) = delete;
};

// A host symbol's value ("KtTryEDI"): "" when the symbol is not set.
std::string KtRTL_GetSymbol(std::string_view name);

// Suspends the calling thread for `milliseconds` (a worker waiting for its
// scheduled start between looks at the clock and its abort flag).
void Sleep(uint32_t milliseconds);
