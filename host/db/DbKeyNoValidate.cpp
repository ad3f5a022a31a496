// Keys with no data table to check: the generator's own row of the key
// table, incremented exactly as the validated keys are (inside the
// session's transaction, or in a short one of its own that takes the write
// lock first), so two workstations never get the same value.
#include "host/db/PwDb.h"

DbCode _DbGetNewKeyNoValidate(HDb db, std::string_view keyName, int32_t& key, DbMsg& msg) {
  // Without a data table and column the generator skips its check of used
  // keys, and a missing row starts at 1.
  return _DbGetNewKeyValidate(db, keyName, {}, {}, key, msg);
}
