#include "updater/auto_update_setting.h"

#include <cstring>

namespace pk::update {

bool ReadAutoUpdate(const char* key, const char* valueName, DWORD* out) {
  HKEY opened = nullptr;
  if (::RegOpenKeyExA(HKEY_LOCAL_MACHINE, key, 0, KEY_QUERY_VALUE, &opened) != ERROR_SUCCESS) return false;
  BYTE data[4] = {};
  DWORD size = sizeof data;
  if (::RegQueryValueExA(opened, valueName, nullptr, nullptr, data, &size) == ERROR_SUCCESS && size <= sizeof data) {
    // Shorter data (a one-character string, say) fills the low bytes of a
    // number that starts at 0.
    DWORD value = 0;
    std::memcpy(&value, data, size);
    *out = value;
  }
  ::RegCloseKey(opened);
  return true;
}

bool WriteAutoUpdate(const char* key, const char* valueName, DWORD value) {
  HKEY opened = nullptr;
  if (::RegOpenKeyExA(HKEY_LOCAL_MACHINE, key, 0, KEY_SET_VALUE, &opened) != ERROR_SUCCESS) return false;
  LSTATUS status = ::RegSetValueExA(opened, valueName, 0, REG_DWORD, reinterpret_cast<const BYTE*>(&value),
                                    sizeof value);
  ::RegCloseKey(opened);
  return status == ERROR_SUCCESS;
}

bool AutoUpdateWithoutPrompt() {
  DWORD mode = 0;
  ReadAutoUpdate(kSettingsKey, kAutoUpdateValue, &mode);
  return mode != 0;
}

}  // namespace pk::update
