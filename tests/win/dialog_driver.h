// Drives modal windows from a second thread while the test's thread sits in
// their modal loop (DoModal, MessageBox), as a user would: wait for the
// window, read it, click, press keys. Messages sent from here are handled by
// the modal loop of the test's thread.
#pragma once

#include <windows.h>

#include <gtest/gtest.h>

#include <functional>
#include <string>
#include <thread>

namespace pk::test {

class DialogDriver {
 public:
  // Starts `script` on its own thread; the destructor waits for it.
  explicit DialogDriver(std::function<void(DialogDriver&)> script)
      : testThread_(::GetCurrentThreadId()), thread_([this, script] {
          script(*this);
          if (rescue_) Rescue();
        }) {}
  ~DialogDriver() { thread_.join(); }
  DialogDriver(const DialogDriver&) = delete;
  DialogDriver& operator=(const DialogDriver&) = delete;

  // A visible window of the test's thread titled `title` (and holding control
  // `controlId` when not 0) other than `except`; null after `ms`. When none comes, the script ends every window of the test's thread,
  // so a failing test does not hang in its modal loop.
  HWND WaitFor(const std::wstring& title, int controlId = 0, HWND except = nullptr, int ms = 10000) {
    for (int waited = 0; waited <= ms; waited += 20) {
      Search search{title, controlId, except, nullptr};
      ::EnumThreadWindows(testThread_, &Match, reinterpret_cast<LPARAM>(&search));
      if (search.found) return search.found;
      ::Sleep(20);
    }
    ADD_FAILURE() << "no window titled as expected appeared";
    rescue_ = true;
    return nullptr;
  }
  // Waits until `window` is gone; false after `ms`.
  bool WaitGone(HWND window, int ms = 10000) {
    for (int waited = 0; waited <= ms; waited += 20) {
      if (!::IsWindow(window)) return true;
      ::Sleep(20);
    }
    return false;
  }

  static void Click(HWND dialog, int id) { ::PostMessageW(::GetDlgItem(dialog, id), BM_CLICK, 0, 0); }
  // A key as the keyboard delivers it: to the control that has the focus.
  void PressKey(HWND dialog, UINT key) const {
    HWND focus = Focused();
    HWND target = focus ? focus : dialog;
    ::PostMessageW(target, WM_KEYDOWN, key, 0x00010001);
    if (key == VK_RETURN || key == VK_SPACE) ::PostMessageW(target, WM_CHAR, key, 0x00010001);
    ::PostMessageW(target, WM_KEYUP, key, 0xC0010001);
  }
  void PressEscape(HWND dialog) const { PressKey(dialog, VK_ESCAPE); }
  // Moves the focus to control `id` as the dialog manager does; false when
  // it has not arrived after a second.
  bool Focus(HWND dialog, int id) const {
    HWND control = ::GetDlgItem(dialog, id);
    ::PostMessageW(dialog, WM_NEXTDLGCTL, WPARAM(control), TRUE);
    for (int waited = 0; waited < 1000; waited += 20, ::Sleep(20)) {
      if (Focused() == control) return true;
    }
    return false;
  }
  // The control of the test's thread that has the focus.
  HWND Focused() const {
    GUITHREADINFO info{sizeof info};
    return ::GetGUIThreadInfo(testThread_, &info) ? info.hwndFocus : nullptr;
  }
  // What the caption's close box sends.
  static void CloseBox(HWND dialog) { ::PostMessageW(dialog, WM_SYSCOMMAND, SC_CLOSE, 0); }
  static LRESULT Checked(HWND dialog, int id) { return ::SendMessageW(::GetDlgItem(dialog, id), BM_GETCHECK, 0, 0); }
  static std::wstring Text(HWND window) {
    wchar_t text[1024] = {};
    ::GetWindowTextW(window, text, 1024);
    return text;
  }

 private:
  struct Search {
    std::wstring title;
    int controlId;
    HWND except;
    HWND found;
  };
  static BOOL CALLBACK Match(HWND window, LPARAM l) {
    auto* search = reinterpret_cast<Search*>(l);
    if (window == search->except || !::IsWindowVisible(window) || Text(window) != search->title) return TRUE;
    if (search->controlId && !::GetDlgItem(window, search->controlId)) return TRUE;
    search->found = window;
    return FALSE;
  }
  static BOOL CALLBACK EndWindow(HWND window, LPARAM) {
    ::PostMessageW(window, WM_COMMAND, IDCANCEL, 0);
    ::PostMessageW(window, WM_CLOSE, 0, 0);
    return TRUE;
  }
  void Rescue() { ::EnumThreadWindows(testThread_, &EndWindow, 0); }

  DWORD testThread_;
  bool rescue_ = false;
  std::thread thread_;
};

}  // namespace pk::test
