// AcqWrkOptions: this workstation's workslip printer, kept in the
// workstation profile (section "ACQ"): a printer of the system, or a port
// with the escape sequences of the printer behind it.
#pragma once

#include <cstdint>
#include <optional>
#include <string>

#include "host/print/PortPrint.h"
#include "host/win32/Win32.h"

namespace acq::AcqWrkOptions {

// The settings as a person types them (the dialog's fields) and as the
// profile keeps them: escape sequences as text ("/27/105"), the replacement
// character as two hexadecimal digits, the characters per line in digits.
struct Options {
  std::string workstationId;   // up to 30 characters
  bool windowsPrint = true;    // else port printing
  bool kindChosen = false;     // WRKSLP_WINDOWS_PRINT is in the profile
  std::string printerName;
  std::string port;            // "COM1" .. "LPT3"; "" when none chosen
  std::string prefix, lineFeed, formFeed, cutPaper, suffix;
  std::string replacement;     // "3F"
  std::string charsPerLine;    // "40"
};

// The longest workstation ID the profile keeps.
inline constexpr size_t kWorkstationIdChars = 30;

// The profile's settings; absent keys give empty fields (replacement and
// characters per line: "" when their data is absent or damaged).
Options Load();

// Why `o` cannot be saved: a message of the string table and the dialog
// control it is about (0, 0: it can be saved). Windows printing needs a
// printer; port printing numeric characters per line, escape sequences of
// slash-led decimal codes and a two-digit hexadecimal replacement character.
struct Refusal {
  int message = 0;
  int control = 0;
};
Refusal Check(const Options& o);

// Writes every key of `o` to the profile. REQUIRES: Check(o) found nothing.
// False when the profile cannot be written.
[[nodiscard]] bool Save(const Options& o);

// The workstation's ID from the profile ("" when none was saved).
std::string WorkstationId();

// What printing on this workstation needs, parsed: nullopt when workslip
// printing is not set up (no kind chosen, Windows printing without a
// printer, port printing without a port or with settings that do not parse).
struct Printer {
  bool windowsPrint = true;
  std::string printerName;     // Windows printing
  PortSettings port;           // port printing
  int charsPerLine = 0;        // port printing
};
std::optional<Printer> QueryPrinter();

// "Workstation Workslip Options" (dialog 85): loads the profile, checks
// and saves it on OK.
void OpenOptions(HWND owner);

void Initialize();
void Terminate();

}  // namespace acq::AcqWrkOptions
