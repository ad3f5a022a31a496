// AcqDbEdiRsp: the database side of order responses. Reads a stored ORDRSP
// message into response lines (edifact_response_line and the rows attached
// to each line), and applies a line to the items of its PO line through
// the cancel and back-order activities, one transaction per line.
//
// Problems found are written to edifact_exception (process 2) and each is
// told to `show` at once, outside any transaction (the UI shows a box).
#pragma once

#include <cstdint>
#include <functional>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "acq/edi/AcqEdifact.h"
#include "host/db/DbDabs.h"
#include "host/sys/Dec64.h"

namespace acq::AcqDbEdiRsp {

// edifact_exception.process and edifact_process_status.process of order responses.
inline constexpr int kProcess = 2;
inline constexpr int kStatusRead = 0;
inline constexpr int kStatusFailed = 2;

// Messages of the string table.
inline constexpr int kMsgNotOrderResponse = 430;
inline constexpr int kMsgPoLineNotFound = 431;   // %1 the PO (and line) as sent
inline constexpr int kMsgBadFormat = 432;
inline constexpr int kStrProcessedNote = 433;
inline constexpr int kMsgNotAwaiting = 1742;     // %1 "po#/line"

struct MessageKey {
  int32_t edifact = 0;
  int32_t message = 0;
};
struct LineKey {
  int32_t edifact = 0;
  int32_t message = 0;
  int32_t segment = 0;
};

// One response line as read: a LIN group, or the whole order refused
// (action "2", line 0). Quantities are copies.
struct ResponseLine {
  struct LocationQty {
    std::string location;
    int quantity = 0;
  };
  struct Copy {
    int32_t item = 0;           // item#, 0 when the file gave none
    std::string barcode, call;
    std::optional<Dec64> price;
  };
  struct Product {
    std::string code, type;     // 15 and 2 characters
  };

  int32_t segment = 0;
  int32_t po = 0;
  std::string poNumber;
  int16_t line = 0;             // 0: the whole order
  std::string action, report;
  std::optional<int> orderQty, dispatchQty, qtyDue;
  std::optional<Dec64> price, adjPrice;
  DayNum date = kNoDate;
  std::string substituteItem, substituteCode;
  std::vector<LocationQty> locations;
  std::vector<Copy> copies;
  std::vector<Product> products;
};

// Tells a person one exception as it is written (its text, %1 replaced).
using ShowProc = std::function<void(std::string_view text)>;

// A stored segment of a message.
struct Segment {
  int32_t number = 0;
  std::string text;
};

// Reads the segments of one message (its BGM code `messageCode`) into
// lines. Errors and warnings go to `writer` (430, 431, 432, 1742); on an
// error the lines read so far are of no use. Looks POs up through the
// module's session; changes nothing. False on a database failure (reported).
bool ParseMessage(const MessageKey& key, std::string_view messageCode,
                  const AcqEdifact::ServiceChars& sc, const std::vector<Segment>& segments,
                  AcqEdifact::ExceptionWriter& writer, std::vector<ResponseLine>& lines);

enum class ReadResult {
  Read,        // lines stored; the message left the message list
  Failed,      // status 2 and the exceptions stored; the message stays in the list
  Taken,       // another workstation read it meanwhile: nothing written
  DbError,     // reported; nothing written
};
// Reads one message and stores its lines (or its failure) in one
// transaction, after checking inside it that nobody read it meanwhile.
// `warnings` is increased by the warnings written.
ReadResult ReadMessage(const MessageKey& key, const ShowProc& show, int& warnings);

// The lines of the message still waiting (segment order).
bool LinesOfMessage(const MessageKey& key, std::vector<LineKey>& lines);

enum class ApplyMode {
  Process,       // the line's actions
  Remove,        // only record that the vendor responded
  CancelOrder,   // cancel every open item
};
enum class ApplyResult {
  Applied,   // the line left the list
  Refused,   // 432 written and shown; the line stays
  Gone,      // already applied on another workstation
  Failed,    // a database failure or a declined prompt (already shown); rolled back
};
// Applies one line in one transaction, with the conflict retry and fund
// control's confirm-and-retry: response_date and "ordrsp" on the open
// items, cancellations and claim dates through the activities, item
// details for action 24, the line and its attached rows removed and, when
// it was the message's last line, the message's status-0 row written.
ApplyResult ApplyLine(const LineKey& key, ApplyMode mode, const ShowProc& show);

}  // namespace acq::AcqDbEdiRsp
