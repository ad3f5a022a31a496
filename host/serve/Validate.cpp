// Page messages are untrusted: each is parsed, checked field by field and
// rebuilt, so nothing the page adds ever reaches the frame.
#include "host/serve/Validate.h"

#include <algorithm>
#include <nlohmann/json.hpp>

#include "host/muc/UiDriver.h"

namespace acqserve {
namespace {

using nlohmann::json;

PageVerdict Refuse(std::string why) {
  PageVerdict v;
  v.refusal = std::move(why);
  return v;
}

// The string member `key` of `message` into `out`: false when it is there
// but not a string of at most kMaxPageText bytes (`why` says so).
bool TextMember(const json& message, const char* key, std::optional<std::string>& out,
                std::string& why) {
  auto it = message.find(key);
  if (it == message.end()) return true;
  if (!it->is_string()) {
    why = std::string("\"") + key + "\" is not a string";
    return false;
  }
  const std::string& text = it->get_ref<const std::string&>();
  if (text.size() > kMaxPageText) {
    why = std::string("\"") + key + "\" is longer than 64 KiB";
    return false;
  }
  out = text;
  return true;
}

// An integer member; nullopt when absent, false when it is not an integer.
bool IdMember(const json& message, const char* key, std::optional<int64_t>& out,
              std::string& why) {
  auto it = message.find(key);
  if (it == message.end()) return true;
  if (!it->is_number_integer()) {
    why = std::string("\"") + key + "\" is not a whole number";
    return false;
  }
  out = it->get<int64_t>();
  return true;
}

PageVerdict CheckAction(const json& message, const FrameState& state) {
  std::string why;
  std::optional<std::string> text;
  std::optional<int64_t> window;
  if (!TextMember(message, "text", text, why) || !IdMember(message, "window", window, why))
    return Refuse(why);
  if (!text) return Refuse("an action without \"text\"");
  UiAction action;
  std::string error;
  if (!Ui_ParseAction(*text, action, &error)) return Refuse("not an action: " + error);
  using K = UiAction::Kind;
  if (action.kind == K::Send || action.kind == K::Post || action.kind == K::Menu)
    return Refuse("the page may not send this action");
  if (window && state.windows.count(*window) == 0)
    return Refuse("no window " + std::to_string(*window) + " on the screen");
  if (state.ask) return Refuse("a question is open: answer it first");
  if (state.modal) {
    if (action.kind == K::Command) return Refuse("a window waits for an answer: no menu commands");
    if (window && *window != *state.modal)
      return Refuse("window " + std::to_string(*state.modal) + " waits for an answer");
  }
  if (action.kind == K::Node || action.kind == K::Rename || action.kind == K::Drag) {
    // Item numbers within what the window's tree showed.
    const std::optional<int64_t> on = window ? window : state.current;
    const auto items = on ? state.treeItems.find(*on) : state.treeItems.end();
    if (items == state.treeItems.end()) return Refuse("the window has no tree");
    for (int n : action.rows)
      if (static_cast<size_t>(n) > items->second)
        return Refuse("the tree has no item " + std::to_string(n));
  }
  json line = {{"t", "action"}, {"text", *text}};
  if (window) line["window"] = *window;
  PageVerdict v;
  v.kind = PageVerdict::Kind::Action;
  v.frameLine = line.dump();
  return v;
}

PageVerdict CheckAnswer(const json& message, const FrameState& state) {
  std::string why;
  std::optional<int64_t> id, choice;
  std::optional<std::string> button, user, password, value;
  if (!IdMember(message, "id", id, why) || !IdMember(message, "choice", choice, why) ||
      !TextMember(message, "button", button, why) ||
      !TextMember(message, "user", user, why) || !TextMember(message, "password", password, why) ||
      !TextMember(message, "text", value, why))
    return Refuse(why);
  if (!id) return Refuse("an answer without \"id\"");
  if (!state.ask || state.ask->id != *id)
    return Refuse("no open question " + std::to_string(*id));
  bool cancel = false;
  if (auto it = message.find("cancel"); it != message.end()) {
    if (!it->is_boolean()) return Refuse("\"cancel\" is not true or false");
    cancel = it->get<bool>();
  }
  const OpenAsk& ask = *state.ask;
  json line = {{"t", "answer"}, {"id", *id}};
  const int given = int(button.has_value()) + int(user || password) + int(value.has_value()) +
                    int(choice.has_value());
  if (cancel) {
    if (given != 0) return Refuse("a cancelled answer carries no value");
    line["cancel"] = true;
  } else if (ask.kind == "message") {
    if (!button || given != 1) return Refuse("a message box is answered by a button");
    if (std::find(ask.buttons.begin(), ask.buttons.end(), *button) == ask.buttons.end())
      return Refuse("the button \"" + *button + "\" is not offered");
    line["button"] = *button;
  } else if (ask.kind == "credentials") {
    if (!user || !password || given != 1) return Refuse("a security prompt takes a user and a password");
    line["user"] = *user;
    line["password"] = *password;
  } else if (ask.kind == "choice" || ask.kind == "menu") {
    if (!choice || given != 1) return Refuse("a choice is answered by the number of an option");
    if (*choice < 0 || static_cast<uint64_t>(*choice) >= ask.options)
      return Refuse("there is no option " + std::to_string(*choice));
    line["choice"] = *choice;
  } else if (ask.kind == "text") {
    if (!value || given != 1) return Refuse("a text prompt is answered by a text");
    line["text"] = *value;
  } else if (ask.kind == "files") {
    // The files came by upload; the answer only says that was all of them,
    // and the frame gets the paths the server stored them at.
    if (given != 0) return Refuse("a question for several files is answered by uploads only");
    if (state.uploaded.empty()) return Refuse("upload the files first");
    line["paths"] = state.uploaded;
  } else {
    // A file prompt is answered by an upload; a path from the page would
    // name any file the server can read.
    return Refuse("a file prompt is answered by uploading a file");
  }
  PageVerdict v;
  v.kind = PageVerdict::Kind::Answer;
  v.frameLine = line.dump();
  return v;
}

}  // namespace

PageVerdict Serve_CheckPageMessage(std::string_view text, const FrameState& state) {
  json message = json::parse(text, nullptr, /*allow_exceptions=*/false);
  if (message.is_discarded()) return Refuse("not JSON");
  if (!message.is_object()) return Refuse("not a JSON object");
  auto t = message.find("t");
  if (t == message.end() || !t->is_string()) return Refuse("no message type \"t\"");
  const std::string& type = t->get_ref<const std::string&>();
  if (type == "action") return CheckAction(message, state);
  if (type == "answer") return CheckAnswer(message, state);
  if (type == "logout") {
    PageVerdict v;
    v.kind = PageVerdict::Kind::Logout;
    return v;
  }
  return Refuse("unknown message type \"" + type.substr(0, 40) + "\"");
}

bool Serve_NoteFrameMessage(const json& message, FrameState& state) {
  auto t = message.find("t");
  if (t == message.end() || !t->is_string()) return false;
  const std::string& type = t->get_ref<const std::string&>();
  if (type == "screen") {
    state.windows.clear();
    state.treeItems.clear();
    state.modal.reset();
    state.current.reset();
    state.ask.reset();
    state.uploaded.clear();
    if (auto windows = message.find("windows"); windows != message.end() && windows->is_array()) {
      for (const json& w : *windows) {
        auto id = w.is_object() ? w.find("id") : w.end();
        if (!w.is_object() || id == w.end() || !id->is_number_integer()) continue;
        state.windows.insert(id->get<int64_t>());
        auto trees = w.find("trees");
        if (trees == w.end() || !trees->is_array() || trees->empty()) continue;
        const json& first = (*trees)[0];
        auto nodes = first.is_object() ? first.find("nodes") : first.end();
        state.treeItems[id->get<int64_t>()] =
            first.is_object() && nodes != first.end() && nodes->is_array() ? nodes->size() : 0;
      }
    }
    if (auto current = message.find("current");
        current != message.end() && current->is_number_integer())
      state.current = current->get<int64_t>();
    if (auto modal = message.find("modal"); modal != message.end() && modal->is_number_integer())
      state.modal = modal->get<int64_t>();
  } else if (type == "ask") {
    OpenAsk ask;
    auto id = message.find("id");
    auto kind = message.find("kind");
    if (id == message.end() || !id->is_number_integer() || kind == message.end() ||
        !kind->is_string())
      return false;
    ask.id = id->get<int64_t>();
    ask.kind = kind->get<std::string>();
    if (auto options = message.find("options"); options != message.end() && options->is_array())
      ask.options = options->size();
    if (auto buttons = message.find("buttons"); buttons != message.end() && buttons->is_array()) {
      for (const json& b : *buttons)
        if (b.is_string()) ask.buttons.push_back(b.get<std::string>());
    }
    state.ask = std::move(ask);
    state.uploaded.clear();
  }
  return true;
}

}  // namespace acqserve
