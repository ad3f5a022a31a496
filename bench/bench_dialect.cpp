// Throughput of the SQL dialect translator over the statements the module
// sends most: catalogue reads, existence tests, aliased loads, browse reads.
#include <benchmark/benchmark.h>

#include <cstdint>
#include <string>
#include <string_view>

#include "host/db/SqlDialect.h"

namespace {

constexpr std::string_view kModuleMix[] = {
    "select key_string_type from pw_column where table_name='item' and column_name='ibarcode'",
    "select length from syscolumns where id=object_id('item') and name='ibarcode'",
    "if exists (select * from vendor where vendor#=12) select convert(bit,1) else select convert(bit,0)",
    "select po#,line,item,budget,percentage,budget_split=convert(varchar(255),null) from po_line_item_budget "
    "where po#=5",
    "select extra_charge_type,amount=sum(amount) from po_line_item_budget_amount where statement#=77 and "
    "statement_line=3 group by extra_charge_type",
    "select statement#,statement_line,statement_line_type,extra_charge_type,amount=sum(amount),exchange_rate,"
    "spent=convert(bit,spent_tinyint) from poliba_bandaid where statement#=77 group by "
    "statement#,statement_line,"
    "statement_line_type,extra_charge_type,exchange_rate,spent_tinyint for browse",
    "select count(distinct vendor#) from po where po# in(1,2,3,17,204,1033)",
    "select po# from po where po_number = 'O''Brien 1'",
    "select item#,ibarcode,location,collection,call,call_reconst,itype from item where item in(12,13,14)and "
    "(po#=5 and line=1) or (po#=5 and line=2) for browse",
    "select pst, gst from statement where statement# =77",
};

void BM_TranslateModuleMix(benchmark::State& state) {
  std::string out, error;
  int64_t statements = 0, bytes = 0;
  for (auto _ : state) {
    for (std::string_view sql : kModuleMix) {
      if (!SqlDialect_Translate(sql, SqlBackend::Sqlite, out, error)) {
        state.SkipWithError(error.c_str());
        return;
      }
      benchmark::DoNotOptimize(out.data());
      ++statements;
      bytes += static_cast<int64_t>(sql.size());
    }
  }
  state.counters["statements"] =
      benchmark::Counter(static_cast<double>(statements), benchmark::Counter::kIsRate);
  state.counters["MB"] = benchmark::Counter(static_cast<double>(bytes) / 1e6, benchmark::Counter::kIsRate);
}
BENCHMARK(BM_TranslateModuleMix);

}  // namespace

BENCHMARK_MAIN();
