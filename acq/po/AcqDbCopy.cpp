// AcqDbCopy: items and copies of ordered lines, the database side.
//
// Every write is one transaction run by AcqDbBase::SaveWithCodeRetry. What
// another workstation may have changed since the window read it (the line
// item's item# or copy# still empty, the line's bib# still empty, an item's
// status) is read again inside the transaction, before anything is
// written; a step that finds the work done already writes nothing and
// commits the empty transaction, so a lost race is told, never a
// constraint error.
#include "acq/po/AcqDbCopy.h"

#include <algorithm>
#include <functional>
#include <string_view>

#include "acq/db/AcqDb.h"
#include "acq/db/AcqDbBase.h"
#include "acq/db/AcqDbExcept.h"
#include "acq/db/AcqDbGen.h"
#include "acq/db/AcqDbGlobal.h"
#include "host/db/PwDb.h"
#include "host/sys/Bucket.h"
#include "host/sys/LbStr.h"

namespace acq::AcqDbCopy {
namespace {

constexpr int kMsgNotApproved = 17;
constexpr int kMsgNoCollectionOrType = 212;
constexpr int kMsgNoCollection = 257;
constexpr int kMsgNoMediaType = 428;

constexpr int kMaxAttempts = 5;
constexpr size_t kItemCallChars = 35;
// Inventory numbers: new ones per prefix, handed-back ones reused first.
constexpr const char* kNewInventoryKey = "newinvkey";
constexpr const char* kFreeInventoryKey = "freeinvkey";
constexpr const char* kActivityCreate = "create";

std::string Quote(std::string_view text) {
  std::string out;
  // Room for every character doubled and both quotes: it always fits.
  (void)_DbQuoteAppend(out, static_cast<int>(2 * text.size() + 2), text);
  return out;
}
std::string TextOrNull(std::string_view text) { return text.empty() ? "NULL" : Quote(text); }
std::string KeyOrNull(int32_t key) { return key ? std::to_string(key) : "NULL"; }
std::string DateOrNull(DayNum date) { return date == kNoDate ? "NULL" : std::to_string(date); }

std::string LineWhere(int32_t po, int16_t line) {
  return "po#=" + std::to_string(po) + " and line=" + std::to_string(line);
}
std::string ItemWhere(int32_t po, int16_t line, int16_t item) {
  return LineWhere(po, line) + " and item=" + std::to_string(item);
}

DbCode Run(DbMsg& msg, const std::string& sql) {
  int32_t none = 0;
  return AcqDb::ExecSP(msg, &none, sizeof none, "", sql);
}
DbCode Number(DbMsg& msg, const std::string& sql, int32_t& value) {
  value = 0;
  return AcqDb::ExecSP(msg, &value, sizeof value, "", sql);
}
DbCode Load(DbMsg& msg, std::string_view columns, std::string_view table, const std::string& where,
            std::string_view orderBy, BucketHold& rows) {
  return AcqDb::LoadTable(msg, AcqDb::ClearChanges::Yes, orderBy, where, columns, table,
                          rows.get());
}

// Cell readers of loaded rows (columns from 1).
std::string Text(BktHandle b, int row, int col) {
  return _ColIsNull(b, row, col) ? std::string() : _ColGetStringW(b, row, col);
}
int32_t Key(BktHandle b, int row, int col) {
  return _ColIsNull(b, row, col) ? 0 : _ColGetInt(b, row, col);
}
DayNum Date(BktHandle b, int row, int col) {
  return _ColIsNull(b, row, col) ? kNoDate : static_cast<DayNum>(_ColGetInt(b, row, col));
}

constexpr const char* kLineColumns = "bib#,title,media_type";
constexpr const char* kItemColumns =
    "item,location,collection,itype,call_number,approve_date,receive_date,cancel_date,item#,"
    "copy#,begin_date,end_date";

DbCode ReadLine(DbMsg& msg, int32_t po, int16_t line, Line& out) {
  out = Line{};
  out.po = po;
  out.line = line;
  BucketHold head, items;
  if (DbCode rc = Load(msg, kLineColumns, "po_line", LineWhere(po, line), "", head); rc != kDbOk)
    return rc;
  if (_BktCountAll(*head) == 0) return kDbOk;
  out.bib = Key(*head, 1, 1);
  out.title = Text(*head, 1, 2);
  out.mediaType = Text(*head, 1, 3);
  if (DbCode rc = Load(msg, kItemColumns, "po_line_item", LineWhere(po, line), "item", items);
      rc != kDbOk)
    return rc;
  for (int r = 1; r <= _BktCountAll(*items); ++r) {
    LineItem i;
    i.item = static_cast<int16_t>(_ColGetInt(*items, r, 1));
    i.location = Text(*items, r, 2);
    i.collection = Text(*items, r, 3);
    i.itype = Text(*items, r, 4);
    i.callNumber = Text(*items, r, 5);
    i.approved = Date(*items, r, 6) != kNoDate;
    i.received = Date(*items, r, 7) != kNoDate;
    i.cancelled = Date(*items, r, 8) != kNoDate;
    i.itemNum = Key(*items, r, 9);
    i.copyNum = Key(*items, r, 10);
    i.beginDate = Date(*items, r, 11);
    i.endDate = Date(*items, r, 12);
    out.items.push_back(std::move(i));
  }
  std::string number;
  DbMsg numberMsg;
  out.poNumber = AcqDbGen::GetPoNumber(numberMsg, po, number) && !number.empty()
                     ? number
                     : std::to_string(po);
  return kDbOk;
}

// The line's bibliographic record, made now when it has none (read again
// here: another workstation may have made it meanwhile). `bib` gets it.
DbCode EnsureBib(DbMsg& msg, int32_t po, int16_t line, int32_t& bib) {
  if (DbCode rc = Number(msg, "select bib# from po_line where " + LineWhere(po, line), bib);
      rc != kDbOk || bib != 0)
    return rc;
  BucketHold l;
  if (DbCode rc = Load(msg,
                       "title,author,edition,publisher,publication_place,publication_date,isbn,"
                       "issn,lccn",
                       "po_line", LineWhere(po, line), "", l);
      rc != kDbOk)
    return rc;
  if (_BktCountAll(*l) == 0) {
    msg.Set("PO line " + std::to_string(po) + "/" + std::to_string(line) + " does not exist.");
    return kDbNotFound;
  }
  DbBibFields f;
  f.title = Text(*l, 1, 1);
  f.author = Text(*l, 1, 2);
  f.edition = Text(*l, 1, 3);
  f.publisher = Text(*l, 1, 4);
  f.pubPlace = Text(*l, 1, 5);
  f.pubDate = Text(*l, 1, 6);
  f.isbn = Text(*l, 1, 7);
  f.issn = Text(*l, 1, 8);
  f.lccn = Text(*l, 1, 9);
  if (DbCode rc = DbMarc_CreateBib(AcqDbGlobal::Session(), f, bib, msg); rc != kDbOk) return rc;
  if (DbCode rc = Run(msg, "update po_line set bib#=" + std::to_string(bib) + " where " +
                               LineWhere(po, line));
      rc != kDbOk)
    return rc;
  return Run(msg, "insert into bib_control (bib#, acq_controlled, creation_date) values (" +
                      std::to_string(bib) + ", 1, " + std::to_string(DbDabs_GetDate()) + ")");
}

// The PO's vendor#, vendor name, item_creation and the line's unit price,
// workslip note, vendor title number, call number and next renewal date.
struct OrderFacts {
  int32_t vendor = 0;
  std::string vendorName, workslipNote, vendorTitleNumber, callNumber;
  int32_t itemCreation = 0;
  Dec64 unitPrice{};
  bool hasPrice = false;
  DayNum nextRenewal = kNoDate;
};

DbCode ReadOrderFacts(DbMsg& msg, int32_t po, int16_t line, OrderFacts& out) {
  BucketHold p, l;
  if (DbCode rc = Load(msg, "vendor#,item_creation", "po", "po#=" + std::to_string(po), "", p);
      rc != kDbOk)
    return rc;
  if (DbCode rc = Load(msg,
                       "unit_price,workslip_note,vendor_title_number,call_number,"
                       "next_renewal_date",
                       "po_line", LineWhere(po, line), "", l);
      rc != kDbOk)
    return rc;
  if (_BktCountAll(*p) == 0 || _BktCountAll(*l) == 0) {
    msg.Set("PO line " + std::to_string(po) + "/" + std::to_string(line) + " does not exist.");
    return kDbNotFound;
  }
  out.vendor = Key(*p, 1, 1);
  out.itemCreation = Key(*p, 1, 2);
  out.hasPrice = !_ColIsNull(*l, 1, 1);
  if (out.hasPrice) out.unitPrice = _ColGetDec64(*l, 1, 1);
  out.workslipNote = Text(*l, 1, 2);
  out.vendorTitleNumber = Text(*l, 1, 3);
  out.callNumber = Text(*l, 1, 4);
  out.nextRenewal = Date(*l, 1, 5);
  BucketHold v;
  if (DbCode rc = Load(msg, "name", "vendor", "vendor#=" + std::to_string(out.vendor), "",
                       v);
      rc != kDbOk)
    return rc;
  if (_BktCountAll(*v) > 0) out.vendorName = Text(*v, 1, 1);
  return kDbOk;
}

// Runs `steps` as one transaction with the conflict retry; a failure has
// been shown when it returns false.
bool Save(const std::function<DbCode(DbMsg&)>& steps) {
  return AcqDbBase::SaveWithCodeRetry(kMaxAttempts, steps, [] { return true; }) == kDbOk;
}

}  // namespace

bool LoadLine(int32_t po, int16_t line, Line& out) {
  DbMsg msg;
  if (DbCode rc = ReadLine(msg, po, line, out); rc != kDbOk) {
    AcqDbExcept::HandleDbError(msg, rc);
    return false;
  }
  return true;
}

Refusal CheckForItems(const Line& line) {
  for (const LineItem& i : line.items)
    if (!i.approved) return {kMsgNotApproved, i.item};
  for (const LineItem& i : line.items)
    if (!i.cancelled && (i.collection.empty() || i.itype.empty()))
      return {kMsgNoCollectionOrType, i.item};
  return {};
}

Refusal CheckForCopies(const Line& line) {
  if (line.mediaType.empty()) return {kMsgNoMediaType, 0};
  for (const LineItem& i : line.items)
    if (!i.cancelled && i.collection.empty()) return {kMsgNoCollection, i.item};
  return {};
}

namespace {

// What one new catalogue item is made of.
struct NewItem {
  int32_t key = 0, bib = 0, copy = 0;
  std::string barcode, prefix, inventory;
  bool received = false;
};

std::string ItemInsertSql(const NewItem& n, BktHandle li, const OrderFacts& facts,
                          bool inventory) {
  std::string sql =
      "insert into item (item#, ibarcode, bib#, location, collection, call, source, price, "
      "creation_date, itype, item_status, delete_flag";
  if (inventory) sql += ", prefix_inventory_num, inventory_num";
  sql += ") values (" + std::to_string(n.key) + ", " + Quote(n.barcode) + ", " +
         std::to_string(n.bib) + ", " + TextOrNull(Text(li, 1, 2)) + ", " +
         TextOrNull(Text(li, 1, 3)) + ", " +
         TextOrNull(Lb_CutChars(Text(li, 1, 5), kItemCallChars)) + ", " +
         TextOrNull(Lb_CutChars(facts.vendorName, 80)) + ", " +
         (facts.hasPrice ? std::to_string(facts.unitPrice.raw) : "NULL") + ", " +
         std::to_string(DbDabs_GetDate()) + ", " + TextOrNull(Text(li, 1, 4)) + ", " +
         (n.received ? "'n'" : "'r'") + ", 0";
  if (inventory) sql += ", " + Quote(n.prefix) + ", " + Quote(n.inventory);
  return sql + ")";
}

// The steps of CreateItem inside its transaction. A refusal found here
// (the item made meanwhile, the barcode taken) writes nothing and answers
// kDbOk with `result` saying why.
DbCode CreateItemSteps(DbMsg& msg, int32_t po, int16_t line, int16_t item,
                       const ItemEntry& entry, CreateResult& result, int32_t& itemNum) {
  result = CreateResult::Failed;
  itemNum = 0;
  const AcqDbGlobal::Parameters& site = AcqDbGlobal::Globals().params;
  HDb session = AcqDbGlobal::Session();
  BucketHold li;
  if (DbCode rc = Load(msg, kItemColumns, "po_line_item", ItemWhere(po, line, item), "", li);
      rc != kDbOk)
    return rc;
  if (_BktCountAll(*li) == 0) {
    msg.Set("PO line item " + std::to_string(po) + "/" + std::to_string(line) + "/" +
            std::to_string(item) + " does not exist.");
    return kDbNotFound;
  }
  if (Key(*li, 1, 9) != 0) {
    result = CreateResult::AlreadyCreated;
    return kDbOk;
  }
  if (!entry.barcode.empty()) {
    int32_t used = 0;
    if (DbCode rc = Number(msg, "select count(*) from item where ibarcode=" + Quote(entry.barcode),
                           used);
        rc != kDbOk)
      return rc;
    if (used > 0) {
      result = CreateResult::BarcodeInUse;
      return kDbOk;
    }
  }
  NewItem n;
  OrderFacts facts;
  if (DbCode rc = EnsureBib(msg, po, line, n.bib); rc != kDbOk) return rc;
  if (DbCode rc = ReadOrderFacts(msg, po, line, facts); rc != kDbOk) return rc;
  if (DbCode rc = _DbGetNewKeyValidate(session, "item", "item", "item#", n.key, msg); rc != kDbOk)
    return rc;
  n.barcode = entry.barcode.empty() ? DbCat_TemporaryBarcode(n.key) : entry.barcode;
  n.received = Date(*li, 1, 7) != kNoDate;
  n.copy = Key(*li, 1, 10);
  if (site.inventory_prefix) {
    const size_t prefixChars = static_cast<size_t>(std::max(site.inventory_prefix_length, 1));
    n.prefix = Lb_CutChars(entry.inventoryPrefix, prefixChars);
    if (DbCode rc = DbIndex_GenerateDataWithPrefix(session, n.prefix, kNewInventoryKey,
                                                   kFreeInventoryKey, n.inventory, msg);
        rc != kDbOk)
      return rc;
  }
  if (DbCode rc = Run(msg, ItemInsertSql(n, *li, facts, site.inventory_prefix)); rc != kDbOk)
    return rc;
  if (n.copy != 0) {
    if (DbCode rc = DbSer_SetCopyNum(session, n.key, n.copy, msg); rc != kDbOk) return rc;
  }
  if (DbCode rc = DbCat_UpdateItemActivity(session, n.key, kActivityCreate, msg); rc != kDbOk)
    return rc;
  if (DbCode rc = Run(msg, "update po_line_item set item#=" + std::to_string(n.key) + " where " +
                               ItemWhere(po, line, item) + " and item# is null");
      rc != kDbOk)
    return rc;
  itemNum = n.key;
  result = CreateResult::Created;
  return kDbOk;
}

}  // namespace

CreateResult CreateItem(int32_t po, int16_t line, int16_t item, const ItemEntry& entry,
                        int32_t& itemNum) {
  itemNum = 0;
  const AcqDbGlobal::Parameters& site = AcqDbGlobal::Globals().params;
  if (!entry.barcode.empty() &&
      !DbCat_BarcodeHasSiteShape(site.barcode_key_string_type, site.barcode_length,
                                 entry.barcode))
    return CreateResult::BadBarcode;
  CreateResult result = CreateResult::Failed;
  const bool saved = Save([&](DbMsg& msg) {
    return CreateItemSteps(msg, po, line, item, entry, result, itemNum);
  });
  if (!saved) {
    itemNum = 0;
    return CreateResult::Failed;
  }
  return result;
}

namespace {

// The vendor's claim schedule as SQL values: first_claim_delay,
// claim_interval, max_claims ("NULL" for none).
struct ClaimValues {
  std::string firstDelay = "NULL", interval = "NULL", maxClaims = "NULL";
};

DbCode ReadClaimValues(DbMsg& msg, int32_t vendor, ClaimValues& out) {
  BucketHold v;
  if (DbCode rc = Load(msg, "first_claim_delay,claim_interval,max_claims", "vendor",
                       "vendor#=" + std::to_string(vendor), "", v);
      rc != kDbOk || _BktCountAll(*v) == 0)
    return rc;
  auto value = [&](int col) {
    return _ColIsNull(*v, 1, col) ? std::string("NULL") : std::to_string(_ColGetInt(*v, 1, col));
  };
  out = {value(1), value(2), value(3)};
  return kDbOk;
}

// One copy for line item `i` (which has none): the copy row, its serial
// number, copy# and begin_date on the line item, then the line item's own
// catalogue item and the bib's items at its location and collection that
// no copy holds yet.
DbCode CreateCopyOfItem(DbMsg& msg, const Line& l, const LineItem& i, int32_t bib,
                        const OrderFacts& facts, const ClaimValues& claims) {
  HDb session = AcqDbGlobal::Session();
  int32_t copy = 0;
  if (DbCode rc = _DbGetNewKeyValidate(session, "copy", "copy", "copy#", copy, msg); rc != kDbOk)
    return rc;
  const std::string call = i.callNumber.empty() ? facts.callNumber : i.callNumber;
  const std::string sql =
      "insert into copy (copy#, bib#, media_type, acq_status, vendor#, workslip_note, "
      "item_creation, itype, location, collection, call, vendor_title_number, renewal_date, "
      "first_claim_delay, claim_interval, max_claims, acq_controlled) values (" +
      std::to_string(copy) + ", " + std::to_string(bib) + ", " + TextOrNull(l.mediaType) + ", " +
      (i.received ? "4" : "3") + ", " + KeyOrNull(facts.vendor) + ", " +
      TextOrNull(facts.workslipNote) + ", " + std::to_string(facts.itemCreation) + ", " +
      TextOrNull(i.itype) + ", " + TextOrNull(i.location) + ", " + TextOrNull(i.collection) +
      ", " + TextOrNull(Lb_CutChars(call, 60)) + ", " + TextOrNull(facts.vendorTitleNumber) +
      ", " + DateOrNull(facts.nextRenewal) + ", " + claims.firstDelay + ", " + claims.interval +
      ", " + claims.maxClaims + ", 1)";
  if (DbCode rc = Run(msg, sql); rc != kDbOk) return rc;
  const std::string serial =
      l.poNumber + "/" + std::to_string(l.line) + "/" + std::to_string(i.item);
  if (DbCode rc = DbSer_SetSerialNumber(session, copy, serial, msg); rc != kDbOk) return rc;
  if (DbCode rc = Run(msg, "update po_line_item set copy#=" + std::to_string(copy) +
                               ", begin_date=" + std::to_string(DbDabs_GetDate()) + " where " +
                               ItemWhere(l.po, l.line, i.item) + " and copy# is null");
      rc != kDbOk)
    return rc;
  BucketHold free;
  const std::string where =
      "bib#=" + std::to_string(bib) + " and copy# IS NULL AND delete_flag=0";
  if (DbCode rc = Load(msg, "item#,bib#,location,collection,call_type,copy#", "item", where,
                       "item#", free);
      rc != kDbOk)
    return rc;
  for (int r = 1; r <= _BktCountAll(*free); ++r) {
    const int32_t itemNum = Key(*free, r, 1);
    const bool own = itemNum == i.itemNum;
    if (!own && (Text(*free, r, 3) != i.location || Text(*free, r, 4) != i.collection)) continue;
    if (DbCode rc = DbSer_SetCopyNum(session, itemNum, copy, msg); rc != kDbOk) return rc;
  }
  return kDbOk;
}

}  // namespace

bool CreateCopies(int32_t po, int16_t line, int& made) {
  made = 0;
  return Save([&](DbMsg& msg) -> DbCode {
    made = 0;
    Line l;
    if (DbCode rc = ReadLine(msg, po, line, l); rc != kDbOk) return rc;
    bool wanted = false;
    for (const LineItem& i : l.items) wanted = wanted || (!i.cancelled && i.copyNum == 0);
    if (!wanted) return kDbOk;
    int32_t bib = 0;
    OrderFacts facts;
    ClaimValues claims;
    if (DbCode rc = EnsureBib(msg, po, line, bib); rc != kDbOk) return rc;
    if (DbCode rc = ReadOrderFacts(msg, po, line, facts); rc != kDbOk) return rc;
    if (DbCode rc = ReadClaimValues(msg, facts.vendor, claims); rc != kDbOk) return rc;
    for (const LineItem& i : l.items) {
      if (i.cancelled || i.copyNum != 0) continue;
      if (DbCode rc = CreateCopyOfItem(msg, l, i, bib, facts, claims); rc != kDbOk) return rc;
      ++made;
    }
    return kDbOk;
  });
}

bool LoadCopyCandidates(int32_t bib, std::vector<std::vector<std::string>>& rows) {
  rows.clear();
  BucketHold c;
  DbMsg msg;
  const std::string where = "bib#=" + std::to_string(bib) +
                            " and copy# not in (select copy# from po_line_item where copy# is "
                            "not null)";
  if (DbCode rc = Load(msg, "copy#,location,collection,acq_status", "copy", where, "copy#", c);
      rc != kDbOk) {
    AcqDbExcept::HandleDbError(msg, rc);
    return false;
  }
  for (int r = 1; r <= _BktCountAll(*c); ++r)
    rows.push_back({std::to_string(Key(*c, r, 1)), Text(*c, r, 2), Text(*c, r, 3),
                    _ColIsNull(*c, r, 4) ? "" : std::to_string(_ColGetInt(*c, r, 4))});
  return true;
}

bool SetItemCopy(int32_t po, int16_t line, int16_t item, int32_t copy, bool& changed) {
  return Save([&](DbMsg& msg) -> DbCode {
    changed = false;
    HDb session = AcqDbGlobal::Session();
    BucketHold li;
    if (DbCode rc = Load(msg, "copy#,item#", "po_line_item", ItemWhere(po, line, item), "", li);
        rc != kDbOk)
      return rc;
    if (_BktCountAll(*li) == 0) {
      changed = true;
      return kDbOk;
    }
    const int32_t attached = Key(*li, 1, 1);
    const int32_t itemNum = Key(*li, 1, 2);
    // Attach wants the item free, detach wants a copy there.
    if ((copy != 0 && attached != 0) || (copy == 0 && attached == 0)) {
      changed = true;
      return kDbOk;
    }
    if (copy != 0) {
      int32_t taken = 0;
      if (DbCode rc = Number(msg, "select count(*) from po_line_item where copy#=" +
                                      std::to_string(copy), taken);
          rc != kDbOk)
        return rc;
      if (taken > 0) {
        changed = true;
        return kDbOk;
      }
    }
    const std::string set =
        copy != 0 ? "copy#=" + std::to_string(copy) + ", begin_date=" +
                        std::to_string(DbDabs_GetDate()) + ", end_date=NULL"
                  : std::string("copy#=NULL, begin_date=NULL, end_date=NULL");
    if (DbCode rc = Run(msg, "update po_line_item set " + set + " where " +
                                 ItemWhere(po, line, item));
        rc != kDbOk)
      return rc;
    if (itemNum != 0) {
      int32_t itemCopy = 0;
      if (DbCode rc = Number(msg, "select copy# from item where item#=" +
                                      std::to_string(itemNum), itemCopy);
          rc != kDbOk)
        return rc;
      // Only the copy the item was on follows the line item.
      const bool follows = copy != 0 ? itemCopy == 0 : itemCopy == attached;
      if (follows) {
        if (DbCode rc = DbSer_SetCopyNum(session, itemNum, copy, msg); rc != kDbOk &&
                                                                       rc != kDbNotFound)
          return rc;
      }
    }
    return kDbOk;
  });
}

bool LoadItemHistory(int32_t po, int16_t line, int16_t item,
                     std::vector<std::vector<std::string>>& rows) {
  rows.clear();
  BucketHold h;
  DbMsg msg;
  if (DbCode rc = Load(msg, "date,po_activity_type,transaction_type,internal_note",
                       "po_line_item_history", ItemWhere(po, line, item), "history#", h);
      rc != kDbOk) {
    AcqDbExcept::HandleDbError(msg, rc);
    return false;
  }
  for (int r = 1; r <= _BktCountAll(*h); ++r)
    rows.push_back({DbDabs_DateToStr(Date(*h, r, 1)), Text(*h, r, 2),
                    Key(*h, r, 3) == 2 ? "Yes" : "", Text(*h, r, 4)});
  return true;
}

namespace {

// The eligibility of a line for removal, read on the session (inside the
// caller's transaction when there is one).
DbCode ReadDeletable(DbMsg& msg, int32_t po, int16_t line, bool& deletable) {
  deletable = false;
  Line l;
  if (DbCode rc = ReadLine(msg, po, line, l); rc != kDbOk) return rc;
  bool created = false;
  for (const LineItem& i : l.items) {
    if (i.itemNum != 0) {
      BucketHold s;
      if (DbCode rc = Load(msg, "item_status", "item", "item#=" + std::to_string(i.itemNum), "",
                           s);
          rc != kDbOk)
        return rc;
      if (_BktCountAll(*s) > 0) {
        const std::string status = Text(*s, 1, 1);
        if (status != "r" && status != "n") return kDbOk;
        created = true;
      }
    }
    if (i.copyNum != 0) {
      int32_t controlled = 0, status = 0;
      if (DbCode rc = Number(msg, "select acq_controlled from copy where copy#=" +
                                      std::to_string(i.copyNum), controlled);
          rc != kDbOk)
        return rc;
      if (DbCode rc = Number(msg, "select acq_status from copy where copy#=" +
                                      std::to_string(i.copyNum), status);
          rc != kDbOk)
        return rc;
      if (controlled == 0 || (status != 3 && status != 4)) return kDbOk;
      created = true;
    }
  }
  if (l.bib != 0) {
    int32_t controlled = 0, openElsewhere = 0;
    if (DbCode rc = Number(msg, "select count(*) from bib_control where acq_controlled=1 and "
                                "bib#=" + std::to_string(l.bib), controlled);
        rc != kDbOk)
      return rc;
    created = created || controlled > 0;
    // Another line still waiting for copies of this title keeps it.
    if (DbCode rc = Number(msg,
                           "select count(*) from po_line_item i join po_line l on l.po#=i.po# "
                           "and l.line=i.line where l.bib#=" + std::to_string(l.bib) +
                               " and not (i.po#=" + std::to_string(po) + " and i.line=" +
                               std::to_string(line) +
                               ") and i.receive_date is null and i.cancel_date is null",
                           openElsewhere);
        rc != kDbOk)
      return rc;
    if (openElsewhere > 0) return kDbOk;
  }
  deletable = created;
  return kDbOk;
}

}  // namespace

bool LineBibDeletable(int32_t po, int16_t line, bool& deletable) {
  DbMsg msg;
  if (DbCode rc = ReadDeletable(msg, po, line, deletable); rc != kDbOk) {
    AcqDbExcept::HandleDbError(msg, rc);
    return false;
  }
  return true;
}

namespace {

// The line's copies (their other items detached) and items, and their
// numbers on the line items.
DbCode RemoveLineCatalogueRows(DbMsg& msg, const Line& l) {
  for (const LineItem& i : l.items) {
    if (i.copyNum != 0) {
      const std::string copy = std::to_string(i.copyNum);
      if (DbCode rc = Run(msg, "update item set copy#=NULL where copy#=" + copy); rc != kDbOk)
        return rc;
      if (DbCode rc = Run(msg, "delete from copy where copy#=" + copy); rc != kDbOk) return rc;
    }
    if (i.itemNum != 0) {
      if (DbCode rc = Run(msg, "delete from item where item#=" + std::to_string(i.itemNum));
          rc != kDbOk)
        return rc;
    }
    if (i.copyNum == 0 && i.itemNum == 0) continue;
    if (DbCode rc = Run(msg, "update po_line_item set copy#=NULL, item#=NULL, begin_date=NULL, "
                             "end_date=NULL where " + ItemWhere(l.po, l.line, i.item));
        rc != kDbOk)
      return rc;
  }
  return kDbOk;
}

// The line's bibliographic record with its index and control rows, when
// acquisitions controls it and no other line, item or copy uses it.
DbCode RemoveBibIfUnused(DbMsg& msg, const Line& l) {
  const std::string bib = std::to_string(l.bib);
  int32_t controlled = 0, used = 0;
  if (DbCode rc = Number(msg, "select count(*) from bib_control where acq_controlled=1 and bib#=" +
                                  bib, controlled);
      rc != kDbOk || controlled == 0)
    return rc;
  if (DbCode rc = Number(msg,
                         "select (select count(*) from po_line where bib#=" + bib +
                             " and not (po#=" + std::to_string(l.po) + " and line=" +
                             std::to_string(l.line) + ")) + (select count(*) from item where "
                             "bib#=" + bib + ") + (select count(*) from copy where bib#=" +
                             bib + ")",
                         used);
      rc != kDbOk || used > 0)
    return rc;
  for (const char* sql : {"delete from bib_index where bib#=", "delete from bib where bib#=",
                          "delete from bib_control where bib#="})
    if (DbCode rc = Run(msg, sql + bib); rc != kDbOk) return rc;
  return Run(msg, "update po_line set bib#=NULL where " + LineWhere(l.po, l.line));
}

}  // namespace

bool RemoveLineBib(int32_t po, int16_t line, bool& removed) {
  return Save([&](DbMsg& msg) -> DbCode {
    removed = false;
    bool deletable = false;
    if (DbCode rc = ReadDeletable(msg, po, line, deletable); rc != kDbOk || !deletable)
      return rc;
    Line l;
    if (DbCode rc = ReadLine(msg, po, line, l); rc != kDbOk) return rc;
    if (DbCode rc = RemoveLineCatalogueRows(msg, l); rc != kDbOk) return rc;
    if (l.bib != 0) {
      if (DbCode rc = RemoveBibIfUnused(msg, l); rc != kDbOk) return rc;
    }
    removed = true;
    return kDbOk;
  });
}

}  // namespace acq::AcqDbCopy
