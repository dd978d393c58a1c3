// The program's one persisted setting: how updates are offered. The settings
// dialog writes it, the update library reads it; both go through here.
// HKEY_LOCAL_MACHINE\SOFTWARE\Pixelkite, value "AutoUpdate": 0 asks before
// updating, anything else updates without asking.
#pragma once

#include <windows.h>

namespace pk::update {

inline constexpr char kSettingsKey[] = "SOFTWARE\\Pixelkite";
inline constexpr char kAutoUpdateValue[] = "AutoUpdate";

// Opens `key` under HKEY_LOCAL_MACHINE for reading only; false when it cannot
// (and `out` is untouched). Otherwise reads at most 4 bytes of the value,
// whatever its type, into `out` lowest byte first, and returns true. A read
// the system refuses (no value, data longer than 4 bytes) leaves `out` as it
// was: the system leaves the buffer undefined then.
bool ReadAutoUpdate(const char* key, const char* valueName, DWORD* out);

// Opens the existing `key` under HKEY_LOCAL_MACHINE with the right to set
// values only (it is never created) and stores `value` as a REG_DWORD. False
// when the key cannot be opened or the value cannot be stored.
bool WriteAutoUpdate(const char* key, const char* valueName, DWORD value);

// True when the stored setting asks for updates without a prompt.
bool AutoUpdateWithoutPrompt();

}  // namespace pk::update
