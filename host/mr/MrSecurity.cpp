// Security prompts: whether the current user holds a privilege, and when
// not, another user's authorisation asked through the UI driver.
#include <optional>
#include <string>

#include "host/muc/MucTools.h"
#include "host/mr/PwMr.h"

namespace {

constexpr int kAllowOtherUser = 2;
constexpr int kTries = 3;
constexpr const char* kRefusedMessage =
    "Security|The user name or password is incorrect, or that user does not hold this "
    "privilege.";

enum class Verdict { Granted, Refused, Error };

// Whether `user` holds `privilege`; a database failure is shown and counts
// as an error (the caller stops asking).
Verdict Holds(HDb session, const std::string& user, int32_t privilege, HWND owner,
              bool showErrors) {
  bool has = false;
  DbMsg msg;
  DbCode code = DbUser_HasPrivilege(session, user, privilege, has, msg);
  if (code != kDbOk) {
    if (showErrors) MucTools_MsgBoxCap(owner, _DbErrStr(code, msg), MB_OK | MB_ICONERROR);
    return Verdict::Error;
  }
  return has ? Verdict::Granted : Verdict::Refused;
}

// Another user's credentials for `privilege`: right password and holding it.
Verdict Authorises(HDb session, const Credentials& who, int32_t privilege, HWND owner) {
  DbMsg msg;
  DbCode code = DbUser_CheckPassword(session, who.user, who.password, msg);
  if (code == kDbLoginFailed) return Verdict::Refused;
  if (code != kDbOk) {
    MucTools_MsgBoxCap(owner, _DbErrStr(code, msg), MB_OK | MB_ICONERROR);
    return Verdict::Error;
  }
  return Holds(session, who.user, privilege, owner, true);
}

}  // namespace

bool MrKeyStr_CheckSecurityUserNoPrompt(int32_t privilege, HDb session) {
  return Holds(session, DbUser_GetUser(), privilege, nullptr, false) == Verdict::Granted;
}

bool MrKeyStr_CheckSecurityUser(int32_t privilege, int, int c2, HDb session, HWND owner) {
  switch (Holds(session, DbUser_GetUser(), privilege, owner, true)) {
    case Verdict::Granted: return true;
    case Verdict::Error: return false;
    case Verdict::Refused: break;
  }
  UiDriver* driver = Ui_Driver();
  if (c2 != kAllowOtherUser || !driver) return false;
  const std::string reason = "Authorisation needed: privilege " + std::to_string(privilege);
  for (int attempt = 0; attempt < kTries; ++attempt) {
    std::optional<Credentials> who = driver->AskCredentials(reason);
    if (!who) return false;
    switch (Authorises(session, *who, privilege, owner)) {
      case Verdict::Granted:
        driver->Notice("security", "granted by " + who->user);
        return true;
      case Verdict::Error: return false;
      case Verdict::Refused: MucTools_MsgBoxCap(owner, kRefusedMessage, MB_OK | MB_ICONWARNING);
    }
  }
  return false;
}
