// Sleep: a pause of the calling thread.
#include <chrono>
#include <thread>

#include "host/sys/Thread.h"

void Sleep(uint32_t milliseconds) {
  std::this_thread::sleep_for(std::chrono::milliseconds(milliseconds));
}
