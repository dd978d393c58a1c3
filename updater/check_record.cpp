#include "updater/check_record.h"

#include <windows.h>

namespace pk::update {

int64_t UnixNow() {
  FILETIME now{};
  ::GetSystemTimeAsFileTime(&now);
  // 100-nanosecond steps since 1601.
  uint64_t ticks = (uint64_t(now.dwHighDateTime) << 32) | now.dwLowDateTime;
  return int64_t(ticks / 10000000) - 11644473600LL;
}

bool CheckDue(int64_t now) {
  HKEY key = nullptr;
  if (::RegOpenKeyExA(HKEY_CURRENT_USER, kCheckRecordKey, 0, KEY_QUERY_VALUE, &key) != ERROR_SUCCESS) return true;
  int64_t last = 0;
  DWORD type = 0, size = sizeof last;
  LSTATUS status = ::RegQueryValueExA(key, kLastCheckValue, nullptr, &type, reinterpret_cast<BYTE*>(&last), &size);
  ::RegCloseKey(key);
  if (status != ERROR_SUCCESS || type != REG_QWORD || size != sizeof last) return true;
  return now < last || now - last >= kCheckIntervalSeconds;
}

void RecordCheck(int64_t now) {
  HKEY key = nullptr;
  if (::RegCreateKeyExA(HKEY_CURRENT_USER, kCheckRecordKey, 0, nullptr, 0, KEY_SET_VALUE, nullptr, &key, nullptr) !=
      ERROR_SUCCESS) {
    return;
  }
  ::RegSetValueExA(key, kLastCheckValue, 0, REG_QWORD, reinterpret_cast<const BYTE*>(&now), sizeof now);
  ::RegCloseKey(key);
}

}  // namespace pk::update
