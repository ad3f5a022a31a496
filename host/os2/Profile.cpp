// The workstation profile: an INI file (Lb_WorkstationIniPath) read and
// written through the host's INI helpers. A handle only remembers the path,
// so every query sees what other processes wrote since. A null handle means
// the workstation profile itself.
#include <string>
#include <utility>

#include "host/os2/PwOs.h"
#include "host/sys/LbStr.h"

struct ProfileImpl {
  std::string path;
};

namespace {

std::string PathOf(HPROFILE profile) {
  return profile ? profile->path : Lb_WorkstationIniPath();
}

int HexDigit(char c) {
  if (c >= '0' && c <= '9') return c - '0';
  if (c >= 'A' && c <= 'F') return c - 'A' + 10;
  if (c >= 'a' && c <= 'f') return c - 'a' + 10;
  return -1;
}

}  // namespace

HPROFILE _Win32_OpenProfile() { return new ProfileImpl{Lb_WorkstationIniPath()}; }

void _Win32_CloseProfile(HPROFILE* profile) {
  if (!profile) return;
  delete *profile;
  *profile = nullptr;
}

std::string _Win32_QueryProfileString(HPROFILE profile, std::string_view section,
                                      std::string_view key, std::string_view fallback,
                                      int maxChars) {
  std::string value = Lb_IniRead(PathOf(profile), section, key, fallback);
  return maxChars >= 0 ? Lb_CutChars(value, static_cast<size_t>(maxChars)) : value;
}

bool _Win32_WriteProfileString(HPROFILE profile, std::string_view section,
                               std::string_view key, std::string_view value) {
  return Lb_IniWrite(PathOf(profile), section, key, value);
}

bool _Win32_QueryProfileData(HPROFILE profile, std::string_view section,
                             std::string_view key, std::string& data) {
  // A value of odd length or with a non-hex character is treated as absent.
  const std::string absent = "\x01";
  std::string hex = Lb_IniRead(PathOf(profile), section, key, absent);
  if (hex == absent || hex.size() % 2 != 0) return false;
  std::string bytes;
  bytes.reserve(hex.size() / 2);
  for (size_t i = 0; i < hex.size(); i += 2) {
    int high = HexDigit(hex[i]), low = HexDigit(hex[i + 1]);
    if (high < 0 || low < 0) return false;
    bytes.push_back(static_cast<char>(high * 16 + low));
  }
  data = std::move(bytes);
  return true;
}

bool _Win32_WriteProfileData(HPROFILE profile, std::string_view section,
                             std::string_view key, std::string_view data) {
  static constexpr char kDigits[] = "0123456789ABCDEF";
  std::string hex;
  hex.reserve(data.size() * 2);
  for (unsigned char byte : data) {
    hex.push_back(kDigits[byte >> 4]);
    hex.push_back(kDigits[byte & 0x0F]);
  }
  return Lb_IniWrite(PathOf(profile), section, key, hex);
}
