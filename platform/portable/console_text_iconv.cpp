// Terminal text without Windows: GBK converted with iconv to the locale's
// character set.
#include <iconv.h>
#include <langinfo.h>

#include <clocale>
#include <cstdio>
#include <string>

#include "platform/console_text.h"

namespace pk::platform {

std::string ConsoleText(std::string_view gbk) {
  static bool localeSet = [] {
    std::setlocale(LC_CTYPE, "");
    return true;
  }();
  (void)localeSet;
  const char* charset = nl_langinfo(CODESET);
  iconv_t cd = iconv_open(charset && *charset ? charset : "UTF-8", "GBK");
  if (cd == iconv_t(-1)) return std::string(gbk);
  std::string in(gbk), out(gbk.size() * 4 + 16, '\0');
  char* inPtr = in.data();
  size_t inLeft = in.size();
  char* outPtr = out.data();
  size_t outLeft = out.size();
  size_t r = iconv(cd, &inPtr, &inLeft, &outPtr, &outLeft);
  iconv_close(cd);
  if (r == size_t(-1)) {
    // Not convertible here (an ASCII terminal, say): fall back to UTF-8,
    // which every modern terminal shows, rather than to raw GBK bytes.
    iconv_t utf8 = iconv_open("UTF-8", "GBK");
    if (utf8 == iconv_t(-1)) return std::string(gbk);
    inPtr = in.data();
    inLeft = in.size();
    outPtr = out.data();
    outLeft = out.size();
    r = iconv(utf8, &inPtr, &inLeft, &outPtr, &outLeft);
    iconv_close(utf8);
    if (r == size_t(-1)) return std::string(gbk);
  }
  out.resize(out.size() - outLeft);
  return out;
}

std::string ConsoleName(std::string_view path) { return std::string(path); }

void PrintMessage(const Message& message) {
  // Paths are the file system's own bytes on POSIX systems and are printed
  // as they are; only the program's words are GBK.
  std::string caption = message.captionIsPath ? std::string(message.caption) : ConsoleText(message.caption);
  std::string line = caption + ": " + std::string(message.pathBeforeText) + ConsoleText(message.text) + "\n";
  std::fputs(line.c_str(), stderr);
}

}  // namespace pk::platform
