// Threads, their registry and the module critical section. (Stub.)
#include "host/sys/Thread.h"

#include <cstdlib>

HTHREAD CreateThread(LPTHREAD_START_ROUTINE, void*) { return nullptr; }
void ExitThread(uint32_t) { std::abort(); }
bool WaitForThread(HTHREAD, int, uint32_t*) { return true; }
void CloseThreadHandle(HTHREAD) {}
void _RegisterThread(std::string_view) {}
void _UnRegisterThread() {}
std::vector<std::string> _RegisteredThreads() { return {}; }
bool _WaitRegisteredThreads(int) { return true; }
void KtSystem_EnterCriticalSection() {}
void KtSystem_LeaveCriticalSection() {}
std::string KtRTL_GetSymbol(std::string_view) { return {}; }
