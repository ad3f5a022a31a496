// libFuzzer target: the interchange reader's core fed arbitrary bytes in
// chunks of arbitrary sizes, with the database answered from memory, and
// element extraction on the same bytes. Checks the invariants every caller
// relies on: segments end with their terminator and stay within the bound,
// messages are numbered 1, 2, ... and a value is never longer than asked.
#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string>
#include <string_view>

#include "acq/edi/AcqEdiReaderCore.h"
#include "acq/edi/AcqEdifact.h"

// The module's string table is not loaded here: plain strings are their
// arguments.
std::string acq::AcqEdifact::PlainText(int, std::string_view arg1, std::string_view arg2) {
  return std::string(arg1) + " " + std::string(arg2);
}

namespace {

namespace ae = acq::AcqEdifact;
namespace rd = acq::AcqEdiRead;

void Check(bool ok) {
  if (!ok) std::abort();
}

// Answers by the code's first character, so inputs reach every branch:
// digits are found, '!' is ambiguous, '#' is a database failure.
ae::Lookup Answer(std::string_view code) {
  ae::Lookup lookup;
  if (code.empty()) return lookup;
  if (code[0] >= '0' && code[0] <= '9') lookup.result = ae::Lookup::Result::Found;
  if (code[0] == '!') lookup.result = ae::Lookup::Result::Ambiguous, lookup.message = 342;
  if (code[0] == '#') lookup.result = ae::Lookup::Result::DbError, lookup.code = kDbError;
  return lookup;
}

class MemorySink : public rd::ReaderSink {
 public:
  bool NewKey(int32_t& key) override {
    key = 1;
    return true;
  }
  ae::Lookup FindVendor(int, std::string_view code, int32_t& vendor) override {
    const ae::Lookup l = Answer(code);
    vendor = l.found() ? 7 : 0;
    return l;
  }
  ae::Lookup FindLocation(int, std::string_view code, std::string& location) override {
    const ae::Lookup l = Answer(code);
    location = l.found() ? "MAIN" : "";
    return l;
  }
  bool MultipleLocationSans(bool& multiple) override {
    multiple = true;
    return true;
  }
  bool CurrencyExists(std::string_view code, bool& exists) override {
    exists = code == "USD";
    return true;
  }
  bool InterchangeExists(const rd::InterchangeRow& row, bool& exists) override {
    exists = row.controlReference == "DUP";
    return row.controlReference != "#";
  }
  char WorkstationCharSet() override { return 'C'; }
  void Now(DayNum& date, MinuteOfDay& time) override { date = 45000, time = 600; }

  void Segment(int32_t segment, int32_t, std::string_view text) override {
    Check(segment == ++segments);
    Check(!text.empty() && text.size() <= rd::kMaxSegmentChars);
    Check(text.back() == core->serviceChars().terminator || segment == 1);
  }
  void Message(const rd::MessageRow& row) override {
    Check(row.message == ++messages);
    Check(row.code.size() <= ae::kCodeSize && row.number.size() <= ae::kRefSize);
    Check(row.type >= 0 && row.type <= 8);
  }
  void Exception(int32_t, int32_t, int32_t, std::string_view, int id, bool) override {
    Check(id > 0);
  }

  const rd::ReaderCore* core = nullptr;
  int32_t segments = 0;
  int32_t messages = 0;
};

void FuzzReader(const uint8_t* data, size_t size) {
  if (size < 1) return;
  // The first byte picks the chunk size, so splits land everywhere.
  const size_t chunk = 1 + data[0] % 64;
  const std::string_view bytes(reinterpret_cast<const char*>(data + 1), size - 1);
  MemorySink sink;
  rd::ReaderCore core(sink, "/fuzz/input.edi", static_cast<int64_t>(bytes.size()));
  sink.core = &core;
  if (bytes.empty()) {
    core.Empty();
  } else {
    for (size_t at = 0; at < bytes.size() && !core.done(); at += chunk) {
      const std::string_view piece = bytes.substr(at, chunk);
      core.Feed(piece, at + piece.size() < bytes.size());
    }
  }
  Check(core.done());
  Check(core.consumed() >= 0 && core.consumed() <= static_cast<int64_t>(bytes.size()));
}

void FuzzElements(const uint8_t* data, size_t size) {
  if (size < 3) return;
  const int element = data[0] % 12, component = data[1] % 6;
  const size_t capacity = data[2] % 40;
  const std::string_view text(reinterpret_cast<const char*>(data + 3), size - 3);
  const ae::ServiceChars sc = ae::ServiceChars::FromUna(text.substr(0, std::min<size_t>(6, text.size())));
  std::string value;
  if (ae::GetElement(text, sc, element, component, capacity, value)) {
    Check(value.size() <= capacity);
    Check(text.find(value) != std::string_view::npos);
  } else {
    Check(value.empty());
  }
  Check(ae::Unescape(text, sc).size() <= text.size());
  Dec64 number;
  (void)ae::ParseDecimal(text.substr(0, std::min<size_t>(24, text.size())), sc, number);
  Check(ae::SanSecondForm(text.substr(0, 16)).size() <= 17);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  FuzzReader(data, size);
  FuzzElements(data, size);
  return 0;
}
