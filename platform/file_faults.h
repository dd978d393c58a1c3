// Failures of the file layer on demand, for tests. The Nth call of one kind of
// file operation goes wrong the way the system could make it go wrong, inside
// the backend, so every reader and writer above it (the savers, the readers,
// anything else that writes through ReplacementFile) can be driven down each
// of its error paths on both backends without a test hook of its own.
//
// Compiled in with PK_FILE_FAULTS (the native, native-asan and win64 presets);
// without it the backends' checks are constant and nothing is counted.
#pragma once

#include <cstdint>
#include <optional>

namespace pk::platform {

// The calls the backends count. Close and Flush are those of Commit.
enum class FileCall { Open, Create, Read, Write, Seek, Flush, Close, Replace };
inline constexpr int kFileCallKinds = 8;

enum class FileFaultKind {
  Fail,     // the call fails with an I/O error
  Short,    // a read or a write moves half the bytes asked and reports success
  Refused,  // the target is read-only or held open by another program
};

#ifdef PK_FILE_FAULTS

// Restarts the counts and arms one fault: the `nth` call (from 1) of `call`
// from now on goes wrong as `kind` says. Later calls work again.
void InjectFileFault(FileCall call, uint32_t nth, FileFaultKind kind);
// Restarts the counts with nothing armed.
void ResetFileFaults();
// Calls of `call` counted since the last restart.
uint32_t CountedFileCalls(FileCall call);
// Faults that have gone off since the process started.
uint32_t FileFaultsFired();

// For the backends: counts one call and says how it must go wrong, if it is
// the armed one.
std::optional<FileFaultKind> TakeFileFault(FileCall call);

#else

inline std::optional<FileFaultKind> TakeFileFault(FileCall) { return std::nullopt; }

#endif

}  // namespace pk::platform
