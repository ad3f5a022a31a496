// Slows repeated failed log-ins, per user name and per client address: each
// failure doubles the delay before the answer (0.5 s, 1 s ... 8 s at most),
// and a new attempt of the same name or address waits until that delay has
// passed. A success clears the name and the address.
#pragma once

#include <chrono>
#include <map>
#include <string>
#include <string_view>

namespace acqserve {

class LoginThrottle {
 public:
  using Clock = std::chrono::steady_clock;

  // How long an attempt of `user` from `address` must wait before it starts.
  Clock::duration WaitBefore(std::string_view user, std::string_view address,
                             Clock::time_point now) const;
  // Records a failure; the delay before its answer.
  Clock::duration Failed(std::string_view user, std::string_view address, Clock::time_point now);
  void Succeeded(std::string_view user, std::string_view address);

 private:
  struct Entry {
    int failures = 0;
    Clock::time_point notBefore{};
  };
  static std::string UserKey(std::string_view user);
  static std::string AddressKey(std::string_view address);
  void Forget(Clock::time_point now);

  std::map<std::string, Entry> entries_;   // "u:name" / "a:address"; forgotten after
                                           // a quarter of an hour without failures
};

}  // namespace acqserve
