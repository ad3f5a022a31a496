// Words of a script or terminal line, shared by the drivers of this folder
// (not part of the host's interface).
#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "host/muc/UiDriver.h"

#include "host/sys/LbStr.h"

using UiWord = LbWord;

// Splits `line` into words: runs of non-blanks, or "double-quoted" text
// with \", \\, \n, \r and \t escapes. A word starting with '#' outside quotes starts a
// comment that runs to the end of the line. False with `error` for an
// unterminated quote or an unknown escape.
bool Ui_SplitWords(std::string_view line, std::vector<UiWord>& out, std::string& error);

// `text` in double quotes, with \\, \", \n, \r and \t escaped so an event
// stays on one transcript line.
std::string Ui_Quote(std::string_view text);

// A number: decimal (a leading '-' allowed when `allowNegative`) or "0x"
// hexadecimal, within 64 bits.
bool Ui_ParseNumber(std::string_view text, bool allowNegative, int64_t& out);

// The action of `words` (already split); see Ui_ParseAction.
bool Ui_ParseActionWords(const std::vector<UiWord>& words, UiAction& out, std::string& error);
