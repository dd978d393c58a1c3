#include "ui/main/main_dialog.h"

#include "codec/icon_group.h"
#include "framework/win_app.h"
#include "platform/main_window.h"
#include "platform/win32/icon_handle.h"
#include "platform/message_box.h"
#include "res/maker.h"
#include "res/resource.h"
#include "ui/dialogs/about_dialog.h"
#include "ui/dialogs/settings_dialog.h"
#include "ui/main/test_hooks.h"
#include "ui_messages.h"
#include "updater/nub_updater.h"

namespace {

// Posted at start-up: the file named on the command line opens once the
// window is up, so that its messages have an owner to show over.
constexpr UINT kOpenCommandLineMessage = WM_APP + 1;

}  // namespace

pk::platform::ResourceName GroupNameFromItemValue(LRESULT value) {
  if (uintptr_t(value) < 0x10000) return pk::platform::ResourceName::FromId(uint16_t(value));
  return pk::platform::ResourceName::FromText(reinterpret_cast<const char*>(value));
}

bool IsModuleExtension(const std::string& ext) { return ext != "ico" && ext != "bmp"; }

void ShowError(const char* text, std::string_view pathBeforeText) {
  pk::platform::ShowMessage(pk::platform::Owner::MainWindow, {.text = text,
                                                              .caption = pk::ui_msg::kErrorCaption,
                                                              .captionIsPath = false,
                                                              .pathBeforeText = pathBeforeText});
}

MainDialog::MainDialog(CWnd* parent)
    : CDialog(IDD_MAIN, parent),
      appIcon(::LoadIconA(AfxGetResourceHandle(), MAKEINTRESOURCEA(IDR_MAINFRAME))) {}

MainDialog::~MainDialog() = default;

void MainDialog::DoDataExchange(CDataExchange* dx) {
  CDialog::DoDataExchange(dx);
  DDX_Control(dx, IDOK, browseButton);
  DDX_Control(dx, IDCANCEL, exitButton);
  DDX_Control(dx, IDC_SAVE_AS, saveAsButton);
  DDX_Control(dx, IDC_COPY, copyButton);
  DDX_Control(dx, IDC_ABOUT, aboutButton);
  DDX_Control(dx, IDC_SETTINGS, settingsButton);
  DDX_Control(dx, IDC_ICON_LIST, iconList);
  DDX_Control(dx, IDC_PREVIEW, previewPicture);
}

std::unique_ptr<pk::IconSet> MainDialog::MakeStartupRecord() {
  auto record = pk::NewIconSet(1);
  if (record) {
    pk::SetRecordPath(record->iconFilePath, "Untitled");
    pk::SetRecordPath(record->moduleFilePath, "");
    record->imageCount = 0;
  }
  return record;
}

BOOL MainDialog::OnInitDialog() {
  CDialog::OnInitDialog();
  // Message boxes of the codec are owned by this window from now on.
  pk::platform::SetMainWindow(m_hWnd);

  CMenu systemMenu = GetSystemMenu(FALSE);
  if (systemMenu.GetSafeHmenu()) {
    wchar_t about[256];
    int length = ::LoadStringW(AfxGetResourceHandle(), IDS_ABOUTBOX, about, 256);
    if (length > 0) {
      systemMenu.AppendMenu(MF_SEPARATOR);
      systemMenu.AppendMenu(MF_STRING, IDM_ABOUTBOX, about);
    }
  }

  SetIcon(appIcon, TRUE);
  SetIcon(appIcon, FALSE);

  for (SkinButton* button : {&browseButton, &exitButton, &saveAsButton, &settingsButton, &aboutButton, &copyButton}) {
    button->SetSkin(kDialogSkin);
  }

  copyButton.EnableWindow(FALSE);
  saveAsButton.EnableWindow(FALSE);

  currentRecord = MakeStartupRecord();
  if (!currentRecord) {
    // Every command works on the current record; without one there is
    // nothing the program could do, so it does not start.
    ShowError(pk::ui_msg::kStartupOutOfMemory);
    EndDialog(IDABORT);
    return TRUE;
  }
  ::DragAcceptFiles(m_hWnd, TRUE);
  PostMessage(kOpenCommandLineMessage);
  return TRUE;
}

void MainDialog::OnCancel() {
  // Exit, Escape and the close box all end the dialog here. The update check
  // runs first, while the window is still open; its result changes nothing.
  CheckForUpdate(PK_UPDATE_LOCATION, 0);
  CDialog::OnCancel();
}

void MainDialog::OnAbout() {
  // From the About button and from the system menu alike.
  AboutDialog about;
  about.DoModal();
}

BOOL MainDialog::OnCommand(UINT id, UINT code, HWND control) {
  if (id == IDC_ICON_LIST && code == LBN_SELCHANGE) {
    // The paint that follows makes the new preview.
    Invalidate(TRUE);
    return TRUE;
  }
  if (code == BN_CLICKED && id == IDC_ABOUT) {
    OnAbout();
    return TRUE;
  }
  if (code == BN_CLICKED && id == IDC_SETTINGS) {
    SettingsDialog settings;
    settings.DoModal();
    return TRUE;
  }
  if (code == BN_CLICKED && id == IDC_SAVE_AS) {
    OnSaveAs();
    return TRUE;
  }
  if (code == BN_CLICKED && id == IDC_COPY) {
    OnCopy();
    return TRUE;
  }
  return CDialog::OnCommand(id, code, control);
}

void MainDialog::OnSysCommand(UINT id, LPARAM l) {
  // The system keeps the low four bits of the command for itself.
  if ((id & 0xFFF0) == IDM_ABOUTBOX) {
    OnAbout();
  } else {
    CDialog::OnSysCommand(id, l);
  }
}

HCURSOR MainDialog::OnQueryDragIcon() { return reinterpret_cast<HCURSOR>(appIcon); }

void MainDialog::PaintMinimised(CDC* dc) {
  SendMessage(WM_ICONERASEBKGND, reinterpret_cast<WPARAM>(dc->GetSafeHdc()), 0);
  int iconWidth = ::GetSystemMetrics(SM_CXICON);
  int iconHeight = ::GetSystemMetrics(SM_CYICON);
  RECT rect;
  GetClientRect(&rect);
  int x = (rect.right - rect.left - iconWidth + 1) / 2;
  int y = (rect.bottom - rect.top - iconHeight + 1) / 2;
  dc->DrawIcon(x, y, appIcon);
}

void MainDialog::OnPaint() {
  if (IsIconic()) {
    CPaintDC dc(this);
    PaintMinimised(&dc);
  } else {
    Default();
  }
  RefreshPreview();
}

LRESULT MainDialog::WindowProc(UINT message, WPARAM w, LPARAM l) {
  if (LRESULT answer = 0; AnswerTestMessage(m_hWnd, message, w, l, &answer)) return answer;
  // Rendering into a bitmap follows the minimised paint as well.
  if (message == WM_PRINTCLIENT && IsIconic()) {
    CDC dc = CDC::Borrow(reinterpret_cast<HDC>(w));
    PaintMinimised(&dc);
    return 0;
  }
  if (message == WM_DROPFILES) {
    OnDropFiles(reinterpret_cast<HDROP>(w));
    return 0;
  }
  if (message == kOpenCommandLineMessage) {
    OpenCommandLineFile();
    return 0;
  }
  return CDialog::WindowProc(message, w, l);
}

void MainDialog::RefreshPreview() {
  LRESULT value = iconList.GetItemData(iconList.GetCurSel());
  if (value == LB_ERR) return;
  // Icon and bitmap files get their preview from the open command.
  if (!IsModuleExtension(sourceExtension)) return;
  pk::platform::ResourceName name = GroupNameFromItemValue(value);
  SetPreviewIcon(sourceModule ? pk::LoadGroupPreviewIcon(*sourceModule, &name) : nullptr);
}

void MainDialog::SetPreviewIcon(pk::platform::IconHandle icon) {
  SendDlgItemMessageA(m_hWnd, IDC_PREVIEW, STM_SETICON, reinterpret_cast<WPARAM>(pk::platform::HiconOf(icon)), 0);
  previewIcon = std::move(icon);
}

HICON MainDialog::PreviewIcon() const { return pk::platform::HiconOf(previewIcon); }

void MainDialog::OnDestroy() {
  CDialog::OnDestroy();
  // The picture lets go of the preview before the icon is released.
  SetPreviewIcon(nullptr);
  currentRecord.reset();
  // Boxes shown after this window is gone must not name it as their owner.
  if (pk::platform::MainWindow() == m_hWnd) pk::platform::SetMainWindow(nullptr);
}
