// Save as and Copy: the selected icon written to an .ico file (all its
// images) or a .bmp file (its first image's colour picture), or that picture
// placed on the clipboard.
#include <iterator>
#include <string>

#include "codec/bitmap_icon.h"
#include "codec/ico_file.h"
#include "codec/icon_group.h"
#include "framework/file_dialog.h"
#include "framework/win_app.h"
#include "platform/directory.h"
#include "platform/message_box.h"
#include "ui/main/main_dialog.h"
#include "ui/main/source_path.h"
#include "ui_messages.h"

void MainDialog::LoadSelectedGroup() {
  if (!IsModuleExtension(sourceExtension)) return;
  const LRESULT value = iconList.GetItemData(iconList.GetCurSel());
  if (value == LB_ERR) return;
  // Loaded anew from the file at every run, so what is written is always
  // the group selected now; a failure leaves no record.
  const pk::platform::ResourceName name = GroupNameFromItemValue(value);
  currentRecord = pk::LoadIconGroup(sourcePath.c_str(), &name);
}

const pk::IconSetImage* MainDialog::AvailableFirstImage() const {
  const pk::IconSet* record = currentRecord.get();
  if (!record || iconList.GetCount() <= 0) return nullptr;
  // A group or icon file may hold no image at all; nothing is read beyond
  // the images a record has.
  if (record->imageCount == 0 || record->images.empty() || !record->images[0].data) return nullptr;
  return &record->images[0];
}

namespace {

// The extension of each filter of the save dialog, in its order (the dialog
// counts its filters from 1).
constexpr const char* kFilterExtensions[] = {"ico", "bmp"};

// A name typed without an extension takes the chosen filter's.
std::string WithFilterExtension(std::string path, DWORD filterIndex) {
  if (!LowerFileExtension(path).empty()) return path;
  // "name." has no extension either; the dot is the one added here.
  while (!path.empty() && path.back() == '.') path.pop_back();
  const size_t index = filterIndex >= 1 && filterIndex <= std::size(kFilterExtensions) ? filterIndex - 1 : 0;
  return path + "." + kFilterExtensions[index];
}

}  // namespace

void MainDialog::OnSaveAs() {
  // No default extension for the dialog: the name is completed here, by the
  // filter chosen, so that the question below is about the file written.
  CFileDialog dialog(FALSE, nullptr, nullptr, 0, pk::ui_msg::kSaveFilter);
  if (dialog.DoModal() != IDOK) return;
  savePath = WithFilterExtension(dialog.GetPathName(), dialog.m_ofn.nFilterIndex);
  // The name's extension decides the format, not the filter chosen.
  saveExtension = LowerFileExtension(savePath);
  if (saveExtension != "bmp" && saveExtension != "ico") {
    ShowError(pk::ui_msg::kSaveFormats);
    return;
  }
  if (pk::platform::TypeOfPath(savePath.c_str()) != pk::platform::PathType::Missing &&
      !pk::platform::AskYesNo(pk::platform::Owner::MainWindow, {.text = pk::ui_msg::kReplaceQuestion,
                                                                .caption = pk::ui_msg::kSaveAsCaption,
                                                                .captionIsPath = false,
                                                                .pathBeforeText = savePath})) {
    return;
  }
  LoadSelectedGroup();

  const pk::IconSetImage* first = AvailableFirstImage();
  if (!first) {
    ShowError(pk::ui_msg::kNothingToSave);
    return;
  }
  // The writers report their own failures.
  CWaitCursor busy;
  if (saveExtension == "bmp") {
    pk::ExportImageBmp(savePath.c_str(), *first);
  } else {
    pk::SaveIconFile(*currentRecord, savePath.c_str());
  }
}

void MainDialog::OnCopy() {
  LoadSelectedGroup();
  const pk::IconSetImage* first = AvailableFirstImage();
  if (!first) {
    ShowError(pk::ui_msg::kNothingToCopy);
    return;
  }
  // A clipboard that another program holds is not reported.
  pk::CopyImageToClipboard(*first);
}
