// AcqPo: what the PO window's files share: messages, SQL literals, money
// as the window shows it, cells by column name, and the rules of the PO's
// item creation.
#include <algorithm>
#include <optional>

#include "acq/db/AcqDb.h"
#include "acq/db/AcqDbExcept.h"
#include "acq/db/AcqDbGlobal.h"
#include "acq/frame/AcqBase.h"
#include "acq/po/AcqPoParts.h"
#include "host/muc/MucTools.h"
#include "host/sys/LbStr.h"

namespace acq::AcqPo::parts {

int Tell(HWND owner, int id, unsigned flags, std::string_view a1, std::string_view a2) {
  return MucTools_MsgBoxCap(owner, Lb_FormatMessage(AcqBase::LoadStr(id), a1, a2), flags);
}

bool Ask(HWND owner, int id, std::string_view a1, std::string_view a2) {
  return MucTools_MsgBoxCapYNbool(owner, Lb_FormatMessage(AcqBase::LoadStr(id), a1, a2));
}

std::string Quote(std::string_view text) {
  std::string out;
  // Room for every character doubled and both quotes: it always fits.
  (void)_DbQuoteAppend(out, static_cast<int>(2 * text.size() + 2), text);
  return out;
}

DayNum Today() { return DbDabs_GetDate(); }

std::string PoCaption(std::string_view number) {
  std::string caption = Lb_FormatMessage(AcqBase::LoadStrText(kMsgPoFragment), number);
  while (!caption.empty() && caption.back() == ' ') caption.pop_back();
  return caption;
}

std::string Money(Dec64 amount) { return LbDec64_StrFrom64(amount, DbDabs_QueryMoneyFmt(0)); }

int MoneyDigits() { return AcqDbGlobal::Globals().params.decimal_digits; }

bool FitsMoneyDigits(Dec64 amount) {
  Dec64 rounded = amount;
  return LbDec64_Round64(rounded, std::clamp(MoneyDigits(), 0, Dec64::kScale)) == DecStatus::Ok &&
         rounded == amount;
}

bool ParseWhole(std::string_view text, int64_t& value) {
  size_t b = text.find_first_not_of(' ');
  size_t e = text.find_last_not_of(' ');
  if (b == std::string_view::npos) return false;
  std::string_view t = text.substr(b, e - b + 1);
  size_t i = (t[0] == '-' || t[0] == '+') ? 1 : 0;
  if (i == t.size() || t.size() > 10) return false;
  for (size_t k = i; k < t.size(); ++k)
    if (t[k] < '0' || t[k] > '9') return false;
  value = std::stoll(std::string(t));
  return true;
}

std::optional<int64_t> WholeOf(BktHandle bkt, int row, std::string_view column) {
  const int col = _BktGetColNum(bkt, column);
  if (col == 0 || _ColIsNull(bkt, row, col)) return std::nullopt;
  switch (_BktGetColType(bkt, col)) {
    case kColByte:
    case kColInt16:
    case kColInt32: {
      int64_t v = 0;
      const int type = _BktGetColType(bkt, col);
      _ColGetScalar(bkt, row, col, v, type == kColInt32 ? 3 : type == kColInt16 ? 1 : 0);
      return v;
    }
    case kColDec64: return _ColGetDec64(bkt, row, col).raw / Dec64::kOne;
    case kColText: {
      int64_t v = 0;
      return ParseWhole(_ColGetStringW(bkt, row, col), v) ? std::optional<int64_t>(v)
                                                          : std::nullopt;
    }
    default: return std::nullopt;
  }
}

std::optional<Dec64> DecOf(BktHandle bkt, int row, std::string_view column) {
  const int col = _BktGetColNum(bkt, column);
  if (col == 0 || _ColIsNull(bkt, row, col)) return std::nullopt;
  if (_BktGetColType(bkt, col) == kColDec64) return _ColGetDec64(bkt, row, col);
  const auto whole = WholeOf(bkt, row, column);
  return whole ? std::optional<Dec64>(Dec64::FromInt(*whole)) : std::nullopt;
}

std::string TextOf(BktHandle bkt, int row, std::string_view column) {
  const int col = _BktGetColNum(bkt, column);
  if (col == 0 || _ColIsNull(bkt, row, col)) return {};
  switch (_BktGetColType(bkt, col)) {
    case kColText: return _ColGetStringW(bkt, row, col);
    case kColDec64: return LbDec64_StrFrom64(_ColGetDec64(bkt, row, col));
    case kColOpaque: return {};
    default: return std::to_string(WholeOf(bkt, row, column).value_or(0));
  }
}

bool ColumnChanged(BktHandle record, std::string_view column) {
  const int col = _BktGetColNum(record, column);
  if (col == 0) return false;
  BucketHold asRead(_BktRowAsRead(record, 1));
  return *asRead == nullptr || _ColCompare(record, 1, col, *asRead, 1, col) != 0;
}

std::string TemplateCaption(int dialog) {
  const std::optional<DialogTemplate> t = LoadDialogTemplate(AcqBase::ResourceInstance(), dialog);
  return t ? t->caption : std::string();
}

ItemCreationNeeds NeedsOf(int64_t itemCreation) {
  ItemCreationNeeds n;
  switch (itemCreation) {
    case 0: case 1: n.mediaType = n.collection = true; break;              // copies
    case 2: case 3: n.collection = n.itemType = true; break;               // items
    case 4: case 5: n.mediaType = n.collection = n.itemType = true; break;  // both
    default: break;                                                        // 6: none
  }
  return n;
}

bool RowExists(std::string_view table, std::string_view column, const std::string& where,
               bool& exists) {
  exists = false;
  BucketHold rows;
  DbMsg msg;
  if (DbCode code = AcqDb::LoadTable(msg, AcqDb::ClearChanges::Yes, "", where, column, table,
                                     rows.get());
      code != kDbOk) {
    AcqDbExcept::HandleDbError(msg, code);
    return false;
  }
  exists = _BktCountAll(*rows) > 0;
  return true;
}

}  // namespace acq::AcqPo::parts
