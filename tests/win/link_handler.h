// Makes what the shell's "open" verb does observable: the given URL schemes
// get pk_record_args.exe as their handler, which notes every target it is
// started with. The handlers are the machine's (HKLM\Software\Classes: Wine's
// shell does not read the user's classes); what was there before is put back.
#pragma once

#include <windows.h>

#include <algorithm>
#include <string>
#include <vector>

#include "tests/support/temp_dir.h"

namespace pk::test {

class LinkHandler {
 public:
  explicit LinkHandler(std::vector<std::string> schemes) : schemes_(std::move(schemes)) {
    char exe[MAX_PATH] = {};
    ::GetModuleFileNameA(nullptr, exe, MAX_PATH);
    std::string recorder = exe;
    recorder = recorder.substr(0, recorder.find_last_of('\\') + 1) + "pk_record_args.exe";
    std::string command = "\"" + recorder + "\" \"%1\"";
    record_ = dir_.Path("opened.txt");
    // Inherited by every program the shell starts from this process.
    ::SetEnvironmentVariableA("PK_RECORD_FILE", record_.c_str());
    for (const std::string& scheme : schemes_) {
      std::string key = "Software\\Classes\\" + scheme;
      Previous previous{key, false, {}};
      HKEY existing = nullptr;
      if (::RegOpenKeyExA(HKEY_LOCAL_MACHINE, (key + "\\shell\\open\\command").c_str(), 0, KEY_READ, &existing) ==
          ERROR_SUCCESS) {
        char value[1024] = {};
        DWORD size = sizeof value - 1;
        ::RegQueryValueExA(existing, nullptr, nullptr, nullptr, reinterpret_cast<BYTE*>(value), &size);
        ::RegCloseKey(existing);
        previous.existed = true;
        previous.command = value;
      }
      previous_.push_back(previous);
      if (!previous.existed) {
        SetValue(key, nullptr, "URL:" + scheme);
        SetValue(key, "URL Protocol", "");
      }
      SetValue(key + "\\shell\\open\\command", nullptr, command);
    }
  }
  ~LinkHandler() {
    for (const Previous& p : previous_) {
      if (p.existed) {
        SetValue(p.key + "\\shell\\open\\command", nullptr, p.command);
      } else {
        ::RegDeleteTreeA(HKEY_LOCAL_MACHINE, p.key.c_str());
      }
    }
    ::SetEnvironmentVariableA("PK_RECORD_FILE", nullptr);
  }
  LinkHandler(const LinkHandler&) = delete;
  LinkHandler& operator=(const LinkHandler&) = delete;

  // What was opened since the last Forget(), once at least `lines` targets
  // have been opened and their records written whole (the handler starts
  // asynchronously); what there is after `ms` otherwise.
  std::string Opened(size_t lines = 1, int ms = 15000) const {
    std::string text;
    for (int waited = 0;; waited += 50) {
      text = Read();
      text.erase(0, std::min(forgotten_, text.size()));
      if (Whole(text) >= lines || waited >= ms) return text;
      ::Sleep(50);
    }
  }
  // Later calls of Opened() see only later targets. The file is not deleted:
  // a handler that has written its record may still hold it open, and the
  // delete would fail. A record being written is waited for first.
  void Forget() {
    std::string text = Read();
    for (int waited = 0; waited < 15000 && Started(text) > Whole(text); waited += 50) {
      ::Sleep(50);
      text = Read();
    }
    forgotten_ = text.size();
  }

 private:
  // The shell's command values are REG_SZ, Wine's own included.
  static void SetValue(const std::string& key, const char* name, const std::string& value) {
    HKEY opened = nullptr;
    if (::RegCreateKeyExA(HKEY_LOCAL_MACHINE, key.c_str(), 0, nullptr, 0, KEY_SET_VALUE, nullptr, &opened, nullptr) !=
        ERROR_SUCCESS) {
      return;
    }
    ::RegSetValueExA(opened, name, 0, REG_SZ, reinterpret_cast<const BYTE*>(value.c_str()), DWORD(value.size() + 1));
    ::RegCloseKey(opened);
  }

  std::string Read() const {
    auto bytes = TempDir::Read(record_);
    return std::string(bytes.begin(), bytes.end());
  }
  // A record starts with its "run" line and ends with its "files" line.
  static size_t Started(const std::string& text) { return Count(text, "run "); }
  static size_t Whole(const std::string& text) {
    size_t whole = 0;
    for (size_t at = text.find("files"); at != std::string::npos; at = text.find("files", at + 1)) {
      if ((at == 0 || text[at - 1] == '\n') && text.find('\n', at) != std::string::npos) ++whole;
    }
    return whole;
  }
  static size_t Count(const std::string& text, const char* what) {
    size_t count = 0;
    for (size_t at = text.find(what); at != std::string::npos; at = text.find(what, at + 1)) ++count;
    return count;
  }

  struct Previous {
    std::string key;
    bool existed;
    std::string command;
  };
  std::vector<std::string> schemes_;
  std::vector<Previous> previous_;
  TempDir dir_;
  std::string record_;
  size_t forgotten_ = 0;
};

}  // namespace pk::test
