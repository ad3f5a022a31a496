// AcqEdifact: what every EDIFACT unit shares: the service characters, element
// extraction, decimals in the file's notation, party-code kinds and the
// vendor and location lookups, and the exception writer.
#pragma once

#include <cstdint>
#include <functional>
#include <string>
#include <string_view>

#include "host/db/PwDb.h"
#include "host/sys/Bucket.h"
#include "host/sys/Dec64.h"

namespace acq::AcqEdifact {

// The six service characters in their UNA order.
struct ServiceChars {
  char component = ':';
  char element = '+';
  char decimal = '.';
  char release = '?';
  char reserved = ' ';
  char terminator = '\'';

  // From the six characters after "UNA" (or an `una` column); the defaults
  // when `six` is shorter than six characters.
  static ServiceChars FromUna(std::string_view six);
  std::string Una() const;   // the six characters
};
inline constexpr std::string_view kDefaultUna = ":+.? '";

// Result capacities of extracted values.
inline constexpr size_t kCodeSize = 3;
inline constexpr size_t kRefSize = 30;

// Element `element` (0 the tag) component `component` (from 1) of
// `segment`, exactly as written (release characters kept), cut to
// `capacity` characters. False when the segment runs out of separators
// before it (the value is then ""). See the .cpp for how separators are
// counted.
bool GetElement(std::string_view segment, const ServiceChars& sc, int element, int component,
                size_t capacity, std::string& value);
// The same, "" when missing.
std::string Element(std::string_view segment, const ServiceChars& sc, int element, int component,
                    size_t capacity = kRefSize);
// The segment's tag: its first three characters.
std::string_view Tag(std::string_view segment);

// A number written in the file ("12.50", "12,50" with a decimal comma,
// "7", "-3"): the file's decimal mark becomes "." before the host parser
// reads it (which takes "," as a thousands separator). False when it is
// not a number.
bool ParseDecimal(std::string_view text, const ServiceChars& sc, Dec64& value);
// Release characters removed, for values shown to people or compared.
std::string Unescape(std::string_view value, const ServiceChars& sc);

// Party-code kinds by the code-list agency: -1 when the agency is unknown.
//   "92" vendor 0 location 0; "91" vendor 1 location 3;
//   "9","14" vendor 2 location 1; "31B","32B" vendor 3 location 2.
int VendorKind(std::string_view agency);
int LocationKind(std::string_view agency);

// A SAN tried again: upper-cased, then its hyphens removed when it has
// any, else one inserted after the 3rd character (the 5th when the first
// two are letters A-Z), only when the code is longer than that position.
std::string SanSecondForm(std::string_view san);
// A SAN as order files write it: upper-cased, with its hyphen as above
// (one already there is kept).
std::string SanNormalForm(std::string_view san);

// A lookup's outcome. Ambiguous carries its message id (341-345) in
// `message`; DbError the session's code in `code` and text in `msg`.
struct Lookup {
  enum class Result { Found, NotFound, Ambiguous, DbError } result = Result::NotFound;
  int message = 0;
  DbCode code = kDbOk;
  DbMsg msg;
  bool found() const { return result == Result::Found; }
};
// The vendor a party code of `kind` names (vendor slot kinds 0-3), SANs
// with their second form.
Lookup FindVendor(int kind, std::string_view code, int32_t& vendor);
// The location a party code of `kind` names (location slot kinds 0-3).
Lookup FindLocation(int kind, std::string_view code, std::string& location);

// Message `id` of the string table with "%1" (and "%2") replaced: its text
// part, without the caption.
std::string MessageText(int id, std::string_view arg1 = {}, std::string_view arg2 = {});
// A plain string of the table (written "text|", such as 353 and 354) with
// "%1" and "%2" replaced.
std::string PlainText(int id, std::string_view arg1 = {}, std::string_view arg2 = {});

// Writes the rows of edifact_exception for one process (0 upload, 1
// invoices, 2 order responses) into `exceptions` (a Bucket laid out like
// the table), counts warnings and errors, and tells `status` each text (the
// progress window's status line; a message box for the other processes).
// An error sets failed(); an error of process 0 first empties the Bucket and
// writes its keys as null, so a failed file keeps exactly that one row.
class ExceptionWriter {
 public:
  ExceptionWriter(BktHandle exceptions, int process,
                  std::function<void(std::string_view)> status = {});
  // edifact#, message#, segment# 0 are stored as null.
  void Write(int32_t edifact, int32_t message, int32_t segment, std::string_view arg,
             int messageId, bool error);
  int warnings() const { return warnings_; }
  int errors() const { return errors_; }
  bool failed() const { return failed_; }
  // A new file or message: counts and the failed flag back to zero.
  void Reset();
  BktHandle bucket() const { return bkt_; }

 private:
  BktHandle bkt_;
  int process_;
  std::function<void(std::string_view)> status_;
  int warnings_ = 0;
  int errors_ = 0;
  bool failed_ = false;
};

// An empty Bucket laid out like table `table` (edifact_exception,
// edifact_process_status, ...), owned by the caller; nullptr with `msg` on
// a database failure.
BktHandle NewTableBucket(std::string_view table, DbMsg& msg);

}  // namespace acq::AcqEdifact
