// AcqDbGlobal: the database session, the privilege tables of the two secured
// programs, and the site's acquisitions parameters and switches. Filled at
// start-up (log-in, then the prerequisites load) and read everywhere.
#pragma once

#include <array>
#include <cstdint>
#include <string>

#include "host/db/PwDb.h"
#include "host/sys/Bucket.h"

namespace acq::AcqDbGlobal {

constexpr int kAcqPrivileges = 50;
constexpr int kAcqManPrivileges = 12;
constexpr int32_t kPrivilegeNotLoaded = -1;
constexpr int16_t kNoFiscalYear = static_cast<int16_t>(-32768);  // 32768 as 16 bits

// The site's values from acq_parameter (and matham, syscolumns, pw_column).
// Defaults are those of Initialize and stay when a value is not read.
// The site's settings of the single acq_parameter row.
struct SiteParameters {
  int16_t fiscal_year = kNoFiscalYear;
  std::string isbn_duplication_index;   // 8 characters
  std::string issn_duplication_index;   // 8 characters
  bool track_budget_trans = false;
  bool budget_contract_checks = false;
  bool save_po_line_approval = false;
  bool copy_po_line_approval = false;
  bool renew_po_line_approval = false;
  bool print_without_labels = false;
  std::string base_currency;            // 4 characters
  uint8_t print_workslip = 0;
  uint8_t multi_location_edi = 0;
  uint8_t one_tag_only = 0;
};

// Everything about the site read at start-up.
struct Parameters : SiteParameters {
  int32_t decimal_digits = 2;           // money precision, from matham
  std::string barcode_key_string_type;  // from pw_column
  int32_t barcode_length = 0;           // item.ibarcode
  bool inventory_prefix = false;        // site feature "IncInvA"
  int32_t inventory_prefix_length = 0;  // item.prefix_inventory_num
};

struct State {
  HDb session = nullptr;
  HSrch search = nullptr;
  std::array<int32_t, kAcqPrivileges> acqPrivileges{};
  std::array<int32_t, kAcqManPrivileges> acqmanPrivileges{};
  Parameters params;
  MarcMap marcMap;
  BktHandle marcUsageBkt = nullptr;   // marc_usage rows of module 2
  bool addressPosition = true;        // the workstation location's address_position
};

// The module-wide state, from Initialize to Terminate.
State& Globals();

// A worker thread's own session (the EDIFACT import thread): while one is
// set on a thread, every database call the module makes on that thread goes
// to it, so the thread never shares a connection, a pending command or a
// transaction with the user interface. nullptr on every other thread.
HDb& ThreadSession();
inline HDb Session() {
  HDb own = ThreadSession();
  return own ? own : Globals().session;
}

// Sets the calling thread's own session for a scope and clears it after.
class ThreadSessionHold {
 public:
  explicit ThreadSessionHold(HDb session) { ThreadSession() = session; }
  ~ThreadSessionHold() { ThreadSession() = nullptr; }
  ThreadSessionHold(const ThreadSessionHold&) = delete;
  ThreadSessionHold& operator=(const ThreadSessionHold&) = delete;
};

// Every privilege -1 and every parameter at its default.
void ResetPrerequisites();

void Initialize();
void Terminate();

}  // namespace acq::AcqDbGlobal
