#include "cli/output_names.h"

#include "codec/safe_name.h"
#include "platform/directory.h"

namespace pk::cli {
namespace {

std::string FoldCase(std::string_view name) {
  std::string folded(name);
  for (char& c : folded)
    if (c >= 'A' && c <= 'Z') c = char(c - 'A' + 'a');
  return folded;
}

}  // namespace

std::string OutputNames::Claim(std::string_view base, std::string_view extension) {
  std::lock_guard<std::mutex> lock(mutex_);
  std::string name = std::string(base) + std::string(extension);
  for (unsigned n = 2; !taken_.insert(FoldCase(name)).second; ++n)
    name = std::string(base) + "~" + std::to_string(n) + std::string(extension);
  return name;
}

std::string SafeStem(const std::string& path) {
  size_t start = path.find_last_of(platform::PathSeparator() == '/' ? "/" : "/\\:");
  std::string name = start == std::string::npos ? path : path.substr(start + 1);
  const size_t dot = name.find_last_of('.');
  if (dot != std::string::npos && dot > 0) name.resize(dot);
  return SafeNamePiece(name, NameEncoding::Utf8);
}

std::string SafeGroupPiece(bool isId, unsigned id, std::string_view text) {
  if (isId) return std::to_string(id);
  // Cut and cleaned in the program's code page first, so that every system
  // keeps the same characters; then spelled as file names are (UTF-8).
  const std::string piece = SafeNamePiece(text, NameEncoding::Gbk);
  return SafeNamePiece(platform::FileNameFromText(piece), NameEncoding::Utf8, 2 * kMaxNamePieceBytes);
}

}  // namespace pk::cli
