// The open command: Browse (and Enter), a file dropped on the window, or a
// file named on the command line. The file's extension decides whether it is
// an icon file, a bitmap file or a module; the list gets one entry per icon.
#include <cstring>
#include <string>

#include "codec/group_list.h"
#include "codec/bitmap_icon.h"
#include "codec/ico_file.h"
#include "codec/icon_group.h"
#include "framework/file_dialog.h"
#include "framework/win_app.h"
#include "platform/win32/icon_handle.h"
#include "platform/win32/wide_text.h"
#include "res/resource.h"
#include "ui/main/main_dialog.h"
#include "ui/main/source_path.h"
#include "ui_messages.h"

using pk::win32::Utf8FromWide;
using pk::win32::WideFromGbk;
using pk::win32::WideFromUtf8;

void MainDialog::OnOK() {
  // Browse is the dialog's default command: Enter opens a file rather than
  // ending the dialog.
  CFileDialog dialog(TRUE, "*.ICO", nullptr, 0, pk::ui_msg::kOpenFilter);
  if (dialog.DoModal() != IDOK) return;
  OpenPath(dialog.GetPathName());
}

void MainDialog::OpenPath(const std::string& path) {
  // The source is replaced before anything is read, so it names the chosen
  // file even when reading it fails.
  sourcePath = path;
  sourceExtension = LowerFileExtension(path);
  ResetIconList();

  if (sourceExtension == "ico") {
    OpenIconFile();
  } else if (sourceExtension == "bmp") {
    OpenBitmapFile();
  } else if (!OpenModule()) {
    // Whatever the failed module had listed goes too: nothing of it can be saved.
    ShowNothingOpen();
    return;
  }
  FinishOpen();
}

void MainDialog::OpenIconFile() {
  // The reader's result is what Save as and Copy work on; whether the file
  // is listed is the shell's decision, which also makes the preview.
  currentRecord = pk::LoadIconFile(sourcePath.c_str());
  // The shell's extraction reads wherever the directory points, past the end
  // of the file too, and a read outside its view of the file ends the
  // program: it is asked only about whole icon files.
  HICON extracted = pk::IconDirectoryFitsFile(sourcePath.c_str())
                        ? ::ExtractIconW(AfxGetInstanceHandle(), WideFromUtf8(sourcePath).c_str(), 0)
                        : nullptr;
  // 1 is the shell's answer for a file that is no icon file at all: not an icon.
  if (extracted == reinterpret_cast<HICON>(1)) extracted = nullptr;
  if (extracted) iconList.AddString(WideFromUtf8(sourcePath).c_str());
  SetPreviewIcon(pk::platform::AdoptIcon(extracted));
}

void MainDialog::OpenBitmapFile() {
  pk::IconSet* record = currentRecord.get();
  if (record && record->imageCount > 0 && !record->images.empty() && record->images[0].data) {
    // The bitmap takes the size and depth of the first image and replaces it;
    // a file the reader refuses leaves that image as it was.
    pk::ImportBmpIcon(sourcePath.c_str(), &record->images[0], true);
  } else if (auto imported = pk::ImportBmpIconSet(sourcePath.c_str())) {
    // No image to take the size from (the start-up record, a record without
    // images, or none): the bitmap becomes an icon of its own.
    currentRecord = std::move(imported);
  }
  record = currentRecord.get();
  pk::platform::IconHandle icon;
  if (record && record->imageCount > 0 && !record->images.empty()) icon = pk::IconHandleFromImage(&record->images[0]);
  if (icon) iconList.AddString(WideFromUtf8(sourcePath).c_str());
  SetPreviewIcon(std::move(icon));
}

bool MainDialog::OpenModule() {
  auto module = pk::platform::OpenModuleAsData(sourcePath.c_str());
  if (!module) {
    ShowError(pk::ui_msg::kNotAModule, sourcePath);
    return false;
  }
  // The module it replaces is released only now that this one is open.
  sourceModule = std::move(module);
  // One repaint for the whole list rather than one per entry and scroll bar change.
  iconList.SendMessage(WM_SETREDRAW, FALSE);
  const bool listed = sourceModule->EnumerateNames(pk::platform::kResourceTypeGroupIcon,
                                                   [this](const pk::platform::ResourceName& name) {
                                                     AddGroupEntry(name);
                                                     return true;
                                                   });
  iconList.SendMessage(WM_SETREDRAW, TRUE);
  iconList.Invalidate(TRUE);
  if (!listed) {
    // Also the answer for a module without any group.
    ShowError(pk::ui_msg::kEnumerationFailed);
    return false;
  }
  return true;
}

void MainDialog::AddGroupEntry(const pk::platform::ResourceName& name) {
  LPARAM value = name.Id();
  if (!name.IsId()) {
    // The system's name lives only during the enumeration; the entry keeps a
    // copy of the whole name even when its text is cut.
    auto copy = std::make_unique<char[]>(name.Text().size() + 1);
    std::memcpy(copy.get(), name.Text().c_str(), name.Text().size() + 1);
    value = reinterpret_cast<LPARAM>(copy.get());
    entryNames.push_back(std::move(copy));
  }
  // The sorted list puts the entry at its place in text order.
  const int index = iconList.AddString(WideFromGbk(pk::IconGroupEntryText(name)).c_str());
  if (index >= 0) iconList.SetItemData(index, value);
}

void MainDialog::FinishOpen() {
  iconList.SetCurSel(0);
  if (iconList.GetCount() > 0) {
    copyButton.EnableWindow(TRUE);
    saveAsButton.EnableWindow(TRUE);
    // The paint that follows makes a module's preview.
    Invalidate(TRUE);
  } else {
    ShowError(pk::ui_msg::kNoIcons);
    ShowNothingOpen();
  }
}

void MainDialog::ShowNothingOpen() {
  ResetIconList();
  // The picture of an earlier file would belong to no entry.
  SetPreviewIcon(nullptr);
  copyButton.EnableWindow(FALSE);
  saveAsButton.EnableWindow(FALSE);
}

void MainDialog::ResetIconList() {
  iconList.ResetContent();
  // Nothing points at the copies once their entries are gone.
  entryNames.clear();
}

void MainDialog::OnDropFiles(HDROP drop) {
  // Only the first file of a drop is opened, by its whole name: a name cut to
  // fit a buffer would name another file. One too long to open fails there
  // with the messages it gets from the command line.
  const UINT length = ::DragQueryFileW(drop, 0, nullptr, 0);
  std::wstring path(length, L'\0');
  const UINT copied = length > 0 ? ::DragQueryFileW(drop, 0, path.data(), length + 1) : 0;
  ::DragFinish(drop);
  if (copied == length && length > 0) OpenPath(Utf8FromWide(path));
}

void MainDialog::OpenCommandLineFile() {
  CWinApp* app = AfxGetApp();
  const std::string file = CommandLineFile(app ? app->m_lpCmdLine : nullptr);
  if (!file.empty()) OpenPath(FullPathName(file));
}
