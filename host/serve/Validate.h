// The checks on every message the page sends over its WebSocket, against
// what the frame showed last: only well-formed messages about windows and
// questions that exist go on to the frame.
#pragma once

#include <cstdint>
#include <map>
#include <optional>
#include <set>
#include <string>
#include <string_view>
#include <vector>

#include <nlohmann/json_fwd.hpp>

namespace acqserve {

// Longest text a page message may carry (an action's text, an answer's
// value), in bytes.
constexpr size_t kMaxPageText = 64 * 1024;

// The question the frame asks now.
struct OpenAsk {
  int64_t id = 0;
  std::string kind;                   // message | credentials | text | file | files | choice | menu
  std::vector<std::string> buttons;   // message: the buttons offered
  size_t options = 0;                 // choice, menu: how many options or items it offers
};
// The most files one question for several files takes.
constexpr size_t kMaxFilesPerAsk = 100;

// What the frame showed last, as far as the checks need it.
struct FrameState {
  std::set<int64_t> windows;          // ids of the windows of the last screen
  std::optional<int64_t> modal;       // the window that waits for an answer
  std::optional<int64_t> current;     // the window actions without one apply to
  std::map<int64_t, size_t> treeItems;  // by window: the items its first tree shows
  std::optional<OpenAsk> ask;         // none once answered
  std::vector<std::string> uploaded;  // a files question's paths stored so far, in upload order
};

struct PageVerdict {
  enum class Kind { Refused, Action, Answer, Logout };
  Kind kind = Kind::Refused;
  std::string refusal;    // Refused: why, as the page and the log show it
  std::string frameLine;  // Action, Answer: the line for the frame (without "\n"),
                          // rebuilt from the checked fields only
};

// Checks one text frame of the page against `state`. Never throws.
PageVerdict Serve_CheckPageMessage(std::string_view text, const FrameState& state);

// Reads what a frame message (an object) says about the screen and questions
// into `state`: a `screen` replaces the windows and clears the question, an
// `ask` with an integer id and a kind opens one. False for an `ask` without
// them (the message is then dropped); other messages leave `state` alone.
bool Serve_NoteFrameMessage(const nlohmann::json& message, FrameState& state);

}  // namespace acqserve
