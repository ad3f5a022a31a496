// AcqEdiRead: the interchange reader of the upload on the database. The
// core (AcqEdiReaderCore) cuts and checks the segments; this unit feeds it
// each file a chunk at a time and keeps its rows in the four Buckets laid
// out from the tables, written in one transaction per file. A large file
// writes its rows in batches inside that transaction, so memory holds one
// chunk's rows at most; a failed file rolls them all back and keeps only
// its exception row.
//
// It runs on the import thread: failures are never shown from here, they
// come back in the RunResult (the window reports them).
#include "acq/edi/AcqEdiRead.h"

#include <algorithm>
#include <climits>
#include <memory>
#include <vector>

#include "acq/db/AcqDb.h"
#include "acq/db/AcqDbExcept.h"
#include "acq/db/AcqDbGlobal.h"
#include "acq/db/AcqDbNames.h"
#include "acq/edi/AcqEdiReaderCore.h"
#include "acq/edi/AcqEdifact.h"
#include "host/db/DbDabs.h"
#include "host/sys/Bucket.h"
#include "host/sys/FileIo.h"
#include "host/sys/LbStr.h"
#include "host/sys/Thread.h"

namespace acq::AcqEdiRead {

namespace ae = acq::AcqEdifact;

namespace {

// Rows kept before they are written (inside the file's transaction).
constexpr int kFlushRows = 4096;
constexpr size_t kShortSegmentChars = 255;

// The file's characters are Latin-1: each byte one character, stored as
// UTF-8 so the database always gets valid text.
std::string Utf8(std::string_view latin1) {
  std::string out;
  out.reserve(latin1.size());
  for (const char ch : latin1) {
    const auto c = static_cast<unsigned char>(ch);
    if (c < 0x80) {
      out += static_cast<char>(c);
    } else {
      out += static_cast<char>(0xC0 | (c >> 6));
      out += static_cast<char>(0x80 | (c & 0x3F));
    }
  }
  return out;
}

std::string Quoted(std::string_view text) {
  std::string out = "'";
  for (const char c : text) {
    out += c;
    if (c == '\'') out += '\'';
  }
  return out + "'";
}

char CharSetOfCodePage(const std::string& codePage) {
  std::string digits;
  for (const char c : codePage)
    if (c >= '0' && c <= '9') digits += c;
  if (digits == "1250") return 'D';
  if (digits == "1251") return 'E';
  if (digits == "1252") return 'C';
  if (digits == "1253") return 'F';
  return 'X';
}

void SetInt(BktHandle bkt, int row, const char* column, int32_t value) {
  if (const int col = _BktGetColNum(bkt, column); col > 0) _ColSetInt(bkt, row, col, value);
}
void SetIntOrNull(BktHandle bkt, int row, const char* column, bool present, int32_t value) {
  const int col = _BktGetColNum(bkt, column);
  if (col <= 0) return;
  if (present)
    _ColSetInt(bkt, row, col, value);
  else
    _ColSetNull(bkt, row, col);
}
void SetText(BktHandle bkt, int row, const char* column, std::string_view text) {
  const int col = _BktGetColNum(bkt, column);
  if (col <= 0) return;
  if (text.empty())
    _ColSetNull(bkt, row, col);
  else
    _ColSetTextW(bkt, row, col, text);
}

// The database side of the reader for one file.
class DbSink : public ReaderSink {
 public:
  explicit DbSink(const Hooks& hooks) : hooks_(hooks) {}
  ~DbSink() override {
    if (txOpen_) Rollback();
  }
  DbSink(const DbSink&) = delete;
  DbSink& operator=(const DbSink&) = delete;

  bool Init() {
    interchange_.get() = ae::NewTableBucket(names::edifact_interchange, msg_);
    if (*interchange_) messages_.get() = ae::NewTableBucket(names::edifact_message, msg_);
    if (*messages_) segments_.get() = ae::NewTableBucket(names::edifact_segment, msg_);
    if (*segments_) exceptions_.get() = ae::NewTableBucket(names::edifact_exception, msg_);
    if (*exceptions_ == nullptr) {
      if (code_ == kDbOk) code_ = kDbError;
      return false;
    }
    writer_ = std::make_unique<ae::ExceptionWriter>(*exceptions_, 0, hooks_.status);
    return true;
  }

  bool NewKey(int32_t& key) override {
    if (!Ok(_DbGetNewKeyValidate(AcqDbGlobal::Session(), names::edifact_interchange,
                                 names::edifact_interchange, "edifact#", key, msg_)))
      return false;
    edifact_ = key;
    return true;
  }
  ae::Lookup FindVendor(int kind, std::string_view code, int32_t& vendor) override {
    return Seen(ae::FindVendor(kind, code, vendor));
  }
  ae::Lookup FindLocation(int kind, std::string_view code, std::string& location) override {
    return Seen(ae::FindLocation(kind, code, location));
  }
  bool MultipleLocationSans(bool& multiple) override {
    uint8_t flag = 0;
    const bool ok = Ok(AcqDb::ExecSP(msg_, &flag, sizeof flag, "", "multiple_location_sans"));
    multiple = flag != 0;
    return ok;
  }
  bool CurrencyExists(std::string_view code, bool& exists) override {
    BucketHold rows;
    const bool ok = Ok(AcqDb::LoadTable(msg_, AcqDb::ClearChanges::Yes, "",
                                        "currency=" + Quoted(Utf8(code)), "currency", "currency",
                                        rows.get()));
    exists = ok && _BktCountAll(*rows) > 0;
    return ok;
  }
  bool InterchangeExists(const InterchangeRow& row, bool& exists) override {
    uint8_t flag = 0;
    const std::string params =
        std::to_string(row.vendor) + "," + Quoted(row.location) + "," +
        std::to_string(row.prepDate) + "," + std::to_string(row.prepTime) + "," +
        Quoted(Utf8(row.controlReference)) + "," + Quoted(Lb_CutChars(row.fileName, 255)) +
        "," + std::to_string(FileSize(row));
    const bool ok =
        Ok(AcqDb::ExecSP(msg_, &flag, sizeof flag, params, "edifact_interchange_exists"));
    exists = flag != 0;
    return ok;
  }
  char WorkstationCharSet() override { return CharSetOfCodePage(FIOA_WorkstationCodePage()); }
  void Now(DayNum& date, MinuteOfDay& time) override { DbDabs_GetDateTime(date, time); }
  bool Aborted() override { return hooks_.aborted && hooks_.aborted(); }

  // Millions of rows in a large file: the columns are looked up once.
  void Segment(int32_t segment, int32_t message, std::string_view text) override {
    BktHandle b = *segments_;
    if (segCols_[0] == 0) {
      const char* names[] = {"edifact#", "segment#", "message#", "short_segment", "long_segment"};
      for (int i = 0; i < 5; ++i) segCols_[i] = _BktGetColNum(b, names[i]);
    }
    int row = 0;
    _BktInsert(b, 0, row);
    _ColSetInt(b, row, segCols_[0], edifact_);
    _ColSetInt(b, row, segCols_[1], segment);
    if (message != 0)
      _ColSetInt(b, row, segCols_[2], message);
    else
      _ColSetNull(b, row, segCols_[2]);
    const bool isShort = text.size() <= kShortSegmentChars;
    _ColSetTextW(b, row, segCols_[isShort ? 3 : 4], Utf8(text));
    _ColSetNull(b, row, segCols_[isShort ? 4 : 3]);
  }
  void Message(const MessageRow& m) override {
    BktHandle b = *messages_;
    int row = 0;
    _BktInsert(b, 0, row);
    SetInt(b, row, "edifact#", edifact_);
    SetInt(b, row, "message#", m.message);
    SetInt(b, row, "message_type", m.type);
    SetText(b, row, "message_code", Utf8(m.code));
    SetText(b, row, "message_number", Utf8(m.number));
    SetText(b, row, "message_location", m.location);
    SetIntOrNull(b, row, "message_vendor#", m.vendor != 0, m.vendor);
    SetIntOrNull(b, row, "message_date", m.hasDate, m.date);
    SetInt(b, row, "line_count", m.lineCount);
    if (const int col = _BktGetColNum(b, "amount"); col > 0) _ColSetDec64(b, row, col, m.amount);
    SetText(b, row, "currency", Utf8(m.currency));
  }
  void Exception(int32_t edifact, int32_t message, int32_t segment, std::string_view arg,
                 int messageId, bool error) override {
    writer_->Write(edifact, message, segment, Utf8(arg), messageId, error);
  }

  int pending() const { return _BktCountAll(*messages_) + _BktCountAll(*segments_); }
  const ae::ExceptionWriter& writer() const { return *writer_; }
  DbCode code() const { return code_; }
  const DbMsg& msg() const { return msg_; }

  // Writes the rows gathered so far inside the file's transaction (opened
  // by the first batch); the interchange row goes first, for the keys
  // that refer to it.
  bool Flush(const InterchangeRow& row) {
    if (!txOpen_) {
      AcqDbExcept::EnterTrans();
      AcqDb::SessionBeginTrans();
      txOpen_ = true;
    }
    if (!interchangeWritten_) {
      FillInterchange(row);
      if (!Ok(AcqDb::InsertRow(msg_, 1, *interchange_, names::edifact_interchange)))
        return false;
      interchangeWritten_ = true;
    }
    if (!InsertAll(*messages_, names::edifact_message) ||
        !InsertAll(*segments_, names::edifact_segment))
      return false;
    _BktDeleteAll(*messages_);
    _BktDeleteAll(*segments_);
    return true;
  }

  // A file read to its end: the rest of its rows, the interchange's final
  // values when it was written early, its warnings, and the commit.
  bool Commit(const InterchangeRow& row) {
    const bool early = interchangeWritten_;
    if (!Flush(row)) return false;
    if (early && !UpdateInterchange(row)) return false;
    if (!InsertAll(*exceptions_, names::edifact_exception)) return false;
    txOpen_ = false;
    const DbCode code = AcqDb::SessionCommitTrans(msg_);
    AcqDbExcept::ExitTrans();
    return Ok(code);
  }

  // A failed file: nothing of it but its exception rows.
  bool SaveExceptionsOnly() {
    if (txOpen_) Rollback();
    AcqDbExcept::EnterTrans();
    AcqDb::SessionBeginTrans();
    txOpen_ = true;
    if (!InsertAll(*exceptions_, names::edifact_exception)) return false;
    txOpen_ = false;
    const DbCode code = AcqDb::SessionCommitTrans(msg_);
    AcqDbExcept::ExitTrans();
    return Ok(code);
  }

  void Rollback() {
    if (!txOpen_) return;
    txOpen_ = false;
    DbMsg ignored;   // the failure that led here is the one reported
    (void)AcqDb::SessionRollbackTrans(ignored);
    AcqDbExcept::AbortTrans();
  }

 private:
  static int32_t FileSize(const InterchangeRow& row) {
    return static_cast<int32_t>(std::min<int64_t>(row.fileSize, INT32_MAX));
  }

  bool Ok(DbCode code) {
    if (code == kDbOk) return true;
    code_ = code;
    return false;
  }
  ae::Lookup Seen(ae::Lookup lookup) {
    if (lookup.result == ae::Lookup::Result::DbError) {
      code_ = lookup.code;
      msg_ = lookup.msg;
    }
    return lookup;
  }

  bool InsertAll(BktHandle bkt, std::string_view table) {
    for (int row = 1; row <= _BktCountAll(bkt); ++row)
      if (!Ok(AcqDb::InsertRow(msg_, row, bkt, table))) return false;
    return true;
  }

  void FillInterchange(const InterchangeRow& r) {
    BktHandle b = *interchange_;
    _BktDeleteAll(b);
    int row = 0;
    _BktInsert(b, 0, row);
    SetInt(b, row, "edifact#", r.edifact);
    SetText(b, row, "source", {});
    SetText(b, row, "location", r.location);
    SetIntOrNull(b, row, "vendor#", r.vendor != 0, r.vendor);
    SetText(b, row, "una", Utf8(r.una));
    SetText(b, row, "character_set", Utf8(r.characterSet));
    SetText(b, row, "control_reference", Utf8(r.controlReference));
    SetIntOrNull(b, row, "message_count", r.hasMessageCount, r.messageCount);
    SetIntOrNull(b, row, "prep_date", r.hasPrep, r.prepDate);
    SetIntOrNull(b, row, "prep_time", r.hasPrepTime, r.prepTime);
    SetIntOrNull(b, row, "creation_date", r.hasCreation, r.creationDate);
    SetIntOrNull(b, row, "creation_time", r.hasCreation, r.creationTime);
    SetText(b, row, "file_name", Lb_CutChars(r.fileName, 255));
    SetInt(b, row, "file_size", FileSize(r));
  }

  // The values that may change after the row was written (a UNB, UNE or
  // UNZ read after the first batch).
  bool UpdateInterchange(const InterchangeRow& r) {
    const std::string where = "edifact#=" + std::to_string(r.edifact);
    auto number = [](bool present, int32_t value) {
      return present ? std::to_string(value) : std::string("NULL");
    };
    auto text = [](std::string_view value) {
      return value.empty() ? std::string("NULL") : Quoted(Utf8(value));
    };
    const std::pair<const char*, std::string> values[] = {
        {"location", r.location.empty() ? "NULL" : Quoted(r.location)},
        {"vendor#", number(r.vendor != 0, r.vendor)},
        {"character_set", text(r.characterSet)},
        {"control_reference", text(r.controlReference)},
        {"message_count", number(r.hasMessageCount, r.messageCount)},
        {"prep_date", number(r.hasPrep, r.prepDate)},
        {"prep_time", number(r.hasPrepTime, r.prepTime)},
        {"creation_date", number(r.hasCreation, r.creationDate)},
        {"creation_time", number(r.hasCreation, r.creationTime)},
    };
    for (const auto& [column, value] : values)
      if (!Ok(_DbRawUpdate(AcqDbGlobal::Session(), names::edifact_interchange, column, value,
                           where, msg_)))
        return false;
    return true;
  }

  const Hooks& hooks_;
  BucketHold interchange_, messages_, segments_, exceptions_;
  std::unique_ptr<ae::ExceptionWriter> writer_;
  int32_t edifact_ = 0;
  bool txOpen_ = false;
  bool interchangeWritten_ = false;
  int segCols_[5] = {};
  DbCode code_ = kDbOk;
  DbMsg msg_;
};

// Pauses before the first file, in steps that notice an abort.
void Delay(const Hooks& hooks) {
  for (int left = hooks.firstFileDelayMs; left > 0; left -= 100) {
    if (hooks.aborted && hooks.aborted()) return;
    Sleep(static_cast<uint32_t>(std::min(left, 100)));
  }
}

// Reads and stores one file. False when the run must end (a database
// failure, in `run`) or was aborted.
bool UploadOne(const std::string& path, const Hooks& hooks, FileResult& file, RunResult& run) {
  DbSink sink(hooks);
  auto end = [&](const DbSink& s) {
    run.ended = true;
    run.code = s.code() == kDbOk ? DbCode{kDbError} : s.code();
    run.msg = s.msg();
    return false;
  };
  if (!sink.Init()) return end(sink);

  auto finishFailed = [&]() {
    file.failed = true;
    file.warnings = sink.writer().warnings();
    file.errors = sink.writer().errors();
    if (!sink.SaveExceptionsOnly()) return end(sink);
    file.saved = true;
    return true;
  };

  FioReadHold in;
  std::string openError;
  if (!in.Open(path, &openError)) {
    sink.Exception(0, 0, 0, path, 318, true);
    return finishFailed();
  }
  const size_t bufferSize = std::max<size_t>(hooks.fileBufferSize, 1);
  std::vector<unsigned char> buffer(bufferSize);
  FIO_AssignBuffer(in.get(), buffer.data(), buffer.size());
  const int64_t size = FIO_Size(in.get());

  ReaderCore core(sink, path, size);
  std::string chunk;
  chunk.reserve(kChunkChars);
  bool first = true;
  for (;;) {
    chunk.clear();
    int c = 0;
    while (chunk.size() < kChunkChars && (c = FIO_RdChar(in.get())) >= 0)
      chunk += static_cast<char>(c);
    if (c == FIO_ERROR) {
      sink.Exception(0, 0, 0, path, 318, true);
      break;
    }
    const bool more = c >= 0;   // the chunk filled up: the file may go on
    if (first && chunk.empty()) {
      core.Empty();
      break;
    }
    first = false;
    core.Feed(chunk, more);
    if (hooks.progress) hooks.progress(core.consumed(), size);
    if (core.done()) break;
    if (sink.pending() >= kFlushRows && !sink.Flush(core.interchange())) return end(sink);
    if (!more) break;
  }
  file.edifact = core.interchange().edifact;
  file.segments = core.segments();
  file.messages = core.messages();
  if (core.ended()) return end(sink);
  if (core.aborted()) {
    sink.Rollback();
    run.aborted = true;
    return false;
  }
  if (!core.succeeded() || sink.writer().failed()) return finishFailed();
  file.warnings = sink.writer().warnings();
  file.errors = sink.writer().errors();
  if (!sink.Commit(core.interchange())) return end(sink);
  file.saved = true;
  return true;
}

}  // namespace

RunResult UploadFiles(const std::vector<std::string>& paths, const Hooks& hooks) {
  RunResult run;
  for (size_t index = 0; index < paths.size(); ++index) {
    if (index == 0 && hooks.firstFileDelayMs > 0) Delay(hooks);
    if (hooks.aborted && hooks.aborted()) {
      run.aborted = true;
      break;
    }
    if (hooks.fileStarted) hooks.fileStarted(paths[index], index, paths.size());
    FileResult file;
    file.path = paths[index];
    const bool goOn = UploadOne(paths[index], hooks, file, run);
    run.files.push_back(file);
    if (!goOn) break;
  }
  return run;
}

}  // namespace acq::AcqEdiRead
