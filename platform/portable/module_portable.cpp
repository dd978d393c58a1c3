// Modules opened as data without Windows: our own reader of the resource
// tables over plain POSIX reads. Only the headers, the tables and the
// resources asked for are read; nothing is mapped.
#include <fcntl.h>
#include <iconv.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
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
  // The table reader's reads. A lookup makes several small ones close
  // together (a directory header, its entries, a data entry: three per
  // resource), so those are served from one window of the file.
  bool ReadAt(uint64_t offset, void* out, size_t length) override {
    if (!RangeFits(offset, length, size_)) return false;
    if (length <= kSmallRead) return ReadThroughWindow(offset, static_cast<uint8_t*>(out), length);
    return ReadFromFile(offset, static_cast<uint8_t*>(out), length);
  }

  // A resource's own bytes, read straight from the file: they lie apart from
  // the tables and would only push the tables out of the window.
  bool ReadResource(uint64_t offset, uint32_t length, std::vector<uint8_t>* out) {
    if (!RangeFits(offset, length, size_)) return false;
    out->resize(length);
    return length == 0 || ReadFromFile(offset, out->data(), length);
  }

 private:
  static constexpr size_t kSmallRead = 4096;
  static constexpr size_t kWindowSize = 64 * 1024;

  bool ReadThroughWindow(uint64_t offset, uint8_t* out, size_t length) {
    if (window_.empty() || offset < windowStart_ || !RangeFits(offset - windowStart_, length, window_.size())) {
      const uint64_t start = offset & ~uint64_t(kSmallRead - 1);
      window_.resize(size_t(std::min<uint64_t>(kWindowSize, size_ - start)));
      if (!ReadFromFile(start, window_.data(), window_.size())) {
        window_.clear();
        return false;
      }
      windowStart_ = start;
    }
    std::memcpy(out, window_.data() + (offset - windowStart_), length);
    return true;
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
  std::vector<uint8_t> window_;
  uint64_t windowStart_ = 0;
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
