#include "cli/sources.h"

#include <algorithm>
#include <filesystem>

#include "cli/console.h"
#include "codec/ico_file.h"
#include "codec_messages.h"
#include "platform/console_text.h"
#include "platform/directory.h"
#include "platform/file.h"
#include "platform/message_box.h"

namespace pk::cli {
namespace {

bool IsIconSourceName(const std::string& name) {
  const FileKind kind = KindOfExtension(LowerExtension(name));
  return kind == FileKind::Module || kind == FileKind::IconFile;
}

// True when `path` is `root` or lies below it (both real paths).
bool IsInside(const std::string& path, const std::string& root) {
  if (path.size() < root.size() || path.compare(0, root.size(), root) != 0) return false;
  return path.size() == root.size() || path[root.size()] == platform::PathSeparator() ||
         root.back() == platform::PathSeparator();
}

void Walk(const std::string& folder, const std::string& realRoot, bool recursive, std::vector<Input>* out,
          int* failures) {
  auto entries = platform::ReadDirectory(folder.c_str());
  if (!entries) {
    PrintError(platform::ConsoleName(folder) + ": the folder cannot be read");
    ++*failures;
    return;
  }
  std::sort(entries->begin(), entries->end(), [](const auto& a, const auto& b) { return a.name < b.name; });
  std::string prefix = folder;
  if (prefix.back() != '/' && prefix.back() != platform::PathSeparator()) prefix.push_back(platform::PathSeparator());
  for (const platform::DirectoryEntry& e : *entries) {
    const std::string path = prefix + e.name;
    if (e.type == platform::PathType::Directory) {
      if (recursive) Walk(path, realRoot, recursive, out, failures);
      continue;
    }
    if (!IsIconSourceName(e.name)) continue;
    if (e.isLink) {
      // A link counts only when it leads to a file inside the tree.
      auto real = platform::RealPath(path.c_str());
      if (!real || !IsInside(*real, realRoot) || platform::TypeOfPath(real->c_str()) != platform::PathType::File)
        continue;
    } else if (e.type != platform::PathType::File) {
      continue;
    }
    out->push_back({path, false, platform::FileSize(path.c_str())});
  }
}

// The first bytes of a file; empty when it cannot be read (the reader that
// comes next reports why).
std::vector<uint8_t> ReadHead(const std::string& path) {
  std::vector<uint8_t> head(kSniffBytes);
  uint32_t done = 0;
  auto file = platform::OpenFileForRead(path.c_str());
  if (!file || !file->Read(head.data(), uint32_t(head.size()), &done)) done = 0;
  head.resize(done);
  return head;
}

}  // namespace

std::string FullPath(const std::string& path) {
  // Through UTF-8 both ways: a path's plain string would be the ANSI code
  // page on Windows.
  std::error_code ec;
  auto full = std::filesystem::absolute(std::filesystem::path(std::u8string(path.begin(), path.end())), ec);
  if (ec) return path;
  const std::u8string text = full.u8string();
  return std::string(text.begin(), text.end());
}

std::vector<Input> GatherInputs(const std::vector<std::string>& args, bool recursive, int* failures) {
  std::vector<Input> inputs;
  for (const std::string& arg : args) {
    switch (platform::TypeOfPath(arg.c_str())) {
      case platform::PathType::Directory: {
        auto real = platform::RealPath(arg.c_str());
        Walk(arg, real ? *real : arg, recursive, &inputs, failures);
        break;
      }
      case platform::PathType::Missing:
        // The reader its extension names says so in the program's words.
        if (IsIconSourceName(arg)) {
          inputs.push_back({arg, true, 0});
        } else {
          PrintError(platform::ConsoleName(arg) + ": no such file or folder");
          ++*failures;
        }
        break;
      default:
        inputs.push_back({arg, true, platform::FileSize(arg.c_str())});
        break;
    }
  }
  return inputs;
}

OpenResult OpenSource(const Input& input, Source* source, std::string* reason) {
  const std::vector<uint8_t> head = ReadHead(input.path);
  // In a folder the content alone decides; a named file's extension breaks ties.
  source->kind = input.named ? ClassifyFile(head, LowerExtension(input.path)) : SniffFileKind(head);
  switch (source->kind) {
    case FileKind::IconFile:
      source->icon = LoadIconFile(input.path.c_str());
      if (source->icon) return OpenResult::Opened;
      *reason = "cannot be read";
      return OpenResult::Failed;
    case FileKind::Module: {
      source->openedAs = FullPath(input.path);
      source->module = platform::OpenModuleAsData(source->openedAs.c_str());
      if (!source->module) {
        if (!input.named) return OpenResult::Skipped;  // an "MZ" file that is no module we can read
        platform::ShowMessage(platform::Owner::MainWindow, msg::kModuleOpenFailed, input.path);
        *reason = "not a module";
        return OpenResult::Failed;
      }
      auto listed = ListIconGroups(*source->module);
      if (!listed || listed->empty()) {
        if (!input.named) return OpenResult::Skipped;
        *reason = "no icon groups";
        PrintError(platform::ConsoleName(input.path) + ": " + *reason);
        return OpenResult::Failed;
      }
      source->groups = std::move(*listed);
      return OpenResult::Opened;
    }
    case FileKind::Bitmap:
      if (!input.named) return OpenResult::Skipped;
      *reason = "a bitmap, not an icon";
      PrintError(platform::ConsoleName(input.path) + ": " + *reason + " (make one with 'pixelkite convert')");
      return OpenResult::Failed;
    case FileKind::Unknown:
      break;
  }
  if (!input.named) return OpenResult::Skipped;
  *reason = "not an icon file or a module";
  PrintError(platform::ConsoleName(input.path) + ": " + *reason);
  return OpenResult::Failed;
}

}  // namespace pk::cli
