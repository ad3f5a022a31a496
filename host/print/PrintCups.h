// The CUPS side of printing: which destinations the scheduler offers, and
// handing it a finished PDF.
#pragma once

#include <string>
#include <string_view>
#include <vector>

namespace print_internal {

struct CupsDestinations {
  bool reachable = false;             // a scheduler answered
  std::vector<std::string> names;     // "queue" or "queue/instance"
  std::string defaultName;            // "" when none is the default
};
// The destinations of the scheduler the environment names (CUPS_SERVER,
// client.conf, else the local one); none, quickly, when none is reachable.
CupsDestinations CupsListDestinations();
// Sends `pdf` as one job named `title` to `destination` with `copies`,
// which the scheduler applies. True only when it accepted the whole
// document; else false with its reason in `error` and no job left behind.
bool CupsSendPdf(std::string_view destination, std::string_view title, const std::string& pdf,
                 int copies, std::string* error);

}  // namespace print_internal
