// The library's own memory of when this user last looked for an update, so
// that leaving the program waits on the network at most once a day. It lives
// in HKEY_CURRENT_USER\Software\Pixelkite\NubUpdater, value "LastCheck"
// (REG_QWORD, seconds since 1970, UTC); deleting the key makes the next exit
// check again.
#pragma once

#include <cstdint>

namespace pk::update {

inline constexpr char kCheckRecordKey[] = "Software\\Pixelkite\\NubUpdater";
inline constexpr char kLastCheckValue[] = "LastCheck";
inline constexpr int64_t kCheckIntervalSeconds = 24 * 60 * 60;

// Seconds since 1970, UTC, by the system clock.
int64_t UnixNow();

// True unless the record says this user checked less than a day before `now`.
// A record in the future (a clock set back since) does not hold checks off.
bool CheckDue(int64_t now);

// Notes a check at `now`. Done before the network is asked, so that a check
// that fails, or that the end of the program cuts short, counts as well.
void RecordCheck(int64_t now);

}  // namespace pk::update
