// The interchange reader's core: fed the characters of one file chunk by
// chunk, it cuts segments, checks the service segments and fills the rows
// of the interchange, its messages and segments. Everything it asks of the
// database (keys, party lookups, the duplicate test) and every row it makes
// goes through a ReaderSink, so the same core runs on the database (the
// upload) and on memory (the fuzz target).
#pragma once

#include <cstdint>
#include <functional>
#include <string>
#include <string_view>

#include "acq/edi/AcqEdifact.h"
#include "host/db/DbDabs.h"
#include "host/sys/Dec64.h"

namespace acq::AcqEdiRead {

// A segment may not grow past this many characters (terminator included):
// a file with no terminator for a megabyte is not EDIFACT, and the work
// buffer stays bounded however the file is written.
inline constexpr size_t kMaxSegmentChars = 1u << 20;
// Characters of the file read before each pass of the segment loop.
inline constexpr size_t kChunkChars = 65520;

struct InterchangeRow {
  int32_t edifact = 0;
  std::string location;
  int32_t vendor = 0;   // 0: none
  std::string una;
  std::string characterSet;
  std::string controlReference;
  bool hasMessageCount = false;
  int32_t messageCount = 0;
  bool hasPrep = false;
  DayNum prepDate = 0;
  bool hasPrepTime = false;
  MinuteOfDay prepTime = 0;
  bool hasCreation = false;
  DayNum creationDate = 0;
  MinuteOfDay creationTime = 0;
  std::string fileName;
  int64_t fileSize = 0;
};

struct MessageRow {
  int32_t message = 0;
  int16_t type = 8;
  std::string code;
  std::string number;
  std::string location;
  int32_t vendor = 0;   // 0: none
  bool hasDate = false;
  DayNum date = 0;
  int16_t lineCount = 0;
  Dec64 amount;
  std::string currency;   // "": null
};

class ReaderSink {
 public:
  virtual ~ReaderSink() = default;
  // A new interchange key; false when none could be had (the file is then
  // abandoned with nothing written).
  virtual bool NewKey(int32_t& key) = 0;
  virtual AcqEdifact::Lookup FindVendor(int kind, std::string_view code, int32_t& vendor) = 0;
  virtual AcqEdifact::Lookup FindLocation(int kind, std::string_view code,
                                          std::string& location) = 0;
  // False on a database failure (then the run ends).
  virtual bool MultipleLocationSans(bool& multiple) = 0;
  virtual bool CurrencyExists(std::string_view code, bool& exists) = 0;
  virtual bool InterchangeExists(const InterchangeRow& row, bool& exists) = 0;
  // The workstation's character-set letter (C for code page 1252).
  virtual char WorkstationCharSet() = 0;
  virtual void Now(DayNum& date, MinuteOfDay& time) = 0;
  virtual bool Aborted() { return false; }

  // Rows as they become final: each segment once read (message 0 outside
  // a message), each message at its UNT (or at the end of the file).
  virtual void Segment(int32_t segment, int32_t message, std::string_view text) = 0;
  virtual void Message(const MessageRow& row) = 0;
  // An exception of the upload ("%1" already the argument).
  virtual void Exception(int32_t edifact, int32_t message, int32_t segment,
                         std::string_view arg, int messageId, bool error) = 0;
};

class ReaderCore {
 public:
  ReaderCore(ReaderSink& sink, std::string path, int64_t fileSize);

  // The next characters of the file (bytes as Latin-1 characters, as read);
  // `more` tells whether the file has more after them. Runs the segment
  // loop over everything complete.
  void Feed(std::string_view chunk, bool more);
  // Nothing at all could be read from the file.
  void Empty();

  // The file is over: read to its end, failed, aborted or the run ended.
  bool done() const { return done_; }
  bool failed() const { return failed_; }
  bool aborted() const { return aborted_; }
  // A database failure ends the whole run.
  bool ended() const { return ended_; }
  bool succeeded() const { return done_ && !failed_ && !aborted_ && !ended_; }
  int64_t consumed() const { return consumed_; }
  int64_t segments() const { return segmentCount_; }
  int32_t messages() const { return messageNumber_; }
  const InterchangeRow& interchange() const { return interchange_; }
  const AcqEdifact::ServiceChars& serviceChars() const { return sc_; }

 private:
  void Start();
  // One run of the chunk without line ends, once the interchange started.
  void Take(std::string_view piece);
  // Cuts and handles the segments of `buffer` from head_ (work_ or a piece
  // of the chunk read where it lies).
  void Loop(std::string_view buffer, bool more);
  // Position in `buffer` of the first terminator that ends a segment, from
  // head_ + scanFrom_.
  size_t FindTerminator(std::string_view buffer);
  bool Handle(std::string_view segment, uint32_t tag);
  bool Unb(std::string_view segment);
  bool Unh(std::string_view segment);
  bool Dtm(std::string_view segment);
  bool Nad(std::string_view segment);
  bool Unt();
  void ControlCount(std::string_view segment);
  void FlushMessage();
  bool Error(int messageId, std::string_view arg);
  void Warning(int messageId, std::string_view arg);
  bool LookupFailed(const AcqEdifact::Lookup& lookup, std::string_view code, int notFoundId,
                    std::string_view arg);
  std::string Get(std::string_view segment, int element, int component,
                  size_t capacity = AcqEdifact::kRefSize) const;
  std::string MessageArg() const;

  ReaderSink& sink_;
  std::string path_;
  AcqEdifact::ServiceChars sc_;
  // Characters not yet cut into segments, from head_: before the start the
  // file's first characters, after it only a segment that a chunk (or a
  // line end) split. Everything else is cut where the caller holds it.
  std::string work_;
  size_t head_ = 0;       // start of the next segment in the buffer being cut
  size_t scanFrom_ = 0;   // characters of the next segment already searched
  bool started_ = false;
  bool done_ = false;
  bool failed_ = false;
  bool aborted_ = false;
  bool ended_ = false;
  int64_t consumed_ = 0;
  int64_t fileSize_ = 0;
  int64_t segmentCount_ = 0;
  int32_t messageNumber_ = 0;   // runs across the whole file
  int32_t groupMessages_ = 0;   // compared with UNE/UNZ, then back to 0
  bool inMessage_ = false;
  bool inGroup_ = false;
  bool partySeen_ = false;
  bool lastWasUnz_ = false;   // the last complete segment was UNZ
  std::string vendorSlots_[4];
  std::string locationSlots_[4];
  std::string pendingLocation_;
  int pendingLocationKind_ = -1;
  InterchangeRow interchange_;
  MessageRow message_;
};

}  // namespace acq::AcqEdiRead
