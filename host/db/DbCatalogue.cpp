// Catalogue services of the session: the bibliographic records, serial
// numbers, inventory numbers and item activity that orders write into the
// catalogue's stand-in tables (bib, bib_index, item, copy, item_activity,
// inventory_free).
#include "host/db/DbDabs.h"
#include "host/db/DbSession.h"

namespace {

using namespace pwdb;

// The writing services share the caller's transaction; outside one they
// would commit piecemeal, which no caller may rely on.
DbCode NeedTransaction(DbSessionImpl* s, std::string_view service, DbMsg& msg) {
  if (s->depth > 0) return kDbOk;
  msg.Set(std::string(service) + " needs the caller's transaction.");
  return kDbMisuse;
}

DbCode Exec(DbSessionImpl* s, std::string_view sql, const std::vector<DbsValue>& binds,
            DbMsg& msg, int* changes = nullptr) {
  std::string error;
  const DbCode rc = Database_Exec(*s->conn, sql, binds, error, changes);
  return rc == kDbOk ? DbCode{kDbOk} : FailText(s, rc, error, msg);
}

DbCode Query(DbSessionImpl* s, std::string_view sql, const std::vector<DbsValue>& binds,
             DbsResultSet& rs, DbMsg& msg) {
  std::string error;
  const DbCode rc = Database_Query(*s->conn, sql, binds, rs, error);
  return rc == kDbOk ? DbCode{kDbOk} : FailText(s, rc, error, msg);
}

DbsValue TextOrNull(std::string_view text) {
  return text.empty() ? DbsValue::Null() : DbsValue::Text(text);
}

bool AllDigits(std::string_view text) {
  if (text.empty()) return false;
  for (char c : text)
    if (c < '0' || c > '9') return false;
  return true;
}

// Whether any record, line, item or copy refers to bib# `bib` already (the
// key row of bib_control only knows the records acquisitions controls).
DbCode BibNumberUsed(DbSessionImpl* s, int32_t bib, bool& used, DbMsg& msg) {
  DbsResultSet rs;
  const DbCode rc = Query(
      s,
      "SELECT 1 WHERE EXISTS (SELECT 1 FROM bib WHERE \"bib#\"=?1) "
      "OR EXISTS (SELECT 1 FROM bib_index WHERE \"bib#\"=?1) "
      "OR EXISTS (SELECT 1 FROM po_line WHERE \"bib#\"=?1) "
      "OR EXISTS (SELECT 1 FROM item WHERE \"bib#\"=?1) "
      "OR EXISTS (SELECT 1 FROM copy WHERE \"bib#\"=?1)",
      {DbsValue::Int(bib)}, rs, msg);
  used = !rs.rows.empty();
  return rc;
}

// The value of bibliographic field `field` (a pw_marc_map name).
std::string_view FieldValue(const DbBibFields& f, std::string_view field) {
  struct Named { const char* name; const std::string DbBibFields::*value; };
  static constexpr Named kFields[] = {
      {"title", &DbBibFields::title},         {"author", &DbBibFields::author},
      {"edition", &DbBibFields::edition},     {"publisher", &DbBibFields::publisher},
      {"pub_place", &DbBibFields::pubPlace},  {"pub_date", &DbBibFields::pubDate},
      {"isbn", &DbBibFields::isbn},           {"issn", &DbBibFields::issn},
      {"lccn", &DbBibFields::lccn},           {"series", &DbBibFields::series}};
  for (const Named& n : kFields)
    if (field == n.name) return f.*n.value;
  return {};
}

}  // namespace

DbCode DbMarc_CreateBib(HDb db, const DbBibFields& fields, int32_t& bib, DbMsg& msg) {
  bib = 0;
  msg.Clear();
  SessionCall call(db, msg);
  if (call.code() != kDbOk) return call.code();
  if (DbCode rc = NeedTransaction(db, "DbMarc_CreateBib", msg); rc != kDbOk) return rc;

  int32_t key = 0;
  for (bool used = true; used;) {
    if (DbCode rc = _DbGetNewKeyValidate(db, "bib_control", "bib_control", "bib#", key, msg);
        rc != kDbOk)
      return rc;
    if (DbCode rc = BibNumberUsed(db, key, used, msg); rc != kDbOk) return rc;
  }

  // The tagged text: one line per mapped field that has a value, in the
  // map's order; a field with several subfields takes its first.
  DbsResultSet map;
  if (DbCode rc = Query(db, "SELECT field, tag, subfields FROM pw_marc_map ORDER BY tag, field",
                        {}, map, msg);
      rc != kDbOk)
    return rc;
  std::string marc;
  for (const auto& row : map.rows) {
    const std::string_view value = FieldValue(fields, row[0].s);
    if (value.empty()) continue;
    const char subfield = row[2].s.empty() ? 'a' : row[2].s[0];
    marc += row[1].s + " $" + subfield + std::string(value) + "\n";
  }
  if (DbCode rc = Exec(db,
                       "INSERT INTO bib(\"bib#\", title, author, isbn, issn, marc_text, "
                       "creation_date) VALUES(?1, ?2, ?3, ?4, ?5, ?6, ?7)",
                       {DbsValue::Int(key), TextOrNull(fields.title), TextOrNull(fields.author),
                        TextOrNull(fields.isbn), TextOrNull(fields.issn), DbsValue::Text(marc),
                        DbsValue::Int(DbDabs_GetDate())},
                       msg);
      rc != kDbOk)
    return rc;
  const std::pair<const char*, const std::string*> indexed[] = {{"isbn", &fields.isbn},
                                                                {"issn", &fields.issn}};
  for (const auto& [index, value] : indexed) {
    if (DbSer_NormalizeIndexValue(*value).empty()) continue;
    if (DbCode rc = Exec(db,
                         "INSERT INTO bib_index(index_name, index_value, \"bib#\") "
                         "VALUES(?1, ?2, ?3)",
                         {DbsValue::Text(index), DbsValue::Text(*value), DbsValue::Int(key)},
                         msg);
        rc != kDbOk)
      return rc;
  }
  bib = key;
  return kDbOk;
}

DbCode DbSer_SetCopyNum(HDb db, int32_t item, int32_t copy, DbMsg& msg) {
  msg.Clear();
  SessionCall call(db, msg);
  if (call.code() != kDbOk) return call.code();
  if (DbCode rc = NeedTransaction(db, "DbSer_SetCopyNum", msg); rc != kDbOk) return rc;
  int changes = 0;
  if (DbCode rc = Exec(db, "UPDATE item SET \"copy#\"=?2 WHERE \"item#\"=?1",
                       {DbsValue::Int(item), copy ? DbsValue::Int(copy) : DbsValue::Null()}, msg,
                       &changes);
      rc != kDbOk)
    return rc;
  if (changes == 0) {
    msg.Set("Item " + std::to_string(item) + " does not exist.");
    return kDbNotFound;
  }
  return kDbOk;
}

DbCode DbSer_SetSerialNumber(HDb db, int32_t copy, std::string_view serial, DbMsg& msg) {
  msg.Clear();
  SessionCall call(db, msg);
  if (call.code() != kDbOk) return call.code();
  if (DbCode rc = NeedTransaction(db, "DbSer_SetSerialNumber", msg); rc != kDbOk) return rc;
  int changes = 0;
  if (DbCode rc = Exec(db, "UPDATE copy SET serial_number=?2 WHERE \"copy#\"=?1",
                       {DbsValue::Int(copy), TextOrNull(serial.substr(0, 40))}, msg, &changes);
      rc != kDbOk)
    return rc;
  if (changes == 0) {
    msg.Set("Copy " + std::to_string(copy) + " does not exist.");
    return kDbNotFound;
  }
  return kDbOk;
}

DbCode DbIndex_GenerateDataWithPrefix(HDb db, std::string_view prefix, std::string_view newKeyName,
                                      std::string_view freeKeyName, std::string& value,
                                      DbMsg& msg) {
  value.clear();
  msg.Clear();
  SessionCall call(db, msg);
  if (call.code() != kDbOk) return call.code();
  if (DbCode rc = NeedTransaction(db, "DbIndex_GenerateDataWithPrefix", msg); rc != kDbOk)
    return rc;
  const DbsValue pre = DbsValue::Text(prefix);
  const std::string keyName = std::string(newKeyName) + ":" + std::string(prefix);
  for (int guard = 0; guard < 100000; ++guard) {
    std::string candidate;
    // Free numbers first, the lowest (numerically: shorter is lower).
    DbsResultSet free;
    if (DbCode rc = Query(db,
                          "SELECT inventory_num FROM inventory_free WHERE key_name=?1 AND "
                          "prefix=?2 ORDER BY length(inventory_num), inventory_num LIMIT 1",
                          {DbsValue::Text(freeKeyName), pre}, free, msg);
        rc != kDbOk)
      return rc;
    if (!free.rows.empty()) {
      candidate = free.rows[0][0].s;
      if (DbCode rc = Exec(db,
                           "DELETE FROM inventory_free WHERE key_name=?1 AND prefix=?2 AND "
                           "inventory_num=?3",
                           {DbsValue::Text(freeKeyName), pre, DbsValue::Text(candidate)}, msg);
          rc != kDbOk)
        return rc;
    } else {
      int32_t next = 0;
      if (DbCode rc = _DbGetNewKeyNoValidate(db, keyName, next, msg); rc != kDbOk) return rc;
      candidate = std::to_string(next);
    }
    DbsResultSet used;
    if (DbCode rc = Query(db,
                          "SELECT 1 FROM item WHERE coalesce(prefix_inventory_num,'')=?1 AND "
                          "inventory_num=?2",
                          {pre, DbsValue::Text(candidate)}, used, msg);
        rc != kDbOk)
      return rc;
    if (used.rows.empty()) {
      value = candidate;
      return kDbOk;
    }
  }
  msg.Set("No free inventory number for prefix '" + std::string(prefix) + "'.");
  return kDbError;
}

DbCode DbIndex_FreeDataWithPrefix(HDb db, std::string_view prefix, std::string_view freeKeyName,
                                  std::string_view value, DbMsg& msg) {
  msg.Clear();
  SessionCall call(db, msg);
  if (call.code() != kDbOk) return call.code();
  if (DbCode rc = NeedTransaction(db, "DbIndex_FreeDataWithPrefix", msg); rc != kDbOk) return rc;
  if (!AllDigits(value)) {
    msg.Set("'" + std::string(value) + "' is not an inventory number.");
    return kDbError;
  }
  const std::vector<DbsValue> binds = {DbsValue::Text(freeKeyName), DbsValue::Text(prefix),
                                       DbsValue::Text(value)};
  DbsResultSet there;
  if (DbCode rc = Query(db,
                        "SELECT 1 FROM inventory_free WHERE key_name=?1 AND prefix=?2 AND "
                        "inventory_num=?3",
                        binds, there, msg);
      rc != kDbOk || !there.rows.empty())
    return rc;
  return Exec(db, "INSERT INTO inventory_free(key_name, prefix, inventory_num) VALUES(?1, ?2, ?3)",
              binds, msg);
}

DbCode DbCat_UpdateItemActivity(HDb db, int32_t item, std::string_view activity, DbMsg& msg) {
  msg.Clear();
  SessionCall call(db, msg);
  if (call.code() != kDbOk) return call.code();
  if (DbCode rc = NeedTransaction(db, "DbCat_UpdateItemActivity", msg); rc != kDbOk) return rc;
  DayNum date = 0;
  MinuteOfDay time = 0;
  DbDabs_GetDateTime(date, time);
  return Exec(db,
              "INSERT INTO item_activity(\"item#\", activity, user_name, location, "
              "activity_date, activity_time) VALUES(?1, ?2, ?3, ?4, ?5, ?6)",
              {DbsValue::Int(item), DbsValue::Text(activity), DbsValue::Text(db->user),
               TextOrNull(DbGlobal_globRec.location), DbsValue::Int(date), DbsValue::Int(time)},
              msg);
}

bool DbCat_BarcodeHasSiteShape(std::string_view keyStringType, int32_t length,
                               std::string_view barcode) {
  const size_t max = length > 0 ? static_cast<size_t>(length) : 14;
  if (barcode.empty() || barcode.size() > max) return false;
  if (EqualNoCase(keyStringType, "BARCODE")) {
    if (barcode.size() == max && AllDigits(barcode)) return true;
    return barcode.size() > 3 && EqualNoCase(barcode.substr(0, 3), "acq") &&
           AllDigits(barcode.substr(3));
  }
  for (unsigned char c : barcode)
    if (c <= ' ' || c == 0x7F) return false;
  return true;
}

std::string DbCat_TemporaryBarcode(int32_t item) { return "acq" + std::to_string(item); }
