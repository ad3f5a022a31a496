// AcqBisac: one vendor's approved POs written as a BISAC order file: fixed
// records of 80 characters, one after the other with no separator, in the
// workstation's code page ("*" for a character it lacks). The POs are
// marked as sent once the file is complete.
//
// The mapped columns: each marc_usage row of the module names a MARC tag
// and subfields; the MARC map turns them into a field name, and the field
// names a column of the PO line ("pub_place" and "pub_date" are its
// publication_place and publication_date). The field "isbn" is the ISBN
// column, "lccn" the LCCN column, "media_type" the code column; the first
// three other rows, in marc_ord order, are the three text columns. The
// demo library maps ISBN, LCCN, then title, author and publisher as the
// text columns, and no code column (its two characters stay blank).
// The text columns are upper-cased and lose "*", the code column loses "*"
// too: a "*" in the file then always means a character the code page
// could not carry.
#include "acq/edi/AcqBisac.h"

#include "acq/AcqUnit.h"
#include "acq/db/AcqDbGlobal.h"
#include "acq/edi/AcqOrderFile.h"
#include "host/muc/MucFilet.h"
#include "host/sys/Bucket.h"
#include "host/sys/FileIo.h"
#include "host/sys/Isbn.h"
#include "host/sys/LbStr.h"

namespace acq::AcqBisac {
namespace {

using AcqOrderFile::OrderLine;
using AcqOrderFile::OrderPo;
using AcqOrderFile::Party;

constexpr int kMsgCannotOpenFile = 213;
constexpr int kMsgOneVendor = 45;
constexpr int kStrFileTitle = 46;
constexpr int kMsgNotWritten = 1782;       // %1 the reason

constexpr size_t kRecordWidth = 80;
constexpr size_t kFirstTextPart = 57;      // characters of text 1 in "41"
constexpr size_t kSecondTextPart = 7;      // its characters 58 to 64 in "42"
constexpr char kDroppedChar = '*';

// ---- fields ----------------------------------------------------------------------------

void AppendUtf8(std::string& out, char32_t cp) {
  if (cp < 0x80) {
    out += static_cast<char>(cp);
  } else if (cp < 0x800) {
    out += static_cast<char>(0xC0 | (cp >> 6));
    out += static_cast<char>(0x80 | (cp & 0x3F));
  } else if (cp < 0x10000) {
    out += static_cast<char>(0xE0 | (cp >> 12));
    out += static_cast<char>(0x80 | ((cp >> 6) & 0x3F));
    out += static_cast<char>(0x80 | (cp & 0x3F));
  } else {
    out += static_cast<char>(0xF0 | (cp >> 18));
    out += static_cast<char>(0x80 | ((cp >> 12) & 0x3F));
    out += static_cast<char>(0x80 | ((cp >> 6) & 0x3F));
    out += static_cast<char>(0x80 | (cp & 0x3F));
  }
}

// Characters `first` (from 0) to `first + count` of UTF-8 `text`.
std::string Chars(std::string_view text, size_t first, size_t count) {
  std::string out;
  size_t n = 0;
  for (char32_t cp : Lb_CodePoints(text)) {
    if (n >= first && n < first + count) AppendUtf8(out, cp);
    ++n;
  }
  return out;
}

// Left-justified in `width` characters: blanks after, cut at `width`.
std::string Blank(std::string_view text, size_t width) {
  std::string out = Chars(text, 0, width);
  const size_t have = Lb_CharCount(out);
  return out + std::string(width - have, ' ');
}

// Right-justified in `width` characters with leading zeros; a longer value
// keeps its last `width` characters, as a counter that wrapped would.
std::string Zero(std::string_view text, size_t width) {
  if (text.size() >= width) return std::string(text.substr(text.size() - width));
  return std::string(width - text.size(), '0') + std::string(text);
}
std::string Zero(int64_t value, size_t width) { return Zero(std::to_string(value), width); }

// A SAN as the records carry it: no hyphens, upper case, zero-filled 7.
std::string San(std::string_view san) {
  std::string out;
  for (char c : san) {
    if (c == '-' || c == ' ') continue;
    out += (c >= 'a' && c <= 'z') ? static_cast<char>(c - 'a' + 'A') : c;
  }
  return Zero(out, 7);
}

// A SAN suffix: zero-filled 5, its first character then a blank.
std::string SanSuffix(std::string_view suffix) {
  std::string out = Zero(suffix, 5);
  out[0] = ' ';
  return out;
}

// Mapped text: upper case (Latin letters with their accents too), without
// the dropped character, control characters as blanks.
std::string MappedText(std::string_view text) {
  std::string out;
  for (char32_t cp : Lb_CodePoints(text)) {
    if (cp == static_cast<char32_t>(kDroppedChar)) continue;
    if (cp < 0x20 || cp == 0x7F) cp = ' ';
    if (cp >= 'a' && cp <= 'z') cp -= 0x20;
    else if (cp >= 0xE0 && cp <= 0xFE && cp != 0xF7) cp -= 0x20;
    else if (cp == 0xFF) cp = 0x178;
    AppendUtf8(out, cp);
  }
  return out;
}

std::string Upper(std::string_view text) {
  std::string out(text);
  for (char& c : out)
    if (c >= 'a' && c <= 'z') c = static_cast<char>(c - 'a' + 'A');
  return out;
}

// ---- the mapped columns ----------------------------------------------------------------

struct Mapping {
  std::string isbn, lccn, code;   // po_line column names, "" when not mapped
  std::string text[3];
};

std::string ColumnOfField(const std::string& field) {
  if (field == "pub_place") return "publication_place";
  if (field == "pub_date") return "publication_date";
  return field;
}

Mapping MapColumns() {
  Mapping m;
  const AcqDbGlobal::State& g = AcqDbGlobal::Globals();
  BktHandle usage = g.marcUsageBkt;
  if (usage == nullptr) return m;
  const int tagCol = _BktGetColNum(usage, "tag"), subCol = _BktGetColNum(usage, "subfields");
  size_t texts = 0;
  for (int r = 1; r <= _BktCountAll(usage); ++r) {
    const std::string tag = tagCol ? _ColGetStringW(usage, r, tagCol) : "";
    const std::string subfields = subCol ? _ColGetStringW(usage, r, subCol) : "";
    // The map's entry for the tag and subfields, else the first for the tag.
    const MarcMapEntry* entry = nullptr;
    for (const MarcMapEntry& e : g.marcMap) {
      if (e.tag != tag) continue;
      if (e.subfields == subfields) {
        entry = &e;
        break;
      }
      if (entry == nullptr) entry = &e;
    }
    if (entry == nullptr) continue;
    const std::string column = ColumnOfField(entry->field);
    if (entry->field == "isbn" && m.isbn.empty()) m.isbn = column;
    else if (entry->field == "lccn" && m.lccn.empty()) m.lccn = column;
    else if (entry->field == "media_type" && m.code.empty()) m.code = column;
    else if (entry->field != "isbn" && entry->field != "lccn" && entry->field != "media_type" &&
             texts < 3)
      m.text[texts++] = column;
  }
  return m;
}

// ---- records ---------------------------------------------------------------------------

class Records {
 public:
  // Adds a record of `code` with the fields after its sequence number.
  void Add(const char* code, const std::string& fields) {
    std::string record = code + Zero(++count_, 5) + fields;
    text_ += Blank(record, kRecordWidth);
  }
  int count() const { return count_; }
  const std::string& text() const { return text_; }

 private:
  int count_ = 0;
  std::string text_;
};

struct Totals {
  int64_t pos = 0, lines = 0, quantity = 0, lineRecords = 0;
};

void AddPo(Records& out, const OrderPo& po, const Mapping& map, const std::string& suffix,
           const std::string& today, Totals& totals) {
  const int first = out.count();
  const std::string key = Zero(po.po, 13);
  out.Add("10", key + San(po.billTo.san) + SanSuffix(suffix) + std::string(12, ' ') + today);
  int64_t quantity = 0;
  for (const OrderLine& line : po.lines) {
    const std::string text1 = map.text[0].empty() ? "" : MappedText(line.Column(map.text[0]));
    const std::string text2 = map.text[1].empty() ? "" : MappedText(line.Column(map.text[1]));
    const std::string text3 = map.text[2].empty() ? "" : MappedText(line.Column(map.text[2]));
    const bool continued = !text2.empty() || Lb_CharCount(text1) > kFirstTextPart;

    std::string isbn = map.isbn.empty() ? "" : _ProcessISBN(line.Column(map.isbn));
    if (isbn.size() == 13 && isbn.compare(0, 3, "978") == 0)
      isbn = _Convert13DigitEanInto10DigitIsbn(isbn);
    std::string price = line.hasPrice ? LbDec64_StrFrom64(line.unitPrice, po.decimals) : "0";
    std::erase(price, '.');
    const std::string lccn = map.lccn.empty() ? "" : _ProcessLCCN(line.Column(map.lccn));
    const int64_t ordered = static_cast<int64_t>(line.items.size());
    out.Add("40", key + (continued ? "Y" : "N") + Zero(line.line, 10) + Blank(isbn, 10) +
                      Zero(ordered, 5) + " " + Zero(price, 6) + std::string(5, ' ') +
                      Blank(lccn, 8) + std::string(12, ' '));

    std::string code = map.code.empty() ? "" : line.Column(map.code);
    std::erase(code, kDroppedChar);
    const size_t codeChars = Lb_CharCount(code);
    out.Add("41", key + (codeChars == 1 || codeChars == 2 ? Zero(code, 2) : "  ") + " " +
                      Chars(text1, 0, kFirstTextPart));
    if (continued)
      out.Add("42", key + std::string(10, ' ') +
                        Blank(Chars(text1, kFirstTextPart, kSecondTextPart), kSecondTextPart) +
                        Blank(text2, 23) + Blank(text3, 20));
    totals.lineRecords += continued ? 3 : 2;
    quantity += ordered;
  }
  const int64_t lines = static_cast<int64_t>(po.lines.size());
  // The PO's records, this "50" included.
  out.Add("50", key + Zero(out.count() - first + 1, 5) + Zero(lines, 10) + Zero(quantity, 10));
  totals.pos += 1;
  totals.lines += lines;
  totals.quantity += quantity;
}

// The whole file; false when a database failure was reported.
bool LayOut(const std::vector<OrderPo>& orders, const Party& vendor, const std::string& path,
            DayNum date, std::string& text) {
  const std::string today = DbDabs_DateToYYMMDD(date);
  Party library;
  if (!AcqOrderFile::DefaultBillTo(orders.front().location, library)) return false;
  const std::string name = path.substr(path.rfind('/') + 1);
  Records out;
  out.Add("00", San(library.san) + SanSuffix(library.sanSuffix) + Blank(library.name, 13) +
                    today + Blank(Upper(name), 22) + "F03" + San(vendor.san) +
                    SanSuffix(vendor.sanSuffix));
  const Mapping map = MapColumns();
  Totals totals;
  for (const OrderPo& po : orders) {
    std::string suffix;
    if (!AcqOrderFile::VendorSanSuffix(po.vendor, po.vendorContract, suffix)) return false;
    AddPo(out, po, map, suffix, today, totals);
  }
  out.Add("90", Zero(totals.lines, 13) + Zero(totals.pos, 5) + Zero(totals.quantity, 10) +
                    "00000" + Zero(totals.pos, 5) + "00000" + "00000" +
                    Zero(totals.lineRecords, 5) + Zero(totals.pos, 5) + "00000" + "00000" +
                    "00000");
  text = out.text();
  return true;
}

}  // namespace

bool SendBisac(HWND active, const std::vector<int32_t>& pos,
               const std::function<bool(std::string& path)>& askPath,
               const RunOptions& options) {
  if (pos.empty() || !AcqOrderFile::CheckSelection(pos, kMsgOneVendor)) return false;
  std::vector<OrderPo> orders;
  if (!AcqOrderFile::LoadPos(pos, orders)) return false;
  Party vendor;
  if (!AcqOrderFile::LoadVendor(orders.front().vendor, vendor)) return false;
  std::string path;
  if (!askPath(path)) return false;
  const DayNum date = options.date == kNoDate ? DbDabs_GetDate() : options.date;
  std::string text;
  if (!LayOut(orders, vendor, path, date, text)) return false;

  FioaFileHold file;
  std::string error, ignored;
  if (!file.Create(path, &error, options.codePage)) {
    (void)FIOA_Erase(path, &ignored);
    AcqOrderFile::Tell(kMsgCannotOpenFile);
    return false;
  }
  if (!FIOA_WrStr(file.get(), text, &error) || !file.Close(&error)) {
    (void)file.Close(&ignored);
    (void)FIOA_Erase(path, &ignored);
    AcqOrderFile::Tell(kMsgNotWritten, error);
    return false;
  }
  // The file is complete: each PO is marked on its own. A marking that
  // fails stops the run and takes the file back; those marked stay marked.
  for (const OrderPo& po : orders) {
    if (!AcqOrderFile::MarkSent(po.po)) {
      (void)FIOA_Erase(path, &ignored);
      return false;
    }
    AcqOrderFile::Deselect(active, po.po);
  }
  MucFilet_FileWritten(path);
  return true;
}

void BisacOrdersCommand(HWND active) {
  (void)SendBisac(
      active, AcqOrderFile::PosOf(active),
      [](std::string& path) {
        return MucFilet_FileSaveAsBox(AcqOrderFile::Caption(kStrFileTitle), "orders.bis", path);
      },
      RunOptions{});
}

}  // namespace acq::AcqBisac

ACQ_UNIT_EMPTY(AcqBisac)
