// The one seam between the program and a person. Every question the module
// asks and every window it shows goes through the installed driver: the
// scripted driver (answers from a script, writes a transcript) or the
// terminal driver (asks a person at a terminal). Later drivers render
// dialogs, listers and editors from their templates and definitions.
#pragma once

#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

// Message-box answers, numbered as Win32's IDOK .. IDNO.
enum class MsgAnswer : int { Ok = 1, Cancel = 2, Abort = 3, Retry = 4, Ignore = 5, Yes = 6, No = 7 };
enum class MsgButtons : int { Ok = 0, OkCancel = 1, AbortRetryIgnore = 2, YesNoCancel = 3, YesNo = 4, RetryCancel = 5 };
enum class MsgIcon : int { None = 0, Error = 0x10, Question = 0x20, Warning = 0x30, Information = 0x40 };

// A person's credentials given at a security prompt.
struct Credentials { std::string user; std::string password; };

class UiDriver {
 public:
  virtual ~UiDriver() = default;
  // Shows a message box and returns the button chosen (one of `buttons`).
  virtual MsgAnswer MessageBox(std::string_view caption, std::string_view text,
                               MsgButtons buttons, MsgIcon icon) = 0;
  // Asks for a user name and password for `reason` ("Authorise: poEdit");
  // nullopt when the person cancels.
  virtual std::optional<Credentials> AskCredentials(std::string_view reason) = 0;
  // Asks for one line of text (a file name, a value); nullopt on cancel.
  virtual std::optional<std::string> AskText(std::string_view prompt,
                                             std::string_view initial, bool secret) = 0;
  // Something a person would have seen without answering: a window opened
  // or closed, the hourglass, a status line. `kind` is one word.
  virtual void Notice(std::string_view kind, std::string_view text) = 0;
  // Whether a script or person still has actions for the frame; the next
  // one. Terminal: reads a command line; script: the next action line.
  virtual std::optional<std::string> NextAction() = 0;
  // True once the run must end unsuccessfully (an unanswered question, a
  // failed expectation); the reason for the transcript.
  virtual bool Failed(std::string* reason = nullptr) const = 0;
  // Log-in texts given in advance (a script's `login` line); nullopt when
  // the frame must ask.
  virtual std::optional<Credentials> StartupLogin() const { return std::nullopt; }
  // The frame is about to shut down. A script checks what is left: answers
  // not used, expectations after the last action, actions never run.
  virtual void Finish() {}
};

// An action for the frame as NextAction spells it: "command N",
// "send MSG WPARAM LPARAM", "post MSG WPARAM LPARAM" or "close". Numbers are
// decimal (LPARAM may be negative) or hexadecimal "0x..".
struct UiAction {
  enum class Kind { Command, Send, Post, Close };
  Kind kind = Kind::Close;
  uint32_t message = 0;   // the command id for Command
  uintptr_t wParam = 0;
  intptr_t lParam = 0;
};
// False with `error` set when `text` is not an action.
bool Ui_ParseAction(std::string_view text, UiAction& out, std::string* error);
// The normalized text of an action ("send 0x0BD0 0 0").
std::string Ui_ActionText(const UiAction& action);

// The driver the host uses; the frame installs one before loading the
// module. With none installed, a message box is written to stderr and
// answered with its first button.
void Ui_SetDriver(UiDriver* driver);
UiDriver* Ui_Driver();

// Drivers.
// Script: see ScriptDriver.cpp for the language. `transcriptPath` "-" is
// stdout, "" none.
std::unique_ptr<UiDriver> Ui_MakeScriptDriver(std::string_view scriptText,
                                              std::string_view scriptName,
                                              std::string_view transcriptPath,
                                              std::string* error);
// Terminal: questions on stdout/stdin (no echo for secrets).
std::unique_ptr<UiDriver> Ui_MakeTerminalDriver();
