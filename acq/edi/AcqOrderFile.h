// AcqOrderFile: what the EDIFACT and BISAC order writers share: which POs
// a command acts on and the checks they pass before anything is asked or
// written, a PO read for sending (header, live lines and items, the
// library's and vendor's party codes), the marking of a PO as sent and its
// removal from the list's selection.
#pragma once

#include <cstdint>
#include <map>
#include <string>
#include <string_view>
#include <vector>

#include "host/sys/Dec64.h"
#include "host/win32/Win32.h"

namespace acq::AcqOrderFile {

// An address row of a location (or a vendor) as a trading party. Codes as
// stored; empty when the row has none.
struct Party {
  bool found = false;
  std::string code;        // address_code (a vendor: its vendor#)
  std::string name;
  std::string ean;         // ean_gln
  std::string san;
  std::string sanSuffix;
};

// A copy ordered: what a vendor needs to process it for the library.
struct OrderItem {
  int32_t item = 0;
  std::string location, collection, itype, callNumber, barcode;
  std::string shipTo;      // its ship_to_address, "" for the PO's
};

// A PO line with live (not cancelled) items.
struct OrderLine {
  int32_t line = 0;
  int32_t bib = 0;                               // 0 when it has no record yet
  std::map<std::string, std::string> columns;    // po_line's text and number columns by name
  bool hasPrice = false;
  Dec64 unitPrice;                               // PO currency
  std::vector<OrderItem> items;                  // in item order
  const std::string& Column(const std::string& name) const;
};

struct OrderPo {
  int32_t po = 0;
  std::string number;                 // po_number, else the key
  int32_t vendor = 0;
  std::string vendorContract;
  std::string currency;               // the PO's, else the site's base currency
  int32_t decimals = 2;               // of that currency
  std::string location;
  bool dropShip = false;
  Party billTo;                       // the PO's bill-to row, else the location's default
  Party shipTo;                       // the PO's ship-to row, else the location's default
  std::string custNumber;             // the library's number at the vendor for the location
  std::vector<OrderLine> lines;       // in line order
};

// The POs a command acts on in `active`, in order, each once.
std::vector<int32_t> PosOf(HWND active);

// Checks made before a file is asked for: the POs are of one vendor (else
// `vendorMessage`, 47 or 45), every live item of each is approved (else
// 346 with the PO number) and each PO's location has a default bill-to
// address (else 4 with the location). False when one failed and was told.
bool CheckSelection(const std::vector<int32_t>& pos, int vendorMessage);

// Reads `po` for sending; false when a database failure was reported.
bool LoadPo(int32_t po, OrderPo& out);
// LoadPo of each of `pos` in order into `out`; a PO with nothing to order
// is told (its number named) and ends the loading with false.
bool LoadPos(const std::vector<int32_t>& pos, std::vector<OrderPo>& out);
// The vendor as a party (code: its vendor#); false on a reported failure.
bool LoadVendor(int32_t vendor, Party& out);
// The SAN suffix of the vendor's contract, else the vendor's ("" for
// none); false when a failure was reported.
bool VendorSanSuffix(int32_t vendor, const std::string& contract, std::string& suffix);
// The location's default bill-to address, when it is one that may bill.
bool DefaultBillTo(const std::string& location, Party& out);

// Marks `po` as sent (print_po_update_db, its own transaction, retried on
// a write conflict); false when the failure was reported.
bool MarkSent(int32_t po);
// Takes `po`'s rows out of the selection of the list `active`.
void Deselect(HWND active, int32_t po);

// The number of a Windows ANSI code page name ("CP1252", "windows-1252",
// "1252" give 1252); 0 when the name is no such code page.
int AnsiCodePage(std::string_view name);

// Message `id` of the string table in a box, "%1" replaced.
void Tell(int id, std::string_view arg = {});
// The caption of string `id` (a title such as the save-as box's).
std::string Caption(int id);

}  // namespace acq::AcqOrderFile
