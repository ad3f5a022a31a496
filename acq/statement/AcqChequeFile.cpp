// AcqChequeFile: reads a run's cheque details, lays them out
// (AcqChequeLayout) and writes them text by text through the host's file
// calls. The run is marked in the same transaction as the file is written,
// so two workstations never both make it, and a file that could not be
// written leaves the run unmarked and no partial file behind.
#include "acq/statement/AcqChequeFile.h"

#include <vector>

#include "acq/frame/AcqBase.h"
#include "acq/statement/AcqChequeLayout.h"
#include "acq/statement/AcqDbPayables.h"
#include "host/db/DbDabs.h"
#include "host/muc/MucFilet.h"
#include "host/muc/MucTools.h"
#include "host/sys/FileIo.h"
#include "host/sys/LbStr.h"

namespace acq::AcqChequeFile {
namespace {

using AcqChequeLayout::ChequeWrite;
using AcqDbPayables::Outcome;

constexpr int kMsgCannotOpenFile = 213;
constexpr int kMsgChequeRun = 515;           // its caption titles the save-as box
constexpr int kMsgFileNotWritten = 1635;     // %1 the reason

void Tell(HWND owner, const std::string& text) {
  MucTools_MsgBoxCap(owner, text, MB_OK | MB_ICONWARNING);
}

std::string Caption(int id) {
  std::string s = AcqBase::LoadStr(id);
  if (const size_t bar = s.find('|'); bar != std::string::npos) s.resize(bar);
  return s;
}

// The run's file laid out; false when told why.
bool LayOut(HWND owner, int32_t run, std::vector<ChequeWrite>& writes) {
  AcqDbPayables::RunInfo info;
  bool found = false;
  if (!AcqDbPayables::ReadRun(run, info, found)) return false;
  std::vector<AcqChequeLayout::ChequeDetail> rows;
  if (found && !AcqDbPayables::ReadChequeDetails(run, rows)) return false;
  std::string error = "cheque run " + std::to_string(run) + " has no cheques.";
  if (!rows.empty() &&
      AcqChequeLayout::LayOutChequeFile(info.currency, info.baseCurrency, rows, writes, error) ==
          AcqChequeLayout::ChequeLayoutCode::Ok)
    return true;
  Tell(owner, Lb_FormatMessage(AcqBase::LoadStr(kMsgFileNotWritten), error));
  return false;
}

// Writes `writes` to `path`. On failure leaves no file and puts what to
// tell the person in `told` (told after the transaction, so that no write
// lock is held while a message box waits).
bool WriteFile(const std::string& path, const std::vector<ChequeWrite>& writes,
               std::string& told) {
  FioaFileHold file;
  std::string error, ignored;
  if (!file.Create(path, &error)) {
    (void)FIOA_Erase(path, &ignored);
    told = AcqBase::LoadStr(kMsgCannotOpenFile);
    return false;
  }
  bool ok = true;
  for (size_t n = 0; ok && n < writes.size(); ++n)
    ok = writes[n].kind == ChequeWrite::Kind::LineEnd ? FIOA_WrLn(file.get(), &error)
                                                       : FIOA_WrStr(file.get(), writes[n].text, &error);
  if (ok) ok = file.Close(&error);
  if (ok) return true;
  (void)file.Close(&ignored);
  (void)FIOA_Erase(path, &ignored);
  told = Lb_FormatMessage(AcqBase::LoadStr(kMsgFileNotWritten), error);
  return false;
}

FileResult Write(HWND owner, int32_t run, const std::string* givenPath) {
  AcqDbPayables::RunInfo info;
  bool found = false;
  if (!AcqDbPayables::ReadRun(run, info, found)) return FileResult::Failed;
  if (found && info.fileCreated) return FileResult::AlreadyCreated;
  std::vector<ChequeWrite> writes;
  if (!LayOut(owner, run, writes)) return FileResult::Failed;
  std::string path;
  if (givenPath != nullptr) {
    path = *givenPath;
  } else if (!MucFilet_FileSaveAsBox(Caption(kMsgChequeRun),
                                     DbDabs_DateToStrFmt(DbDabs_GetDate(), "MMMddyyyy") + ".txt",
                                     path)) {
    return FileResult::Cancelled;
  }
  bool written = false;
  std::string told;
  const Outcome outcome = AcqDbPayables::CreateRunFile(run, [&] {
    written = WriteFile(path, writes, told);
    return written;
  });
  if (!told.empty()) Tell(owner, told);
  if (outcome == Outcome::Done) {
    MucFilet_FileWritten(path);
    return FileResult::Written;
  }
  // The mark did not commit: a file written for it does not count.
  std::string ignored;
  if (written) (void)FIOA_Erase(path, &ignored);
  return outcome == Outcome::Refused ? FileResult::AlreadyCreated : FileResult::Failed;
}

}  // namespace

FileResult WriteChequeFile(HWND owner, int32_t run) { return Write(owner, run, nullptr); }

FileResult WriteChequeFileTo(HWND owner, int32_t run, const std::string& path) {
  return Write(owner, run, &path);
}

}  // namespace acq::AcqChequeFile
