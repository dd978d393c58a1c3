// Where the program's text meets the system on Windows. Every text the
// program hands to a wide (...W) call, or reads back from one, passes here:
//
// - the program's own words (messages, captions, filters, the buttons'
//   font name) are GBK byte strings, converted from code page 936 by name,
//   so they read the same whatever code page the system runs in;
// - paths, and any other text that comes from the user or the system, are
//   UTF-8 inside the program, so no name is lost to the ANSI code page.
#pragma once

#include <string>
#include <string_view>

namespace pk::win32 {

// The code page of the program's own words.
inline constexpr unsigned kProgramCodePage = 936;

std::wstring WideFromGbk(std::string_view gbk);
// A character that GBK lacks becomes '?'.
std::string GbkFromWide(std::wstring_view wide);

// Malformed UTF-8 becomes U+FFFD; a lone surrogate in wide text does too.
std::wstring WideFromUtf8(std::string_view utf8);
std::string Utf8FromWide(std::wstring_view wide);

// The whole path of a loaded module (null: the executable), however long;
// empty when the system gives none.
std::wstring ModuleFileName(void* module);

}  // namespace pk::win32
