// The run over a hostile corpus (tests/e2e/hostile.sh): one running Pixelkite
// opens every file of a plan written by pk_hostile_corpus, and after each the
// probe checks that the process lives, its window answers, the expected boxes
// appeared (each read and dismissed) and the list, buttons and preview are in
// the expected state. At the plan's two "counts" lines it asks the test build
// for its live handles of each kind and the system for the process's kernel
// handles, which must be the same at both; GDI and USER counts and private
// memory are printed.
//
//   probe hostile <title> <plan> <first line> <results>
//       runs the plan from <first line> (1-based) on; exit 0 when every file
//       passed, 1 otherwise, 3 when the program died ("died N" on stdout)
//   probe hostile-start <title> <plan> <line> <results>
//       the program was started with the file of <line> on its command line
//   probe drop <title> <path>
//       drops one file on the window (as below), printing its boxes and the state
//
// Plan lines (UTF-8, tab-separated):
//   message <key> <text> codec|ui     a message of the program
//   counts <label>                    handle counts; "end" is compared with "warm"
//   open <how> <category> <path> <expectation> [<box key>...]
// <how> is drop (a drop made inside the program from a path sent with
// WM_COPYDATA: the test build's hook), dialog (the real open dialog) or start.
// The expectation is space-separated: list=path|0|same|shell|any|<n>,
// buttons=on|off|same|any, preview=1|0|same|any, and boxes=known when any
// program message may appear instead of the listed boxes.
// Results: one line per file, "ok|FAIL <line> <category> <outcome> <path>".
#include <windows.h>
#include <psapi.h>
#include <shellapi.h>

#include <cstdio>
#include <cstdlib>
#include <map>
#include <set>
#include <sstream>
#include <string>
#include <vector>

#include "tests/e2e/probe.h"
#include "ui/main/test_hooks.h"

using namespace probe;

namespace {

// How long an open may take before the program counts as hung.
constexpr DWORD kHungAfterMs = 180000;

constexpr int kHandleKinds = 9;  // pk::win32::HandleKind::Count
const char* const kKindNames[kHandleKinds] = {"dc", "bitmap", "font", "brush", "gdi", "icon", "kernel", "module",
                                              "global"};
constexpr char kErrorCaption[] = "错误";

std::vector<std::string> Split(const std::string& line, char separator) {
  std::vector<std::string> parts;
  std::string part;
  std::istringstream in(line);
  while (std::getline(in, part, separator)) parts.push_back(part);
  return parts;
}

struct Message {
  std::string key, text;
  bool codec;  // the codec's messages have the path as caption
};

struct Step {
  int line = 0;
  std::vector<std::string> fields;
};

struct Plan {
  std::vector<Message> messages;
  std::vector<Step> steps;

  const Message* Find(const std::string& key) const {
    for (const Message& m : messages)
      if (m.key == key) return &m;
    return nullptr;
  }
};

bool ReadPlan(const char* path, Plan* plan) {
  FILE* f = _wfopen(Widen(path).c_str(), L"rb");
  if (!f) return false;
  std::string all;
  char buffer[65536];
  for (size_t n; (n = std::fread(buffer, 1, sizeof buffer, f)) > 0;) all.append(buffer, n);
  std::fclose(f);
  int number = 0;
  for (const std::string& line : Split(all, '\n')) {
    ++number;
    std::vector<std::string> fields = Split(line, '\t');
    if (fields.empty()) continue;
    if (fields[0] == "message" && fields.size() == 4) {
      plan->messages.push_back({fields[1], fields[2], fields[3] == "codec"});
    } else if (fields[0] == "open" || fields[0] == "counts") {
      plan->steps.push_back({number, fields});
    }
  }
  return true;
}

// The window's state as the user sees it.
struct State {
  int count = 0;
  std::string first;  // the first entry's text
  bool save = false, copy = false, preview = false;
};

State ReadState(HWND dialog) {
  State s;
  HWND list = ::GetDlgItem(dialog, 1000);
  s.count = int(::SendMessageW(list, LB_GETCOUNT, 0, 0));
  if (s.count > 0 && ::SendMessageW(list, LB_GETTEXTLEN, 0, 0) < 1023) {
    wchar_t text[1024] = {};
    ::SendMessageW(list, LB_GETTEXT, 0, reinterpret_cast<LPARAM>(text));
    s.first = Narrow(text);
  }
  s.save = ::IsWindowEnabled(::GetDlgItem(dialog, 1001)) != FALSE;
  s.copy = ::IsWindowEnabled(::GetDlgItem(dialog, 1002)) != FALSE;
  s.preview = ::SendMessageW(::GetDlgItem(dialog, 1003), STM_GETICON, 0, 0) != 0;
  return s;
}

// The kernel handles a process holds, from the system's table of all
// handles: Wine answers GetProcessHandleCount with 0, but keeps that table.
DWORD ProcessHandles(DWORD pid) {
  struct Entry {
    ULONG ownerPid;
    BYTE objectType;
    BYTE flags;
    USHORT value;
    PVOID object;
    ULONG access;
  };
  struct Table {
    ULONG count;
    Entry entries[1];
  };
  using Query = LONG(WINAPI*)(ULONG, PVOID, ULONG, PULONG);
  static const auto query = reinterpret_cast<Query>(
      reinterpret_cast<void*>(::GetProcAddress(::GetModuleHandleA("ntdll"), "NtQuerySystemInformation")));
  constexpr ULONG kSystemHandleInformation = 16;
  std::vector<char> buffer(1 << 20);
  for (int attempt = 0; query && attempt < 6; ++attempt, buffer.resize(buffer.size() * 2)) {
    ULONG needed = 0;
    if (query(kSystemHandleInformation, buffer.data(), ULONG(buffer.size()), &needed) != 0) continue;
    const auto* table = reinterpret_cast<const Table*>(buffer.data());
    DWORD count = 0;
    for (ULONG i = 0; i < table->count; ++i) count += table->entries[i].ownerPid == pid;
    return count;
  }
  return 0;
}

struct Program {
  HWND dialog = nullptr;
  DWORD pid = 0;
  HANDLE process = nullptr;
  UINT query = 0;

  bool Alive() const {
    DWORD code = 0;
    return ::IsWindow(dialog) && ::GetExitCodeProcess(process, &code) && code == STILL_ACTIVE;
  }
  // The window's thread takes a message within five seconds.
  bool Responsive() const {
    DWORD_PTR ignored;
    return ::SendMessageTimeoutW(dialog, WM_NULL, 0, 0, SMTO_ABORTIFHUNG, 5000, &ignored) != 0;
  }
  // Sends the path; the program makes a drop of it and posts it to itself.
  LRESULT Drop(const std::wstring& path) const {
    COPYDATASTRUCT data{kTestDropTag, DWORD(path.size() * sizeof(wchar_t)), const_cast<wchar_t*>(path.data())};
    DWORD_PTR ticket = 0;
    if (!::SendMessageTimeoutW(dialog, WM_COPYDATA, 0, reinterpret_cast<LPARAM>(&data), SMTO_NORMAL, 10000,
                               &ticket))
      return 0;
    return LRESULT(ticket);
  }
  // The process's private memory.
  long PrivateKb() const {
    PROCESS_MEMORY_COUNTERS memory{};
    memory.cb = sizeof memory;
    if (!::GetProcessMemoryInfo(process, &memory, sizeof memory)) return -1;
    return long(memory.PagefileUsage / 1024);
  }
  long Query(WPARAM what) const {
    DWORD_PTR answer = 0;
    if (!::SendMessageTimeoutW(dialog, query, what, 0, SMTO_NORMAL, 5000, &answer)) return -1;
    return long(LRESULT(answer));
  }
};

enum class Wait { Done, Hung, Died };

// Dismisses boxes until the program has handled `ticket`.
Wait WaitForTicket(const Program& program, LRESULT ticket) {
  std::set<HWND> dismissed;
  const DWORD start = ::GetTickCount();
  for (;;) {
    if (!program.Alive()) return Wait::Died;
    DWORD_PTR done = 0;
    const bool answered = ::SendMessageTimeoutW(program.dialog, program.query, kTestQueryDone, 0, SMTO_NORMAL, 2000,
                                                &done) != 0;
    if (answered && LRESULT(done) >= ticket) return Wait::Done;
    for (HWND window : OtherWindows(program.dialog)) {
      if (dismissed.count(window) || !::GetDlgItem(window, 0xFFFF)) continue;
      ReadAndDismissBox(window);
      dismissed.insert(window);
    }
    // Reading a 2 GiB file takes Wine about 12 s on an idle machine; the
    // suites that run beside this one can make it several times that.
    if (::GetTickCount() - start > kHungAfterMs) return Wait::Hung;
    ::Sleep(answered ? 5 : 0);
  }
}

// Waits for the paint that an open asks for (a module's preview is made
// there), then for the handler to return.
void WaitForPaint(const Program& program) {
  for (int i = 0; i < 2500 && ::GetUpdateRect(program.dialog, nullptr, FALSE); ++i) ::Sleep(2);
  program.Responsive();
}

class Runner {
 public:
  Runner(const Plan& plan, FILE* results) : plan_(plan), results_(results) {}

  // False when the program died.
  bool RunOpen(Program& program, const Step& step, const State& before) {
    const std::vector<std::string>& f = step.fields;
    if (f.size() < 5) {
      Fail(step, "a malformed plan line", "-");
      return true;
    }
    const std::string& how = f[1];
    const std::string& path = f[3];
    const DWORD began = ::GetTickCount();
    std::vector<SeenBox> boxes;
    boxLog = &boxes;
    std::string problems;
    const int failuresBefore = failures;
    Wait wait = Wait::Done;
    if (how == "drop" || how == "start") {
      // A start's file was posted at start-up: an empty drop is handled after it.
      if (how == "start") RunCommand(program.dialog, false, nullptr, 0);
      const LRESULT ticket = program.Drop(how == "drop" ? Widen(path.c_str()) : std::wstring());
      if (ticket <= 0)
        problems += "; the drop was not taken";
      else
        wait = WaitForTicket(program, ticket);
    } else if (how == "dialog") {
      describeDialogs = false;
      Click(program.dialog, IDOK);
      RunCommand(program.dialog, true, path.c_str(), 0);
      describeDialogs = true;
      if (failures != failuresBefore) problems += "; the open dialog did not take the name";
    } else {
      problems += "; unknown way to open: " + how;
    }
    if (wait == Wait::Done && program.Alive()) {
      WaitForPaint(program);
      // Nothing may be left open, nor open during the paint.
      for (HWND window : OtherWindows(program.dialog)) {
        if (::GetDlgItem(window, 0xFFFF)) {
          ReadAndDismissBox(window);
          problems += "; a box came after the open";
        } else {
          problems += "; a window was left open";
        }
      }
    }
    boxLog = nullptr;
    ++opened_;
    boxesSeen_ += int(boxes.size());

    std::string outcome;
    for (const SeenBox& box : boxes) {
      if (!outcome.empty()) outcome += '+';
      outcome += KeyOf(box, path);
    }
    if (!program.Alive() || wait == Wait::Died) {
      Fail(step, "died" + Prefix(outcome), path);
      return false;
    }
    if (wait == Wait::Hung) problems += "; no answer within " + std::to_string(kHungAfterMs / 1000) + " s";
    if (!program.Responsive()) problems += "; the window does not answer";
    const State after = ReadState(program.dialog);
    if (!outcome.empty()) outcome += ' ';
    outcome += "list=" + std::to_string(after.count);
    if (after.preview) outcome += " icon";
    Compare(step, path, before, after, boxes, &problems);
    if (problems.empty()) {
      std::fprintf(results_, "ok\t%d\t%s\t%s\t%s\t%lu ms\t%ld KB\n", step.line, f[2].c_str(), outcome.c_str(),
                   path.c_str(), static_cast<unsigned long>(::GetTickCount() - began), program.PrivateKb());
    } else {
      Fail(step, outcome + " (" + problems.substr(2) + ")", path);
    }
    return true;
  }

  void RunCounts(const Program& program, const Step& step) {
    const std::string label = step.fields.size() > 1 ? step.fields[1] : "?";
    std::vector<long> counts;
    std::string text;
    for (int kind = 0; kind < kHandleKinds; ++kind) {
      counts.push_back(program.Query(WPARAM(kind)));
      text += std::string(kind ? " " : "") + kKindNames[kind] + "=" + std::to_string(counts.back());
    }
    // What the system says of the process, where Wine knows it.
    const DWORD kernel = ProcessHandles(program.pid);
    const DWORD gdi = ::GetGuiResources(program.process, GR_GDIOBJECTS);
    const DWORD user = ::GetGuiResources(program.process, GR_USEROBJECTS);
    PROCESS_MEMORY_COUNTERS memory{};
    memory.cb = sizeof memory;
    ::GetProcessMemoryInfo(program.process, &memory, sizeof memory);
    counts.push_back(long(kernel));
    counts.push_back(long(gdi));
    counts.push_back(long(user));
    std::printf("counts %s: %s; process handles=%lu gdi=%lu user=%lu private=%lu KB\n", label.c_str(), text.c_str(),
                kernel, gdi, user, static_cast<unsigned long>(memory.PagefileUsage / 1024));
    std::fprintf(results_, "counts\t%d\t%s\t%s process=%lu gdi=%lu user=%lu private=%luKB\n", step.line,
                 label.c_str(), text.c_str(), kernel, gdi, user,
                 static_cast<unsigned long>(memory.PagefileUsage / 1024));
    const long privateKb = long(memory.PagefileUsage / 1024);
    if (label == "warm") {
      warm_ = counts;
      warmPrivateKb_ = privateKb;
      return;
    }
    // Reported, not checked: Wine's own icon creation keeps about 180 KB
    // of every PNG image it fails to decode, which the program cannot help.
    std::printf("private memory: %+ld KB since the warm-up\n", privateKb - warmPrivateKb_);
    if (warm_.empty()) {
      Fail(step, "no warm-up counts in this run of the program to compare with", "-");
      return;
    }
    for (size_t i = 0; i < counts.size(); ++i) {
      if (counts[i] == warm_[i] || (i >= size_t(kHandleKinds) && warm_[i] == 0 && counts[i] == 0)) continue;
      const std::string name = i < size_t(kHandleKinds) ? kKindNames[i] : i == size_t(kHandleKinds) ? "process"
                               : i == size_t(kHandleKinds) + 1                                      ? "gdi"
                                                                                                    : "user";
      Fail(step,
           "handles of kind " + name + ": " + std::to_string(warm_[i]) + " after warm-up, " +
               std::to_string(counts[i]) + " at the end",
           "-");
    }
  }

  int opened() const { return opened_; }
  int failed() const { return failed_; }
  int boxes() const { return boxesSeen_; }

 private:
  static std::string Prefix(const std::string& outcome) { return outcome.empty() ? "" : " after " + outcome; }

  void Fail(const Step& step, const std::string& what, const std::string& path) {
    ++failed_;
    const char* category = step.fields.size() > 2 ? step.fields[2].c_str() : "-";
    std::printf("FAIL line %d %s: %s: %s\n", step.line, category, what.c_str(), path.c_str());
    std::fprintf(results_, "FAIL\t%d\t%s\t%s\t%s\n", step.line, category, what.c_str(), path.c_str());
  }

  // The message's key when the box is one of the program's, shown as it shows it.
  std::string KeyOf(const SeenBox& box, const std::string& path) const {
    std::string key = "unknown[" + box.caption + "|" + box.text + "]";
    for (const Message& m : plan_.messages) {
      if (m.codec ? box.caption == path && box.text == m.text
                  : box.caption == kErrorCaption && (box.text == m.text || box.text == path + m.text)) {
        key = m.key;
        break;
      }
    }
    return box.plain ? key : key + "(not a plain box)";
  }

  void Compare(const Step& step, const std::string& path, const State& before, const State& after,
               const std::vector<SeenBox>& boxes, std::string* problems) const {
    const std::vector<std::string>& f = step.fields;
    std::map<std::string, std::string> want;
    for (const std::string& token : Split(f[4], ' ')) {
      const size_t eq = token.find('=');
      if (eq != std::string::npos) want[token.substr(0, eq)] = token.substr(eq + 1);
    }
    std::vector<std::string> wantKeys(f.begin() + 5, f.end());
    if (want["list"] == "shell") {
      // Whether an icon file is listed is the shell's decision: ask it too.
      HICON icon = ::ExtractIconW(::GetModuleHandleW(nullptr), Widen(path.c_str()).c_str(), 0);
      const bool listed = icon && icon != reinterpret_cast<HICON>(1);
      if (listed) ::DestroyIcon(icon);
      want["list"] = listed ? "path" : "0";
      want["buttons"] = listed ? "on" : "off";
      want["preview"] = listed ? "1" : "0";
      if (!listed) wantKeys.push_back("kNoIcons");
    }
    std::vector<std::string> seenKeys;
    for (const SeenBox& box : boxes) seenKeys.push_back(KeyOf(box, path));
    if (want["boxes"] == "known") {
      for (const std::string& key : seenKeys)
        if (!plan_.Find(key)) *problems += "; not a message of the program: " + key;
      // Whatever happened, the state must agree with it.
      if (seenKeys.empty() && (after.count == 0 || !after.save || !after.copy))
        *problems += "; no message, yet nothing is listed";
      if (!seenKeys.empty() && seenKeys.back() == "kNoIcons" && (after.count != 0 || after.save || after.copy))
        *problems += "; no icons, yet the list or the buttons say otherwise";
    } else if (seenKeys != wantKeys) {
      std::string expected;
      for (const std::string& key : wantKeys) expected += (expected.empty() ? "" : "+") + key;
      *problems += "; expected boxes " + (expected.empty() ? std::string("none") : expected);
    }
    const std::string& list = want["list"];
    if (list == "path") {
      if (after.count != 1 || after.first != path) *problems += "; not listed under its path";
    } else if (list == "same") {
      if (after.count != before.count || after.first != before.first) *problems += "; the list changed";
    } else if (!list.empty() && list != "any") {
      if (after.count != std::atoi(list.c_str())) *problems += "; expected " + list + " entries";
    }
    const std::string& buttons = want["buttons"];
    if ((buttons == "on" && !(after.save && after.copy)) || (buttons == "off" && (after.save || after.copy)) ||
        (buttons == "same" && (after.save != before.save || after.copy != before.copy)))
      *problems += "; Save as and Copy are not " + buttons;
    const std::string& preview = want["preview"];
    if ((preview == "1" && !after.preview) || (preview == "0" && after.preview) ||
        (preview == "same" && after.preview != before.preview))
      *problems += "; the preview is not " + preview;
  }

  const Plan& plan_;
  FILE* results_;
  std::vector<long> warm_;
  long warmPrivateKb_ = 0;
  int opened_ = 0, failed_ = 0, boxesSeen_ = 0;
};

bool Attach(const std::wstring& title, Program* program) {
  program->dialog = MainWindow(title);
  if (!program->dialog) return false;
  ::GetWindowThreadProcessId(program->dialog, &program->pid);
  program->process = ::OpenProcess(SYNCHRONIZE | PROCESS_QUERY_INFORMATION | PROCESS_VM_READ, FALSE, program->pid);
  program->query = ::RegisterWindowMessageA(kTestQueryMessage);
  return program->process != nullptr;
}

int RunPlan(const std::wstring& title, const char* planPath, int first, int only, const char* resultsPath) {
  Plan plan;
  if (!ReadPlan(planPath, &plan)) {
    std::printf("FAIL the plan %s cannot be read\n", planPath);
    return 1;
  }
  FILE* results = _wfopen(Widen(resultsPath).c_str(), L"ab");
  if (!results) {
    std::printf("FAIL the results file %s cannot be written\n", resultsPath);
    return 1;
  }
  Program program;
  if (!Attach(title, &program)) {
    std::printf("FAIL no running program titled as asked\n");
    std::fclose(results);
    return 1;
  }
  Runner runner(plan, results);
  int status = 0;
  for (const Step& step : plan.steps) {
    if (step.line < first || (only && step.line != only)) continue;
    if (step.fields[0] == "counts") {
      if (!only) runner.RunCounts(program, step);
      continue;
    }
    const bool start = step.fields.size() > 1 && step.fields[1] == "start";
    if (start != (only != 0)) continue;
    // A started program begins empty: that is its state before the open.
    const State before = start ? State{} : ReadState(program.dialog);
    if (!runner.RunOpen(program, step, before)) {
      std::printf("died %d\n", step.line);
      status = 3;
      break;
    }
    std::fflush(results);
  }
  std::printf("opened %d files, %d boxes read, %d failed\n", runner.opened(), runner.boxes(), runner.failed());
  std::fclose(results);
  ::CloseHandle(program.process);
  if (status) return status;
  return runner.failed() ? 1 : 0;
}

}  // namespace

// One file dropped on the window as the shell drops it (the test build's
// hook); its boxes are printed and dismissed, then the window's state.
int DropFile(const std::wstring& title, const char* path) {
  Program program;
  if (!Attach(title, &program)) {
    std::printf("FAIL no running program titled as asked\n");
    return 1;
  }
  const LRESULT ticket = program.Drop(Widen(path));
  Check(ticket > 0, "the drop is taken");
  if (ticket > 0) {
    Check(WaitForTicket(program, ticket) == Wait::Done, "the drop is handled");
    WaitForPaint(program);
  }
  ::CloseHandle(program.process);
  PrintState(program.dialog);
  return failures ? 1 : 0;
}

int RunHostileCommand(const std::string& command, int argc, char** argv) {
  if (command == "drop" && argc > 3) return DropFile(Widen(argv[2]), argv[3]);
  if (command != "hostile" && command != "hostile-start") return -1;
  if (argc < 6) return 2;
  const int line = std::atoi(argv[4]);
  if (command == "hostile") return RunPlan(Widen(argv[2]), argv[3], line, 0, argv[5]);
  return RunPlan(Widen(argv[2]), argv[3], 0, line, argv[5]);
}
