// Window classes, windows and message queues of the host's Win32 subset.
//
// A handle is the address of a heap object kept in one registry; IsWindow
// is membership in it. A destroyed window's object is emptied and parked,
// never freed, so its address cannot come back as a new window and a stale
// handle stays invalid for the life of the process (a few dozen bytes per
// window ever created).
//
// Each thread that creates a window or posts a thread message owns a queue.
// A posted message goes to the queue of the thread that created the window,
// so a worker thread can post to the user-interface thread's windows.
// The registry lock is never held while a window procedure runs: procedures
// may create, destroy and send freely.
#include <algorithm>
#include <cctype>
#include <chrono>
#include <condition_variable>
#include <cstdio>
#include <deque>
#include <map>
#include <memory>
#include <mutex>
#include <set>
#include <string>
#include <utility>
#include <vector>

#include "host/win32/Win32.h"
#include "host/sys/RunTime.h"

namespace {

struct MessageQueue {
  std::mutex mutex;
  std::condition_variable ready;
  std::deque<MSG> messages;
};

std::shared_ptr<MessageQueue> ThisThreadQueue() {
  thread_local std::shared_ptr<MessageQueue> queue = std::make_shared<MessageQueue>();
  return queue;
}

struct WindowClass {
  std::string name;
  WNDPROC proc = nullptr;
  uintptr_t background = 0;  // GCL_HBRBACKGROUND
};

}  // namespace

struct WindowImpl {
  WindowClass* windowClass = nullptr;
  std::string title;
  WNDPROC proc = nullptr;
  HWND parent = nullptr;
  // Z order, topmost first: a new child goes on top.
  std::vector<HWND> children;
  HMENU menu = nullptr;
  RECT client{0, 0, 1024, 768};
  std::shared_ptr<MessageQueue> queue;
  bool destroying = false;
};

namespace {

struct Registry {
  std::mutex mutex;
  std::map<std::string, std::unique_ptr<WindowClass>> classes;  // lower-case name
  std::map<HWND, std::unique_ptr<WindowImpl>> live;
  std::vector<std::unique_ptr<WindowImpl>> parked;  // destroyed; see the file head
};

Registry& Reg() {
  static Registry* registry = new Registry;  // outlives every static destructor
  return *registry;
}

std::string LowerCase(std::string_view text) {
  std::string out(text);
  for (char& c : out) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
  return out;
}

// The window's object while the caller holds the registry lock; nullptr
// for a handle that is not a live window.
WindowImpl* Find(Registry& reg, HWND hwnd) {
  auto it = reg.live.find(hwnd);
  return it == reg.live.end() ? nullptr : it->second.get();
}

// Children before parents. A subtree already being destroyed (by an outer
// DestroyWindow whose WM_DESTROY handler destroys an ancestor) is left to
// that call.
void CollectSubtree(HWND hwnd, std::vector<HWND>& out) {
  if (hwnd->destroying) return;
  for (HWND child : hwnd->children) CollectSubtree(child, out);
  out.push_back(hwnd);
}

}  // namespace

// ---- classes and windows ---------------------------------------------------------

bool RegisterClassW(std::string_view name, WNDPROC proc, HBRUSH background) {
  Registry& reg = Reg();
  std::lock_guard<std::mutex> lock(reg.mutex);
  auto& slot = reg.classes[LowerCase(name)];
  if (slot) return false;
  slot = std::make_unique<WindowClass>(WindowClass{std::string(name), proc, background});
  return true;
}

HWND CreateWindowW(std::string_view className, std::string_view title, HWND parent,
                   HMENU menu, LPARAM createParam) {
  HWND hwnd = nullptr;
  {
    Registry& reg = Reg();
    std::lock_guard<std::mutex> lock(reg.mutex);
    auto cls = reg.classes.find(LowerCase(className));
    if (cls == reg.classes.end()) return nullptr;
    if (parent && !Find(reg, parent)) return nullptr;
    auto window = std::make_unique<WindowImpl>();
    window->windowClass = cls->second.get();
    window->title = std::string(title);
    window->proc = cls->second->proc;
    window->parent = parent;
    window->menu = menu;
    window->queue = ThisThreadQueue();
    if (parent) {
      window->client = parent->client;
      parent->children.insert(parent->children.begin(), window.get());
    }
    hwnd = window.get();
    reg.live.emplace(hwnd, std::move(window));
  }
  if (SendMessageW(hwnd, WM_CREATE, 0, createParam) == -1) {
    DestroyWindow(hwnd);
    return nullptr;
  }
  return hwnd;
}

bool DestroyWindow(HWND hwnd) {
  Registry& reg = Reg();
  std::vector<HWND> doomed;
  {
    std::lock_guard<std::mutex> lock(reg.mutex);
    WindowImpl* window = Find(reg, hwnd);
    if (!window || window->destroying) return false;
    CollectSubtree(hwnd, doomed);
    for (HWND w : doomed) w->destroying = true;
  }
  // Children first; a procedure may destroy other windows meanwhile, but not
  // these (they are marked), so each still exists when its turn comes.
  for (HWND w : doomed) SendMessageW(w, WM_DESTROY, 0, 0);

  std::vector<HMENU> menus;
  {
    std::lock_guard<std::mutex> lock(reg.mutex);
    if (HWND parent = hwnd->parent; parent && Find(reg, parent)) {
      auto& siblings = parent->children;
      siblings.erase(std::remove(siblings.begin(), siblings.end(), hwnd), siblings.end());
    }
    for (HWND w : doomed) {
      auto it = reg.live.find(w);
      if (it == reg.live.end()) continue;
      if (w->menu) menus.push_back(w->menu);
      std::unique_ptr<WindowImpl> object = std::move(it->second);
      reg.live.erase(it);
      *object = WindowImpl{};
      reg.parked.push_back(std::move(object));
    }
  }
  for (HMENU menu : menus) DestroyMenu(menu);
  return true;
}

bool IsWindow(HWND hwnd) {
  Registry& reg = Reg();
  std::lock_guard<std::mutex> lock(reg.mutex);
  return Find(reg, hwnd) != nullptr;
}

HWND GetParent(HWND hwnd) {
  Registry& reg = Reg();
  std::lock_guard<std::mutex> lock(reg.mutex);
  WindowImpl* window = Find(reg, hwnd);
  return window ? window->parent : nullptr;
}

HWND GetFirstChild(HWND hwnd) {
  Registry& reg = Reg();
  std::lock_guard<std::mutex> lock(reg.mutex);
  WindowImpl* window = Find(reg, hwnd);
  return window && !window->children.empty() ? window->children.front() : nullptr;
}

HWND GetNextSibling(HWND hwnd) {
  Registry& reg = Reg();
  std::lock_guard<std::mutex> lock(reg.mutex);
  WindowImpl* window = Find(reg, hwnd);
  if (!window || !window->parent) return nullptr;
  const auto& siblings = window->parent->children;
  auto it = std::find(siblings.begin(), siblings.end(), hwnd);
  return it == siblings.end() || it + 1 == siblings.end() ? nullptr : *(it + 1);
}

std::string GetWindowTextW(HWND hwnd) {
  Registry& reg = Reg();
  std::lock_guard<std::mutex> lock(reg.mutex);
  WindowImpl* window = Find(reg, hwnd);
  return window ? window->title : std::string();
}

void SetWindowTextW(HWND hwnd, std::string_view text) {
  Registry& reg = Reg();
  std::lock_guard<std::mutex> lock(reg.mutex);
  if (WindowImpl* window = Find(reg, hwnd)) window->title = std::string(text);
}

std::string GetClassNameW(HWND hwnd) {
  Registry& reg = Reg();
  std::lock_guard<std::mutex> lock(reg.mutex);
  WindowImpl* window = Find(reg, hwnd);
  return window ? window->windowClass->name : std::string();
}

bool GetClientRect(HWND hwnd, RECT& rect) {
  Registry& reg = Reg();
  std::lock_guard<std::mutex> lock(reg.mutex);
  WindowImpl* window = Find(reg, hwnd);
  if (!window) return false;
  rect = window->client;
  return true;
}

void SetClientRect(HWND hwnd, const RECT& rect) {
  Registry& reg = Reg();
  std::lock_guard<std::mutex> lock(reg.mutex);
  if (WindowImpl* window = Find(reg, hwnd)) window->client = rect;
}

uintptr_t SetClassLongW(HWND hwnd, int index, uintptr_t value) {
  Registry& reg = Reg();
  std::lock_guard<std::mutex> lock(reg.mutex);
  WindowImpl* window = Find(reg, hwnd);
  if (!window || index != GCL_HBRBACKGROUND) return 0;
  return std::exchange(window->windowClass->background, value);
}

uintptr_t GetClassLongW(HWND hwnd, int index) {
  Registry& reg = Reg();
  std::lock_guard<std::mutex> lock(reg.mutex);
  WindowImpl* window = Find(reg, hwnd);
  if (!window || index != GCL_HBRBACKGROUND) return 0;
  return window->windowClass->background;
}

WNDPROC GetWindowProc(HWND hwnd) {
  Registry& reg = Reg();
  std::lock_guard<std::mutex> lock(reg.mutex);
  WindowImpl* window = Find(reg, hwnd);
  return window ? window->proc : nullptr;
}

void SetWindowProc(HWND hwnd, WNDPROC proc) {
  Registry& reg = Reg();
  std::lock_guard<std::mutex> lock(reg.mutex);
  if (WindowImpl* window = Find(reg, hwnd)) window->proc = proc;
}

HMENU GetMenu(HWND hwnd) {
  Registry& reg = Reg();
  std::lock_guard<std::mutex> lock(reg.mutex);
  WindowImpl* window = Find(reg, hwnd);
  return window ? window->menu : nullptr;
}

bool SetMenu(HWND hwnd, HMENU menu) {
  Registry& reg = Reg();
  std::lock_guard<std::mutex> lock(reg.mutex);
  WindowImpl* window = Find(reg, hwnd);
  if (!window) return false;
  window->menu = menu;
  return true;
}

// ---- messages -----------------------------------------------------------------

LRESULT SendMessageW(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam) {
  WNDPROC proc = GetWindowProc(hwnd);
  return proc ? proc(hwnd, msg, wParam, lParam) : 0;
}

bool PostMessageW(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam) {
  std::shared_ptr<MessageQueue> queue;
  if (hwnd) {
    Registry& reg = Reg();
    std::lock_guard<std::mutex> lock(reg.mutex);
    WindowImpl* window = Find(reg, hwnd);
    if (!window) return false;
    queue = window->queue;
  } else {
    queue = ThisThreadQueue();
  }
  {
    std::lock_guard<std::mutex> lock(queue->mutex);
    queue->messages.push_back(MSG{hwnd, msg, wParam, lParam});
  }
  queue->ready.notify_one();
  if (Lib_TraceOn()) {
    char line[96];
    std::snprintf(line, sizeof line, "post 0x%04X to %s", msg,
                  hwnd ? GetClassNameW(hwnd).c_str() : "thread");
    Lib_Trace(line);
  }
  return true;
}

void PostQuitMessage(int exitCode) {
  PostMessageW(nullptr, WM_QUIT, static_cast<WPARAM>(exitCode), 0);
}

bool GetMessageW(MSG& msg, bool wait) {
  std::shared_ptr<MessageQueue> queue = ThisThreadQueue();
  std::unique_lock<std::mutex> lock(queue->mutex);
  if (wait) {
    queue->ready.wait(lock, [&] { return !queue->messages.empty(); });
  } else if (queue->messages.empty()) {
    msg = MSG{};
    return false;
  }
  msg = queue->messages.front();
  queue->messages.pop_front();
  return msg.message != WM_QUIT;
}

bool PeekMessageW(MSG& msg, bool remove) {
  std::shared_ptr<MessageQueue> queue = ThisThreadQueue();
  std::lock_guard<std::mutex> lock(queue->mutex);
  if (queue->messages.empty()) return false;
  msg = queue->messages.front();
  if (remove) queue->messages.pop_front();
  return true;
}

LRESULT DispatchMessageW(const MSG& msg) {
  // Thread messages and messages for windows destroyed since they were
  // posted reach no procedure.
  return msg.hwnd ? SendMessageW(msg.hwnd, msg.message, msg.wParam, msg.lParam) : 0;
}

size_t QueuedMessageCount() {
  std::shared_ptr<MessageQueue> queue = ThisThreadQueue();
  std::lock_guard<std::mutex> lock(queue->mutex);
  return queue->messages.size();
}

bool WaitMessageTimeout(int timeoutMs) {
  std::shared_ptr<MessageQueue> queue = ThisThreadQueue();
  std::unique_lock<std::mutex> lock(queue->mutex);
  auto waiting = [&] { return !queue->messages.empty(); };
  if (timeoutMs < 0) {
    queue->ready.wait(lock, waiting);
    return true;
  }
  return queue->ready.wait_for(lock, std::chrono::milliseconds(timeoutMs), waiting);
}

LRESULT DefWindowProcW(HWND hwnd, UINT msg, WPARAM, LPARAM) {
  if (msg == WM_CLOSE) DestroyWindow(hwnd);
  return 0;
}
