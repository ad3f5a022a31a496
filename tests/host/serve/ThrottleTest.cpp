// Failed log-ins slow the next attempts of the same name or address.
#include "host/serve/Throttle.h"

#include <gtest/gtest.h>

namespace acqserve {
namespace {

TEST(LoginThrottle, EachFailureDoublesTheDelayUpToEightSeconds) {
  using namespace std::chrono;
  LoginThrottle throttle;
  auto now = LoginThrottle::Clock::time_point{} + hours(1);
  const milliseconds expected[] = {500ms, 1000ms, 2000ms, 4000ms, 8000ms, 8000ms};
  for (milliseconds delay : expected) {
    EXPECT_EQ(duration_cast<milliseconds>(throttle.Failed("ann", "10.0.0.1", now)), delay);
    EXPECT_EQ(duration_cast<milliseconds>(throttle.WaitBefore("ANN", "10.0.0.2", now)), delay)
        << "the name, whatever its case";
    EXPECT_EQ(duration_cast<milliseconds>(throttle.WaitBefore("bob", "10.0.0.1", now)), delay)
        << "the address, whatever the name";
    now += delay;
  }
  EXPECT_EQ(throttle.WaitBefore("ann", "10.0.0.1", now), LoginThrottle::Clock::duration::zero());
  EXPECT_EQ(duration_cast<milliseconds>(throttle.Failed("bob", "10.0.0.3", now)), 500ms);
  throttle.Succeeded("ann", "10.0.0.1");
  EXPECT_EQ(duration_cast<milliseconds>(throttle.Failed("ann", "10.0.0.1", now)), 500ms);
}

}  // namespace
}  // namespace acqserve
