// AcqWrkOptions: this workstation's workslip printer settings, read from
// and written to the workstation profile, and the dialog that edits them.
#include "acq/print/AcqWrkOptions.h"

#include <array>
#include <string>
#include <string_view>

#include "acq/AcqUnit.h"
#include "acq/frame/AcqBase.h"
#include "host/mr/MrFramework.h"
#include "host/muc/MucTools.h"
#include "host/os2/PwOs.h"
#include "host/print/MucPrint.h"
#include "host/print/PortEscape.h"
#include "host/sys/LbStr.h"
#include "host/win32/Dialog.h"

namespace acq::AcqWrkOptions {
namespace {

constexpr std::string_view kSection = "ACQ";
constexpr std::string_view kKeyWorkstationId = "WORKSTATION_ID";
constexpr std::string_view kKeyWindowsPrint = "WRKSLP_WINDOWS_PRINT";
constexpr std::string_view kKeyPrinterName = "WRKSLP_PRINTER_NAME";
constexpr std::string_view kKeyPrinterPort = "WRKSLP_PRINTER_PORT";
constexpr std::string_view kKeyPrefix = "PREFIX";
constexpr std::string_view kKeyLineFeed = "LINE_FEED";
constexpr std::string_view kKeyFormFeed = "FORM_FEED";
constexpr std::string_view kKeyCutPaper = "CUT_PAPER";
constexpr std::string_view kKeySuffix = "SUFFIX";
constexpr std::string_view kKeyReplacement = "DEFAULT";   // data: one byte
constexpr std::string_view kKeyCharsPerLine = "MAXCHARS"; // data: 16 bits, low byte first

constexpr int kMsgPrinterTitle = 458;
constexpr int kMsgReplacement = 479;
constexpr int kMsgEscape = 480;
constexpr int kMsgCharsPerLine = 481;
constexpr int kMsgNoPrinter = 478;
constexpr int kMsgIdTooLong = 492;
constexpr int kMsgNotWritten = 493;

// Controls of dialog 85.
constexpr int kOptionsDialog = 85;
constexpr int kWorkstationIdField = 8501;
constexpr int kWindowsRadio = 8502;
constexpr int kPortRadio = 8503;
constexpr int kPrinterNameField = 8504;
constexpr int kSetupButton = 8505;
constexpr int kFirstPortRadio = 8511;
constexpr int kLastPortRadio = 8516;
constexpr int kCharsPerLineField = 8521;
constexpr int kPrefixField = 8522;
constexpr int kLineFeedField = 8523;
constexpr int kFormFeedField = 8524;
constexpr int kCutPaperField = 8525;
constexpr int kSuffixField = 8526;
constexpr int kReplacementField = 8527;

// The port radios in id order, from kFirstPortRadio.
constexpr std::array<std::string_view, 6> kPorts = {"COM1", "COM2", "COM3",
                                                    "LPT1", "LPT2", "LPT3"};
constexpr std::string_view kDefaultPort = "LPT1";
// What a new port printer's fields start with: "?" for what it cannot
// print, and the 40 columns of a common receipt printer.
constexpr std::string_view kDefaultReplacement = "3F";
constexpr std::string_view kDefaultCharsPerLine = "40";
// Text read of an escape-sequence key: a little more than the longest
// accepted, so that a damaged value is refused rather than cut to fit.
constexpr int kEscapeReadChars = static_cast<int>(kEscapeTextMaxChars) + 1;

std::string Query(const ProfileHold& p, std::string_view key, int maxChars) {
  return _Win32_QueryProfileString(p.get(), kSection, key, "", maxChars);
}

std::string HexByte(uint8_t byte) {
  static constexpr char kDigits[] = "0123456789ABCDEF";
  return {kDigits[byte >> 4], kDigits[byte & 0x0F]};
}

// "Caption" of a "Caption|Text" string.
std::string CaptionOf(int id) {
  const std::string s = AcqBase::LoadStr(id);
  return s.substr(0, s.find('|'));
}

// The escape sequences: field, setting and key, in the order they are checked.
struct EscapeField {
  int control;
  std::string Options::*text;
  std::string_view key;
};
constexpr EscapeField kEscapeFields[] = {
    {kPrefixField, &Options::prefix, kKeyPrefix},
    {kLineFeedField, &Options::lineFeed, kKeyLineFeed},
    {kFormFeedField, &Options::formFeed, kKeyFormFeed},
    {kCutPaperField, &Options::cutPaper, kKeyCutPaper},
    {kSuffixField, &Options::suffix, kKeySuffix},
};

// ---- the dialog -----------------------------------------------------------------------------

void EnableForKind(HWND hwnd) {
  const bool windows = IsDlgButtonChecked(hwnd, kWindowsRadio);
  EnableDlgItem(hwnd, kSetupButton, windows);
  for (int id = kFirstPortRadio; id <= kLastPortRadio; ++id) EnableDlgItem(hwnd, id, !windows);
  for (int id = kCharsPerLineField; id <= kReplacementField; ++id)
    EnableDlgItem(hwnd, id, !windows);
}

void ShowOptions(HWND hwnd, const Options& o) {
  SetDlgItemTextW(hwnd, kWorkstationIdField, o.workstationId);
  CheckDlgButton(hwnd, o.windowsPrint ? kWindowsRadio : kPortRadio, true);
  SetDlgItemTextW(hwnd, kPrinterNameField, o.printerName);
  int port = 0;
  for (size_t n = 0; n < kPorts.size(); ++n) {
    if (o.port == kPorts[n] || (port == 0 && kPorts[n] == kDefaultPort))
      port = kFirstPortRadio + static_cast<int>(n);
  }
  CheckRadioButton(hwnd, kFirstPortRadio, kLastPortRadio, port);
  SetDlgItemTextW(hwnd, kCharsPerLineField,
                  o.charsPerLine.empty() ? std::string(kDefaultCharsPerLine) : o.charsPerLine);
  for (const EscapeField& f : kEscapeFields) SetDlgItemTextW(hwnd, f.control, o.*f.text);
  SetDlgItemTextW(hwnd, kReplacementField,
                  o.replacement.empty() ? std::string(kDefaultReplacement) : o.replacement);
  EnableForKind(hwnd);
}

Options ReadFields(HWND hwnd) {
  Options o;
  o.workstationId = GetDlgItemTextW(hwnd, kWorkstationIdField);
  o.windowsPrint = IsDlgButtonChecked(hwnd, kWindowsRadio);
  o.kindChosen = true;
  o.printerName = GetDlgItemTextW(hwnd, kPrinterNameField);
  for (size_t n = 0; n < kPorts.size(); ++n)
    if (IsDlgButtonChecked(hwnd, kFirstPortRadio + static_cast<int>(n))) o.port = kPorts[n];
  o.charsPerLine = GetDlgItemTextW(hwnd, kCharsPerLineField);
  for (const EscapeField& f : kEscapeFields) o.*f.text = GetDlgItemTextW(hwnd, f.control);
  o.replacement = GetDlgItemTextW(hwnd, kReplacementField);
  return o;
}

void ChoosePrinter(HWND hwnd) {
  std::string printer = GetDlgItemTextW(hwnd, kPrinterNameField);
  if (MucPrint_OpenPrinterDlgBox(CaptionOf(kMsgPrinterTitle), printer))
    SetDlgItemTextW(hwnd, kPrinterNameField, printer);
}

void Confirm(HWND hwnd) {
  const Options o = ReadFields(hwnd);
  if (const Refusal r = Check(o); r.message != 0) {
    MucTools_MsgBoxCap(hwnd, AcqBase::LoadStr(r.message), MB_OK | MB_ICONWARNING);
    SetDlgFocus(hwnd, r.control);
    return;
  }
  if (!Save(o)) {
    MucTools_MsgBoxCap(hwnd,
                       Lb_FormatMessage(AcqBase::LoadStr(kMsgNotWritten), Lb_WorkstationIniPath()),
                       MB_OK | MB_ICONWARNING);
    return;
  }
  EndDialog(hwnd, IDOK);
}

LRESULT OptionsDlgProc(HWND hwnd, UINT msg, WPARAM wParam, LPARAM) {
  switch (msg) {
    case WM_INITDIALOG:
      ShowOptions(hwnd, Load());
      return TRUE;
    case WM_COMMAND:
      if (HIWORD(wParam) != BN_CLICKED) break;
      switch (LOWORD(wParam)) {
        case kWindowsRadio:
        case kPortRadio: EnableForKind(hwnd); return TRUE;
        case kSetupButton: ChoosePrinter(hwnd); return TRUE;
        case IDOK: Confirm(hwnd); return TRUE;
        case IDCANCEL: EndDialog(hwnd, IDCANCEL); return TRUE;
        default: break;
      }
      break;
    default:
      break;
  }
  return _Win32_DefDlgProc(hwnd, msg, wParam, 0);
}

}  // namespace

Options Load() {
  ProfileHold p;
  Options o;
  o.workstationId = Query(p, kKeyWorkstationId, static_cast<int>(kWorkstationIdChars));
  const std::string kind = Query(p, kKeyWindowsPrint, 1);
  o.kindChosen = kind == "0" || kind == "1";
  o.windowsPrint = kind != "0";
  o.printerName = Query(p, kKeyPrinterName, -1);
  o.port = Query(p, kKeyPrinterPort, 4);
  for (const EscapeField& f : kEscapeFields) o.*f.text = Query(p, f.key, kEscapeReadChars);
  std::string data;
  if (_Win32_QueryProfileData(p.get(), kSection, kKeyReplacement, data) && data.size() == 1)
    o.replacement = HexByte(static_cast<uint8_t>(data[0]));
  data.clear();
  if (_Win32_QueryProfileData(p.get(), kSection, kKeyCharsPerLine, data) && data.size() == 2) {
    const int n = static_cast<uint8_t>(data[0]) | (static_cast<uint8_t>(data[1]) << 8);
    if (n > 0 && n <= kCharsPerLineMax) o.charsPerLine = std::to_string(n);
  }
  return o;
}

Refusal Check(const Options& o) {
  if (Lb_CharCount(o.workstationId) > kWorkstationIdChars) return {kMsgIdTooLong, kWorkstationIdField};
  if (o.windowsPrint) {
    if (o.printerName.empty()) return {kMsgNoPrinter, kSetupButton};
    return {};
  }
  if (!ParseCharactersPerLine(o.charsPerLine)) return {kMsgCharsPerLine, kCharsPerLineField};
  for (const EscapeField& f : kEscapeFields)
    if (!ParseEscapeSequence(o.*f.text)) return {kMsgEscape, f.control};
  if (!ParseReplacementCharacter(o.replacement)) return {kMsgReplacement, kReplacementField};
  return {};
}

bool Save(const Options& o) {
  ProfileHold p;
  auto put = [&p](std::string_view key, std::string_view value) {
    return _Win32_WriteProfileString(p.get(), kSection, key, value);
  };
  bool ok = put(kKeyWorkstationId, Lb_CutChars(o.workstationId, kWorkstationIdChars)) &&
            put(kKeyWindowsPrint, o.windowsPrint ? "1" : "0") &&
            put(kKeyPrinterName, o.printerName) && put(kKeyPrinterPort, o.port);
  // Port settings a person left unparsable while choosing Windows printing
  // keep what was saved before: the profile only ever holds valid ones.
  for (const EscapeField& f : kEscapeFields)
    if (ok && ParseEscapeSequence(o.*f.text)) ok = put(f.key, o.*f.text);
  if (const auto byte = ParseReplacementCharacter(o.replacement); ok && byte) {
    const char data[1] = {static_cast<char>(*byte)};
    ok = _Win32_WriteProfileData(p.get(), kSection, kKeyReplacement, std::string_view(data, 1));
  }
  if (const auto n = ParseCharactersPerLine(o.charsPerLine); ok && n) {
    const char data[2] = {static_cast<char>(*n & 0xFF), static_cast<char>((*n >> 8) & 0xFF)};
    ok = _Win32_WriteProfileData(p.get(), kSection, kKeyCharsPerLine, std::string_view(data, 2));
  }
  return ok;
}

std::string WorkstationId() { return Load().workstationId; }

std::optional<Printer> QueryPrinter() {
  const Options o = Load();
  if (!o.kindChosen) return std::nullopt;
  Printer p;
  p.windowsPrint = o.windowsPrint;
  if (o.windowsPrint) {
    if (o.printerName.empty()) return std::nullopt;
    p.printerName = o.printerName;
    return p;
  }
  const auto chars = ParseCharactersPerLine(o.charsPerLine);
  const auto replacement = ParseReplacementCharacter(o.replacement);
  const auto prefix = ParseEscapeSequence(o.prefix), lineFeed = ParseEscapeSequence(o.lineFeed),
             formFeed = ParseEscapeSequence(o.formFeed), cutPaper = ParseEscapeSequence(o.cutPaper),
             suffix = ParseEscapeSequence(o.suffix);
  if (o.port.empty() || !chars || !replacement || !prefix || !lineFeed || !formFeed ||
      !cutPaper || !suffix) {
    return std::nullopt;
  }
  p.charsPerLine = *chars;
  p.port = PortSettings{o.port, *prefix, *lineFeed, *formFeed, *cutPaper, *suffix, *replacement};
  return p;
}

void OpenOptions(HWND owner) {
  (void)DialogBoxParamW(AcqBase::ResourceInstance(), kOptionsDialog, owner, &OptionsDlgProc, 0);
}

void Initialize() {}
void Terminate() {}

}  // namespace acq::AcqWrkOptions

ACQ_UNIT_BODY(AcqWrkOptions)
