// Names of the files a bulk extraction writes: made safe, and never the same
// for two outputs of one run (nor for an input that lies in the output folder).
#pragma once

#include <mutex>
#include <string>
#include <string_view>
#include <unordered_set>

namespace pk::cli {

class OutputNames {
 public:
  // Claims `base` + `extension` (with its dot), or, when an output of this
  // run already has that name, base~2, base~3, ...: the first one free.
  // Names compare without regard to ASCII case, as Windows compares them.
  std::string Claim(std::string_view base, std::string_view extension);

 private:
  std::mutex mutex_;
  std::unordered_set<std::string> taken_;
};

// The file name of `path` without its folder and its last extension, made
// safe as the first piece of an output name.
std::string SafeStem(const std::string& path);

// A group's resource name (an id, or text in the program's code page) made
// safe as a piece of an output name of this system.
std::string SafeGroupPiece(bool isId, unsigned id, std::string_view text);

}  // namespace pk::cli
