// Named semaphores: a plain mutex plus a record of who holds it. The record
// (holder name, owning thread) has its own small lock so that a thread can
// check "do I already hold this?" without blocking on the main mutex.
#include "host/sys/Semaphore.h"

#include <mutex>
#include <string>
#include <thread>

#include "host/sys/RunTime.h"

struct SemaphoreImpl {
  std::string name;
  std::mutex lock;           // the semaphore proper
  std::mutex recordLock;     // guards the three fields below
  bool held = false;
  std::thread::id owner;     // valid while held
  std::string holder;        // caller name of the holder, "" when free
};

namespace {

std::string Quoted(std::string_view s) { return "\"" + std::string(s) + "\""; }

SemaphoreImpl& Checked(HSem sem, const char* op) {
  if (sem == nullptr) KtSystem_Panic(std::string("Semaphore.") + op + ": no semaphore");
  return *sem;
}

}  // namespace

HSem _Create(std::string_view name, int initiallyFree) {
  auto* sem = new SemaphoreImpl;
  sem->name = name;
  if (initiallyFree == 0) {
    // Created held by the creating thread, as if it had requested it.
    sem->lock.lock();
    sem->held = true;
    sem->owner = std::this_thread::get_id();
    sem->holder = "Semaphore._Create";
  }
  return sem;
}

void _Request(HSem semHandle, std::string_view caller) {
  SemaphoreImpl& sem = Checked(semHandle, "_Request");
  {
    std::unique_lock record(sem.recordLock);
    if (sem.held && sem.owner == std::this_thread::get_id()) {
      std::string text = "Semaphore._Request: " + std::string(caller) + " requests " +
                         Quoted(sem.name) + " already held by " + sem.holder;
      record.unlock();  // a panic hook may throw; never leave the record locked
      KtSystem_Panic(text);
    }
  }
  sem.lock.lock();
  std::lock_guard record(sem.recordLock);
  sem.held = true;
  sem.owner = std::this_thread::get_id();
  sem.holder = caller;
}

void _Release(HSem semHandle, std::string_view caller) {
  SemaphoreImpl& sem = Checked(semHandle, "_Release");
  {
    std::unique_lock record(sem.recordLock);
    if (!sem.held || sem.owner != std::this_thread::get_id()) {
      std::string text = "Semaphore._Release: " + std::string(caller) + " releases " +
                         Quoted(sem.name) + (sem.held ? " held by " + sem.holder
                                                      : std::string(" held by nobody"));
      record.unlock();
      KtSystem_Panic(text);
    }
    sem.held = false;
    sem.owner = std::thread::id();
    sem.holder.clear();
  }
  sem.lock.unlock();
}

void _Destroy(HSem* sem) {
  if (sem == nullptr || *sem == nullptr) return;
  {
    std::unique_lock record((*sem)->recordLock);
    if ((*sem)->held) {
      std::string text = "Semaphore._Destroy: " + Quoted((*sem)->name) +
                         " still held by " + (*sem)->holder;
      record.unlock();
      KtSystem_Panic(text);
    }
  }
  delete *sem;
  *sem = nullptr;
}

std::string_view _HolderName(HSem sem) {
  if (sem == nullptr) return {};
  std::lock_guard record(sem->recordLock);
  return sem->holder;
}
