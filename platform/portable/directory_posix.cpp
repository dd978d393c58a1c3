// Folders and names on POSIX systems: names are bytes, by convention UTF-8.
#include <dirent.h>
#include <fcntl.h>
#include <iconv.h>
#include <limits.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>
#include <memory>

#include "platform/directory.h"

namespace pk::platform {
namespace {

PathType TypeOfMode(mode_t mode) {
  if (S_ISREG(mode)) return PathType::File;
  if (S_ISDIR(mode)) return PathType::Directory;
  return PathType::Other;
}

}  // namespace

PathType TypeOfPath(const char* path) {
  struct stat st;
  if (::stat(path, &st) != 0) return PathType::Missing;
  return TypeOfMode(st.st_mode);
}

std::optional<std::vector<DirectoryEntry>> ReadDirectory(const char* path) {
  std::unique_ptr<DIR, int (*)(DIR*)> dir(::opendir(path), ::closedir);
  if (!dir) return std::nullopt;
  std::vector<DirectoryEntry> entries;
  while (dirent* d = ::readdir(dir.get())) {
    std::string_view name = d->d_name;
    if (name == "." || name == "..") continue;
    DirectoryEntry entry;
    entry.name = std::string(name);
    struct stat st;
    if (::fstatat(::dirfd(dir.get()), d->d_name, &st, AT_SYMLINK_NOFOLLOW) != 0) continue;
    entry.isLink = S_ISLNK(st.st_mode);
    entry.type = entry.isLink ? PathType::Other : TypeOfMode(st.st_mode);
    entries.push_back(std::move(entry));
  }
  return entries;
}

std::optional<std::string> RealPath(const char* path) {
  std::unique_ptr<char, decltype(&std::free)> real(::realpath(path, nullptr), std::free);
  if (!real) return std::nullopt;
  return std::string(real.get());
}

bool MakeDirectories(const char* path) {
  std::string p(path);
  if (TypeOfPath(path) == PathType::Directory) return true;
  // Parents first; each may already exist or be made by someone else meanwhile.
  for (size_t slash = p.find('/', 1); slash != std::string::npos; slash = p.find('/', slash + 1)) {
    std::string parent = p.substr(0, slash);
    if (::mkdir(parent.c_str(), 0777) != 0 && errno != EEXIST) return false;
  }
  if (::mkdir(path, 0777) != 0 && errno != EEXIST) return false;
  return TypeOfPath(path) == PathType::Directory;
}

uint64_t FileSize(const char* path) {
  struct stat st;
  return ::stat(path, &st) == 0 ? uint64_t(st.st_size) : 0;
}

char PathSeparator() { return '/'; }

std::string FileNameFromText(std::string_view text) {
  std::string out;
  iconv_t cd = iconv_open("UTF-8", "GBK");
  if (cd == iconv_t(-1)) {
    for (char c : text) out.push_back(static_cast<unsigned char>(c) < 0x80 ? c : '?');
    return out;
  }
  for (size_t i = 0; i < text.size();) {
    // One character at a time, so that a byte pair GBK lacks costs only itself.
    const size_t width = static_cast<unsigned char>(text[i]) >= 0x81 && i + 1 < text.size() ? 2 : 1;
    char in[2] = {text[i], width == 2 ? text[i + 1] : '\0'};
    char buf[8];
    char* inPtr = in;
    char* outPtr = buf;
    size_t inLeft = width, outLeft = sizeof buf;
    if (iconv(cd, &inPtr, &inLeft, &outPtr, &outLeft) == size_t(-1) || inLeft != 0) {
      // Only the lead byte is lost: the next byte starts afresh, as a reader
      // of the 8-bit text on Windows would take it.
      out.push_back('?');
      iconv(cd, nullptr, nullptr, nullptr, nullptr);
      i += 1;
      continue;
    }
    out.append(buf, size_t(outPtr - buf));
    i += width;
  }
  iconv_close(cd);
  return out;
}

}  // namespace pk::platform
