// The box for choosing several files to read. (Stub.)
#include "host/muc/MucFilet.h"

bool MucFilet_MultiFileOpenBox(std::string_view, std::string_view, std::string&,
                               std::vector<std::string>&) {
  return false;
}
