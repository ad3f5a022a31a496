// AcqReportTable: the text picture of a report list, its CSV file and its
// printout.
#include "acq/print/AcqReportTable.h"

#include <algorithm>
#include <map>

#include "acq/budget/AcqFundCtrl.h"
#include "acq/frame/AcqBase.h"
#include "host/db/DbDabs.h"
#include "host/sys/FileIo.h"
#include "host/sys/LbStr.h"

namespace acq::AcqReportTable {
namespace {

constexpr int kStrPage = 2006, kStrOf = 2007, kStrTotal = 2008, kStrTotalOf = 2009,
              kStrTotalAmount = 2010, kStrRows = 2019;

std::string Text(int id) { return AcqBase::LoadStrText(id); }

// A column that is added up in the totals: money, and the counts of copies
// and statements.
bool Summed(const AcqDbReport::ReportColumn& c) {
  return c.format == "money" || c.name == "item_count" || c.name == "statement_count";
}

// Sums of the summed columns of one group of rows, exact; false on overflow.
struct Sums {
  std::vector<Dec64> money;
  std::vector<int64_t> counts;
};

bool AddInto(Sums& sums, BktHandle rows, int row, const std::vector<int>& cols) {
  sums.money.resize(cols.size());
  sums.counts.resize(cols.size());
  for (size_t c = 0; c < cols.size(); ++c) {
    if (cols[c] == 0 || _ColIsNull(rows, row, cols[c])) continue;
    if (_BktGetColType(rows, cols[c]) == kColDec64) {
      if (LbDec64_Add64(sums.money[c], _ColGetDec64(rows, row, cols[c]), sums.money[c]) !=
          DecStatus::Ok)
        return false;
    } else {
      sums.counts[c] += _ColGetInt(rows, row, cols[c]);
    }
  }
  return true;
}

// A totals row: `label` in the first column, the sums under their columns.
std::vector<std::string> SumsRow(const std::string& label, const Sums& sums, BktHandle rows,
                                 const std::vector<int>& cols,
                                 const std::vector<AcqDbReport::ReportColumn>& columns) {
  std::vector<std::string> cells(columns.size());
  if (!cells.empty()) cells[0] = label;
  for (size_t c = 0; c < columns.size() && c < sums.money.size(); ++c) {
    if (c == 0 || cols[c] == 0 || !Summed(columns[c])) continue;
    cells[c] = _BktGetColType(rows, cols[c]) == kColDec64
                   ? (columns[c].format == "money"
                          ? LbDec64_StrFrom64(sums.money[c], DbDabs_QueryMoneyFmt(0))
                          : LbDec64_StrFrom64(sums.money[c]))
                   : std::to_string(sums.counts[c]);
  }
  return cells;
}

std::string Plain(Dec64 v) { return LbDec64_StrFrom64(v); }

// The budget status totals row and its labelled lines.
bool AddBudgetStatusTotals(BktHandle rows, const std::vector<AcqDbReport::ReportColumn>& columns,
                           Table& table) {
  AcqReportTotals::Totals t;
  if (!BudgetStatusTotals(rows, t)) return false;
  const auto money = [](Dec64 v) { return LbDec64_StrFrom64(v, DbDabs_QueryMoneyFmt(0)); };
  const std::pair<const char*, std::string> values[] = {
      {"amount", money(t.amount)},
      {"on_order", money(t.on_order)},
      {"spent", money(t.spent)},
      {"available", money(t.available)},
      {"unspent", money(t.unspent)},
      {"percent_on_order", Plain(t.percent_on_order)},
      {"percent_spent", Plain(t.percent_spent)},
      {"percent_available", Plain(t.percent_available)},
      {"percent_unspent", Plain(t.percent_unspent)},
  };
  std::vector<std::string> cells(columns.size());
  if (!cells.empty()) cells[0] = Text(kStrTotal);
  for (size_t c = 1; c < columns.size(); ++c)
    for (const auto& [name, text] : values)
      if (columns[c].name == name) cells[c] = text;
  table.totals.push_back(std::move(cells));
  for (int n = 0; n < 9; ++n) table.summary.push_back(Text(kStrTotalAmount + n) + ": " +
                                                      values[n].second);
  return true;
}

}  // namespace

const char* ViewOf(ReportKind kind) {
  switch (kind) {
    case ReportKind::BudgetStatus: return "acq_budget_status";
    case ReportKind::BudgetCodes: return "acq_budget_codes";
    case ReportKind::PoLinesByVendor: return "acq_po_lines_by_vendor";
    case ReportKind::VendorContracts: return "acq_vendor_contracts";
    case ReportKind::TaxDetail: return "acq_tax_detail";
    case ReportKind::TaxSummary: return "acq_tax_summary";
  }
  return "";
}

bool ListsBudgets(ReportKind kind) {
  return kind == ReportKind::BudgetStatus || kind == ReportKind::BudgetCodes;
}

bool BudgetStatusTotals(BktHandle rows, AcqReportTotals::Totals& totals) {
  totals = {};
  const int amount = _BktGetColNum(rows, "amount"), onOrder = _BktGetColNum(rows, "on_order"),
            spent = _BktGetColNum(rows, "spent"), available = _BktGetColNum(rows, "available"),
            unspent = _BktGetColNum(rows, "unspent");
  if (amount == 0 || onOrder == 0 || spent == 0 || available == 0 || unspent == 0) return false;
  for (int row = 1; row <= _BktCountAll(rows); ++row) {
    AcqReportTotals::Totals r;
    r.amount = _ColGetDec64(rows, row, amount);
    r.on_order = _ColGetDec64(rows, row, onOrder);
    r.spent = _ColGetDec64(rows, row, spent);
    r.available = _ColGetDec64(rows, row, available);
    r.unspent = _ColGetDec64(rows, row, unspent);
    if (!AcqReportTotals::AddRow(totals, r)) return false;
  }
  return AcqReportTotals::ComputePercentages(totals);
}

std::string CellText(BktHandle rows, int row, int col, std::string_view format) {
  if (col == 0 || _ColIsNull(rows, row, col)) return {};
  switch (_BktGetColType(rows, col)) {
    case kColByte:
    case kColInt16:
    case kColInt32: {
      const int32_t v = _ColGetInt(rows, row, col);
      if (format == "date") return DbDabs_DateToStr(static_cast<DayNum>(v));
      if (format == "bool") return v != 0 ? "Yes" : "No";
      return std::to_string(v);
    }
    case kColDec64: {
      const Dec64 v = _ColGetDec64(rows, row, col);
      return format == "money" ? LbDec64_StrFrom64(v, DbDabs_QueryMoneyFmt(0)) : Plain(v);
    }
    case kColText: return _ColGetStringW(rows, row, col);
    default: return {};
  }
}

bool BuildTable(ReportKind kind, BktHandle source,
                const std::vector<AcqDbReport::ReportColumn>& columns, const std::string& title,
                Table& table) {
  table = Table{};
  table.title = title;
  BucketHold rows(_BktDupe(source));
  if (ListsBudgets(kind)) AcqFundCtrl::FilterBudgetsForUser(*rows);
  std::vector<int> cols;
  for (const auto& c : columns) {
    table.headings.push_back(c.heading);
    table.widths.push_back(c.width);
    cols.push_back(_BktGetColNum(*rows, c.name));
    const int type = cols.back() == 0 ? kColText : _BktGetColType(*rows, cols.back());
    table.numeric.push_back(c.format != "date" && type != kColText);
  }
  const int count = _BktCountAll(*rows);
  std::vector<int> order(static_cast<size_t>(count));
  for (int r = 0; r < count; ++r) order[static_cast<size_t>(r)] = r + 1;

  // The PO lines come together by vendor, whatever the list is sorted on.
  const int vendorCol = kind == ReportKind::PoLinesByVendor ? _BktGetColNum(*rows, "vendor#") : 0;
  const int vendorName = _BktGetColNum(*rows, "vendor_name");
  if (vendorCol != 0) {
    std::stable_sort(order.begin(), order.end(), [&](int a, int b) {
      const std::string na = _ColGetStringW(*rows, a, vendorName),
                        nb = _ColGetStringW(*rows, b, vendorName);
      if (na != nb) return na < nb;
      return _ColGetInt(*rows, a, vendorCol) < _ColGetInt(*rows, b, vendorCol);
    });
  }
  std::vector<int> summed(cols.size());
  for (size_t c = 0; c < cols.size(); ++c) summed[c] = Summed(columns[c]) ? cols[c] : 0;

  bool exact = true;
  Sums group;
  const auto closeGroup = [&](int lastRow) {
    table.rows.push_back(SumsRow(Lb_FormatMessage(Text(kStrTotalOf),
                                                  _ColGetStringW(*rows, lastRow, vendorName)),
                                 group, *rows, summed, columns));
    group = Sums{};
  };
  // Totals per currency where the rows carry one (amounts of different
  // currencies are never added together).
  const int currencyCol = kind == ReportKind::BudgetStatus || kind == ReportKind::BudgetCodes ||
                                  kind == ReportKind::VendorContracts
                              ? 0
                              : _BktGetColNum(*rows, "currency");
  std::map<std::string, Sums> byCurrency;
  for (size_t n = 0; n < order.size(); ++n) {
    const int row = order[n];
    std::vector<std::string> cells;
    for (size_t c = 0; c < columns.size(); ++c)
      cells.push_back(CellText(*rows, row, cols[c], columns[c].format));
    table.rows.push_back(std::move(cells));
    const std::string currency = currencyCol ? _ColGetStringW(*rows, row, currencyCol) : "";
    exact = AddInto(byCurrency[currency], *rows, row, summed) && exact;
    if (vendorCol != 0) {
      exact = AddInto(group, *rows, row, summed) && exact;
      if (n + 1 == order.size() ||
          _ColGetInt(*rows, order[n + 1], vendorCol) != _ColGetInt(*rows, row, vendorCol))
        closeGroup(row);
    }
  }
  if (kind == ReportKind::BudgetStatus) {
    exact = AddBudgetStatusTotals(*rows, columns, table) && exact;
  } else if (std::any_of(summed.begin(), summed.end(), [](int c) { return c != 0; })) {
    for (const auto& [currency, sums] : byCurrency) {
      table.totals.push_back(SumsRow(currency.empty()
                                         ? Text(kStrTotal)
                                         : Lb_FormatMessage(Text(kStrTotalOf), currency),
                                     sums, *rows, summed, columns));
    }
  }
  table.summary.push_back(Lb_FormatMessage(Text(kStrRows), std::to_string(count)));
  return exact;
}

std::string CsvRecord(const std::vector<std::string>& cells) {
  std::string out;
  for (size_t n = 0; n < cells.size(); ++n) {
    if (n > 0) out += ',';
    const std::string& cell = cells[n];
    if (cell.find_first_of(",\"\r\n") == std::string::npos) {
      out += cell;
      continue;
    }
    out += '"';
    for (char c : cell) {
      if (c == '"') out += '"';
      out += c;
    }
    out += '"';
  }
  return out;
}

bool WriteCsv(const std::string& path, const Table& table, std::string& error) {
  FioaFileHold file;
  if (!file.Create(path, &error, "UTF-8")) return false;
  bool ok = true;
  const auto record = [&](const std::vector<std::string>& cells) {
    ok = ok && FIOA_WrStr(file.get(), CsvRecord(cells), &error) && FIOA_WrLn(file.get(), &error);
  };
  record(table.headings);
  for (const auto& row : table.rows) record(row);
  for (const auto& row : table.totals) record(row);
  for (const std::string& line : table.summary) record({line});
  ok = file.Close(&error) && ok;
  if (!ok) {
    std::string ignored;
    (void)FIOA_Erase(path, &ignored);
  }
  return ok;
}

MucPrintCode PrintTable(std::string_view printer, const Table& table, std::string& error,
                        std::string* outputPath) {
  MucPrintJobHold job;
  MucPrintCode code = MucPrint_OpenPrinter(printer, MucPrint_QueryPageSetup(), job.out(), &error);
  if (code != MUCPRINT_OK) return code;
  // Each column spans its share of the line, by the widths the list gives.
  const size_t n = std::max<size_t>(1, table.headings.size());
  std::vector<int> edges{0};
  int64_t all = 0;
  for (size_t c = 0; c < n; ++c) all += c < table.widths.size() ? table.widths[c] : 1;
  int64_t sofar = 0;
  for (size_t c = 0; c < n; ++c) {
    sofar += c < table.widths.size() ? table.widths[c] : 1;
    edges.push_back(static_cast<int>(sofar * 1000 / all));
  }
  const auto cells = [&](const std::vector<std::string>& texts, MucPrintStyle style) {
    std::vector<MucPrintCell> out;
    for (size_t c = 0; c < n; ++c) {
      const bool right = c < table.numeric.size() && table.numeric[c];
      out.push_back(MucPrintCell{c < texts.size() ? texts[c] : "", edges[c], edges[c + 1],
                                 right ? MUCPRINT_RIGHT : MUCPRINT_LEFT, style});
    }
    return out;
  };
  code = MucPrint_StartPrint(job.get(), table.title);
  MucPrint_SetPageWords(job.get(), Text(kStrPage), Text(kStrOf));
  if (code == MUCPRINT_OK) code = MucPrint_StartDocument(job.get(), table.title);
  const auto headings = cells(table.headings, MUCPRINT_BOLD);
  if (code == MUCPRINT_OK) code = MucPrint_PrintCells(job.get(), headings);
  if (code == MUCPRINT_OK) code = MucPrint_SetRunningHeading(job.get(), headings);
  for (size_t r = 0; code == MUCPRINT_OK && r < table.rows.size(); ++r)
    code = MucPrint_PrintCells(job.get(), cells(table.rows[r], MUCPRINT_REGULAR));
  if (code == MUCPRINT_OK) code = MucPrint_SetRunningHeading(job.get(), {});
  if (code == MUCPRINT_OK) code = MucPrint_PrintRule(job.get(), '-');
  for (size_t r = 0; code == MUCPRINT_OK && r < table.totals.size(); ++r)
    code = MucPrint_PrintCells(job.get(), cells(table.totals[r], MUCPRINT_BOLD));
  for (size_t r = 0; code == MUCPRINT_OK && r < table.summary.size(); ++r)
    code = MucPrint_PrintStr(job.get(), table.summary[r], MUCPRINT_LEFT, MUCPRINT_BOLD);
  if (code == MUCPRINT_OK) code = MucPrint_EndPrint(job.get());
  if (code != MUCPRINT_OK) {
    error = MucPrint_ErrorText(job.get());
    return code;
  }
  if (outputPath != nullptr) *outputPath = MucPrint_OutputPath(job.get());
  return MUCPRINT_OK;
}

}  // namespace acq::AcqReportTable
