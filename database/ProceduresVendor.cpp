// Stored procedures of vendors, currencies and the EDIFACT parties: names,
// currencies, customer numbers and SAN suffixes, ordering minimums and
// discounts, and the duplicate test of an uploaded interchange.
#include <string>
#include <vector>

#include "database/ProcedureKit.h"

namespace dbproc {
namespace {

const Arg kVendor{'k', "vendor#"};

void RegisterVendorLookups() {
  RegisterSql("get_vendor_name", {kVendor},
              {{"SELECT name FROM vendor WHERE \"vendor#\" = ?1"}});
  RegisterSql("get_vendor_currency", {kVendor},
              {{"SELECT currency FROM vendor WHERE \"vendor#\" = ?1"}});
  RegisterSql("get_vendor_cust_number", {kVendor},
              {{"SELECT cust_number FROM vendor WHERE \"vendor#\" = ?1"}});
  RegisterSql("get_vendor_gst_number", {kVendor},
              {{"SELECT gst_number FROM vendor WHERE \"vendor#\" = ?1"}});
  RegisterSql("get_default_discount", {kVendor},
              {{"SELECT default_discount FROM vendor WHERE \"vendor#\" = ?1"}});
  RegisterSql("get_vendor_currency_descr", {kVendor},
              {{"SELECT c.descr FROM vendor v JOIN currency c ON c.currency = v.currency "
                "WHERE v.\"vendor#\" = ?1"}});
  // The library's number at the vendor for a location: that of the
  // location's latest contract with the vendor, else the vendor's own.
  RegisterSql("get_cust_number", {kVendor, {'u', "location"}},
              {{"SELECT coalesce((SELECT vc.cust_number FROM vendor_contract vc "
                "WHERE vc.\"vendor#\" = ?1 AND vc.location = ?2 AND vc.cust_number IS NOT NULL "
                "ORDER BY vc.end_date DESC, vc.vendor_contract LIMIT 1), v.cust_number) "
                "AS cust_number FROM vendor v WHERE v.\"vendor#\" = ?1",
                {{"cust_number", "VARCHAR(30)"}}}});
  // The contract's suffix when it has one, else the vendor's.
  RegisterSql("get_vendor_san_suffix", {kVendor, {'u', "vendor_contract"}},
              {{"SELECT coalesce((SELECT vc.san_suffix FROM vendor_contract vc "
                "WHERE vc.\"vendor#\" = ?1 AND vc.vendor_contract = ?2), v.san_suffix) "
                "AS san_suffix FROM vendor v WHERE v.\"vendor#\" = ?1",
                {{"san_suffix", "VARCHAR(5)"}}}});
  RegisterSql("get_vendor_minimums", {kVendor},
              {{"SELECT \"vendor#\", name, currency, min_order_amount, min_order_quantity "
                "FROM vendor WHERE \"vendor#\" = ?1"}});
  // Decimals of a currency's prices; 2 for a currency without a row.
  RegisterSql("get_currency_format", {{'t', "currency"}},
              {{"SELECT coalesce((SELECT n_decimals FROM currency WHERE currency = ?1), 2) "
                "AS n_decimals",
                {{"n_decimals", "INTEGER"}}}});
}

void RegisterEdifactParties() {
  // More than one location is known by a SAN or EAN of its addresses, so
  // an interchange's recipient alone need not name the message's location.
  RegisterSql("multiple_location_sans", {},
              {{"SELECT (SELECT count(DISTINCT location) FROM address "
                "WHERE san IS NOT NULL OR ean_gln IS NOT NULL) > 1 AS multiple"}});
  // The same interchange uploaded before: same sender, recipient location,
  // preparation date and time and control reference. The file's name and
  // size do not count: a renamed copy is still the same interchange.
  RegisterCustom("edifact_interchange_exists",
              {{'n', "vendor#"},
               {'u', "location"},
               {'n', "prep_date"},
               {'n', "prep_time"},
               {'u', "control_reference"},
               {'u', "file_name"},
               {'n', "file_size"}},
              [](pwdb::DbConnection& db, const std::vector<DbsValue>& args,
                 std::vector<DbsResultSet>& results, std::string& error) -> DbCode {
                const Query duplicate{
                    "SELECT EXISTS (SELECT 1 FROM edifact_interchange WHERE \"vendor#\" IS ?1 "
                    "AND location IS ?2 AND prep_date IS ?3 AND prep_time IS ?4 "
                    "AND control_reference IS ?5) AS found"};
                const std::vector<DbsValue> identity(args.begin(), args.begin() + 5);
                results.resize(1);
                return RunQuery(db, duplicate, identity, results[0], error);
              });
}

}  // namespace

void RegisterVendorProcedures() {
  RegisterVendorLookups();
  RegisterEdifactParties();
}

}  // namespace dbproc
