// AcqOrderFile: the selection, reading and marking shared by the EDIFACT
// and BISAC order writers.
#include "acq/edi/AcqOrderFile.h"

#include <cstdlib>

#include "acq/db/AcqDb.h"
#include "acq/db/AcqDbBase.h"
#include "acq/db/AcqDbExcept.h"
#include "acq/db/AcqDbGen.h"
#include "acq/db/AcqDbGlobal.h"
#include "acq/frame/AcqBase.h"
#include "acq/print/AcqPPrint.h"
#include "host/db/PwDb.h"
#include "host/mr/MrFramework.h"
#include "host/muc/MucTools.h"
#include "host/sys/Bucket.h"
#include "host/sys/LbStr.h"

namespace acq::AcqOrderFile {
namespace {

constexpr int kMsgMissingBillTo = 4;       // %1 the location
constexpr int kMsgPoNotApproved = 346;     // %1 the PO number
constexpr int kMsgNothingOrdered = 1781;   // %1 the PO number
// Attempts of one PO's marking when another workstation's write meets it.
constexpr int kMarkAttempts = 10;

// Cells of a loaded row by column name; a column that is not there reads
// as empty or 0.
struct Row {
  BktHandle bkt;
  int row;
  bool Has(const char* column) const { return _BktGetColNum(bkt, column) != 0; }
  std::string Text(const char* column) const {
    const int col = _BktGetColNum(bkt, column);
    if (col == 0 || _ColIsNull(bkt, row, col)) return {};
    switch (_BktGetColType(bkt, col)) {
      case kColText: return _ColGetStringW(bkt, row, col);
      case kColDec64: return LbDec64_StrFrom64(_ColGetDec64(bkt, row, col));
      default: return std::to_string(_ColGetInt(bkt, row, col));
    }
  }
  int32_t Int(const char* column) const {
    const int col = _BktGetColNum(bkt, column);
    if (col == 0 || _ColIsNull(bkt, row, col)) return 0;
    switch (_BktGetColType(bkt, col)) {
      case kColText:
        return static_cast<int32_t>(std::strtol(_ColGetStringW(bkt, row, col).c_str(), nullptr, 10));
      case kColDec64: return static_cast<int32_t>(_ColGetDec64(bkt, row, col).raw / Dec64::kOne);
      default: return _ColGetInt(bkt, row, col);
    }
  }
};

bool Report(const DbMsg& msg, DbCode code) {
  if (code == kDbOk) return true;
  AcqDbExcept::HandleDbError(msg, code);
  return false;
}

bool Load(std::string_view table, const std::string& where, std::string_view orderBy,
          BucketHold& rows) {
  DbMsg msg;
  return Report(msg, AcqDb::LoadTable(msg, AcqDb::ClearChanges::Yes, orderBy, where, "*", table,
                                      rows.get()));
}

bool Count(const std::string& sql, int32_t& value) {
  DbMsg msg;
  value = 0;
  return Report(msg, AcqDb::ExecSP(msg, &value, sizeof value, "", sql));
}

std::string Quoted(std::string_view text) {
  std::string out = "'";
  for (char c : text) {
    out += c;
    if (c == '\'') out += '\'';
  }
  return out + "'";
}

// The text a procedure answers with ("" for NULL); false when the failure
// was reported.
bool ProcedureText(std::string_view procedure, const std::string& params, std::string& out) {
  DbMsg msg;
  char buffer[64] = {};   // the answers are codes of at most 30 characters
  if (!Report(msg, AcqDb::ExecSP(msg, buffer, sizeof buffer, params, procedure))) return false;
  out.assign(buffer);
  return true;
}

Party AddressParty(const Row& a) {
  Party p;
  p.found = true;
  p.code = a.Text("address_code");
  p.name = a.Text("name");
  p.ean = a.Text("ean_gln");
  p.san = a.Text("san");
  p.sanSuffix = a.Text("san_suffix");
  return p;
}

// The address `code` of `location`, else the one flagged `defaultFlag`
// (which must also carry `kindFlag`, the use it is the default for).
bool LocationAddress(const std::string& location, const std::string& code,
                     const char* defaultFlag, const char* kindFlag, Party& out) {
  out = Party{};
  BucketHold rows;
  if (!Load("address", "location=" + Quoted(location), "address_code", rows)) return false;
  for (int r = 1; r <= _BktCountAll(*rows); ++r) {
    const Row a{*rows, r};
    if (!code.empty() && a.Text("address_code") == code) {
      out = AddressParty(a);
      return true;
    }
  }
  for (int r = 1; r <= _BktCountAll(*rows); ++r) {
    const Row a{*rows, r};
    if (a.Int(defaultFlag) != 0 && a.Int(kindFlag) != 0) {
      out = AddressParty(a);
      break;
    }
  }
  return true;
}

bool LoadItems(int32_t po, std::vector<OrderLine>& lines) {
  const std::string key = std::to_string(po);
  BucketHold items, copies;
  if (!Load("po_line_item", "po#=" + key + " and cancel_date IS NULL", "line, item", items) ||
      !Load("item", "item# in (select item# from po_line_item where po#=" + key + ")", "item#",
            copies))
    return false;
  std::map<int32_t, int> copyRow;   // item# -> row of `copies`
  for (int r = 1; r <= _BktCountAll(*copies); ++r) copyRow[Row{*copies, r}.Int("item#")] = r;
  for (int r = 1; r <= _BktCountAll(*items); ++r) {
    const Row i{*items, r};
    OrderItem item;
    item.item = i.Int("item");
    item.location = i.Text("location");
    item.collection = i.Text("collection");
    item.itype = i.Text("itype");
    item.callNumber = i.Text("call_number");
    item.shipTo = i.Text("ship_to_address");
    if (const auto c = copyRow.find(i.Int("item#")); c != copyRow.end()) {
      const Row copy{*copies, c->second};
      item.barcode = copy.Text("ibarcode");
      // The catalogue's own call number, built from its parts, wins.
      if (std::string reconstructed = copy.Text("call_reconst"); !reconstructed.empty())
        item.callNumber = std::move(reconstructed);
    }
    const int32_t line = i.Int("line");
    for (OrderLine& l : lines)
      if (l.line == line) l.items.push_back(std::move(item));
  }
  return true;
}

}  // namespace

const std::string& OrderLine::Column(const std::string& name) const {
  static const std::string kNone;
  const auto it = columns.find(name);
  return it == columns.end() ? kNone : it->second;
}

std::vector<int32_t> PosOf(HWND active) { return AcqPPrint::SelectedPos(active); }

bool CheckSelection(const std::vector<int32_t>& pos, int vendorMessage) {
  if (pos.empty()) return false;
  std::string keys;
  for (int32_t po : pos) keys += (keys.empty() ? "" : ",") + std::to_string(po);
  int32_t vendors = 0;
  if (!Count("select count(distinct vendor#) from po where po# in(" + keys + ")", vendors))
    return false;
  if (vendors != 1) {
    Tell(vendorMessage);
    return false;
  }
  for (int32_t po : pos) {
    BucketHold rows;
    if (!Load("po", "po#=" + std::to_string(po), "", rows)) return false;
    if (_BktCountAll(*rows) == 0) continue;
    const Row p{*rows, 1};
    int32_t unapproved = 0;
    if (!Count("select count(*) from po_line_item where po#=" + std::to_string(po) +
                   " and approve_date IS NULL and cancel_date IS NULL",
               unapproved))
      return false;
    if (unapproved != 0) {
      const std::string number = p.Text("po_number");
      Tell(kMsgPoNotApproved, number.empty() ? std::to_string(po) : number);
      return false;
    }
    Party billTo;
    if (!DefaultBillTo(p.Text("location"), billTo)) return false;
    if (!billTo.found) {
      Tell(kMsgMissingBillTo, p.Text("location"));
      return false;
    }
  }
  return true;
}

bool DefaultBillTo(const std::string& location, Party& out) {
  return LocationAddress(location, "", "default_bill_to", "bill_to", out);
}

bool LoadPo(int32_t po, OrderPo& out) {
  out = OrderPo{};
  out.po = po;
  out.number = std::to_string(po);   // until its row says otherwise
  BucketHold rows;
  if (!Load("po", "po#=" + std::to_string(po), "", rows)) return false;
  if (_BktCountAll(*rows) == 0) return true;
  const Row p{*rows, 1};
  if (std::string number = p.Text("po_number"); !number.empty()) out.number = std::move(number);
  out.vendor = p.Int("vendor#");
  out.vendorContract = p.Text("vendor_contract");
  out.location = p.Text("location");
  out.dropShip = p.Int("drop_ship") != 0;
  out.currency = p.Text("currency");
  if (out.currency.empty()) out.currency = AcqDbGlobal::Globals().params.base_currency;
  // Without any currency the site's money precision holds.
  out.decimals = AcqDbGlobal::Globals().params.decimal_digits;
  DbMsg msg;
  if (!out.currency.empty() && !AcqDbGen::GetCurrencyFormat(msg, out.currency, out.decimals))
    return false;
  if (!LocationAddress(out.location, p.Text("bill_to_address"), "default_bill_to", "bill_to",
                       out.billTo) ||
      !LocationAddress(out.location, p.Text("ship_to_address"), "default_ship_to", "ship_to",
                       out.shipTo))
    return false;
  if (!ProcedureText("get_cust_number", std::to_string(out.vendor) + "," + Quoted(out.location),
                     out.custNumber))
    return false;

  BucketHold lines;
  if (!Load("po_line", "po#=" + std::to_string(po), "line", lines)) return false;
  for (int r = 1; r <= _BktCountAll(*lines); ++r) {
    const Row l{*lines, r};
    OrderLine line;
    line.line = l.Int("line");
    line.bib = l.Int("bib#");
    for (int col = 1; col <= _BktGetNCols(*lines); ++col) {
      const std::string name = _BktGetColName(*lines, col);
      line.columns[name] = l.Text(name.c_str());
    }
    const int price = _BktGetColNum(*lines, "unit_price");
    if (price != 0 && !_ColIsNull(*lines, r, price) &&
        _BktGetColType(*lines, price) == kColDec64) {
      line.hasPrice = true;
      line.unitPrice = _ColGetDec64(*lines, r, price);
    }
    out.lines.push_back(std::move(line));
  }
  if (!LoadItems(po, out.lines)) return false;
  // A line whose every item was cancelled orders nothing.
  std::erase_if(out.lines, [](const OrderLine& l) { return l.items.empty(); });
  return true;
}

bool LoadPos(const std::vector<int32_t>& pos, std::vector<OrderPo>& out) {
  for (int32_t key : pos) {
    OrderPo po;
    if (!LoadPo(key, po)) return false;
    if (po.lines.empty()) {
      Tell(kMsgNothingOrdered, po.number);
      return false;
    }
    out.push_back(std::move(po));
  }
  return true;
}

bool VendorSanSuffix(int32_t vendor, const std::string& contract, std::string& suffix) {
  return ProcedureText("get_vendor_san_suffix", std::to_string(vendor) + "," + Quoted(contract),
                       suffix);
}

bool LoadVendor(int32_t vendor, Party& out) {
  out = Party{};
  BucketHold rows;
  if (!Load("vendor", "vendor#=" + std::to_string(vendor), "", rows)) return false;
  if (_BktCountAll(*rows) == 0) return true;
  const Row v{*rows, 1};
  out.found = true;
  out.code = std::to_string(vendor);
  out.name = v.Text("name");
  out.ean = v.Text("ean_gln");
  out.san = v.Text("san");
  out.sanSuffix = v.Text("san_suffix");
  return true;
}

bool MarkSent(int32_t po) {
  const DbCode code = AcqDbBase::SaveWithCodeRetry(
      kMarkAttempts,
      [&](DbMsg& msg) {
        int32_t marked = 0;
        return AcqDb::ExecSP(msg, &marked, sizeof marked, std::to_string(po), "print_po_update_db");
      },
      [] { return true; });
  return code == kDbOk;
}

void Deselect(HWND active, int32_t po) {
  HLISTER lister = MrLister_FromHwnd(active);
  if (lister == nullptr) return;
  BktHandle rows = MrLister_Rows(lister);
  const int col = _BktGetColNum(rows, "po#");
  if (col == 0) return;
  std::vector<int> keep;
  for (int row : MrLister_Selection(lister))
    if (_ColGetInt(rows, row, col) != po) keep.push_back(row);
  MrLister_SetSelection(lister, keep);
}

int AnsiCodePage(std::string_view name) {
  std::string upper;
  for (char c : name) upper += (c >= 'a' && c <= 'z') ? static_cast<char>(c - 'a' + 'A') : c;
  std::string_view digits = upper;
  for (std::string_view prefix : {"WINDOWS-", "CP"})
    if (digits.substr(0, prefix.size()) == prefix) {
      digits.remove_prefix(prefix.size());
      break;
    }
  if (digits.empty() || digits.size() > 5) return 0;
  int number = 0;
  for (char c : digits) {
    if (c < '0' || c > '9') return 0;
    number = number * 10 + (c - '0');
  }
  return number;
}

void Tell(int id, std::string_view arg) {
  MucTools_MsgBoxCap(PwMucBase_hwndClient, Lb_FormatMessage(AcqBase::LoadStr(id), arg),
                     MB_OK | MB_ICONWARNING);
}

std::string Caption(int id) {
  std::string s = AcqBase::LoadStr(id);
  if (const size_t bar = s.find('|'); bar != std::string::npos) s.resize(bar);
  return s;
}

}  // namespace acq::AcqOrderFile
