// AcqEdiOrd: one vendor's approved POs written as an EDIFACT ORDERS
// interchange, one message per PO, each PO marked as sent once its message
// is written.
//
// Choices the interchange leaves to its writer, as this one makes them:
// - DTM+137 carries the day the interchange is prepared (the day it is
//   sent), the same day as UNB; a PO's order date is only set by the
//   marking that follows the message.
// - IMD: BAU author, BTI title, BEN edition, BPU publisher, BPD
//   publication date, from the PO line. A line holds no volume or part
//   designation, so BVP is never written.
// - PIA: IB the ISBN (its normal form), SRV the line's EAN/GTIN, IM the
//   ISMN, IS the ISSN, SA the vendor's product number, IN the library's
//   own number for the title, its bibliographic record number (bib#).
// - SANs are written with the qualifier 31B, in UNB and in NAD alike, in
//   their normal form (upper case, with the hyphen).
// - GIR: one set per item, numbered 01 up within the line, with at most
//   five pairs per segment (the segment's five identification
//   composites); an item with six continues in a second GIR of the same
//   set number.
// - A temporary barcode ("acq..." or "pw...", any case) is left out: the
//   vendor would otherwise label the copy with a number that is about to
//   change.
// - Data values lose control characters (a line break in a note becomes a
//   blank), are split into components first and escaped after, so a
//   release character never ends up separated from what it releases.
#include "acq/edi/AcqEdiOrd.h"

#include <map>

#include "acq/AcqUnit.h"
#include "acq/db/AcqDbExcept.h"
#include "acq/db/AcqDbGlobal.h"
#include "acq/edi/AcqEdifact.h"
#include "acq/edi/AcqOrderFile.h"
#include "host/muc/MucFilet.h"
#include "host/sys/FileIo.h"
#include "host/sys/Isbn.h"
#include "host/sys/Thread.h"

namespace acq::AcqEdiOrd {
namespace {

using AcqOrderFile::OrderItem;
using AcqOrderFile::OrderLine;
using AcqOrderFile::OrderPo;
using AcqOrderFile::Party;

constexpr int kMsgCannotOpenFile = 213;
constexpr int kMsgCodePage = 340;          // %1 the code page
constexpr int kMsgOneVendor = 47;
constexpr int kStrFileTitle = 48;
constexpr int kMsgNotWritten = 1780;       // %1 the reason

constexpr const char* kControlRefKey = "edifact_interchange_cntrl_ref";
constexpr const char* kSanQualifier = "31B";
constexpr size_t kImdWidth = 35, kImdParts = 2;
constexpr size_t kFtxWidth = 70, kFtxParts = 5;
constexpr size_t kGirPairs = 5;

bool testInterchanges = false;   // from the host symbol, Initialize to Terminate

// The syntax level letter of a Windows code page; 0 for one EDIFACT's
// character sets do not cover.
char SyntaxLevel(int codePage) {
  switch (codePage) {
    case 1250: return 'D';
    case 1251: return 'E';
    case 1252: return 'C';
    case 1253: return 'F';
    default: return 0;
  }
}

// ---- values ----------------------------------------------------------------------------

// A data value as it may travel: control characters become blanks, blanks
// at either end go.
std::string Clean(std::string_view text) {
  std::string out;
  for (char c : text) {
    const auto u = static_cast<unsigned char>(c);
    out += (u < 0x20 || u == 0x7F) ? ' ' : c;
  }
  const size_t first = out.find_first_not_of(' ');
  if (first == std::string::npos) return {};
  return out.substr(first, out.find_last_not_of(' ') - first + 1);
}

// The release character before each service character of the defaults.
std::string Escape(std::string_view value) {
  std::string out;
  for (char c : value) {
    if (c == '?' || c == ':' || c == '+' || c == '\'') out += '?';
    out += c;
  }
  return out;
}

// `text` cut into pieces of at most `width` characters (not bytes), at
// most `parts` of them (the rest is not sent), each escaped.
std::string Components(std::string_view text, size_t width, size_t parts) {
  std::vector<std::string> pieces(1);
  size_t chars = 0;
  for (char c : text) {
    const bool starts = (static_cast<unsigned char>(c) & 0xC0) != 0x80;
    if (starts && chars == width) {
      if (pieces.size() == parts) break;
      pieces.emplace_back();
      chars = 0;
    }
    pieces.back() += c;
    if (starts) ++chars;
  }
  std::string out;
  for (size_t i = 0; i < pieces.size(); ++i) out += (i ? ":" : "") + Escape(pieces[i]);
  return out;
}

// ---- parties ---------------------------------------------------------------------------

struct PartyId {
  std::string id;          // escaped
  std::string qualifier;
};

// The library at an address: its EAN, SAN, the customer number the vendor
// gave it, or the location code.
enum class IdKind { Ean, San, Customer, Own };

IdKind LibraryKind(const Party& address, const std::string& custNumber) {
  if (!Clean(address.ean).empty()) return IdKind::Ean;
  if (!Clean(address.san).empty()) return IdKind::San;
  if (!Clean(custNumber).empty()) return IdKind::Customer;
  return IdKind::Own;
}

IdKind VendorKind(const Party& vendor) {
  if (!Clean(vendor.ean).empty()) return IdKind::Ean;
  if (!Clean(vendor.san).empty()) return IdKind::San;
  return IdKind::Own;
}

// `kind`'s code for a party; `eanQualifier` differs between UNB (14) and
// NAD (9).
PartyId IdOf(IdKind kind, const Party& party, const std::string& custNumber,
             const std::string& own, const char* eanQualifier) {
  switch (kind) {
    case IdKind::Ean: return {Escape(Clean(party.ean)), eanQualifier};
    case IdKind::San: return {Escape(AcqEdifact::SanNormalForm(Clean(party.san))), kSanQualifier};
    case IdKind::Customer: return {Escape(Clean(custNumber)), "91"};
    case IdKind::Own: break;
  }
  return {Escape(Clean(own)), "92"};
}

// UNB's sender and recipient: both EANs when both have one, else both
// SANs when both have one, else each side its best.
std::pair<PartyId, PartyId> UnbParties(const OrderPo& po, const Party& vendor) {
  IdKind library = LibraryKind(po.billTo, po.custNumber);
  IdKind supplier = VendorKind(vendor);
  const bool bothEan = !Clean(po.billTo.ean).empty() && !Clean(vendor.ean).empty();
  const bool bothSan = !Clean(po.billTo.san).empty() && !Clean(vendor.san).empty();
  if (bothEan) library = supplier = IdKind::Ean;
  else if (bothSan) library = supplier = IdKind::San;
  return {IdOf(library, po.billTo, po.custNumber, po.location, "14"),
          IdOf(supplier, vendor, "", vendor.code, "14")};
}

// ---- one message -----------------------------------------------------------------------

class Message {
 public:
  void Add(std::string segment) { segments_.push_back(std::move(segment)); }
  // The segments, UNT last, each with its terminator.
  std::string Text(int number) const {
    std::string out;
    for (const std::string& s : segments_) out += s + "'";
    return out + "UNT+" + std::to_string(segments_.size() + 1) + "+" + std::to_string(number) +
           "'";
  }

 private:
  std::vector<std::string> segments_;   // UNH to CNT, without terminators
};

// NAD BY or DP for an address of the library (RFF+API after the
// customer-number form).
void AddLibraryParty(Message& m, const char* role, const Party& address, const OrderPo& po) {
  const IdKind kind = LibraryKind(address, po.custNumber);
  const PartyId id = IdOf(kind, address, po.custNumber, po.location, "9");
  m.Add(std::string("NAD+") + role + "+" + id.id + "::" + id.qualifier);
  if (kind == IdKind::Customer) m.Add("RFF+API:" + id.id);
}

bool IsTemporaryBarcode(std::string_view barcode) {
  auto startsWith = [&](std::string_view prefix) {
    if (barcode.size() < prefix.size()) return false;
    for (size_t i = 0; i < prefix.size(); ++i)
      if ((barcode[i] | 0x20) != prefix[i]) return false;
    return true;
  };
  return startsWith("acq") || startsWith("pw");
}

void AddItems(Message& m, const OrderLine& line) {
  int set = 0;
  for (const OrderItem& item : line.items) {
    ++set;
    std::vector<std::string> pairs;
    auto pair = [&](const std::string& value, const char* qualifier) {
      if (const std::string v = Clean(value); !v.empty()) pairs.push_back(Escape(v) + ":" + qualifier);
    };
    pair(std::to_string(item.item), "LCO");
    pair(item.location, "LLO");
    pair(item.collection, "LSQ");
    pair(item.itype, "LST");
    pair(item.callNumber, "LSM");
    if (!IsTemporaryBarcode(Clean(item.barcode))) pair(item.barcode, "LAC");
    const std::string number = (set < 10 ? "0" : "") + std::to_string(set);
    for (size_t first = 0; first < pairs.size(); first += kGirPairs) {
      std::string gir = "GIR+" + number;
      for (size_t i = first; i < pairs.size() && i < first + kGirPairs; ++i) gir += "+" + pairs[i];
      m.Add(std::move(gir));
    }
  }
}

void AddLine(Message& m, const OrderPo& po, const OrderLine& line, int lin) {
  const std::string isbn = _ProcessISBN(line.Column("isbn"));
  const std::string ean = Clean(line.Column("ean_gtin"));
  const std::string product = isbn.size() == 13 && isbn.compare(0, 3, "978") == 0 ? isbn : ean;
  m.Add("LIN+" + std::to_string(lin) + (product.empty() ? "" : "++" + Escape(product) + ":EN"));

  auto pia = [&](const char* function, const std::string& value, const char* type) {
    if (const std::string v = Clean(value); !v.empty())
      m.Add(std::string("PIA+") + function + "+" + Escape(v) + ":" + type);
  };
  pia("5", isbn, "IB");
  pia("5", ean, "SRV");
  pia("5", line.Column("ismn"), "IM");
  pia("5", line.Column("issn"), "IS");
  pia("1", line.Column("vendor_product_id"), "SA");
  pia("1", line.bib != 0 ? std::to_string(line.bib) : "", "IN");

  const std::pair<const char*, const char*> fields[] = {
      {"BAU", "author"}, {"BTI", "title"}, {"BEN", "edition"},
      {"BPU", "publisher"}, {"BPD", "publication_date"}};
  for (const auto& [code, column] : fields)
    if (const std::string text = Clean(line.Column(column)); !text.empty())
      m.Add(std::string("IMD+F+") + code + "+:::" + Components(text, kImdWidth, kImdParts));

  m.Add("QTY+21:" + std::to_string(line.items.size()));
  AddItems(m, line);
  if (const std::string note = Clean(line.Column("order_note")); !note.empty())
    m.Add("FTX+LIN+1++" + Components(note, kFtxWidth, kFtxParts));
  if (line.hasPrice) m.Add("PRI+AAB:" + LbDec64_StrFrom64(line.unitPrice, po.decimals));
  m.Add("RFF+LI:" + std::to_string(po.po) + "/" + std::to_string(line.line));

  if (!po.dropShip) return;
  // Items going elsewhere than the PO's ship-to address, by address.
  std::map<std::string, int> elsewhere;
  for (const OrderItem& item : line.items)
    if (const std::string to = Clean(item.shipTo); !to.empty() && to != po.shipTo.code)
      ++elsewhere[to];
  for (const auto& [address, count] : elsewhere) {
    m.Add("LOC+7+" + Escape(address) + "::92");
    m.Add("QTY+11:" + std::to_string(count));
  }
}

std::string OrderMessage(const OrderPo& po, const Party& vendor, DayNum date, int number) {
  Message m;
  m.Add("UNH+" + std::to_string(number) + "+ORDERS:D:96A:UN:EAN008");
  m.Add("BGM+220+" + Escape(Clean(po.number)) + "+9");
  m.Add("DTM+137:" + DbDabs_DateToCCYYMMDD(date) + ":102");
  AddLibraryParty(m, "BY", po.billTo, po);
  if (po.shipTo.found) {
    AddLibraryParty(m, "DP", po.shipTo, po);
  } else {
    m.Add("NAD+DP+" + Escape(Clean(po.location)) + "::92");
  }
  const IdKind supplier = VendorKind(vendor);
  const PartyId su = IdOf(supplier, vendor, "", vendor.code, "9");
  m.Add("NAD+SU+" + su.id + "::" + su.qualifier);
  m.Add("RFF+IA:" + Escape(vendor.code));
  if (const std::string currency = Clean(po.currency); !currency.empty())
    m.Add("CUX+2:" + Escape(currency) + ":9");
  int lin = 0;
  for (const OrderLine& line : po.lines) AddLine(m, po, line, ++lin);
  m.Add("UNS+S");
  m.Add("CNT+2:" + std::to_string(lin));
  return m.Text(number);
}

// ---- the run ---------------------------------------------------------------------------

// Everything read before the file is asked for; false when told why not.
bool Prepare(const std::vector<int32_t>& pos, const RunOptions& options, char& level,
             std::vector<OrderPo>& orders, Party& vendor) {
  if (!AcqOrderFile::CheckSelection(pos, kMsgOneVendor)) return false;
  const std::string codePage =
      options.codePage.empty() ? FIOA_WorkstationCodePage() : options.codePage;
  const int number = AcqOrderFile::AnsiCodePage(codePage);
  level = SyntaxLevel(number);
  if (level == 0) {
    AcqOrderFile::Tell(kMsgCodePage, number != 0 ? std::to_string(number) : codePage);
    return false;
  }
  if (!AcqOrderFile::LoadPos(pos, orders)) return false;
  return AcqOrderFile::LoadVendor(orders.front().vendor, vendor);
}

// Writes the interchange into `file`; false with `error` ("" when the
// failure was reported already).
bool WriteInterchange(HFIOA file, HWND active, const std::vector<OrderPo>& orders,
                      const Party& vendor, char level, int32_t reference, DayNum date,
                      MinuteOfDay time, bool test, std::string& error) {
  const auto [sender, recipient] = UnbParties(orders.front(), vendor);
  const std::string ref = std::to_string(reference);
  std::string head = "UNA:+.? 'UNB+UNO" + std::string(1, level) + ":3+" + sender.id + ":" +
                     sender.qualifier + "+" + recipient.id + ":" + recipient.qualifier + "+" +
                     DbDabs_DateToYYMMDD(date) + ":" + DbDabs_TimeToHHMM(time) + "+" + ref;
  if (test) head += "++++++1";
  if (!FIOA_WrStr(file, head + "'", &error)) return false;
  int messages = 0;
  for (const OrderPo& po : orders) {
    if (!FIOA_WrStr(file, OrderMessage(po, vendor, date, ++messages), &error)) return false;
    if (!AcqOrderFile::MarkSent(po.po)) {
      error.clear();
      return false;
    }
    AcqOrderFile::Deselect(active, po.po);
  }
  return FIOA_WrStr(file, "UNZ+" + std::to_string(messages) + "+" + ref + "'", &error);
}

}  // namespace

bool SendOrders(HWND active, const std::vector<int32_t>& pos,
                const std::function<bool(std::string& path)>& askPath,
                const RunOptions& options) {
  if (pos.empty()) return false;
  char level = 0;
  std::vector<OrderPo> orders;
  Party vendor;
  if (!Prepare(pos, options, level, orders, vendor)) return false;
  std::string path;
  if (!askPath(path)) return false;

  DayNum date = options.date;
  MinuteOfDay time = options.time;
  if (date == kNoDate) DbDabs_GetDateTime(date, time);
  int32_t reference = 0;
  DbMsg msg;
  if (const DbCode code =
          _DbGetNewKeyNoValidate(AcqDbGlobal::Session(), kControlRefKey, reference, msg);
      code != kDbOk) {
    AcqDbExcept::HandleDbError(msg, code);
    return false;
  }

  FioaFileHold file;
  std::string error, ignored;
  if (!file.Create(path, &error, options.codePage)) {
    (void)FIOA_Erase(path, &ignored);
    AcqOrderFile::Tell(kMsgCannotOpenFile);
    return false;
  }
  if (WriteInterchange(file.get(), active, orders, vendor, level, reference, date, time,
                       options.test, error) &&
      file.Close(&error)) {
    MucFilet_FileWritten(path);
    return true;
  }
  (void)file.Close(&ignored);
  (void)FIOA_Erase(path, &ignored);
  if (!error.empty()) AcqOrderFile::Tell(kMsgNotWritten, error);
  return false;
}

void EdifactOrdersCommand(HWND active) {
  RunOptions options;
  options.test = testInterchanges;
  (void)SendOrders(
      active, AcqOrderFile::PosOf(active),
      [](std::string& path) {
        return MucFilet_FileSaveAsBox(AcqOrderFile::Caption(kStrFileTitle), "orders.edi", path);
      },
      options);
}

bool TestInterchanges() { return testInterchanges; }

void Initialize() { testInterchanges = KtRTL_GetSymbol("KtTryEDI") == "ORDERS"; }
void Terminate() { testInterchanges = false; }

}  // namespace acq::AcqEdiOrd

ACQ_UNIT_BODY(AcqEdiOrd)
