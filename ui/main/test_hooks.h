// Test builds only (PK_COUNT_HANDLES): messages through which an outside
// test program drives the running window and asks about its state.
//
// - WM_COPYDATA tagged kTestDropTag carries a UTF-16 path. The window makes a
//   drop of that one file in its own memory (a drop's handle cannot travel
//   between processes) and posts it to itself; the drop then reaches the
//   window as WM_DROPFILES, as one from the shell does. The answer is the
//   drop's ticket; an empty path makes a ticket without a drop, which marks
//   the point where everything posted before it has been handled.
// - The registered message kTestQueryMessage: wParam kTestQueryDone answers
//   the last ticket handled; wParam 0 .. HandleKind::Count - 1 answers the
//   live handles of that kind.
#pragma once

#include <windows.h>

inline constexpr ULONG_PTR kTestDropTag = 0x504B4452;  // "PKDR"
inline constexpr char kTestQueryMessage[] = "Pixelkite.TestQuery";
inline constexpr WPARAM kTestQueryDone = 0x100;

#ifdef PK_COUNT_HANDLES
// True when `message` is one of the test messages; `*result` is its answer.
bool AnswerTestMessage(HWND window, UINT message, WPARAM w, LPARAM l, LRESULT* result);
#else
inline bool AnswerTestMessage(HWND, UINT, WPARAM, LPARAM, LRESULT*) { return false; }
#endif
