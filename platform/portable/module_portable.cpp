// Modules opened as data without Windows: our own reader of the resource
// tables over plain POSIX reads. Only the headers, the tables and the
// resources asked for are read; nothing is mapped.
#include <fcntl.h>
#include <iconv.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <array>
#include <cerrno>
#include <cstring>
#include <map>
#include <vector>

#include "platform/module.h"
#include "platform/portable/core/icon_best_fit.h"
#include "platform/portable/core/resource_table.h"

namespace pk::platform {
namespace {

class FileByteSource final : public portable::ByteSource {
 public:
  FileByteSource(int fd, uint64_t size) : fd_(fd), size_(size) {}
  ~FileByteSource() override { ::close(fd_); }
  FileByteSource(const FileByteSource&) = delete;
  FileByteSource& operator=(const FileByteSource&) = delete;

  uint64_t Size() const override { return size_; }
  // The table reader's reads. A lookup makes several small ones (a directory
  // header, its entries, a data entry: three per resource) in the few places
  // where the tables lie, so those are served from a handful of cached blocks.
  bool ReadAt(uint64_t offset, void* out, size_t length) override {
    if (!RangeFits(offset, length, size_)) return false;
    if (length > kSmallRead) return ReadFromFile(offset, static_cast<uint8_t*>(out), length);
    auto* p = static_cast<uint8_t*>(out);
    while (length > 0) {
      const Block* block = BlockAt(offset & ~uint64_t(kBlockSize - 1));
      if (!block) return false;
      const size_t n = std::min<uint64_t>(length, block->start + block->bytes.size() - offset);
      std::memcpy(p, block->bytes.data() + (offset - block->start), n);
      p += n;
      offset += n;
      length -= n;
    }
    return true;
  }

  // A resource's own bytes, read straight from the file: they lie apart from
  // the tables and would only push the tables out of the cache.
  bool ReadResource(uint64_t offset, uint32_t length, std::vector<uint8_t>* out) {
    if (!RangeFits(offset, length, size_)) return false;
    out->resize(length);
    return length == 0 || ReadFromFile(offset, out->data(), length);
  }

 private:
  static constexpr size_t kSmallRead = 4096;
  static constexpr size_t kBlockSize = 16 * 1024;
  static constexpr size_t kBlockCount = 8;

  struct Block {
    uint64_t start = UINT64_MAX;
    std::vector<uint8_t> bytes;
    uint64_t lastUse = 0;
  };

  // The cached block that starts at `start`, read in place of the least
  // recently used one when it is not there; none when the read fails.
  const Block* BlockAt(uint64_t start) {
    Block* victim = &blocks_[0];
    for (Block& b : blocks_) {
      if (b.start == start) {
        b.lastUse = ++clock_;
        return &b;
      }
      if (b.lastUse < victim->lastUse) victim = &b;
    }
    victim->bytes.resize(size_t(std::min<uint64_t>(kBlockSize, size_ - start)));
    if (!ReadFromFile(start, victim->bytes.data(), victim->bytes.size())) {
      victim->start = UINT64_MAX;
      victim->lastUse = 0;
      return nullptr;
    }
    victim->start = start;
    victim->lastUse = ++clock_;
    return victim;
  }

  bool ReadFromFile(uint64_t offset, uint8_t* p, size_t length) {
    while (length > 0) {
      const ssize_t got = ::pread(fd_, p, length, off_t(offset));
      if (got < 0 && errno == EINTR) continue;
      if (got <= 0) return false;
      p += got;
      offset += uint64_t(got);
      length -= size_t(got);
    }
    return true;
  }

  int fd_;
  uint64_t size_;
  std::array<Block, kBlockCount> blocks_;
  uint64_t clock_ = 0;
};

// UTF-16 names to GBK, the program's 8-bit text, the way WideCharToMultiByte
// does it on a Chinese system: a character GBK lacks becomes '?'. ASCII names
// come out byte for byte the same.
std::string NarrowToGbk(std::u16string_view text) {
  std::string out;
  iconv_t cd = iconv_open("GBK", "UTF-16LE");
  if (cd == iconv_t(-1)) {
    for (char16_t c : text) out.push_back(c < 0x80 ? char(c) : '?');
    return out;
  }
  for (size_t i = 0; i < text.size();) {
    // One character at a time (a surrogate pair is one), so that a character
    // that does not convert costs only itself.
    size_t units = 1;
    if (text[i] >= 0xD800 && text[i] <= 0xDBFF && i + 1 < text.size() && text[i + 1] >= 0xDC00 &&
        text[i + 1] <= 0xDFFF)
      units = 2;
    char in[4];
    for (size_t k = 0; k < units; ++k) {
      in[2 * k] = char(text[i + k] & 0xFF);
      in[2 * k + 1] = char(text[i + k] >> 8);
    }
    char buf[8];
    char* inPtr = in;
    char* outPtr = buf;
    size_t inLeft = units * 2, outLeft = sizeof buf;
    if (iconv(cd, &inPtr, &inLeft, &outPtr, &outLeft) == size_t(-1) || inLeft != 0) {
      out.push_back('?');
      iconv(cd, nullptr, nullptr, nullptr, nullptr);
    } else {
      out.append(buf, size_t(outPtr - buf));
    }
    i += units;
  }
  iconv_close(cd);
  return out;
}

class PortableModule final : public Module {
 public:
  PortableModule(std::unique_ptr<FileByteSource> source) : source_(std::move(source)) {
    table_ = portable::OpenResourceTable(*source_, NarrowToGbk);
  }

  bool IsModule() const { return table_ != nullptr; }

  std::optional<std::span<const uint8_t>> FindResourceBytes(uint16_t type, const ResourceName& name) override {
    auto location = table_->Find(type, name);
    if (!location) return std::nullopt;
    // Each resource is read once and kept until the module closes, as the
    // system keeps the mapped bytes valid while the module is open.
    const auto key = std::make_pair(location->offset, location->size);
    auto it = loaded_.find(key);
    if (it == loaded_.end()) {
      std::vector<uint8_t> bytes;
      if (!source_->ReadResource(location->offset, location->size, &bytes)) return std::nullopt;
      it = loaded_.emplace(key, std::move(bytes)).first;
    }
    return std::span<const uint8_t>(it->second.data(), it->second.size());
  }

  void ReleaseResourceBytes() override { loaded_.clear(); }

  bool EnumerateNames(uint16_t type, const std::function<bool(const ResourceName&)>& callback) override {
    auto names = table_->Names(type);
    if (!names) return false;
    for (const ResourceName& name : *names)
      if (!callback(name)) return false;  // a stopped enumeration reports failure, as the system's does
    return true;
  }

 private:
  std::unique_ptr<FileByteSource> source_;
  std::unique_ptr<portable::ResourceTable> table_;
  std::map<std::pair<uint64_t, uint32_t>, std::vector<uint8_t>> loaded_;
};

}  // namespace

std::unique_ptr<Module> OpenModuleAsData(const char* path) {
  if (!path) return nullptr;
  const int fd = ::open(path, O_RDONLY | O_CLOEXEC);
  if (fd < 0) return nullptr;
  struct stat st;
  if (::fstat(fd, &st) != 0 || !S_ISREG(st.st_mode)) {
    ::close(fd);
    return nullptr;
  }
  auto module = std::make_unique<PortableModule>(std::make_unique<FileByteSource>(fd, uint64_t(st.st_size)));
  if (!module->IsModule()) return nullptr;
  return module;
}

int LookupIconIdFromDirectory(std::span<const uint8_t> groupDirectory) {
  return portable::ChooseBestIconId(groupDirectory);
}

}  // namespace pk::platform
