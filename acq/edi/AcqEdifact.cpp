// AcqEdifact: EDIFACT element extraction, party codes and exceptions.
// (Stubs until the reader lands.)
#include "acq/edi/AcqEdifact.h"

#include "acq/AcqUnit.h"

namespace acq::AcqEdifact {

ServiceChars ServiceChars::FromUna(std::string_view) { return {}; }
std::string ServiceChars::Una() const { return std::string(kDefaultUna); }
bool GetElement(std::string_view, const ServiceChars&, int, int, size_t, std::string& value) {
  value.clear();
  return false;
}
std::string Element(std::string_view, const ServiceChars&, int, int, size_t) { return {}; }
std::string_view Tag(std::string_view segment) { return segment.substr(0, 3); }
bool ParseDecimal(std::string_view, const ServiceChars&, Dec64&) { return false; }
std::string Unescape(std::string_view value, const ServiceChars&) { return std::string(value); }
int VendorKind(std::string_view) { return -1; }
int LocationKind(std::string_view) { return -1; }
std::string SanSecondForm(std::string_view san) { return std::string(san); }
std::string SanNormalForm(std::string_view san) { return std::string(san); }
Lookup FindVendor(int, std::string_view, int32_t& vendor) {
  vendor = 0;
  return {};
}
Lookup FindLocation(int, std::string_view, std::string& location) {
  location.clear();
  return {};
}
std::string MessageText(int, std::string_view, std::string_view) { return {}; }
ExceptionWriter::ExceptionWriter(BktHandle exceptions, int process,
                                 std::function<void(std::string_view)> status)
    : bkt_(exceptions), process_(process), status_(std::move(status)) {}
void ExceptionWriter::Write(int32_t, int32_t, int32_t, std::string_view, int, bool error) {
  (error ? errors_ : warnings_)++;
  if (error) failed_ = true;
}
void ExceptionWriter::Reset() { warnings_ = errors_ = 0, failed_ = false; }
BktHandle NewTableBucket(std::string_view, DbMsg&) { return nullptr; }

}  // namespace acq::AcqEdifact

ACQ_UNIT_EMPTY(AcqEdifact)
