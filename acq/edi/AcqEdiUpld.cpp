// AcqEdiUpld: the upload of EDIFACT files. The selection dialog (54) picks
// the files and the start; the progress window (55) starts the import
// thread, which waits for the start, reads the files through AcqEdiRead on
// its own database session and tells the window by posted messages.
//
// Between the two threads there is one Run, shared by reference count: its
// inputs are written before the thread starts and only read after; while
// it runs, everything that changes is an atomic. Texts cross in one-slot
// mailboxes (an atomic pointer exchanged), so a slower window shows the
// latest text and nothing is lost or leaked when the window is gone.
#include "acq/edi/AcqEdiUpld.h"

#include <algorithm>
#include <atomic>
#include <cstdint>
#include <memory>
#include <string>
#include <utility>
#include <vector>

#include "acq/AcqUnit.h"
#include "acq/db/AcqDbGlobal.h"
#include "acq/edi/AcqEdiRead.h"
#include "acq/edi/AcqEdiSchedule.h"
#include "acq/frame/AcqBase.h"
#include "host/db/DbDabs.h"
#include "host/db/PwDb.h"
#include "host/mr/MrFramework.h"
#include "host/muc/MucFilet.h"
#include "host/muc/MucTools.h"
#include "host/sys/LbStr.h"
#include "host/sys/Thread.h"
#include "host/win32/Dialog.h"

namespace acq::AcqEdiUpld {
namespace {

constexpr int kMsgSelectTitle = 305;
constexpr int kMsgSleepingUntil = 306;
constexpr int kMsgAlreadyRunning = 316;
constexpr int kMsgReview = 317;
constexpr int kMsgAborted = 319;
constexpr int kMsgThreadName = 427;
constexpr int kMsgNoThread = 1720;
constexpr int kMsgNoSession = 1721;
constexpr int kMsgRunEnded = 1722;
constexpr int kMsgNoFiles = 1723;
constexpr int kMsgFileLine = 1724;

// Dialog 54, the selection.
constexpr int kSelectDialog = 54;
constexpr int kFilesButton = 5430;
constexpr int kSelectedList = 5431;
constexpr int kRemoveButton = 5432;
constexpr int kTimeField = 5433;
constexpr int kDateField = 5434;
constexpr int kAmRadio = 5435;
constexpr int kPmRadio = 5436;

// Dialog 55, the progress window.
constexpr int kProgressDialog = 55;
constexpr int kFileLine = 5530;
constexpr int kStatusLine = 5531;
constexpr int kClockLine = 5532;
constexpr int kProgressBar = 5533;
constexpr int kAbortButton = 5534;
constexpr int kCloseButton = IDCANCEL;

// What the thread posts to the progress window; the data is in the Run.
constexpr UINT kMsgClockTick = WM_USER + 0x0551;
constexpr UINT kMsgFileStarted = WM_USER + 0x0552;
constexpr UINT kMsgProgress = WM_USER + 0x0553;
constexpr UINT kMsgStatus = WM_USER + 0x0554;
constexpr UINT kMsgDone = WM_USER + 0x0555;

// Between two looks at the clock while the thread waits for its start.
constexpr uint32_t kWaitStepMs = 1000;
// How long Terminate waits for the thread it told to stop.
constexpr int kThreadEndWaitMs = 30000;

// The "text|" strings used as they stand (titles, line heads).
std::string Plain(int id) {
  const std::string s = AcqBase::LoadStr(id);
  return s.substr(0, s.find('|'));
}

// ---- what the two threads share -------------------------------------------------------

// One text handed from the thread to the window: the latest one wins.
class TextMailbox {
 public:
  TextMailbox() = default;
  TextMailbox(const TextMailbox&) = delete;
  TextMailbox& operator=(const TextMailbox&) = delete;
  ~TextMailbox() { delete slot_.exchange(nullptr); }
  void Put(std::string text) { delete slot_.exchange(new std::string(std::move(text))); }
  std::unique_ptr<std::string> Take() { return std::unique_ptr<std::string>(slot_.exchange(nullptr)); }

 private:
  std::atomic<std::string*> slot_{nullptr};
};

struct Run {
  // Written by the window before the thread starts; read-only after.
  std::vector<std::string> paths;
  bool scheduled = false;
  DayNum startDate = kNoDate;
  MinuteOfDay startTime = 0;

  // The window to post to; cleared (inside the module critical section)
  // as the window is destroyed, so the thread never posts to a dead one.
  std::atomic<HWND> window{nullptr};
  std::atomic<bool> abort{false};      // the person, the window's end or Terminate
  std::atomic<bool> finished{false};   // the thread has done its work

  // The file being read (index from 0 of paths.size()) and how far.
  std::atomic<size_t> fileIndex{0};
  std::atomic<int64_t> consumed{0};
  std::atomic<int64_t> size{0};
  TextMailbox status;    // the reader's latest exception text
  TextMailbox failure;   // why the run could not go on (shown at the end)

  // A kind of notice already posted and not yet read: the thread posts
  // another only after the window took this one, so a fast reader never
  // floods the queue. The window clears the flag before it reads the data.
  std::atomic<bool> filePending{false};
  std::atomic<bool> progressPending{false};
  std::atomic<bool> statusPending{false};
};

// Posts `msg` to the run's window, if it still has one. With `pending`,
// only when no such notice is waiting already.
void Notify(Run& run, UINT msg, std::atomic<bool>* pending = nullptr) {
  if (pending != nullptr && pending->exchange(true)) return;
  KtCriticalSectionHold section;
  if (HWND window = run.window.load()) PostMessageW(window, msg, 0, 0);
}

// ---- the import thread ------------------------------------------------------------------

// Registers the calling thread with the host for its lifetime.
class ThreadRegistration {
 public:
  explicit ThreadRegistration(std::string_view name) { _RegisterThread(name); }
  ~ThreadRegistration() { _UnRegisterThread(); }
  ThreadRegistration(const ThreadRegistration&) = delete;
  ThreadRegistration& operator=(const ThreadRegistration&) = delete;
};

// The thread's own database session, logged out at the end of the scope.
class OwnSession {
 public:
  OwnSession() = default;
  ~OwnSession() { _DbLogout(&db_); }
  OwnSession(const OwnSession&) = delete;
  OwnSession& operator=(const OwnSession&) = delete;
  HDb& db() { return db_; }

 private:
  HDb db_ = nullptr;
};

// Sleeps until the scheduled minute (or later: a machine that slept past
// it starts at once); false when aborted first. Ticks the window's clock
// each new minute.
bool WaitForStart(Run& run) {
  MinuteOfDay ticked = 0xFFFF;
  for (;;) {
    if (run.abort.load()) return false;
    DayNum date = kNoDate;
    MinuteOfDay time = 0;
    DbDabs_GetDateTime(date, time);
    if (date > run.startDate || (date == run.startDate && time >= run.startTime)) return true;
    if (time != ticked) {
      ticked = time;
      Notify(run, kMsgClockTick);
    }
    Sleep(kWaitStepMs);
  }
}

AcqEdiRead::Hooks HooksFor(Run& run) {
  AcqEdiRead::Hooks hooks;
  hooks.aborted = [&run] { return run.abort.load(); };
  hooks.fileStarted = [&run](const std::string&, size_t index, size_t) {
    run.consumed.store(0);
    run.size.store(0);
    run.fileIndex.store(index);
    Notify(run, kMsgFileStarted, &run.filePending);
  };
  hooks.progress = [&run](int64_t consumed, int64_t size) {
    run.size.store(size);
    run.consumed.store(consumed);
    Notify(run, kMsgProgress, &run.progressPending);
  };
  hooks.status = [&run](std::string_view text) {
    run.status.Put(std::string(text));
    Notify(run, kMsgStatus, &run.statusPending);
  };
  return hooks;
}

// A database failure as the person reads it: the server's text and code.
std::string ErrorText(DbCode code, const DbMsg& msg) {
  std::string caption, text;
  Lb_SplitCaption(_DbErrStr(code, msg), caption, text);
  return text;
}

// The work of the thread between its registration and its completion notice.
void Upload(Run& run) {
  OwnSession session;
  DbMsg msg;
  if (DbCode code = _DbCloneHDb(AcqDbGlobal::Globals().session, session.db(), msg);
      code != kDbOk) {
    run.failure.Put(Lb_FormatMessage(AcqBase::LoadStr(kMsgNoSession), ErrorText(code, msg)));
    return;
  }
  AcqDbGlobal::ThreadSessionHold own(session.db());
  if (run.scheduled && !WaitForStart(run)) return;
  const AcqEdiRead::RunResult result = AcqEdiRead::UploadFiles(run.paths, HooksFor(run));
  if (result.ended)
    run.failure.Put(
        Lb_FormatMessage(AcqBase::LoadStr(kMsgRunEnded), ErrorText(result.code, result.msg)));
}

uint32_t ImportThread(void* param) {
  // The window handed over one reference; the thread holds it to the end.
  std::shared_ptr<Run> run = std::move(*static_cast<std::shared_ptr<Run>*>(param));
  delete static_cast<std::shared_ptr<Run>*>(param);
  {
    ThreadRegistration registration(Plain(kMsgThreadName));
    Upload(*run);
    // Seen by UploadRunning at once; the notice follows in the module
    // critical section, as every completion of a module thread does.
    run->finished.store(true);
    Notify(*run, kMsgDone);
  }
  run.reset();
  ExitThread(0);
}

// ---- the progress window (user-interface thread only) ---------------------------------

struct Progress {
  HWND hwnd = nullptr;
  std::shared_ptr<Run> run;
  size_t shownFile = 0;     // the file the bar and the file line show
  int64_t shownDone = 0;    // the bar only grows within a file
  bool aborted = false;     // Abort pressed
  bool ended = false;       // the completion notice arrived (or no thread)
};

// The one progress window, and the thread of the latest run (whose handle
// this unit closes). Only the user-interface thread touches these.
Progress* progress = nullptr;
std::shared_ptr<Run> latest;
HTHREAD latestThread = nullptr;

std::string StartText(const Run& run) {
  return Plain(kMsgSleepingUntil) + DbDabs_TimeToStr(run.startTime) + " - " +
         DbDabs_DateToStrFmt(run.startDate, "MMM dd, yyyy");
}

void ShowClock(HWND hwnd) {
  DayNum date = kNoDate;
  MinuteOfDay time = 0;
  DbDabs_GetDateTime(date, time);
  SetDlgItemTextW(hwnd, kClockLine, DbDabs_TimeToStr(time));
}

void ShowFile(HWND hwnd, const Run& run, size_t index) {
  SetDlgItemTextW(hwnd, kFileLine,
                  Lb_FormatMessage(Plain(kMsgFileLine), run.paths[index],
                                   std::to_string(index + 1), std::to_string(run.paths.size())));
}

// The bar for the run's current file: reset when the file changed, and
// never drawn shorter than before within one file.
void ShowProgress(Progress& p) {
  Run& run = *p.run;
  const size_t index = run.fileIndex.load();
  if (index != p.shownFile) {
    p.shownFile = index;
    p.shownDone = 0;
    if (index < run.paths.size()) ShowFile(p.hwnd, run, index);
    SetDlgProgress(p.hwnd, kProgressBar, 0, 0);
  }
  const int64_t size = run.size.load();
  const int64_t consumed = std::min(run.consumed.load(), size);
  if (size > 0 && consumed >= p.shownDone) {
    p.shownDone = consumed;
    SetDlgProgress(p.hwnd, kProgressBar, consumed, size);
  }
}

std::string AbortedText() {
  return AcqBase::LoadStrText(kMsgAborted) + " " + AcqBase::LoadStrText(kMsgReview);
}

// The run is over: Close takes over from Abort.
void ShowEnded(Progress& p) {
  p.ended = true;
  EnableDlgItem(p.hwnd, kAbortButton, false);
  EnableDlgItem(p.hwnd, kCloseButton, true);
  SetDefaultDlgButton(p.hwnd, kCloseButton);
  if (std::unique_ptr<std::string> failure = p.run->failure.Take())
    MucTools_MsgBoxCap(p.hwnd, *failure, MB_OK | MB_ICONERROR);
  SetDlgItemTextW(p.hwnd, kStatusLine,
                  p.aborted ? AbortedText() : AcqBase::LoadStrText(kMsgReview));
  MessageBeep(0);
}

void StartThread(Progress& p) {
  auto* handover = new std::shared_ptr<Run>(p.run);
  HTHREAD thread = CreateThread(&ImportThread, handover);
  if (thread == nullptr) {
    delete handover;
    p.run->finished.store(true);
    p.run->failure.Put(AcqBase::LoadStr(kMsgNoThread));
    ShowEnded(p);
    return;
  }
  if (latestThread != nullptr) CloseThreadHandle(latestThread);   // ended: 316 said so
  latestThread = thread;
}

void InitProgress(HWND hwnd, Progress& p) {
  p.hwnd = hwnd;
  MucTools_ReplaceSysMenu(hwnd);
  const Run& run = *p.run;
  ShowFile(hwnd, run, 0);
  SetDlgItemTextW(hwnd, kStatusLine, run.scheduled ? StartText(run) : "");
  ShowClock(hwnd);
  SetDlgProgress(hwnd, kProgressBar, 0, 0);
  EnableDlgItem(hwnd, kCloseButton, false);
  p.run->window.store(hwnd);
  StartThread(p);
}

void Abort(Progress& p) {
  if (p.ended) return;
  p.aborted = true;
  p.run->abort.store(true);
  SetDlgItemTextW(p.hwnd, kStatusLine, AbortedText());
  SetDefaultDlgButton(p.hwnd, kCloseButton);
}

LRESULT ProgressDlgProc(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam) {
  Progress* p = progress != nullptr && (progress->hwnd == hwnd || msg == WM_INITDIALOG)
                    ? progress
                    : nullptr;
  switch (msg) {
    case WM_INITDIALOG:
      if (p != nullptr) InitProgress(hwnd, *p);
      return TRUE;
    case kMsgClockTick:
      if (p != nullptr) ShowClock(hwnd);
      return TRUE;
    case kMsgFileStarted:
    case kMsgProgress:
      if (p == nullptr) return TRUE;
      p->run->filePending.store(false);
      p->run->progressPending.store(false);
      ShowClock(hwnd);
      ShowProgress(*p);
      return TRUE;
    case kMsgStatus:
      if (p == nullptr) return TRUE;
      p->run->statusPending.store(false);
      if (std::unique_ptr<std::string> text = p->run->status.Take(); text && !p->aborted)
        SetDlgItemTextW(hwnd, kStatusLine, *text);
      return TRUE;
    case kMsgDone:
      if (p != nullptr && !p->ended) {
        ShowProgress(*p);
        ShowEnded(*p);
      }
      return TRUE;
    case WM_COMMAND:
      if (p == nullptr || HIWORD(wParam) != BN_CLICKED) break;
      if (LOWORD(wParam) == kAbortButton) {
        Abort(*p);
        return TRUE;
      }
      // Close (and Escape) only once the run is over.
      if (LOWORD(wParam) == kCloseButton && !p->ended) return TRUE;
      break;
    case WM_CLOSE:
      if (p != nullptr && !p->ended) return TRUE;
      break;
    case WM_DESTROY:
      if (p != nullptr) {
        // Gone with the frame, say: the thread stops and posts nowhere.
        p->run->abort.store(true);
        {
          KtCriticalSectionHold section;
          p->run->window.store(nullptr);
        }
        delete p;
        progress = nullptr;
      }
      break;
    default:
      break;
  }
  return _Win32_DefDlgProc(hwnd, msg, wParam, lParam);
}

void OpenProgress(std::vector<std::string> paths, const AcqEdiSchedule::Outcome& start) {
  if (progress != nullptr && progress->hwnd != nullptr) DestroyWindow(progress->hwnd);
  auto run = std::make_shared<Run>();
  run->paths = std::move(paths);
  run->scheduled = start.kind == AcqEdiSchedule::Outcome::Kind::Scheduled;
  run->startDate = start.date;
  run->startTime = start.time;
  latest = run;
  progress = new Progress;
  progress->run = std::move(run);
  if (CreateDialogParamW(AcqBase::ResourceInstance(), kProgressDialog, PwMucBase_hwndClient,
                         &ProgressDlgProc, 0) == nullptr) {
    delete progress;   // no template: no window took it, no thread started
    progress = nullptr;
    latest.reset();
  }
}

// ---- the selection dialog (modal) ---------------------------------------------------

struct Selection {
  std::vector<std::string> paths;
  AcqEdiSchedule::Outcome start;
};
Selection* selecting = nullptr;   // while dialog 54 is open
std::string lastDirectory;        // where Files... opens next

void ShowPaths(HWND hwnd, const Selection& s) {
  std::vector<std::vector<std::string>> rows;
  rows.reserve(s.paths.size());
  for (const std::string& path : s.paths) rows.push_back({path});
  SetDlgListRows(hwnd, kSelectedList, rows);
}

void AddFiles(HWND hwnd, Selection& s) {
  std::vector<std::string> chosen;
  if (!MucFilet_MultiFileOpenBox(Plain(kMsgSelectTitle), "*.*", lastDirectory, chosen)) return;
  for (std::string& path : chosen)
    if (std::find(s.paths.begin(), s.paths.end(), path) == s.paths.end())
      s.paths.push_back(std::move(path));
  ShowPaths(hwnd, s);
}

void RemoveSelected(HWND hwnd, Selection& s) {
  std::vector<int> rows = GetDlgListSelection(hwnd, kSelectedList);
  // From the last row up, so that the numbers of the others hold.
  for (auto it = rows.rbegin(); it != rows.rend(); ++it)
    if (*it >= 1 && static_cast<size_t>(*it) <= s.paths.size())
      s.paths.erase(s.paths.begin() + (*it - 1));
  ShowPaths(hwnd, s);
}

void FocusOn(HWND hwnd, AcqEdiSchedule::Field field) {
  if (field == AcqEdiSchedule::Field::Date) SetDlgFocus(hwnd, kDateField);
  else if (field == AcqEdiSchedule::Field::Time) SetDlgFocus(hwnd, kTimeField);
}

void ConfirmUpload(HWND hwnd, Selection& s) {
  if (s.paths.empty()) {
    MucTools_MsgBoxCap(hwnd, AcqBase::LoadStr(kMsgNoFiles), MB_OK | MB_ICONWARNING);
    SetDlgFocus(hwnd, kFilesButton);
    return;
  }
  AcqEdiSchedule::Entries entries;
  entries.time = GetDlgItemTextW(hwnd, kTimeField);
  entries.date = GetDlgItemTextW(hwnd, kDateField);
  entries.pm = IsDlgButtonChecked(hwnd, kPmRadio);
  DayNum today = kNoDate;
  MinuteOfDay now = 0;
  DbDabs_GetDateTime(today, now);
  const AcqEdiSchedule::Outcome o =
      AcqEdiSchedule::Decide(entries, today, now, DbDabs_QueryTimeFmt24());
  if (o.kind == AcqEdiSchedule::Outcome::Kind::Refused) {
    MucTools_MsgBoxCap(hwnd, Lb_FormatMessage(AcqBase::LoadStr(o.message), o.arg),
                       MB_OK | MB_ICONERROR);
    FocusOn(hwnd, o.focus);
    return;
  }
  if (o.message != 0 && !MucTools_MsgBoxCapYNbool(hwnd, AcqBase::LoadStr(o.message))) {
    FocusOn(hwnd, o.focus);
    return;
  }
  s.start = o;
  EndDialog(hwnd, IDOK);
}

void InitSelection(HWND hwnd) {
  SetDlgListColumns(hwnd, kSelectedList, {{"path", "Selected Files"}});
  const bool clock24 = DbDabs_QueryTimeFmt24();
  ShowDlgItem(hwnd, kAmRadio, !clock24);
  ShowDlgItem(hwnd, kPmRadio, !clock24);
  CheckRadioButton(hwnd, kAmRadio, kPmRadio, kAmRadio);
}

LRESULT SelectDlgProc(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam) {
  switch (msg) {
    case WM_INITDIALOG:
      InitSelection(hwnd);
      return TRUE;
    case WM_COMMAND:
      if (selecting == nullptr || HIWORD(wParam) != BN_CLICKED) break;
      switch (LOWORD(wParam)) {
        case kFilesButton: AddFiles(hwnd, *selecting); return TRUE;
        case kRemoveButton: RemoveSelected(hwnd, *selecting); return TRUE;
        case IDOK: ConfirmUpload(hwnd, *selecting); return TRUE;
        case IDCANCEL: EndDialog(hwnd, IDCANCEL); return TRUE;
        default: break;
      }
      break;
    default:
      break;
  }
  return _Win32_DefDlgProc(hwnd, msg, wParam, lParam);
}

}  // namespace

bool UploadRunning() { return latest != nullptr && !latest->finished.load(); }

void UploadCommand(HWND owner) {
  if (UploadRunning()) {
    MucTools_MsgBoxCap(owner, AcqBase::LoadStr(kMsgAlreadyRunning), MB_OK | MB_ICONINFORMATION);
    return;
  }
  Selection selection;
  selecting = &selection;
  const INT_PTR answer =
      DialogBoxParamW(AcqBase::ResourceInstance(), kSelectDialog, owner, &SelectDlgProc, 0);
  selecting = nullptr;
  if (answer == IDOK) OpenProgress(std::move(selection.paths), selection.start);
}

void Initialize() {
  progress = nullptr;
  latest.reset();
  latestThread = nullptr;
  lastDirectory.clear();
}

// The frame has waited for the thread already when its window went with
// the frame; a module closed any other way stops the thread here, before
// the units it uses terminate.
void Terminate() {
  if (latest != nullptr) latest->abort.store(true);
  if (progress != nullptr && progress->hwnd != nullptr) DestroyWindow(progress->hwnd);
  if (latestThread != nullptr) {
    WaitForThread(latestThread, kThreadEndWaitMs);
    CloseThreadHandle(latestThread);
    latestThread = nullptr;
  }
  delete progress;
  progress = nullptr;
  latest.reset();
}

}  // namespace acq::AcqEdiUpld

ACQ_UNIT_BODY(AcqEdiUpld)
