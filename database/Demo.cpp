// Password hashes of the users table and the demo library that `acq init
// --demo` and the tests start from.
#include "database/Database.h"

#include <sodium.h>
#include <sqlite3.h>

#include <string>
#include <vector>

namespace {

bool SodiumReady() {
  static const bool ready = sodium_init() >= 0;
  return ready;
}

struct DemoUser {
  const char* name;
  const char* fullName;
  // Feature keys granted; nullptr alone means every feature.
  std::vector<const char*> features;
};

int AddUser(sqlite3* db, const DemoUser& user, std::string& error) {
  std::string hash;
  if (!Database_HashPassword(user.name, hash)) {
    error = "Cannot hash the password of user '" + std::string(user.name) + "'.";
    return SQLITE_ERROR;
  }
  int rc = Database_Exec(db,
                         "INSERT INTO pw_user(user_name, password_hash, full_name, active) "
                         "VALUES(?,?,?,1)",
                         {DbsValue::Text(user.name), DbsValue::Text(hash),
                          DbsValue::Text(user.fullName)},
                         error);
  if (rc != SQLITE_OK) return rc;
  if (user.features.size() == 1 && user.features[0] == nullptr) {
    return Database_Exec(db,
                         "INSERT INTO pw_user_privilege(user_name, privilege_number) "
                         "SELECT ?, privilege_number FROM program_feature",
                         {DbsValue::Text(user.name)}, error);
  }
  for (const char* feature : user.features) {
    int changes = 0;
    rc = Database_Exec(db,
                       "INSERT INTO pw_user_privilege(user_name, privilege_number) "
                       "SELECT ?, privilege_number FROM program_feature WHERE program_feature=?",
                       {DbsValue::Text(user.name), DbsValue::Text(feature)}, error, &changes);
    if (rc != SQLITE_OK) return rc;
    if (changes != 1) {
      error = "Unknown program feature '" + std::string(feature) + "'.";
      return SQLITE_ERROR;
    }
  }
  return SQLITE_OK;
}

const char* const kDemoStatements[] = {
    R"(INSERT INTO location(location, name, address_position, address1, address2, city,
                           state, postal_code, country, phone) VALUES
      ('MAIN', 'Main Library', 1, '100 Library Square', NULL, 'Springfield', 'IL', '62701',
       'USA', '217-555-0100'),
      ('BRANCH', 'Riverside Branch', 0, '42 River Road', 'Suite 2', 'Springfield', 'IL',
       '62704', 'USA', '217-555-0142'))",
    R"(UPDATE acq_parameter SET fiscal_year=2026, isbn_duplication_index='isbn',
         issn_duplication_index='issn', track_budget_trans=1, budget_contract_checks=1,
         save_po_line_approval=0, copy_po_line_approval=0, renew_po_line_approval=0,
         print_without_labels=0, base_currency='USD', print_workslip=1,
         multi_location_edi=0, one_tag_only=0)",
    "INSERT INTO matham(decimal_digits, currency_symbol) VALUES(2, '$')",
    "INSERT INTO pw_column(table_name, column_name, key_string_type) "
    "VALUES('item', 'ibarcode', 'BARCODE')",
    R"(INSERT INTO marc_usage(module, marc_ord, tag, subfields, descr) VALUES
      (2, 1, '020', 'a', 'ISBN'), (2, 2, '010', 'a', 'LCCN'),
      (2, 3, '245', 'ab', 'Title'), (2, 4, '100', 'a', 'Author'),
      (2, 5, '260', 'b', 'Publisher'))",
};

}  // namespace

bool Database_HashPassword(std::string_view password, std::string& hash) {
  if (!SodiumReady()) return false;
  char out[crypto_pwhash_STRBYTES];
  if (crypto_pwhash_str(out, password.data(), password.size(), crypto_pwhash_OPSLIMIT_INTERACTIVE,
                        crypto_pwhash_MEMLIMIT_INTERACTIVE) != 0)
    return false;
  hash = out;
  return true;
}

bool Database_VerifyPassword(std::string_view hash, std::string_view password) {
  if (!SodiumReady() || hash.size() >= crypto_pwhash_STRBYTES) return false;
  char stored[crypto_pwhash_STRBYTES] = {};
  hash.copy(stored, hash.size());
  return crypto_pwhash_str_verify(stored, password.data(), password.size()) == 0;
}

int Database_LoadDemo(sqlite3* db, std::string& error) {
  for (const char* sql : kDemoStatements) {
    int rc = Database_Exec(db, sql, {}, error);
    if (rc != SQLITE_OK) return rc;
  }
  const DemoUser users[] = {
      {"admin", "Library Administrator", {nullptr}},
      {"clerk", "Acquisitions Clerk", {"poFind", "poOpen", "poEdit", "poRec", "stFind"}},
      {"viewer", "Read-only Viewer", {"poFind"}},
  };
  for (const DemoUser& user : users) {
    int rc = AddUser(db, user, error);
    if (rc != SQLITE_OK) return rc;
  }
  return SQLITE_OK;
}
