// A scratch folder for a test's files, removed with everything in it. Paths
// and names are UTF-8, as the program takes them on every system.
#pragma once

#include <cstdio>
#include <filesystem>
#include <random>
#include <string>
#include <vector>

namespace pk::test {

inline std::filesystem::path PathOf(const std::string& utf8) {
  return std::filesystem::path(std::u8string(utf8.begin(), utf8.end()));
}
inline std::string Utf8Of(const std::filesystem::path& path) {
  const std::u8string text = path.u8string();
  return std::string(text.begin(), text.end());
}
inline std::FILE* OpenFile(const std::string& path, bool write) {
#ifdef _WIN32
  return _wfopen(PathOf(path).c_str(), write ? L"wb" : L"rb");
#else
  return std::fopen(path.c_str(), write ? "wb" : "rb");
#endif
}

class TempDir {
 public:
  TempDir() {
    std::random_device rd;
    path_ = std::filesystem::temp_directory_path() / ("pk-test-" + std::to_string(rd()) + std::to_string(rd()));
    std::filesystem::create_directories(path_);
  }
  ~TempDir() {
    std::error_code ec;
    std::filesystem::remove_all(path_, ec);
  }
  TempDir(const TempDir&) = delete;
  TempDir& operator=(const TempDir&) = delete;

  std::string Path(const std::string& name) const { return Utf8Of(path_ / PathOf(name)); }

  std::string Write(const std::string& name, const std::vector<uint8_t>& bytes) const {
    std::string p = Path(name);
    std::FILE* f = OpenFile(p, true);
    if (f) {
      if (!bytes.empty()) std::fwrite(bytes.data(), 1, bytes.size(), f);
      std::fclose(f);
    }
    return p;
  }

  static std::vector<uint8_t> Read(const std::string& path) {
    std::vector<uint8_t> bytes;
    std::FILE* f = OpenFile(path, false);
    if (!f) return bytes;
    uint8_t buffer[65536];
    size_t n;
    while ((n = std::fread(buffer, 1, sizeof buffer, f)) > 0) bytes.insert(bytes.end(), buffer, buffer + n);
    std::fclose(f);
    return bytes;
  }

  std::vector<std::string> Files() const {
    std::vector<std::string> names;
    for (auto& e : std::filesystem::directory_iterator(path_)) names.push_back(Utf8Of(e.path().filename()));
    return names;
  }

 private:
  std::filesystem::path path_;
};

}  // namespace pk::test
