#include "codec/icon_group.h"

#include "base/icon_directory.h"
#include "codec_messages.h"
#include "platform/message_box.h"

namespace pk {
namespace {

void Report(const char* text, const char* modulePath) {
  platform::ShowMessage(platform::Owner::MainWindow, text, modulePath ? modulePath : "");
}

}  // namespace

const char* GroupFaultMessage(GroupFault fault) {
  switch (fault) {
    case GroupFault::ModuleOpen: return msg::kModuleOpenFailed;
    case GroupFault::RecordAlloc:
    case GroupFault::TooLarge:
    case GroupFault::ImageAlloc: return msg::kGroupAllocFailed;
    case GroupFault::ImageFormat: return msg::kGroupBindFailed;
    case GroupFault::NoSelection:
    case GroupFault::GroupMissing:
    case GroupFault::DirectoryShort:
    case GroupFault::ImageMissing: return nullptr;
  }
  return nullptr;
}

Result<std::unique_ptr<IconSet>, GroupFault> ReadIconGroup(platform::Module& module, const char* modulePath,
                                                          const platform::ResourceName& name) {
  auto group = module.FindResourceBytes(platform::kResourceTypeGroupIcon, name);
  if (!group) return GroupFault::GroupMissing;
  // The directory is never read beyond its bytes.
  auto count = GroupDirectoryCount(*group);
  if (!count) return GroupFault::DirectoryShort;
  const Bytes entries = GroupDirectoryEntries(*group);

  auto set = NewIconSet(*count);
  if (!set) return GroupFault::RecordAlloc;
  set->imageCount = *count;
  SetRecordPath(set->moduleFilePath, modulePath ? modulePath : "");
  set->iconFilePath[0] = '\0';

  uint64_t total = 0;
  for (uint16_t i = 0; i < *count; ++i) {
    // The directory's own size field is not trusted: each image is exactly
    // the bytes of its icon resource.
    const IconDirEntry entry = *ReadIconDirEntry(entries, IconDirKind::Group, i);
    auto image = module.FindResourceBytes(platform::kResourceTypeIcon, platform::ResourceName::FromId(entry.id));
    if (!image) return GroupFault::ImageMissing;
    total += image->size();
    if (total > kMaxIconGroupBytes) return GroupFault::TooLarge;
    IconSetImage& target = set->images[i];
    if (!target.AssignData(*image)) return GroupFault::ImageAlloc;
    if (!BindIconImage(&target)) return GroupFault::ImageFormat;
  }
  return set;
}

std::unique_ptr<IconSet> LoadIconGroupFromModule(platform::Module& module, const char* modulePath,
                                                 const platform::ResourceName& name) {
  auto set = ReadIconGroup(module, modulePath, name);
  if (!set) {
    if (const char* message = GroupFaultMessage(set.reason())) Report(message, modulePath);
    return nullptr;
  }
  return std::move(*set);
}

std::unique_ptr<IconSet> LoadIconGroup(const char* modulePath, const platform::ResourceName* name) {
  auto module = platform::OpenModuleAsData(modulePath);
  if (!module) {
    Report(GroupFaultMessage(GroupFault::ModuleOpen), modulePath);
    return nullptr;
  }
  if (!name) return nullptr;
  return LoadIconGroupFromModule(*module, modulePath, *name);
}

platform::IconHandle LoadGroupPreviewIcon(platform::Module& module, const platform::ResourceName* name) {
  if (!name) return nullptr;
  auto group = module.FindResourceBytes(platform::kResourceTypeGroupIcon, *name);
  // A directory cut short is refused here too: the best-fit call would read
  // its entries beyond the resource.
  if (!group || !GroupDirectoryCount(*group)) return nullptr;
  const uint16_t id = uint16_t(platform::LookupIconIdFromDirectory(*group) & 0xFFFF);
  auto image = module.FindResourceBytes(platform::kResourceTypeIcon, platform::ResourceName::FromId(id));
  if (!image) return nullptr;
  return platform::CreateIconFromImageDefaultSize(*image);
}

}  // namespace pk
