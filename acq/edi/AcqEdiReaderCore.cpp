// The interchange reader's core: segment cutting and the segment handlers.
#include "acq/edi/AcqEdiReaderCore.h"

#include <algorithm>
#include <charconv>
#include <cstring>

namespace acq::AcqEdiRead {

namespace ae = acq::AcqEdifact;

namespace {

constexpr std::string_view kMessageTypes[] = {"REQOTE", "QUOTES", "ORDERS", "ORDRSP",
                                              "ORDCHG", "DESADV", "OSTENQ", "INVOIC"};

int16_t MessageType(std::string_view type) {
  for (size_t i = 0; i < std::size(kMessageTypes); ++i)
    if (kMessageTypes[i] == type) return static_cast<int16_t>(i);
  return 8;
}

bool ToInt(std::string_view text, int32_t& value) {
  if (text.empty()) return false;
  const auto [end, ec] = std::from_chars(text.data(), text.data() + text.size(), value);
  return ec == std::errc() && end == text.data() + text.size();
}

bool IsServiceChar(const ae::ServiceChars& sc, char c) {
  return c == sc.component || c == sc.element || c == sc.decimal || c == sc.release ||
         c == sc.reserved || c == sc.terminator;
}

// A segment's tag (its first three characters) as one number to switch on;
// 0 for a segment shorter than a tag.
constexpr uint32_t TagCode(std::string_view segment) {
  if (segment.size() < 3) return 0;
  return static_cast<uint32_t>(static_cast<unsigned char>(segment[0])) << 16 |
         static_cast<uint32_t>(static_cast<unsigned char>(segment[1])) << 8 |
         static_cast<uint32_t>(static_cast<unsigned char>(segment[2]));
}

}  // namespace

ReaderCore::ReaderCore(ReaderSink& sink, std::string path, int64_t fileSize)
    : sink_(sink), path_(std::move(path)), fileSize_(fileSize) {
  interchange_.fileName = path_;
  interchange_.fileSize = fileSize;
}

void ReaderCore::Empty() {
  if (done_) return;
  Error(307, path_);
}

void ReaderCore::Feed(std::string_view chunk, bool more) {
  if (done_) return;
  // The UNA is taken from the characters as read, before line ends go: a
  // line feed may itself be one of the service characters.
  if (!started_ && work_.empty() && chunk.size() >= 9 && chunk.substr(0, 3) == "UNA")
    sc_ = ae::ServiceChars::FromUna(chunk.substr(3, 6));
  // Segments already cut leave the buffer once per chunk, not once each.
  if (head_ > 0) {
    work_.erase(0, head_);
    head_ = 0;
  }
  // Line ends go: the runs between them are taken one after the other.
  // Each kind of line end is searched for once, however short the lines.
  constexpr size_t kNone = std::string_view::npos;
  size_t nextLf = IsServiceChar(sc_, '\n') ? kNone : chunk.find('\n');
  size_t nextCr = IsServiceChar(sc_, '\r') ? kNone : chunk.find('\r');
  for (size_t at = 0; at < chunk.size() && !done_;) {
    if (nextLf < at) nextLf = chunk.find('\n', at);
    if (nextCr < at) nextCr = chunk.find('\r', at);
    const size_t end = std::min({nextLf, nextCr, chunk.size()});
    const std::string_view piece = chunk.substr(at, end - at);
    if (started_)
      Take(piece);
    else
      work_.append(piece);
    at = end + 1;
  }
  if (done_) return;
  if (!started_) {
    if (work_.size() < 9 && more) return;
    Start();
    if (done_) return;
  }
  // Left in work_: the segment the chunk's end split (at the start, all of
  // the chunk). At the end of the file this decides how the file ended.
  Loop(work_, more);
}

// The characters are cut where they lie; only a segment that the piece
// does not finish is kept in work_. A segment kept from before is finished
// first, one terminator at a time (a released one does not end it), so no
// more of the piece is copied than that segment needs.
void ReaderCore::Take(std::string_view piece) {
  while (head_ < work_.size() && !piece.empty()) {
    const void* hit =
        std::memchr(piece.data(), static_cast<unsigned char>(sc_.terminator), piece.size());
    const size_t take =
        hit ? static_cast<size_t>(static_cast<const char*>(hit) - piece.data()) + 1
            : piece.size();
    work_.append(piece.data(), take);
    piece.remove_prefix(take);
    Loop(work_, true);
    if (done_) return;
  }
  if (piece.empty()) return;
  work_.clear();
  head_ = 0;
  Loop(piece, true);
  if (done_) return;
  work_.assign(piece.substr(head_));   // scanFrom_ stays right: it counts from head_
  head_ = 0;
}

void ReaderCore::Start() {
  started_ = true;
  const std::string_view head(work_);
  if (head.size() < 9 || (head.substr(0, 3) != "UNA" && head.substr(0, 3) != "UNB")) {
    Error(307, path_);
    return;
  }
  int32_t key = 0;
  if (!sink_.NewKey(key)) {
    ended_ = done_ = true;
    return;
  }
  interchange_.edifact = key;
  interchange_.una = sc_.Una();
  if (head.substr(0, 3) == "UNA") {
    const size_t end = head.find(sc_.terminator, 8);
    if (end == std::string_view::npos) {
      Error(311, path_);
      return;
    }
    const std::string_view una = head.substr(0, end + 1);
    ++segmentCount_;
    sink_.Segment(static_cast<int32_t>(segmentCount_), 0, una);
    consumed_ += static_cast<int64_t>(una.size());
    head_ = una.size();
    lastWasUnz_ = false;
  }
}

// A terminator right after the release character is released, unless the
// character before that is the release character too and the terminator is
// at index 3 or later: "??'" ends a segment. Only the two characters before
// a terminator decide, so a search never has to look at a character twice.
size_t ReaderCore::FindTerminator(std::string_view buffer) {
  const char* base = buffer.data() + head_;
  const size_t size = buffer.size() - head_;
  size_t i = scanFrom_;
  while (i < size) {
    const void* hit = std::memchr(base + i, static_cast<unsigned char>(sc_.terminator), size - i);
    if (hit == nullptr) break;
    i = static_cast<size_t>(static_cast<const char*>(hit) - base);
    const bool released =
        i >= 1 && base[i - 1] == sc_.release && !(i >= 3 && base[i - 2] == sc_.release);
    if (!released) return head_ + i;
    ++i;
  }
  scanFrom_ = size;
  return std::string::npos;
}

void ReaderCore::Loop(std::string_view buffer, bool more) {
  while (!done_) {
    if (sink_.Aborted()) {
      aborted_ = done_ = true;
      return;
    }
    const size_t end = FindTerminator(buffer);
    if (end == std::string::npos) {
      if (buffer.size() - head_ > kMaxSegmentChars) {
        Error(311, path_);
        return;
      }
      if (more) return;
      if (lastWasUnz_) {
        FlushMessage();
        consumed_ = fileSize_;
        done_ = true;
      } else {
        Error(311, path_);
      }
      return;
    }
    if (end == head_ || end - head_ + 1 > kMaxSegmentChars) {
      Error(311, path_);
      return;
    }
    const std::string_view segment = buffer.substr(head_, end - head_ + 1);
    const uint32_t tag = TagCode(segment);
    ++segmentCount_;
    // UNH belongs to the message it opens, UNT to the one it closes.
    const int32_t before = inMessage_ ? message_.message : 0;
    if (!Handle(segment, tag)) return;
    const int32_t message = inMessage_ ? message_.message : before;
    consumed_ += static_cast<int64_t>(segment.size());
    sink_.Segment(static_cast<int32_t>(segmentCount_), message, segment);
    lastWasUnz_ = tag == TagCode("UNZ");
    head_ = end + 1;
    scanFrom_ = 0;
  }
}

std::string ReaderCore::Get(std::string_view segment, int element, int component,
                            size_t capacity) const {
  return ae::Element(segment, sc_, element, component, capacity);
}

bool ReaderCore::Error(int messageId, std::string_view arg) {
  sink_.Exception(interchange_.edifact, inMessage_ ? message_.message : 0,
                  static_cast<int32_t>(segmentCount_), arg, messageId, true);
  failed_ = done_ = true;
  return false;
}

void ReaderCore::Warning(int messageId, std::string_view arg) {
  sink_.Exception(interchange_.edifact, inMessage_ ? message_.message : 0,
                  static_cast<int32_t>(segmentCount_), arg, messageId, false);
}

// A lookup that did not give a value: a database failure ends the run, an
// ambiguous code fails the file with its own message, none with
// `notFoundId`. False when the file stops.
bool ReaderCore::LookupFailed(const ae::Lookup& lookup, std::string_view code, int notFoundId,
                              std::string_view arg) {
  switch (lookup.result) {
    case ae::Lookup::Result::Found: return true;
    case ae::Lookup::Result::DbError: ended_ = failed_ = done_ = true; return false;
    case ae::Lookup::Result::Ambiguous: return Error(lookup.message, code);
    case ae::Lookup::Result::NotFound: break;
  }
  return Error(notFoundId, arg);
}

// Most segments of a large file (QTY, PRI, PIA, IMD, FTX ...) are only
// stored: they leave at the switch.
bool ReaderCore::Handle(std::string_view segment, uint32_t tag) {
  switch (tag) {
    case TagCode("LIN"):
      if (inMessage_) ++message_.lineCount;
      return true;
    case TagCode("UNB"):
      return Unb(segment);
    case TagCode("UNG"):
      inGroup_ = true;
      break;
    case TagCode("UNH"):
      return Unh(segment);
    case TagCode("BGM"): {
      if (!inMessage_) return Error(311, path_);
      std::string code = Get(segment, 1, 1, ae::kCodeSize);
      if (code.empty()) return Error(311, path_);
      message_.code = std::move(code);
      message_.number = Get(segment, 2, 1);
      break;
    }
    case TagCode("DTM"):
      return Dtm(segment);
    case TagCode("CUX"):
      if (inMessage_ && Get(segment, 1, 1) == "2" &&
          (message_.code == "231" || Get(segment, 1, 3) == "4")) {
        std::string currency = Get(segment, 1, 2, ae::kCodeSize);
        if (!currency.empty()) {
          bool exists = false;
          if (!sink_.CurrencyExists(currency, exists)) {
            ended_ = failed_ = done_ = true;
            return false;
          }
          if (!exists) Warning(321, currency);
          message_.currency = std::move(currency);
        }
      }
      break;
    case TagCode("NAD"):
      if (inMessage_) return Nad(segment);
      break;
    case TagCode("RFF"):
      if (Get(segment, 1, 1) == "IA") {
        if (!partySeen_) return Error(311, path_);
        std::string vendor = Get(segment, 1, 2);
        if (!vendor.empty()) vendorSlots_[0] = std::move(vendor);
      }
      break;
    case TagCode("MOA"):
      if (!inMessage_) return Error(311, path_);
      if (Get(segment, 1, 1) == "86") {
        const std::string amount = Get(segment, 1, 2);
        if (!amount.empty()) {
          Dec64 value;
          if (ae::ParseDecimal(amount, sc_, value))
            message_.amount = value;
          else
            Warning(1700, message_.number + " (" + amount + ")");
        }
      }
      break;
    case TagCode("CNT"):
      if (!inMessage_) return Error(311, path_);
      if (Get(segment, 1, 1) == "2") {
        const std::string expected = Get(segment, 1, 2);
        int32_t count = 0;
        if (!ToInt(expected, count) || count != message_.lineCount)
          Warning(352, message_.number + ae::PlainText(354, std::to_string(message_.lineCount),
                                                       expected));
      }
      break;
    case TagCode("UNT"):
      if (!inMessage_) return Error(311, path_);
      return Unt();
    case TagCode("UNE"):
      if (inGroup_) ControlCount(segment);
      break;
    case TagCode("UNZ"):
      // Once a group was seen its UNE did the comparison.
      if (!inGroup_) ControlCount(segment);
      break;
    default:
      return true;
  }
  return !done_;
}

void ReaderCore::ControlCount(std::string_view segment) {
  int32_t count = 0;
  const bool number = ToInt(Get(segment, 1, 1), count);
  interchange_.hasMessageCount = number;
  interchange_.messageCount = count;
  if (!number || count != groupMessages_) Warning(320, path_);
  groupMessages_ = 0;
}

bool ReaderCore::Unb(std::string_view segment) {
  const std::string syntax = Get(segment, 1, 1);
  const std::string letter = syntax.size() >= 4 ? syntax.substr(3, 1) : std::string();
  const char workstation = sink_.WorkstationCharSet();
  if (!letter.empty() && letter[0] > 'B' && letter[0] != workstation)
    Warning(359, std::string(1, workstation) + "/" + letter);
  interchange_.characterSet = letter;

  const std::string sender = ae::Unescape(Get(segment, 2, 1), sc_);
  const int vendorKind = ae::VendorKind(Get(segment, 2, 2));
  interchange_.vendor = 0;
  if (!sender.empty() && vendorKind >= 0) {
    const ae::Lookup found = sink_.FindVendor(vendorKind, sender, interchange_.vendor);
    if (found.result != ae::Lookup::Result::NotFound &&
        !LookupFailed(found, sender, 308, path_))
      return false;
  }
  if (interchange_.vendor == 0) return Error(308, path_);

  const std::string recipient = ae::Unescape(Get(segment, 3, 1), sc_);
  const int locationKind = ae::LocationKind(Get(segment, 3, 2));
  interchange_.location.clear();
  if (!recipient.empty() && locationKind >= 0) {
    const ae::Lookup found = sink_.FindLocation(locationKind, recipient, interchange_.location);
    if (!LookupFailed(found, recipient, 309, path_)) return false;
    bool multiple = false;
    if (!sink_.MultipleLocationSans(multiple)) {
      ended_ = failed_ = done_ = true;
      return false;
    }
    if (multiple) {
      pendingLocation_ = recipient;
      pendingLocationKind_ = locationKind;
    }
  } else {
    return Error(309, path_);
  }

  interchange_.hasPrep = DbDabs_YYMMDDToDate(Get(segment, 4, 1), interchange_.prepDate);
  interchange_.hasPrepTime = DbDabs_HHMMToTime(Get(segment, 4, 2), interchange_.prepTime);
  interchange_.controlReference = Get(segment, 5, 1);
  sink_.Now(interchange_.creationDate, interchange_.creationTime);
  interchange_.hasCreation = true;

  bool duplicate = false;
  if (!sink_.InterchangeExists(interchange_, duplicate)) {
    ended_ = failed_ = done_ = true;
    return false;
  }
  if (duplicate) return Error(310, path_);
  FlushMessage();
  partySeen_ = false;
  return true;
}

bool ReaderCore::Unh(std::string_view segment) {
  if (inMessage_) return Error(311, path_);
  std::string type;
  if (!ae::GetElement(segment, sc_, 2, 1, ae::kRefSize, type)) return Error(311, path_);
  // message# runs across the whole file, groups included, so the messages
  // of a file with two groups never share a number; only the count checked
  // at UNE and UNZ starts again with each group.
  ++messageNumber_;
  ++groupMessages_;
  message_ = MessageRow{};
  message_.message = messageNumber_;
  message_.type = MessageType(type);
  message_.location = interchange_.location;
  message_.vendor = interchange_.vendor;
  inMessage_ = true;
  partySeen_ = false;
  for (std::string& slot : vendorSlots_) slot.clear();
  for (std::string& slot : locationSlots_) slot.clear();
  return true;
}

bool ReaderCore::Dtm(std::string_view segment) {
  if (!inMessage_) return Error(311, path_);
  if (Get(segment, 1, 1) != "137") return true;
  const std::string value = Get(segment, 1, 2), format = Get(segment, 1, 3);
  const bool shaped =
      (format == "102" && value.size() == 8) || (format == "203" && value.size() == 12);
  DayNum date = 0;
  if (!shaped || !DbDabs_CCYYMMDDToDate(value.substr(0, 8), date)) return Error(311, path_);
  message_.hasDate = true;
  message_.date = date;
  return true;
}

bool ReaderCore::Nad(std::string_view segment) {
  if (!partySeen_ && pendingLocationKind_ >= 0) {
    locationSlots_[pendingLocationKind_] = pendingLocation_;
    partySeen_ = true;
  }
  const std::string qualifier = Get(segment, 1, 1);
  const bool vendorParty = qualifier == "SU" || qualifier == "SR" || qualifier == "PE";
  if (!vendorParty && qualifier != "BY") return true;
  std::string code = Get(segment, 2, 1);
  if (code.empty()) return true;
  const std::string agency = Get(segment, 2, 3);
  if (vendorParty) {
    const int kind = ae::VendorKind(agency);
    if (kind < 0) return true;
    vendorSlots_[kind] = code;
  } else {
    const int kind = ae::LocationKind(agency);
    if (kind < 0) return true;
    locationSlots_[kind] = code;
    if (agency == "91") vendorSlots_[1] = code;
  }
  partySeen_ = true;
  return true;
}

std::string ReaderCore::MessageArg() const {
  return path_ + " " + ae::PlainText(353) + message_.number;
}

// Only the first party code present is looked up, for the location and the
// vendor each; a message that named no party of a kind keeps the
// interchange's.
bool ReaderCore::Unt() {
  if (partySeen_) {
    for (int kind = 0; kind < 4; ++kind) {
      if (locationSlots_[kind].empty()) continue;
      const std::string code = ae::Unescape(locationSlots_[kind], sc_);
      std::string location;
      if (!LookupFailed(sink_.FindLocation(kind, code, location), code, 309, MessageArg()))
        return false;
      message_.location = location;
      break;
    }
    for (int kind = 0; kind < 4; ++kind) {
      if (vendorSlots_[kind].empty()) continue;
      const std::string code = ae::Unescape(vendorSlots_[kind], sc_);
      int32_t vendor = 0;
      if (!LookupFailed(sink_.FindVendor(kind, code, vendor), code, 308, MessageArg()))
        return false;
      message_.vendor = vendor;
      break;
    }
  }
  FlushMessage();
  partySeen_ = false;
  return true;
}

void ReaderCore::FlushMessage() {
  if (!inMessage_) return;
  sink_.Message(message_);
  inMessage_ = false;
}

}  // namespace acq::AcqEdiRead
