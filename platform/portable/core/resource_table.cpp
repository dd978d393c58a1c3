#include "platform/portable/core/resource_table.h"

namespace pk::portable {
namespace {

constexpr uint64_t kDosHeaderSize = 64;
constexpr uint64_t kNewHeaderPointer = 0x3C;  // e_lfanew

std::optional<uint32_t> NewHeaderOffset(ByteSource& source) {
  uint8_t dos[kDosHeaderSize];
  if (!source.ReadAt(0, dos, sizeof dos)) return std::nullopt;
  if (dos[0] != 'M' || dos[1] != 'Z') return std::nullopt;
  return ByteReader(Bytes(dos, sizeof dos)).U32(kNewHeaderPointer);
}

}  // namespace

ModuleKind DetectModuleKind(ByteSource& source) {
  auto header = NewHeaderOffset(source);
  if (!header) return ModuleKind::None;
  uint8_t sig[4];
  if (source.ReadAt(*header, sig, 4) && sig[0] == 'P' && sig[1] == 'E' && sig[2] == 0 && sig[3] == 0)
    return ModuleKind::Pe;
  if (source.ReadAt(*header, sig, 2) && sig[0] == 'N' && sig[1] == 'E') return ModuleKind::Ne;
  return ModuleKind::None;
}

std::unique_ptr<ResourceTable> OpenResourceTable(ByteSource& source, NarrowText narrow) {
  switch (DetectModuleKind(source)) {
    case ModuleKind::Pe:
      return OpenPeResourceTable(source, *NewHeaderOffset(source), std::move(narrow));
    case ModuleKind::Ne:
      return OpenNeResourceTable(source, *NewHeaderOffset(source));
    case ModuleKind::None:
      break;
  }
  return nullptr;
}

}  // namespace pk::portable
