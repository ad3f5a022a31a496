// Keys with no data table to check. (Stub.)
#include "host/db/PwDb.h"

DbCode _DbGetNewKeyNoValidate(HDb, std::string_view, int32_t& key, DbMsg&) {
  key = 0;
  return 1;
}
