// Interchanges stored the way the upload stores them, for the tests of the
// processes that read them back: UploadText writes a text to a file of the
// test's own and uploads it through the reader; SeedParties makes the
// vendors and addresses whose party codes the files of tests/data/edifact
// name (the demo library has none of them).
//
// Parties made (SAN, EAN, customer number -> vendor; SAN, EAN -> location):
//   vendor 376  SAN 1697684, customer number 824016
//   vendor 377  SAN 1556150, customer number 8888888
//   vendor 378  SAN 1697978, customer number 20M2361
//   vendor 379  SAN 0142948
//   vendor 1865 SAN 3472205
//   vendor 383  SAN 6666666
//   vendor 380  EAN 4012345000094; 381 EAN 5013546025078; 382 EAN 5013546027173
//   MAIN   SANs 8888888, 3618129, 1556150, 3472205, 1697684; EANs 5412345000176, 5013546098818
//   BRANCH SAN 6666666; EAN 5013546121974
#pragma once

#include <gtest/gtest.h>
#include <unistd.h>

#include <filesystem>
#include <fstream>
#include <string>
#include <string_view>
#include <vector>

#include "acq/edi/AcqEdiRead.h"

namespace editest {

namespace fs = std::filesystem;

inline const char* const kSeedPartiesSql = R"(
INSERT INTO vendor("vendor#", vendor_code, name, currency, san, ean_gln, cust_number) VALUES
  (376, 'EDI376', 'Interchange Vendor 376', 'USD', '1697684', NULL, '824016'),
  (377, 'EDI377', 'Interchange Vendor 377', 'USD', '1556150', NULL, '8888888'),
  (378, 'EDI378', 'Interchange Vendor 378', 'USD', '1697978', NULL, '20M2361'),
  (379, 'EDI379', 'Interchange Vendor 379', 'USD', '0142948', NULL, NULL),
  (1865, 'EDI1865', 'Interchange Vendor 1865', 'USD', '3472205', NULL, NULL),
  (380, 'EDI380', 'Interchange Vendor 380', 'GBP', NULL, '4012345000094', NULL),
  (381, 'EDI381', 'Interchange Vendor 381', 'GBP', NULL, '5013546025078', NULL),
  (382, 'EDI382', 'Interchange Vendor 382', 'GBP', NULL, '5013546027173', NULL),
  (383, 'EDI383', 'Interchange Vendor 383', 'USD', '6666666', NULL, NULL);
INSERT INTO address(location, address_code, name, san, ean_gln) VALUES
  ('MAIN', 'EDI1', 'Interchange 1', '8888888', NULL),
  ('MAIN', 'EDI2', 'Interchange 2', '3618129', NULL),
  ('MAIN', 'EDI3', 'Interchange 3', '1556150', NULL),
  ('MAIN', 'EDI4', 'Interchange 4', '3472205', NULL),
  ('MAIN', 'EDI5', 'Interchange 5', NULL, '5412345000176'),
  ('MAIN', 'EDI6', 'Interchange 6', NULL, '5013546098818'),
  ('MAIN', 'EDI9', 'Interchange 9', '1697684', NULL),
  ('BRANCH', 'EDI7', 'Interchange 7', '6666666', NULL),
  ('BRANCH', 'EDI8', 'Interchange 8', NULL, '5013546121974');
)";

// Runs SQL on the fixture's own connection: a ModuleDb, or anything that
// holds one as `db` (ActModule).
template <typename Fixture>
void ExecOn(Fixture& fixture, const std::string& sql) {
  if constexpr (requires { fixture.db.Exec(sql); })
    fixture.db.Exec(sql);
  else
    fixture.Exec(sql);
}

template <typename Fixture>
void SeedParties(Fixture& fixture) {
  ExecOn(fixture, kSeedPartiesSql);
}

// A folder of this process's own for the files it uploads.
inline fs::path UploadDir() {
  const fs::path dir =
      fs::temp_directory_path() / ("acq-edi-" + std::to_string(::getpid()));
  fs::create_directories(dir);
  return dir;
}

inline fs::path WriteFile(std::string_view name, std::string_view text) {
  const fs::path path = UploadDir() / std::string(name);
  std::ofstream out(path, std::ios::binary | std::ios::trunc);
  out.write(text.data(), static_cast<std::streamsize>(text.size()));
  return path;
}

// Uploads files with no pause; the run's result.
inline acq::AcqEdiRead::RunResult UploadPaths(const std::vector<std::string>& paths,
                                              size_t bufferSize = 10240) {
  acq::AcqEdiRead::Hooks hooks;
  hooks.firstFileDelayMs = 0;
  hooks.fileBufferSize = bufferSize;
  return acq::AcqEdiRead::UploadFiles(paths, hooks);
}

// Writes `text` to a file named `name` and uploads it: the file's result
// (a default one, failing the test, when the run stored nothing for it).
template <typename Fixture>
acq::AcqEdiRead::FileResult UploadText(Fixture& /*fixture*/, std::string_view name,
                                       std::string_view text, size_t bufferSize = 10240) {
  const fs::path path = WriteFile(name, text);
  const acq::AcqEdiRead::RunResult run = UploadPaths({path.string()}, bufferSize);
  EXPECT_FALSE(run.ended) << "upload of " << name << " ended: " << run.msg.text;
  EXPECT_EQ(run.files.size(), 1u);
  return run.files.empty() ? acq::AcqEdiRead::FileResult{} : run.files.front();
}

// The text of a file of tests/data/edifact.
inline std::string DataFile(std::string_view name) {
  std::ifstream in(fs::path(ACQ_SOURCE_DIR) / "tests" / "data" / "edifact" / std::string(name),
                   std::ios::binary);
  EXPECT_TRUE(in) << name;
  return std::string(std::istreambuf_iterator<char>(in), {});
}

}  // namespace editest
