// Threads, their registry and the module critical section.
//
// A thread of CreateThread runs its procedure inside a trampoline that owns
// the thread's shared state (done flag and exit code). ExitThread throws a
// private exception type that only the trampoline catches: the stack
// unwinds on its way there, so RAII holders of the procedure release
// (Buckets, sessions, semaphores). Consequences for a thread procedure:
// ExitThread must not be called from a noexcept function or through a
// `catch (...)` that does not rethrow; any other exception that escapes the
// procedure ends the process (std::terminate), as an unhandled fault would.
//
// The registry holds one entry per registered thread (by thread id). The
// trampoline removes the entry of its thread when the procedure ends, so a
// thread that forgets _UnRegisterThread (or leaves by ExitThread) never
// keeps the frame waiting.
//
// KtRTL_GetSymbol: the environment variable of the symbol's name wins;
// else the key of that name in section [Symbols] of the workstation
// profile; else "".
#include "host/sys/Thread.h"

#include <chrono>
#include <condition_variable>
#include <cstdlib>
#include <memory>
#include <mutex>
#include <thread>

#include "host/sys/LbStr.h"
#include "host/sys/RunTime.h"

namespace {

struct ThreadState {
  std::mutex mutex;
  std::condition_variable ended;
  bool done = false;
  uint32_t exitCode = 0;
};

// Thrown by ExitThread, caught by the trampoline only.
struct ThreadExitRequest {
  uint32_t code;
};

thread_local bool tHostThread = false;

struct Registry {
  std::mutex mutex;
  std::condition_variable changed;
  struct Entry {
    std::thread::id id;
    std::string name;
  };
  std::vector<Entry> entries;   // start order
};

Registry& TheRegistry() {
  static Registry registry;
  return registry;
}

void Unregister(std::thread::id id) {
  Registry& r = TheRegistry();
  {
    std::lock_guard<std::mutex> lock(r.mutex);
    std::erase_if(r.entries, [id](const Registry::Entry& e) { return e.id == id; });
  }
  r.changed.notify_all();
}

std::recursive_mutex& ModuleSection() {
  static std::recursive_mutex section;
  return section;
}

void Trampoline(std::shared_ptr<ThreadState> state, LPTHREAD_START_ROUTINE proc, void* param) {
  tHostThread = true;
  uint32_t code = 0;
  try {
    code = proc(param);
  } catch (const ThreadExitRequest& exit) {
    code = exit.code;
  }
  Unregister(std::this_thread::get_id());
  {
    std::lock_guard<std::mutex> lock(state->mutex);
    state->done = true;
    state->exitCode = code;
  }
  state->ended.notify_all();
}

}  // namespace

struct HostThread {
  std::shared_ptr<ThreadState> state;
  std::thread thread;
};

HTHREAD CreateThread(LPTHREAD_START_ROUTINE proc, void* param) {
  if (!proc) return nullptr;
  auto handle = std::make_unique<HostThread>();
  handle->state = std::make_shared<ThreadState>();
  try {
    handle->thread = std::thread(Trampoline, handle->state, proc, param);
  } catch (const std::system_error& e) {
    Lib_Trace(std::string("thread: cannot start a thread: ") + e.what());
    return nullptr;
  }
  return handle.release();
}

void ExitThread(uint32_t exitCode) {
  if (!tHostThread) KtSystem_Panic("ExitThread: the calling thread was not started by CreateThread");
  throw ThreadExitRequest{exitCode};
}

bool WaitForThread(HTHREAD thread, int timeoutMs, uint32_t* exitCode) {
  if (!thread) return true;
  ThreadState& s = *thread->state;
  std::unique_lock<std::mutex> lock(s.mutex);
  if (timeoutMs < 0)
    s.ended.wait(lock, [&s] { return s.done; });
  else if (!s.ended.wait_for(lock, std::chrono::milliseconds(timeoutMs), [&s] { return s.done; }))
    return false;
  if (exitCode) *exitCode = s.exitCode;
  return true;
}

void CloseThreadHandle(HTHREAD thread) {
  if (!thread) return;
  if (thread->thread.joinable()) {
    bool done = false;
    {
      std::lock_guard<std::mutex> lock(thread->state->mutex);
      done = thread->state->done;
    }
    // A finished thread has only the trampoline's last lines left to run.
    if (done && thread->thread.get_id() != std::this_thread::get_id())
      thread->thread.join();
    else
      thread->thread.detach();
  }
  delete thread;
}

void _RegisterThread(std::string_view name) {
  Registry& r = TheRegistry();
  const std::thread::id id = std::this_thread::get_id();
  {
    std::lock_guard<std::mutex> lock(r.mutex);
    for (Registry::Entry& e : r.entries) {
      if (e.id == id) {   // registering again renames
        e.name = std::string(name);
        return;
      }
    }
    r.entries.push_back(Registry::Entry{id, std::string(name)});
  }
  r.changed.notify_all();
}

void _UnRegisterThread() { Unregister(std::this_thread::get_id()); }

std::vector<std::string> _RegisteredThreads() {
  Registry& r = TheRegistry();
  std::lock_guard<std::mutex> lock(r.mutex);
  std::vector<std::string> names;
  for (const Registry::Entry& e : r.entries) names.push_back(e.name);
  return names;
}

bool _WaitRegisteredThreads(int timeoutMs) {
  Registry& r = TheRegistry();
  std::unique_lock<std::mutex> lock(r.mutex);
  auto empty = [&r] { return r.entries.empty(); };
  if (timeoutMs < 0) {
    r.changed.wait(lock, empty);
    return true;
  }
  return r.changed.wait_for(lock, std::chrono::milliseconds(timeoutMs), empty);
}

void KtSystem_EnterCriticalSection() { ModuleSection().lock(); }
void KtSystem_LeaveCriticalSection() { ModuleSection().unlock(); }

std::string KtRTL_GetSymbol(std::string_view name) {
  if (name.empty()) return "";
  const std::string key(name);
  if (const char* value = std::getenv(key.c_str())) return value;
  return Lb_IniRead(Lb_WorkstationIniPath(), "Symbols", key);
}
