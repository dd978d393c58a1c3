#include "cli/console.h"

#include <unistd.h>

#include <cstdio>
#include <mutex>

namespace pk::cli {
namespace {

std::mutex g_mutex;
std::string g_progress;  // the progress line now on screen; empty when none
size_t g_drawn = 0;      // its length as drawn

// Spaces rather than terminal escapes clear the line: every console knows them.
void Erase() {
  if (g_drawn == 0) return;
  std::string blank(g_drawn + 2, ' ');
  blank.front() = blank.back() = '\r';
  std::fputs(blank.c_str(), stderr);
  g_drawn = 0;
}

void Draw() {
  if (!g_progress.empty()) {
    std::string line = "\r" + g_progress;
    if (g_drawn > g_progress.size()) line.append(g_drawn - g_progress.size(), ' ');
    std::fputs(line.c_str(), stderr);
    g_drawn = g_progress.size();
  }
  std::fflush(stderr);
}

}  // namespace

void PrintAbove(const std::function<void()>& print) {
  std::lock_guard<std::mutex> lock(g_mutex);
  Erase();
  print();
  Draw();
}

void PrintError(std::string_view line) {
  PrintAbove([&] {
    std::string text(line);
    text.push_back('\n');
    std::fputs(text.c_str(), stderr);
  });
}

bool StandardErrorIsTerminal() { return isatty(fileno(stderr)) != 0; }

void ShowProgressLine(const std::string& text) {
  std::lock_guard<std::mutex> lock(g_mutex);
  g_progress = text.empty() ? " " : text;
  Draw();
}

void EndProgressLine() {
  std::lock_guard<std::mutex> lock(g_mutex);
  Erase();
  g_progress.clear();
  std::fflush(stderr);
}

}  // namespace pk::cli
