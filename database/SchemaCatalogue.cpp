// Migration 19: Items and copies made for ordered lines: the catalogue's stand-in tables and keys.
//
// bib is the catalogue's bibliographic record as far as acquisitions makes
// one: the fields of the line it was made from and their MARC-tagged text
// (one "TAG $<subfield><value>" line per field of pw_marc_map).
// item_activity logs what happened to a catalogue item (activity "create"
// when an order made it), with the user, the workstation's location and one
// date (day number) and time (minute of the day).
// inventory_free holds inventory numbers handed back for reuse, per key name
// ("freeinvkey") and prefix ('' for none); new numbers come from pw_key rows
// named "newinvkey:<prefix>".
// copy gains the serial number the catalogue gives a copy.
#include "database/Database.h"

std::vector<std::string> Database_CatalogueMigration() {
  return {
      R"(CREATE TABLE bib(
           "bib#" INTEGER NOT NULL PRIMARY KEY,
           title VARCHAR(255),
           author VARCHAR(255),
           isbn VARCHAR(20),
           issn VARCHAR(12),
           marc_text TEXT NOT NULL DEFAULT '',
           creation_date DAYNUM))",
      R"(CREATE TABLE item_activity(
           "item#" INTEGER NOT NULL,
           activity VARCHAR(10) NOT NULL,
           user_name VARCHAR(31) NOT NULL DEFAULT '',
           location VARCHAR(10),
           activity_date DAYNUM NOT NULL,
           activity_time MINUTE NOT NULL))",
      "CREATE INDEX item_activity_item ON item_activity(\"item#\")",
      R"(CREATE TABLE inventory_free(
           key_name VARCHAR(20) NOT NULL,
           prefix VARCHAR(6) NOT NULL DEFAULT '',
           inventory_num VARCHAR(20) NOT NULL,
           PRIMARY KEY(key_name, prefix, inventory_num)))",
      "CREATE INDEX item_inventory ON item(inventory_num, prefix_inventory_num)",
      "ALTER TABLE copy ADD COLUMN serial_number VARCHAR(40)",
  };
}
