// The settings dialog against the real registry of the test prefix: what it
// shows for each stored value, what OK stores, what the other ways out leave,
// and the message when the choice cannot be stored.
#include <windows.h>

#include <gtest/gtest.h>

#include <optional>
#include <string>
#include <vector>

#include "res/resource.h"
#include "tests/win/dialog_driver.h"
#include "tests/win/gui_test_support.h"
#include "ui/dialogs/settings_dialog.h"
#include "updater/auto_update_setting.h"

namespace pk {
namespace {

using update::kAutoUpdateValue;
using update::kSettingsKey;

const std::wstring kSettingsCaption = L"软件设置";

// A stored value: its type and bytes.
struct Stored {
  DWORD type;
  std::vector<uint8_t> data;
  bool operator==(const Stored&) const = default;
};
Stored Dword(DWORD value) {
  return {REG_DWORD, {uint8_t(value), uint8_t(value >> 8), uint8_t(value >> 16), uint8_t(value >> 24)}};
}

// What the key holds: nothing (no key), a key without the value, or a value.
struct KeyState {
  bool keyExists;
  std::optional<Stored> value;
  bool operator==(const KeyState&) const = default;
};
const KeyState kNoKey{false, std::nullopt};
const KeyState kNoValue{true, std::nullopt};
KeyState With(Stored value) { return {true, value}; }

KeyState ReadState() {
  HKEY key = nullptr;
  if (RegOpenKeyExA(HKEY_LOCAL_MACHINE, kSettingsKey, 0, KEY_QUERY_VALUE, &key) != ERROR_SUCCESS) return kNoKey;
  KeyState state{true, std::nullopt};
  DWORD type = 0, size = 0;
  if (RegQueryValueExA(key, kAutoUpdateValue, nullptr, &type, nullptr, &size) == ERROR_SUCCESS) {
    Stored stored{type, std::vector<uint8_t>(size)};
    RegQueryValueExA(key, kAutoUpdateValue, nullptr, &type, stored.data.data(), &size);
    state.value = stored;
  }
  RegCloseKey(key);
  return state;
}

void WriteState(const KeyState& state) {
  RegDeleteTreeA(HKEY_LOCAL_MACHINE, kSettingsKey);
  if (!state.keyExists) return;
  HKEY key = nullptr;
  ASSERT_EQ(RegCreateKeyExA(HKEY_LOCAL_MACHINE, kSettingsKey, 0, nullptr, 0, KEY_SET_VALUE, nullptr, &key, nullptr),
            ERROR_SUCCESS);
  if (state.value) {
    RegSetValueExA(key, kAutoUpdateValue, 0, state.value->type, state.value->data.data(),
                   DWORD(state.value->data.size()));
  }
  RegCloseKey(key);
}

class SettingsDialogTest : public ::testing::Test {
 protected:
  void SetUp() override {
    PK_REQUIRE_DISPLAY();
    saved_ = ReadState();
  }
  void TearDown() override { WriteState(saved_); }

  enum Way { Ok, CancelButton, Escape, CloseBox, EnterOnCancel };
  struct Outcome {
    int checked = -1;  // control checked when the dialog opened (1008 or 1009), 0 for none
    INT_PTR result = 0;
    std::wstring message;  // the text of a box shown on the way out, if any
    bool messageOwnedByDialog = false;
  };

  // Opens the dialog on `initial`, clicks `click` (a radio button, or 0),
  // leaves by `way` and answers a message box if one comes.
  Outcome Run(const KeyState& initial, int click, Way way) {
    WriteState(initial);
    Outcome outcome;
    SettingsDialog settings;
    {
      test::DialogDriver driver([&](test::DialogDriver& d) {
        HWND dialog = d.WaitFor(kSettingsCaption, IDC_UPDATE_AUTO);
        if (!dialog) return;
        bool prompt = d.Checked(dialog, IDC_UPDATE_PROMPT) == BST_CHECKED;
        bool automatic = d.Checked(dialog, IDC_UPDATE_AUTO) == BST_CHECKED;
        outcome.checked = prompt && !automatic ? IDC_UPDATE_PROMPT : automatic && !prompt ? IDC_UPDATE_AUTO : 0;
        if (click) d.Click(dialog, click);
        switch (way) {
          case Ok: d.Click(dialog, IDOK); break;
          case CancelButton: d.Click(dialog, IDCANCEL); break;
          case Escape: d.PressEscape(dialog); break;
          case CloseBox: d.CloseBox(dialog); break;
          case EnterOnCancel: EXPECT_TRUE(d.Focus(dialog, IDCANCEL)); d.PressKey(dialog, VK_RETURN); break;
        }
        if (way != Ok) return;
        // A message box would come before the dialog goes.
        for (int i = 0; i < 100 && IsWindowVisible(dialog); ++i) {
          HWND box = nullptr;
          if (HWND candidate = FindWindowW(nullptr, L"错误"); candidate && GetWindowThreadProcessId(candidate, nullptr) ==
                                                                           GetWindowThreadProcessId(dialog, nullptr)) {
            box = candidate;
          }
          if (box) {
            wchar_t text[256] = {};
            GetDlgItemTextW(box, 0xFFFF, text, 256);
            outcome.message = text;
            outcome.messageOwnedByDialog = GetWindow(box, GW_OWNER) == dialog;
            PostMessageW(box, WM_COMMAND, IDOK, 0);
            return;
          }
          Sleep(20);
        }
      });
      outcome.result = settings.DoModal();
    }
    return outcome;
  }

  KeyState saved_;
};

TEST_F(SettingsDialogTest, ShowsTheStoredModeAndOkStoresTheCheckedOneAsADword) {
  struct Case {
    const char* what;
    KeyState initial;
    int checked;  // shown when the dialog opens
    KeyState after;
  };
  const Stored sixBytes{REG_BINARY, {1, 0, 0, 0, 0, 0}};
  const Stored one{REG_SZ, {'1', 0}};
  const Case cases[] = {
      {"value 0", With(Dword(0)), IDC_UPDATE_PROMPT, With(Dword(0))},
      {"value 1", With(Dword(1)), IDC_UPDATE_AUTO, With(Dword(1))},
      {"value 7 (any other number)", With(Dword(7)), IDC_UPDATE_AUTO, With(Dword(1))},
      {"key without the value", kNoValue, IDC_UPDATE_PROMPT, With(Dword(0))},
      // Longer than 4 bytes: the system refuses the read, so the number stays 0.
      {"a 6-byte value", With(sixBytes), IDC_UPDATE_PROMPT, With(Dword(0))},
      // A one-character string lands in the low bytes: '1' is 0x31, not 0.
      {"a REG_SZ \"1\"", With(one), IDC_UPDATE_AUTO, With(Dword(1))},
  };
  for (const Case& c : cases) {
    Outcome outcome = Run(c.initial, 0, Ok);
    EXPECT_EQ(outcome.checked, c.checked) << c.what;
    EXPECT_EQ(outcome.result, IDOK) << c.what;
    EXPECT_EQ(outcome.message, L"") << c.what;
    EXPECT_TRUE(ReadState() == c.after) << c.what;
  }
}

TEST_F(SettingsDialogTest, OkStoresTheOtherChoiceAndEveryOtherWayOutStoresNothing) {
  struct Case {
    const char* what;
    KeyState initial;
    int click;
    Way way;
    INT_PTR result;
    KeyState after;
  };
  const Case cases[] = {
      {"prompt to automatic, OK", With(Dword(0)), IDC_UPDATE_AUTO, Ok, IDOK, With(Dword(1))},
      {"automatic to prompt, OK", With(Dword(1)), IDC_UPDATE_PROMPT, Ok, IDOK, With(Dword(0))},
      {"the value created where only the key was", kNoValue, IDC_UPDATE_AUTO, Ok, IDOK, With(Dword(1))},
      {"Cancel", With(Dword(7)), IDC_UPDATE_PROMPT, CancelButton, IDCANCEL, With(Dword(7))},
      {"Escape", With(Dword(7)), IDC_UPDATE_PROMPT, Escape, IDCANCEL, With(Dword(7))},
      {"the close box", With(Dword(0)), IDC_UPDATE_AUTO, CloseBox, IDCANCEL, With(Dword(0))},
      {"Cancel without a key", kNoKey, IDC_UPDATE_AUTO, CancelButton, IDCANCEL, kNoKey},
      {"Enter on Cancel: its command, not the default", With(Dword(0)), IDC_UPDATE_AUTO, EnterOnCancel, IDCANCEL,
       With(Dword(0))},
  };
  for (const Case& c : cases) {
    Outcome outcome = Run(c.initial, c.click, c.way);
    EXPECT_EQ(outcome.result, c.result) << c.what;
    EXPECT_TRUE(ReadState() == c.after) << c.what;
  }
}

TEST_F(SettingsDialogTest, WithoutTheKeyOkSaysTheChoiceWasNotStoredAndCreatesNothing) {
  for (int click : {0, IDC_UPDATE_AUTO}) {
    Outcome outcome = Run(kNoKey, click, Ok);
    EXPECT_EQ(outcome.checked, IDC_UPDATE_PROMPT);
    EXPECT_EQ(outcome.message, L"保存设置时出错!");
    EXPECT_TRUE(outcome.messageOwnedByDialog);
    EXPECT_EQ(outcome.result, IDOK) << "it still closes as OK";
    EXPECT_TRUE(ReadState() == kNoKey) << "the key is never created";
  }
}

TEST_F(SettingsDialogTest, TabReachesTheCheckedRadioButtonAndArrowsStayInTheirGroup) {
  WriteState(With(Dword(0)));
  std::vector<int> focused;
  SettingsDialog settings;
  {
    test::DialogDriver driver([&](test::DialogDriver& d) {
      HWND dialog = d.WaitFor(kSettingsCaption, IDC_UPDATE_AUTO);
      if (!dialog || !d.Focus(dialog, IDOK)) return;
      for (UINT key : {VK_TAB, VK_TAB, VK_DOWN, VK_DOWN, VK_TAB}) {
        d.PressKey(dialog, key);
        Sleep(100);
        focused.push_back(GetDlgCtrlID(d.Focused()));
      }
      d.Click(dialog, IDCANCEL);
    });
    settings.DoModal();
  }
  // Down from the last radio button wraps to the first, not on to OK.
  EXPECT_EQ(focused, (std::vector<int>{IDCANCEL, IDC_UPDATE_PROMPT, IDC_UPDATE_AUTO, IDC_UPDATE_PROMPT, IDOK}));
}

}  // namespace
}  // namespace pk
