// Makes what the shell's "open" verb does observable: the given URL schemes
// get pk_record_args.exe as their handler, which notes every target it is
// started with. The handlers are the machine's (HKLM\Software\Classes: Wine's
// shell does not read the user's classes); what was there before is put back.
#pragma once

#include <windows.h>

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

  // Everything opened so far, once at least `lines` targets have been opened
  // (the handler starts asynchronously); what there is after `ms` otherwise.
  std::string Opened(size_t lines = 1, int ms = 15000) const {
    std::string text;
    for (int waited = 0; waited <= ms; waited += 50) {
      auto bytes = TempDir::Read(record_);
      text.assign(bytes.begin(), bytes.end());
      size_t runs = 0;
      for (size_t at = text.find("run "); at != std::string::npos; at = text.find("run ", at + 1)) ++runs;
      if (runs >= lines) break;
      ::Sleep(50);
    }
    return text;
  }
  void Forget() const { ::DeleteFileA(record_.c_str()); }

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

  struct Previous {
    std::string key;
    bool existed;
    std::string command;
  };
  std::vector<std::string> schemes_;
  std::vector<Previous> previous_;
  TempDir dir_;
  std::string record_;
};

}  // namespace pk::test
