// The settings of a port printer as a person types them in the workstation's
// workslip options: escape sequences, the replacement character and the
// characters per line. Each parser either accepts the whole text or refuses
// it (std::nullopt); a refusal is the caller's cue for its own message.
#pragma once

#include <cstdint>
#include <optional>
#include <string_view>
#include <vector>

// Codes of an escape sequence, in order; each code is one character sent to
// the printer as raw bytes (see PrintFilter.h), never as text.
using EscapeSequence = std::vector<uint16_t>;

// The most characters of text an escape-sequence setting may hold.
inline constexpr size_t kEscapeTextMaxChars = 80;

// Parses "/27/105": one or more decimal codes, each preceded by a slash;
// blanks (spaces and tabs) anywhere are ignored, so "/ 27 / 105" is the same.
// Empty or blank text is the empty sequence (nothing to send), accepted.
// Refused: a code without its slash ("27/105"), a slash without digits
// ("//", "/", "/27/"), anything but digits ("/27/x", "/-1"), a code over
// 65535, and text longer than kEscapeTextMaxChars characters.
[[nodiscard]] std::optional<EscapeSequence> ParseEscapeSequence(std::string_view text);

// Parses the replacement character: exactly two hexadecimal digits naming
// the byte sent for each character the printer cannot print ("3F" -> '?').
// Lower-case digits ("3f") are accepted too, as everywhere on Linux; blanks
// are not trimmed. Refused: any other length or character ("3", "G0", "3F0").
[[nodiscard]] std::optional<uint8_t> ParseReplacementCharacter(std::string_view text);

// Largest characters-per-line setting (the profile keeps it in 16 bits).
inline constexpr int kCharsPerLineMax = 32767;

// Parses the characters per line: a whole number 1..kCharsPerLineMax in
// decimal digits, blanks around it ignored. Refused: empty text, signs,
// letters, 0 and anything larger than kCharsPerLineMax.
[[nodiscard]] std::optional<int> ParseCharactersPerLine(std::string_view text);
