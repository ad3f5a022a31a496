// String helpers of the host: number text, environment paths, message
// placeholders and character counting of UTF-8 text.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

std::string Lb_Int32ToStr(int32_t value);
std::string Lb_Int16ToStr(int16_t value);
// Path made of the folder in environment variable `var` and `file`; just
// `file` when the variable is unset or empty. Cut to `maxChars` characters.
std::string Lb_GetPathFromEnv(std::string_view var, std::string_view file,
                              int maxChars = 255);
// Replaces %1..%4 by the arguments given (missing ones by "").
std::string Lb_FormatMessage(std::string_view text, std::string_view a1 = {},
                             std::string_view a2 = {}, std::string_view a3 = {},
                             std::string_view a4 = {});
// Number of characters (code points) in UTF-8 text.
size_t Lb_CharCount(std::string_view utf8);
// The first `maxChars` characters, never splitting a character.
std::string Lb_CutChars(std::string_view utf8, size_t maxChars);
// Splits "Caption|Text" at the first bar; no bar: empty caption.
void Lb_SplitCaption(std::string_view message, std::string& caption, std::string& text);

// A word of a line of the host's little languages (scripts, resources).
struct LbWord {
  std::string text;
  bool quoted = false;   // given in double quotes: "cancel" is a value, not a keyword
};
// Splits `line` into words: runs of non-blanks, or "double-quoted" text
// with \", \\, \n, \r and \t as the only escapes. With `hashComments`, a '#' starting a
// word outside quotes ends the line. False with `error` for an unterminated
// quote or an unknown escape.
bool Lb_SplitWords(std::string_view line, std::vector<LbWord>& out, std::string& error,
                   bool hashComments);

// The workstation's configuration file: $ACQ_WORKSTATION, else
// $XDG_CONFIG_HOME/acq/workstation.ini, else ~/.config/acq/workstation.ini.
// An INI file: "[section]" lines, "key=value" lines, ';' or '#' comments.
std::string Lb_WorkstationIniPath();
// Reads `key` of `section` (case-insensitive names); `fallback` if absent.
std::string Lb_IniRead(const std::string& path, std::string_view section,
                       std::string_view key, std::string_view fallback = {});
// Writes or replaces the entry, creating file and folders as needed; the file
// is replaced atomically. False (with errno's text in `error`) on failure.
bool Lb_IniWrite(const std::string& path, std::string_view section,
                 std::string_view key, std::string_view value, std::string* error = nullptr);

// ---- text that people and files give, in messages and checks ----------------------
// `text` shortened for quoting in a message: at most `maxChars` characters
// and "..." after a cut, so a message repeats only the start of an input
// of any length.
std::string Lb_CutForMessage(std::string_view text, size_t maxChars = 60);
// Whether `text` is well-formed UTF-8 (no overlong forms, surrogates or
// code points above U+10FFFF).
bool Lb_IsValidUtf8(std::string_view text);
// The code points of well-formed UTF-8 `text` (check Lb_IsValidUtf8 first;
// a malformed byte is taken as U+FFFD).
std::vector<char32_t> Lb_CodePoints(std::string_view text);
