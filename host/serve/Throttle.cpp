#include "host/serve/Throttle.h"

#include <algorithm>
#include <cctype>

namespace acqserve {
namespace {

using namespace std::chrono_literals;

constexpr auto kFirstDelay = 500ms;
constexpr auto kMaxDelay = 8000ms;
constexpr auto kForgetAfter = std::chrono::minutes(15);

}  // namespace

std::string LoginThrottle::UserKey(std::string_view user) {
  // Names differing only in case are one name to a guesser.
  std::string key = "u:";
  for (char c : user) key += static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
  return key;
}

std::string LoginThrottle::AddressKey(std::string_view address) {
  return "a:" + std::string(address);
}

LoginThrottle::Clock::duration LoginThrottle::WaitBefore(std::string_view user,
                                                         std::string_view address,
                                                         Clock::time_point now) const {
  Clock::duration wait{0};
  for (const std::string& key : {UserKey(user), AddressKey(address)}) {
    auto it = entries_.find(key);
    if (it != entries_.end() && it->second.notBefore > now)
      wait = std::max(wait, it->second.notBefore - now);
  }
  return wait;
}

LoginThrottle::Clock::duration LoginThrottle::Failed(std::string_view user,
                                                     std::string_view address,
                                                     Clock::time_point now) {
  Forget(now);
  Clock::duration delay{0};
  for (const std::string& key : {UserKey(user), AddressKey(address)}) {
    Entry& e = entries_[key];
    e.failures = std::min(e.failures + 1, 16);
    Clock::duration d = kFirstDelay;
    for (int i = 1; i < e.failures && d < kMaxDelay; ++i) d *= 2;
    delay = std::max(delay, std::min<Clock::duration>(d, kMaxDelay));
  }
  for (const std::string& key : {UserKey(user), AddressKey(address)})
    entries_[key].notBefore = now + delay;
  return delay;
}

void LoginThrottle::Succeeded(std::string_view user, std::string_view address) {
  entries_.erase(UserKey(user));
  entries_.erase(AddressKey(address));
}

void LoginThrottle::Forget(Clock::time_point now) {
  for (auto it = entries_.begin(); it != entries_.end();)
    it = now - it->second.notBefore > kForgetAfter ? entries_.erase(it) : std::next(it);
}

}  // namespace acqserve
