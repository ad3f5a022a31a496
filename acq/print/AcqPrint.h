// AcqPrint: the printed forms of a purchase order (negotiable order, draft,
// cancellation notice, claim letter): what each form shows of a PO, read
// from the database, and its page layout through the host's print jobs.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "acq/print/AcqPPrint.h"
#include "host/db/DbDabs.h"
#include "host/print/MucPrint.h"
#include "host/sys/Dec64.h"
#include "host/win32/Win32.h"

namespace acq::AcqPrint {

// One entry of the form's body: a PO line (or, on a claim letter, the
// claimed items of a line). `amount` is in the PO currency; a claim letter
// prints none (`hasAmount` false). `text` is printed under the entry (the
// claim text), wrapped.
struct Entry {
  int16_t line = 0;
  std::string isbnIssn;
  std::string authorTitle;
  int32_t quantity = 0;
  Dec64 amount{};
  bool hasAmount = true;
  std::string text;
};

// Everything one PO's form shows, laid out by PrintDocument.
struct Document {
  int32_t po = 0;
  std::string heading;          // the form's title; empty for a negotiable order
  std::string poNumber;         // po_number, else the key
  std::string custNumber;       // the library's number at the vendor
  DayNum date = kNoDate;        // the print date
  std::vector<std::string> vendor;   // name, then the address lines
  std::vector<std::string> billTo;   // name, then the address lines
  std::vector<std::string> shipTo;
  bool severalLocations = false;     // the live items go to more than one place
  std::string note;                  // special instructions to the vendor
  std::string letter;                // a claim letter's text, above the items
  int decimals = 2;                  // of the PO currency
  std::vector<Entry> entries;
};

// Reads what `form` prints of PO `po` into `doc`, dated `today`. False when
// a read failed (reported through HandleDbError) or the PO is not there.
bool LoadDocument(int32_t po, AcqPPrint::Form form, DayNum today, Document& doc);

// Lays `doc` out as a document of its own in `job` (its pages numbered
// "Page n of m" among themselves). The job's failure code, with its text in
// MucPrint_ErrorText.
[[nodiscard]] MucPrintCode PrintDocument(HPRINTER job, const Document& doc);

// Prints a list as a person sees it on screen: `title` names the job and
// heads its pages, `intro` (wrapped) comes first, then the column headings
// and the rows, the columns of equal width. Asks for the printer first;
// tells the person why when it cannot print. True when the job went out.
bool PrintList(HWND owner, const std::string& title, const std::string& intro,
               const std::vector<std::string>& headings,
               const std::vector<std::vector<std::string>>& rows);

// The text of `amount` with `decimals` decimals, rounded half away from
// zero ("12.50", "1235").
std::string AmountText(Dec64 amount, int decimals);

void Initialize();
void Terminate();

}  // namespace acq::AcqPrint
