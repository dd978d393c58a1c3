// Writes the hostile corpus that tests/e2e/hostile.sh opens in the running
// program, and the plan the probe follows: one line per file with the way it
// is opened, the boxes the program must show and the state it must be left
// in. The files: the malformed .ico, .bmp and module cases of the reading
// checklist, built with the test builders so each says what is odd; the
// regression files under tests/data and a sample of the fuzz corpus, where
// they exist; real modules cut at many lengths; a module with thousands of
// groups; 2 GiB and 4 GiB sparse files; folders named like files; paths of
// 259 and 300 bytes.
//
// usage: pk_hostile_corpus OUT-DIR SOURCE-DIR [--wine64 DIR] [--wine32 DIR] [--fuzz-sample N]
// The program sees OUT-DIR on drive Z:, Wine's view of the Linux root.
#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <map>
#include <optional>
#include <set>
#include <string>
#include <vector>

#include "tests/support/bmp_builder.h"
#include "tests/support/pe_builder.h"

namespace fs = std::filesystem;
using namespace pk;
using namespace pk::test;

namespace {

// What the program is expected to show for one file.
struct Expect {
  std::string state;              // the probe's expectation tokens
  std::vector<std::string> boxes;  // message keys, in order
};

// The state after the open, by what happened.
const char* const kListed = "list=path buttons=on preview=1";
const char* const kEmptied = "list=0 buttons=off preview=0";
const char* const kShell = "list=shell";
const char* const kAnything = "boxes=known list=any buttons=any preview=any";
// A path beyond MAX_PATH: Windows' calls refuse it, Wine's wide ones read it;
// either way the shell lists nothing and the window is emptied.
const char* const kTooLongIco = "boxes=known list=0 buttons=off preview=0";

class Corpus {
 public:
  Corpus(fs::path out, fs::path source) : out_(std::move(out)), source_(std::move(source)) {}

  bool ReadMessages() {
    for (const char* file : {"codec/messages.txt", "ui/messages.txt"}) {
      std::ifstream in(source_ / file);
      if (!in) return false;
      const bool codec = std::string(file).rfind("codec", 0) == 0;
      for (std::string line; std::getline(in, line);) {
        const size_t eq = line.find(" = ");
        if (line.empty() || line[0] == '#' || eq == std::string::npos) continue;
        messages_.push_back(line.substr(0, eq) + "\t" + line.substr(eq + 3) + "\t" + (codec ? "codec" : "ui"));
      }
    }
    return !messages_.empty();
  }

  fs::path Write(const std::string& name, const ByteVector& bytes) {
    const fs::path path = out_ / "files" / name;
    // The second pass names the same files.
    if (written_.insert(name).second) {
      fs::create_directories(path.parent_path());
      std::ofstream(path, std::ios::binary).write(reinterpret_cast<const char*>(bytes.data()), long(bytes.size()));
    }
    return path;
  }

  // From here on only every n-th file is opened (a call of Open, Ico, Bmp
  // or Any is one file, with the opens it makes for its own sake).
  void SampleEvery(size_t n) {
    every_ = n;
    seen_ = 0;
  }

  // The next open of the plan.
  void Open(const std::string& how, const std::string& category, const fs::path& file, const Expect& expect) {
    Call call(*this);
    if (call.leftOut) return;
    std::string line = "open\t" + how + "\t" + category + "\t" + WindowsPath(file) + "\t" + expect.state;
    for (const std::string& key : expect.boxes) line += "\t" + key;
    steps_.push_back(line);
    if (counting_) ++byCategory_[category];
  }
  // Whether the opens that follow count as files of the corpus (not when
  // they open the same files again).
  void Counting(bool on) { counting_ = on; }
  bool counting() const { return counting_; }

  // An icon file: the reader's message (nullptr: read), whether the record it
  // reads has a first image, and whether the file is a whole icon directory
  // (its entries and images inside it). The shell decides the listing of
  // whole ones; the rest are not listed.
  void Ico(const std::string& how, const std::string& category, const fs::path& file, const char* message,
           bool whole = true, bool hasImage = true) {
    Call call(*this);
    if (call.leftOut) return;
    Expect expect{whole ? kShell : kEmptied, {}};
    if (message) expect.boxes.push_back(message);
    if (!whole) expect.boxes.push_back("kNoIcons");
    Open(how, category, file, expect);
    if (how != "start") record_ = !message && hasImage;
  }
  // A bitmap file: the reader's message (nullptr: read) and whether the
  // conversion takes it. What it becomes depends on the record: with a first
  // image it takes that image's place (a refused bitmap leaves it, still
  // listed); without one it becomes an icon of its own. The plan follows the
  // record, and opens a missing file first when it cannot know it.
  void Bmp(const std::string& how, const std::string& category, const fs::path& file, const char* message,
           bool converts) {
    Call call(*this);
    if (call.leftOut) return;
    if (!record_) Reset();
    Expect expect;
    if (message) expect.boxes.push_back(message);
    if (*record_ || converts) {
      expect.state = kListed;
    } else {
      expect.boxes.push_back("kNoIcons");
      expect.state = kEmptied;
    }
    Open(how, category, file, expect);
    record_ = *record_ || converts;
  }
  // Anything that may show any of the program's messages (and leave `state`).
  void Any(const std::string& how, const std::string& category, const fs::path& file,
           const char* state = kAnything) {
    Call call(*this);
    if (call.leftOut) return;
    Open(how, category, file, {state, {}});
    const std::string extension = file.extension().string();
    if (extension == ".ico" || extension == ".bmp") record_.reset();
  }
  // Opening a file that is not there leaves no record.
  void Reset() { Ico("drop", "ico", out_ / "files" / "not-there.ico", "kIcoOpenFailed", false); }
  void Counts(const std::string& label) { steps_.push_back("counts\t" + label); }

  bool Finish() {
    std::ofstream plan(out_ / "plan.txt", std::ios::binary);
    for (const std::string& m : messages_) plan << "message\t" << m << "\n";
    for (const std::string& s : steps_) plan << s << "\n";
    return bool(plan);
  }

  const std::map<std::string, int>& byCategory() const { return byCategory_; }
  const fs::path& out() const { return out_; }
  const fs::path& source() const { return source_; }

  // Wine shows the Linux root as drive Z:.
  static std::string WindowsPath(const fs::path& path) {
    std::string text = "Z:" + path.string();
    std::replace(text.begin(), text.end(), '/', '\\');
    return text;
  }

 private:
  fs::path out_, source_;
  std::vector<std::string> messages_, steps_;
  std::map<std::string, int> byCategory_;
  // Whether the running program's record has a first image; unknown after
  // files whose outcome the plan does not fix. It starts without one.
  std::optional<bool> record_ = false;
  bool counting_ = true;
  // The sample (SampleEvery): only the outermost call is counted and may be
  // left out; the calls it makes go with it.
  size_t every_ = 1, seen_ = 0;
  int depth_ = 0;
  struct Call {
    explicit Call(Corpus& c) : corpus(c), leftOut(c.depth_++ == 0 && c.seen_++ % c.every_ != 0) {}
    ~Call() { --corpus.depth_; }
    Corpus& corpus;
    const bool leftOut;
  };
  std::set<std::string> written_;
};

ByteVector ReadAll(const fs::path& path) {
  std::ifstream in(path, std::ios::binary);
  return ByteVector(std::istreambuf_iterator<char>(in), {});
}

ByteVector Cut(ByteVector v, size_t length) {
  v.resize(std::min(length, v.size()));
  return v;
}

ByteVector GoodImage() { return DibImage(32, 32, 4); }

// A copy with one 32-bit field changed.
ByteVector Patched(ByteVector v, size_t at, uint32_t value) {
  StoreU32(&v[at], value);
  return v;
}

void StoreU32Be(ByteVector& v, size_t at, uint32_t x) {
  for (int i = 0; i < 4; ++i) v[at + size_t(i)] = uint8_t(x >> (24 - 8 * i));
}

void FixIhdrCrc(ByteVector& png) {
  StoreU32Be(png, 29, pk::Crc32(pk::Bytes(png.data() + 12, 17)));
}

ByteVector IcoOf(const ByteVector& image) { return IcoBuilder().Add(image).Build(); }

// The icon file cases: what is odd, and the reader's message (none: read).
void AddIconFiles(Corpus& c) {
  const ByteVector good = IcoOf(GoodImage());
  const uint32_t end = uint32_t(good.size());
  ByteVector pngIhdrCrc = PngImage(32, 32);
  pngIhdrCrc[29] ^= 0xFF;  // the IHDR chunk's CRC
  ByteVector pngZero = PngImage(32, 32);
  StoreU32Be(pngZero, 16, 0);  // width and height 0, under a correct CRC
  StoreU32Be(pngZero, 20, 0);
  FixIhdrCrc(pngZero);
  ByteVector pngIdatCrc = PngImage(32, 32);
  pngIdatCrc[pngIdatCrc.size() - 13] ^= 0xFF;  // the IDAT chunk's CRC, just before IEND
  ByteVector pngHuge = PngImage(1, 1);
  StoreU32Be(pngHuge, 16, 65535);
  StoreU32Be(pngHuge, 20, 65535);
  FixIhdrCrc(pngHuge);
  ByteVector shortRows = DibImage(32, 32, 8);
  shortRows.resize(40 + 1024 + 500);
  ByteVector shortMask = GoodImage();
  shortMask.resize(shortMask.size() - 10);

  struct Case {
    const char* name;
    ByteVector bytes;
    const char* message;  // nullptr: the reader takes it
    bool whole = true;    // the directory and its images lie inside the file
  };
  const std::vector<Case> cases = {
      {"empty", {}, "kIcoHeaderFailed", false},
      {"shorter-than-header", {0, 0, 1, 0, 1}, "kIcoHeaderFailed", false},
      {"reserved-not-zero", IcoBuilder().Add(GoodImage()).Reserved(1).Build(), "kIcoHeaderFailed", false},
      {"type-cursor", IcoBuilder().Add(GoodImage()).Type(2).Build(), "kIcoHeaderFailed", false},
      {"type-zero", IcoBuilder().Add(GoodImage()).Type(0).Build(), "kIcoHeaderFailed", false},
      {"no-images", IcoBuilder().Count(0).Build(), nullptr, false},
      {"directory-past-end", IcoBuilder().Add(GoodImage()).Count(200).Build(), "kIcoDirectoryReadFailed", false},
      {"count-65535", IcoBuilder().Add(GoodImage()).Count(65535).Build(), "kIcoDirectoryReadFailed", false},
      {"image-over-header", IcoBuilder().Add(GoodImage()).Offset(0).Build(), "kIcoImageReadFailed"},
      {"image-over-directory", IcoBuilder().Add(GoodImage()).Offset(6).Build(), "kIcoImageReadFailed"},
      {"offset-at-end", IcoBuilder().Add(GoodImage()).Offset(end).Build(), "kIcoImageReadFailed", false},
      {"offset-past-end", IcoBuilder().Add(GoodImage()).Offset(end + 100).Build(), "kIcoImageReadFailed", false},
      {"offset-plus-size-wraps", IcoBuilder().Add(GoodImage()).Size(0xFFFFFFF0u).Build(), "kIcoImageReadFailed", false},
      {"offset-2-gib", IcoBuilder().Add(GoodImage()).Offset(0x80000000u).Build(), "kIcoSeekFailed", false},
      {"offset-all-ones", IcoBuilder().Add(GoodImage()).Offset(0xFFFFFFFFu).Build(), "kIcoSeekFailed", false},
      {"size-all-ones", IcoBuilder().Add(GoodImage()).Size(0xFFFFFFFFu).Build(), "kIcoImageReadFailed", false},
      {"size-one-past-end", IcoBuilder().Add(GoodImage()).Size(uint32_t(GoodImage().size()) + 1).Build(),
       "kIcoImageReadFailed", false},
      {"size-zero", IcoBuilder().Add(GoodImage()).Size(0).Build(), "kIcoBindFailed"},
      {"dib-header-cut", IcoOf(Cut(GoodImage(), 30)), "kIcoBindFailed"},
      {"png-signature-only", IcoOf(Cut(PngImage(32, 32), 8)), "kIcoBindFailed"},
      {"directory-disagrees",
       IcoBuilder().Add(GoodImage()).Fields({16, 16, 0, 0, 1, 0, 8, 0}).Build(), nullptr},
      {"directory-says-256", IcoBuilder().Add(GoodImage()).Fields({0, 0, 0, 0, 1, 0, 32, 0}).Build(), nullptr},
      {"odd-height", IcoOf(DibImage(32, 32, 4, {.heightField = 65})), nullptr},
      {"width-over-256", IcoOf(DibImage(300, 2, 1)), nullptr},
      {"header-claims-more-than-image", IcoOf([] {
         ByteVector v = GoodImage();
         StoreU32(&v[0], 4000);  // biSize
         return v;
       }()),
       "kIcoBindFailed"},
      {"colour-rows-short", IcoOf(shortRows), "kIcoBindFailed"},
      {"mask-missing", IcoOf(DibImage(32, 32, 4, {.withMask = false})), "kIcoBindFailed"},
      {"mask-short", IcoOf(shortMask), "kIcoBindFailed"},
      {"mask-missing-32-bit", IcoOf(DibImage(32, 32, 32, {.withMask = false})), nullptr},
      {"clr-used-huge", IcoOf(DibImage(32, 32, 8, {.clrUsed = 0x12345678, .tableEntries = 0})), "kIcoBindFailed"},
      {"bit-count-2", IcoOf(DibImage(32, 32, 2)), nullptr},
      {"bit-count-30000", IcoOf(Cut(DibImage(1, 1, 30000), 1000)), "kIcoBindFailed"},
      {"png-cut-after-ihdr", IcoOf(Cut(PngImage(32, 32), 40)), nullptr},
      {"png-cut-in-idat", IcoOf(Cut(PngImage(32, 32), 200)), nullptr},
      {"png-ihdr-crc", IcoOf(pngIhdrCrc), "kIcoBindFailed"},
      {"png-zero-size", IcoOf(pngZero), "kIcoBindFailed"},
      {"png-idat-crc", IcoOf(pngIdatCrc), nullptr},
      {"png-65535-square", IcoOf(pngHuge), nullptr},
      {"png-size-disagrees", IcoBuilder().Add(PngImage(32, 32)).Fields({16, 16, 0, 0, 1, 0, 32, 0}).Build(), nullptr},
      {"png-256", IcoOf(PngImage(256, 256)), nullptr},
      {"second-image-refused", IcoBuilder().Add(GoodImage()).Add(Cut(GoodImage(), 30)).Build(), "kIcoBindFailed"},
  };
  for (const Case& k : cases) {
    // An icon file without images reads, but gives no first image.
    const bool hasImage = std::string(k.name) != "no-images";
    c.Ico("drop", "ico", c.Write(std::string("ico/") + k.name + ".ico", k.bytes), k.message, k.whole, hasImage);
  }
}

// Bitmap files: what the reader refuses, what it reads but no conversion
// takes, and what becomes an icon.
void AddBitmaps(Corpus& c) {
  struct Case {
    const char* name;
    ByteVector bytes;
    const char* message;  // the reader's refusal, or nullptr
    bool converts = false;  // read, and a conversion takes it
  };
  DibPicture gradient = Gradient(24, 16, 8);
  DibPicture bits2 = Gradient(8, 8, 8);
  bits2.bitCount = 2;
  bits2.colors.resize(4);
  // Sizes no picture here could be drawn at are written into small files.
  constexpr size_t kWidth = 18, kHeight = 22, kBitCount = 28, kSizeImage = 34;
  const ByteVector huge = Patched(Patched(BmpFileOf(Gradient(4, 4, 24)), kWidth, 3000000), kHeight, 2000000);
  const ByteVector wide = Patched(BmpFileOf(Gradient(4, 4, 32)), kWidth, 0x20000000);
  ByteVector deep = BmpFileOf(Gradient(1, 1, 24));
  StoreU16(&deep[kBitCount], 30000);
  DibPicture clrHuge = Gradient(8, 8, 8);
  clrHuge.clrUsed = 0x12345678;
  DibPicture clr300 = Gradient(8, 8, 8);
  clr300.clrUsed = 300;
  clr300.colors.resize(300, 0x102030);
  DibPicture shortTable = Gradient(8, 8, 8);
  shortTable.clrUsed = 2;
  shortTable.colors.resize(2);
  shortTable.pixel = [](int32_t x, int32_t y) { return uint32_t(x * 40 + y); };  // indexes past the table
  const auto with = [](DibPicture p, auto change) {
    change(p);
    return p;
  };
  DibPicture rle = with(Gradient(8, 8, 8), [](DibPicture& p) {
    p.compression = 1;
    p.stream = test::RleEncoded(p);
  });
  // 20000 x 20000 pixels from a few bytes of stream; a stream longer than the file.
  const ByteVector rleHuge = Patched(Patched(BmpFileOf(rle), kWidth, 20000), kHeight, 20000);
  const ByteVector rleLong = Patched(BmpFileOf(rle), kSizeImage, uint32_t(rle.stream->size() + 100));


  // First without a record to take the size from, then, once a bitmap has
  // become the icon, with its first image in place.
  c.Reset();
  const std::vector<Case> cases = {
      {"shorter-than-file-header", Cut(BmpFileOf(gradient), 10), "kBmpFileHeaderFailed"},
      {"shorter-than-info-header", Cut(BmpFileOf(gradient), 30), "kBmpInfoHeaderFailed"},
      {"not-bm", BmpFileOf(gradient, {.type = 0x5858}), "kBmpUnknownFormat"},
      {"reserved-not-zero", BmpFileOf(gradient, {.reserved1 = 7}), "kBmpUnknownFormat"},
      {"header-size-12", BmpFileOf(with(gradient, [](DibPicture& p) { p.headerSize = 12; })), "kBmpOs2Unsupported"},
      {"header-size-16", BmpFileOf(with(gradient, [](DibPicture& p) { p.headerSize = 16; })), "kBmpOs2Unsupported"},
      {"header-size-64", BmpFileOf(with(gradient, [](DibPicture& p) { p.headerSize = 64; })), "kBmpOs2Unsupported"},
      {"header-size-66", BmpFileOf(with(gradient, [](DibPicture& p) { p.headerSize = 66; })), "kBmpHeaderUnknown"},
      {"header-size-124-cut", Cut(BmpFileOf(with(gradient, [](DibPicture& p) { p.headerSize = 124; })), 100),
       "kBmpInfoHeaderFailed"},
      {"width-zero", BmpFileOf(with(gradient, [](DibPicture& p) { p.width = 0; })), "kBmpSizeInvalid"},
      {"width-negative", Patched(BmpFileOf(gradient), kWidth, uint32_t(-24)), "kBmpSizeInvalid"},
      {"height-zero", BmpFileOf(with(gradient, [](DibPicture& p) { p.heightField = 0; })), "kBmpSizeInvalid"},
      {"height-int-min", BmpFileOf(with(gradient, [](DibPicture& p) { p.heightField = INT32_MIN; })),
       "kBmpSizeInvalid"},
      {"really-big", huge, "kBmpPixelsFailed"},
      {"stride-overflows", wide, "kBmpPixelsFailed"},
      {"bit-count-30000", deep, "kBmpDepthInvalid"},
      {"bit-count-2", BmpFileOf(bits2), "kBmpDepthUnsupported"},
      {"rle-expands-to-400-mb", rleHuge, "kBmpTooLarge"},
      {"rle-stream-past-the-end", rleLong, "kBmpPixelsFailed"},
      {"offbits-2-gib", BmpFileOf(gradient, {.offBits = 0x80000000u}), "kBmpSeekFailed"},
      {"offbits-past-end", BmpFileOf(gradient, {.offBits = 100000}), "kBmpPixelsFailed"},
      {"rows-cut", BmpFileOf(gradient, {.cut = 9}), "kBmpPixelsFailed"},
      {"rle8-top-down", BmpFileOf(with(gradient, [](DibPicture& p) {
         p.compression = 1;
         p.heightField = -16;
       })),
       "kBmpTopDownCompressed"},
      {"rle4-at-8-bits", BmpFileOf(with(gradient, [](DibPicture& p) { p.compression = 2; })),
       "kBmpCompressionDepth"},
      {"jpeg-inside", BmpFileOf(with(gradient, [](DibPicture& p) { p.compression = 4; })), "kBmpJpegUnsupported"},
      {"png-inside", BmpFileOf(with(gradient, [](DibPicture& p) { p.compression = 5; })), "kBmpPngUnsupported"},
      {"compression-6", BmpFileOf(with(Gradient(8, 8, 32), [](DibPicture& p) { p.compression = 6; })),
       "kBmpCompressionUnknown"},
      {"bitfields-24", BmpFileOf(with(Gradient(8, 8, 24), [](DibPicture& p) { p.compression = 3; })),
       "kBmpCompressionDepth"},
      {"bitfields-zero-masks", BmpFileOf(with(Gradient(8, 8, 16), [](DibPicture& p) {
         p.compression = 3;
         p.masks = {0, 0, 0};
       })),
       "kBmpMasksInvalid"},
      {"planes-3", BmpFileOf(with(gradient, [](DibPicture& p) { p.planes = 3; })), "kBmpPlanesUnsupported"},
      // Read and converted: the file's own picture becomes the icon.
      {"header-size-124", BmpFileOf(with(gradient, [](DibPicture& p) { p.headerSize = 124; })), nullptr, true},
      {"top-down", BmpFileOf(with(gradient, [](DibPicture& p) { p.topDown = true; })), nullptr, true},
      {"bitfields-565-v4", BmpFileOf(with(Gradient(8, 8, 16), [](DibPicture& p) {
         p.headerSize = 108;
         p.compression = 3;
         p.masks = {0xF800, 0x7E0, 0x1F, 0};
       })),
       nullptr, true},
      {"rows-read-as-rle8", BmpFileOf(with(gradient, [](DibPicture& p) { p.compression = 1; })), nullptr, true},
      {"rle8-damaged", BmpFileOf(with(gradient, [](DibPicture& p) {
         p.compression = 1;
         p.stream = test::RleStream().Run(200, 3).Delta(250, 250).Literal(9, {1, 2, 3}).bytes();
       })),
       nullptr, true},
      {"rle4-damaged", BmpFileOf(with(Gradient(24, 16, 4), [](DibPicture& p) {
         p.compression = 2;
         p.stream = test::RleStream().Literal(40, {0x12, 0x34}).EndOfLine().EndOfLine().Run(3, 0x56).bytes();
       })),
       nullptr, true},
      {"clr-used-huge", BmpFileOf(clrHuge), nullptr, true},
      {"clr-used-300", BmpFileOf(clr300), nullptr, true},
      {"palette-shorter-than-indexes", BmpFileOf(shortTable), nullptr, true},
      {"offbits-inside-header", BmpFileOf(gradient, {.offBits = 20}), nullptr, true},
      {"offbits-zero", BmpFileOf(gradient, {.offBits = 0}), nullptr, true},
      {"sizes-lie", [&] {
         ByteVector v = BmpFileOf(gradient);
         StoreU32(&v[2], 1);             // bfSize
         StoreU32(&v[14 + 20], 0xFFFFFFFFu);  // biSizeImage
         return v;
       }(),
       nullptr, true},
      {"larger-than-256", BmpFileOf(Gradient(600, 300, 24)), nullptr, true},
  };
  for (const Case& k : cases)
    c.Bmp("drop", "bmp", c.Write("bmp/" + std::string(k.name) + ".bmp", k.bytes), k.message, k.converts);
  for (const Case& k : cases) {
    if (!k.converts)
      c.Bmp("drop", "bmp", c.Write("bmp/again-" + std::string(k.name) + ".bmp", k.bytes), k.message, false);
  }
}

PeBuilder OneGroup() {
  return PeBuilder().Group(ById(1), GroupDirectory({{.bytesInRes = uint32_t(GoodImage().size()), .id = 1}}))
      .Icon(1, GoodImage());
}

uint32_t FileOffsetOfRva(const PeLayout& m, uint32_t rva) {
  const uint32_t sectionRva = LoadU32(&m.bytes[m.sectionHeader + 12]);
  return rva - sectionRva + LoadU32(&m.bytes[m.sectionHeader + 20]);
}

// Modules opened as data by the system's loader: damage in the headers, the
// section table, the resource tree and the group directories.
void AddModules(Corpus& c) {
  const PeLayout good = OneGroup().Build();
  const uint32_t resourceDirectory = good.optionalHeader + 96 + 16;  // PE32: data directory 2
  const auto damaged = [&](auto change) {
    PeLayout m = good;
    change(m);
    return m.bytes;
  };
  const uint16_t group = kRtGroupIcon;
  const uint32_t groupData = good.dataEntries.at(group)[0];
  const uint32_t iconData = good.dataEntries.at(kRtIcon)[0];
  const uint32_t groupBytes = FileOffsetOfRva(good, LoadU32(&good.bytes[groupData]));

  // Text names come first in an enumeration; one outside the file stops it.
  PeLayout named = PeBuilder()
                       .Group(ByName(u"APP"), GroupDirectory({{.bytesInRes = 0, .id = 1}}))
                       .Group(ById(2), GroupDirectory({{.bytesInRes = 0, .id = 1}}))
                       .Icon(1, GoodImage())
                       .Build();
  const uint32_t namedEntry = named.nameEntries.at(group)[0];

  // Listed, with the group's icon as the preview or without one.
  const Expect opened{"list=1 buttons=on preview=1", {}};
  const Expect noPreview{"list=1 buttons=on preview=0", {}};
  const Expect notModule{kEmptied, {"kNotAModule"}};
  const Expect enumFailed{kEmptied, {"kEnumerationFailed"}};
  // The group type's names are the root's: the types themselves.
  const Expect typesAsNames{"list=2 buttons=on preview=0", {}};
  struct Case {
    const char* name;
    ByteVector bytes;
    Expect expect;
  };
  const std::vector<Case> cases = {
      {"good", good.bytes, opened},
      {"good-pe32plus", OneGroup().Pe32Plus().Build().bytes, opened},
      {"text-not-a-module", ByteVector(4096, 'x'), notModule},
      {"mz-only", Cut(good.bytes, 2), notModule},
      {"lfanew-past-end", damaged([](PeLayout& m) { StoreU32(&m.bytes[0x3C], uint32_t(m.bytes.size()) + 100); }),
       notModule},
      {"lfanew-all-ones", damaged([](PeLayout& m) { StoreU32(&m.bytes[0x3C], 0xFFFFFFFFu); }),
       notModule},
      {"pe-signature-damaged", damaged([](PeLayout& m) { m.bytes[m.ntHeader + 2] = 'X'; }),
       notModule},
      {"headers-cut", Cut(good.bytes, good.optionalHeader + 20), enumFailed},
      {"no-resource-directory",
       damaged([&](PeLayout& m) { StoreU32(&m.bytes[m.optionalHeader + 92], 2); }),  // NumberOfRvaAndSizes
       enumFailed},
      {"resource-directory-empty", damaged([&](PeLayout& m) { StoreU32(&m.bytes[resourceDirectory], 0); }),
       enumFailed},
      {"no-sections", damaged([](PeLayout& m) { StoreU16(&m.bytes[m.ntHeader + 6], 0); }), enumFailed},
      {"sections-65535", damaged([](PeLayout& m) { StoreU16(&m.bytes[m.ntHeader + 6], 0xFFFF); }),
       opened},
      {"file-alignment-zero", damaged([](PeLayout& m) { StoreU32(&m.bytes[m.optionalHeader + 36], 0); }),
       opened},
      {"section-alignment-zero", damaged([](PeLayout& m) { StoreU32(&m.bytes[m.optionalHeader + 32], 0); }),
       opened},
      {"raw-data-past-end", damaged([](PeLayout& m) { StoreU32(&m.bytes[m.sectionHeader + 20], 0x100000); }),
       enumFailed},
      {"raw-size-smaller-than-tables", damaged([](PeLayout& m) { StoreU32(&m.bytes[m.sectionHeader + 16], 16); }),
       noPreview},
      {"resource-rva-in-no-section", damaged([&](PeLayout& m) { StoreU32(&m.bytes[resourceDirectory], 0x50000); }),
       enumFailed},
      {"root-counts-65535", damaged([](PeLayout& m) { StoreU16(&m.bytes[m.root + 14], 0xFFFF); }),
       enumFailed},
      {"type-leads-back-to-root", damaged([&](PeLayout& m) {
         StoreU32(&m.bytes[m.typeEntry.at(group) + 4], 0x80000000u | 0);
       }),
       typesAsNames},
      {"name-leads-back-to-root", damaged([&](PeLayout& m) {
         StoreU32(&m.bytes[m.nameEntries.at(group)[0] + 4], 0x80000000u | 0);
       }),
       noPreview},
      {"name-leads-to-its-type", damaged([&](PeLayout& m) {
         StoreU32(&m.bytes[m.nameEntries.at(group)[0] + 4], 0x80000000u | (m.typeDirectory.at(group) - 0x200));
       }),
       noPreview},
      {"names-share-a-subtree", [&] {
         PeLayout m = PeBuilder()
                          .Group(ById(1), GroupDirectory({{.bytesInRes = 0, .id = 1}}))
                          .Group(ById(2), GroupDirectory({{.bytesInRes = 0, .id = 1}}))
                          .Icon(1, GoodImage())
                          .Build();
         const std::vector<uint32_t>& names = m.nameEntries.at(group);
         StoreU32(&m.bytes[names[1] + 4], LoadU32(&m.bytes[names[0] + 4]));
         return m.bytes;
       }(),
       {"list=2 buttons=on preview=1", {}}},
      {"type-entry-is-data", damaged([&](PeLayout& m) {
         StoreU32(&m.bytes[m.typeEntry.at(group) + 4], groupData - 0x200);
       }),
       enumFailed},
      {"language-is-directory", damaged([&](PeLayout& m) {
         StoreU32(&m.bytes[m.languageEntries.at(group)[0] + 4], 0x80000000u | 0);
       }),
       noPreview},
      {"type-table-outside-file", damaged([&](PeLayout& m) {
         StoreU32(&m.bytes[m.typeEntry.at(group) + 4], 0x80000000u | 0x7FFFFFF0u);
       }),
       enumFailed},
      {"group-data-outside-file", damaged([&](PeLayout& m) { StoreU32(&m.bytes[groupData], 0x7FFF0000u); }),
       noPreview},
      {"group-data-size-zero", damaged([&](PeLayout& m) { StoreU32(&m.bytes[groupData + 4], 0); }),
       noPreview},
      {"group-data-wraps", damaged([&](PeLayout& m) {
         StoreU32(&m.bytes[groupData], 0xFFFFFF00u);
         StoreU32(&m.bytes[groupData + 4], 0x200);
       }),
       noPreview},
      {"icon-data-outside-file", damaged([&](PeLayout& m) { StoreU32(&m.bytes[iconData], 0x7FFF0000u); }),
       noPreview},
      {"icon-data-size-all-ones", damaged([&](PeLayout& m) { StoreU32(&m.bytes[iconData + 4], 0xFFFFFFFFu); }),
       noPreview},
      {"data-reserved-not-zero", damaged([&](PeLayout& m) { StoreU32(&m.bytes[groupData + 12], 0xDEAD); }),
       opened},
      {"group-count-past-resource", damaged([&](PeLayout& m) { StoreU16(&m.bytes[groupBytes + 4], 100); }),
       noPreview},
      {"group-count-zero", damaged([&](PeLayout& m) { StoreU16(&m.bytes[groupBytes + 4], 0); }), noPreview},
      {"group-type-cursor", damaged([&](PeLayout& m) { StoreU16(&m.bytes[groupBytes + 2], 2); }),
       opened},
      {"group-icon-missing", damaged([&](PeLayout& m) { StoreU16(&m.bytes[groupBytes + 6 + 12], 99); }),
       noPreview},
      {"group-size-disagrees", damaged([&](PeLayout& m) { StoreU32(&m.bytes[groupBytes + 6 + 8], 1); }),
       opened},
      {"icon-in-two-languages",
       PeBuilder()
           .Group(ById(1), GroupDirectory({{.bytesInRes = 0, .id = 1}}))
           .Icon(1, GoodImage(), 0x409)
           .Icon(1, DibImage(32, 32, 8), 0x804)
           .Build()
           .bytes,
       opened},
      {"group-65535-entries",
       PeBuilder()
           .Group(ById(1), GroupDirectory(std::vector<GroupEntry>(65535, {.bytesInRes = 0, .id = 1})))
           .Icon(1, GoodImage())
           .Build()
           .bytes,
       opened},
      {"icon-4-mib-in-100-entries",
       PeBuilder()
           .Group(ById(1), GroupDirectory(std::vector<GroupEntry>(100, {.bytesInRes = 0, .id = 1})))
           .Icon(1, DibImage(1024, 1024, 32))
           .Build()
           .bytes,
       opened},
      {"text-name-outside-file", [&] {
         PeLayout m = named;
         StoreU32(&m.bytes[namedEntry], 0x80000000u | 0x7FFFFFF0u);
         return m.bytes;
       }(),
       enumFailed},
      {"text-name-length-65535", [&] {
         PeLayout m = named;
         const uint32_t at = LoadU32(&m.bytes[namedEntry]) & 0x7FFFFFFFu;
         StoreU16(&m.bytes[0x200 + at], 0xFFFF);
         return m.bytes;
       }(),
       enumFailed},
      {"ne-icon-library", NeBuilder().Add(kRtGroupIcon, true, 1, "", GroupDirectory({{.id = 1}})).Build().bytes,
       notModule},
  };
  for (const Case& k : cases)
    c.Open("drop", "module", c.Write(std::string("module/") + k.name + ".dll", k.bytes), k.expect);
}

// A module whose groups fill a long list: ids and text names.
fs::path AddManyGroups(Corpus& c, int ids, int names) {
  PeBuilder builder;
  const ByteVector directory = GroupDirectory({{.bytesInRes = uint32_t(GoodImage().size()), .id = 1}});
  for (int i = 1; i <= ids; ++i) builder.Group(ById(uint16_t(i)), directory);
  for (int i = 0; i < names; ++i) {
    char name[16];
    std::snprintf(name, sizeof name, "G%05d", i);
    builder.Group(ByName(std::u16string(name, name + std::char_traits<char>::length(name))), directory);
  }
  builder.Icon(1, GoodImage());
  return c.Write("module/groups-" + std::to_string(ids + names) + ".dll", builder.Build().bytes);
}

// Where a real module's resource section lies in the file: {offset, size}, or {0, 0}.
std::pair<uint32_t, uint32_t> ResourceSection(const ByteVector& m) {
  if (m.size() < 0x40) return {0, 0};
  const uint32_t nt = LoadU32(&m[0x3C]);
  if (uint64_t(nt) + 24 > m.size()) return {0, 0};
  const uint16_t sections = LoadU16(&m[nt + 6]);
  const uint32_t table = nt + 24 + LoadU16(&m[nt + 20]);
  for (uint32_t i = 0; i < sections && uint64_t(table) + 40 * (i + 1) <= m.size(); ++i) {
    const uint8_t* s = &m[table + 40 * i];
    if (std::string(reinterpret_cast<const char*>(s), 5) == ".rsrc") return {LoadU32(s + 20), LoadU32(s + 16)};
  }
  return {0, 0};
}

// A real module cut at many lengths: in the headers, just behind the start
// of the resource section (its tables), and spread over the section (groups
// and images cut). Cuts elsewhere only lose code, which nothing here reads.
void AddTruncations(Corpus& c, const fs::path& module, const std::string& label, int spread) {
  if (!fs::exists(module)) {
    if (c.counting())
      std::fprintf(stderr, "hostile corpus: %s is missing, its truncations are left out\n", module.c_str());
    return;
  }
  const ByteVector bytes = ReadAll(module);
  std::set<size_t> lengths = {0, 1, 2, 0x3C, 0x40, 0x80, 0x100, 0x200, 0x400, 0x1000, bytes.size() - 1};
  const auto [start, size] = ResourceSection(bytes);
  if (start != 0) {
    for (uint32_t d : {8u, 16u, 24u, 100u}) lengths.insert(start + d);
    // The tables, the group directories and the first images lie at the start.
    for (uint32_t d = 0; d <= 0x10000; d += 0x800) lengths.insert(start + d);
    for (int i = 1; i < spread; ++i) lengths.insert(start + size_t(size) * size_t(i) / size_t(spread));
  }
  for (size_t length : lengths) {
    if (length >= bytes.size()) continue;
    const std::string name = "truncated/" + label + "-" + std::to_string(length) + ".dll";
    c.Any("drop", "truncated", c.Write(name, Cut(bytes, length)));
  }
}

// The extension the program needs to read a fuzz target's inputs as that target does.
std::string FuzzExtension(const std::string& target) {
  static const std::map<std::string, std::string> known = {
      {"ico", "ico"}, {"bmp", "bmp"}, {"module", "dll"}};
  auto it = known.find(target);
  return it == known.end() ? "" : it->second;
}

// The regression files (tests/data/<format>/<defect>.<ext>) and a sample of
// the fuzz corpus: whatever the program shows, it must be one of its messages.
void AddFound(Corpus& c, size_t fuzzSample) {
  const fs::path data = c.source() / "tests" / "data";
  int regressions = 0;
  if (fs::is_directory(data)) {
    std::vector<fs::path> files;
    for (const auto& e : fs::recursive_directory_iterator(data))
      if (e.is_regular_file()) files.push_back(e.path());
    std::sort(files.begin(), files.end());
    for (const fs::path& f : files) {
      const std::string relative = fs::relative(f, data).string();
      fs::path copy = c.out() / "files" / "regression" / relative;
      fs::create_directories(copy.parent_path());
      fs::copy_file(f, copy, fs::copy_options::overwrite_existing);
      c.Any("drop", "regression", copy);
      ++regressions;
    }
  }
  const fs::path corpus = c.source() / "fuzz" / "corpus";
  int sampled = 0;
  if (fs::is_directory(corpus)) {
    std::vector<fs::path> targets;
    for (const auto& e : fs::directory_iterator(corpus))
      if (e.is_directory()) targets.push_back(e.path());
    std::sort(targets.begin(), targets.end());
    std::vector<std::pair<fs::path, std::string>> usable;
    for (const fs::path& t : targets) {
      const std::string extension = FuzzExtension(t.filename().string());
      if (extension.empty()) {
        if (c.counting())
          std::fprintf(stderr, "hostile corpus: fuzz/corpus/%s is not a file the program opens; left out\n",
                     t.filename().c_str());
      } else {
        usable.push_back({t, extension});
      }
    }
    // An even share of the sample per target, spread over each target's
    // inputs in name order, so the sample is the same on every run.
    for (const auto& [target, extension] : usable) {
      std::vector<fs::path> inputs;
      for (const auto& e : fs::directory_iterator(target))
        if (e.is_regular_file()) inputs.push_back(e.path());
      std::sort(inputs.begin(), inputs.end());
      const size_t share = fuzzSample / usable.size();
      const size_t take = std::min(share, inputs.size());
      for (size_t i = 0; i < take; ++i) {
        const fs::path& f = inputs[i * inputs.size() / take];
        const fs::path copy =
            c.Write("fuzz/" + target.filename().string() + "/" + f.filename().string() + "." + extension, ReadAll(f));
        c.Any("drop", "fuzz", copy);
        ++sampled;
      }
    }
  }
  if (c.counting()) std::fprintf(stderr, "hostile corpus: %d regression files, %d fuzz inputs\n", regressions, sampled);
}

// A folder chain under `base` that makes the Windows path of `name` exactly `length` bytes.
fs::path PathOfLength(const fs::path& base, const std::string& name, size_t length) {
  fs::path folder = base;
  for (;;) {
    const size_t now = Corpus::WindowsPath(folder / name).size();
    if (now >= length) break;
    // Each folder adds its name and a separator; the last fills the gap exactly.
    const size_t missing = length - now;
    const size_t piece = missing > 101 ? 100 : missing - 1;
    if (piece == 0) {
      folder = folder.parent_path() / (folder.filename().string() + "d");
      continue;
    }
    folder /= std::string(piece, 'd');
  }
  return folder / name;
}

bool Sparse(const fs::path& path, uintmax_t size, const ByteVector& start) {
  fs::create_directories(path.parent_path());
  std::ofstream(path, std::ios::binary).write(reinterpret_cast<const char*>(start.data()), long(start.size()));
  std::error_code error;
  fs::resize_file(path, size, error);
  return !error;
}

}  // namespace

int main(int argc, char** argv) {
  if (argc < 3) {
    std::fprintf(stderr,
                 "usage: pk_hostile_corpus OUT-DIR SOURCE-DIR [--wine64 DIR] [--wine32 DIR] [--fuzz-sample N]\n");
    return 2;
  }
  fs::path wine64 = "/usr/lib/x86_64-linux-gnu/wine/x86_64-windows";
  fs::path wine32 = fs::absolute(argv[2]) / "build/wine32-modules/usr/lib/i386-linux-gnu/wine/i386-windows";
  size_t fuzzSample = 300;
  for (int i = 3; i + 1 < argc; i += 2) {
    const std::string option = argv[i];
    if (option == "--wine64") wine64 = argv[i + 1];
    else if (option == "--wine32") wine32 = argv[i + 1];
    else if (option == "--fuzz-sample") fuzzSample = size_t(std::atol(argv[i + 1]));
    else return 2;
  }
  const fs::path out = fs::absolute(argv[1]);
  fs::remove_all(out / "files");
  fs::create_directories(out / "files");
  Corpus c(out, fs::absolute(argv[2]));
  if (!c.ReadMessages()) {
    std::fprintf(stderr, "hostile corpus: the program's messages cannot be read under %s\n", argv[2]);
    return 1;
  }
  const ByteVector icon = ReadAll(c.source() / "res" / "pixelkite.ico");
  const fs::path goodIco = c.Write("good.ico", icon);
  const fs::path goodBmp = c.Write("good.bmp", BmpFileOf(Gradient(40, 30, 24)));
  const fs::path textExe = c.Write("text.exe", ByteVector(100, 'x'));
  const fs::path missing = out / "files" / "not-there.ico";
  const fs::path shell64 = wine64 / "shell32.dll";
  const fs::path comdlg = wine64 / "comdlg32.dll";
  const fs::path shell32 = wine32 / "shell32.dll";
  const fs::path longIco = PathOfLength(out / "files" / "long", "x.ico", 259);
  fs::create_directories(longIco.parent_path());
  fs::copy_file(c.source() / "res" / "pixelkite.ico", longIco);
  const fs::path longDll = longIco.parent_path() / "x.dll";
  fs::copy_file(comdlg, longDll);
  const fs::path tooLongIco = PathOfLength(out / "files" / "long", "y.ico", 300);
  fs::create_directories(tooLongIco.parent_path());
  fs::copy_file(c.source() / "res" / "pixelkite.ico", tooLongIco);
  const fs::path tooLongDll = tooLongIco.parent_path() / "y.dll";
  fs::copy_file(comdlg, tooLongDll);
  const fs::path manyGroups = AddManyGroups(c, 4000, 1000);
  const ByteVector truncatedShell = Cut(ReadAll(shell64), 300000);
  const fs::path cutModule = c.Write("truncated/dialog-shell32-300000.dll", truncatedShell);
  const Expect modules{"list=184 buttons=on preview=1", {}};
  const Expect notOpened{kEmptied, {"kNotAModule"}};

  // A handful through the real open dialog, as a user opens files.
  c.Ico("dialog", "dialog", goodIco, nullptr);
  c.Ico("dialog", "dialog", c.Write("dialog/reserved-not-zero.ico", IcoBuilder().Add(GoodImage()).Reserved(1).Build()),
        "kIcoHeaderFailed", false);
  c.Open("dialog", "dialog", cutModule, {kEmptied, {"kEnumerationFailed"}});
  c.Ico("dialog", "dialog", longIco, nullptr);
  c.Open("dialog", "dialog", manyGroups, {"list=5000 buttons=on preview=1", {}});
  c.Bmp("dialog", "dialog", c.Write("dialog/header-size-12.bmp", Patched(BmpFileOf(Gradient(8, 8, 8)), 14, 12)),
        "kBmpOs2Unsupported", false);

  // Every path once before the counts are taken, then again at the end.
  const auto warmUp = [&] {
    c.Ico("drop", "warm-up", missing, "kIcoOpenFailed", false);
    c.Open("drop", "warm-up", textExe, notOpened);
    c.Open("drop", "warm-up", shell64, modules);
    c.Ico("drop", "warm-up", goodIco, nullptr);
    c.Bmp("drop", "warm-up", goodBmp, nullptr, true);
  };
  warmUp();
  // The corpus twice: the first pass opens every path of the program once
  // more, so that the handles after it and after the second are the same
  // unless an open leaks.
  for (int pass = 0; pass < 2; ++pass) {
    c.Counting(pass == 0);
    // The second pass opens every third of the first pass's files: each way
    // an open takes through the program is still taken, by many files. (The
    // readers' own refusals hold no handles, and the sanitizer runs check
    // them for leaks; opening every file again was a third of the run.)
    c.SampleEvery(pass == 0 ? 1 : 3);

    AddIconFiles(c);
    // Modules named .ico: not icon files, whole or cut short.
    c.Ico("drop", "ico", c.Write("ico/module.ico", OneGroup().Build().bytes), "kIcoHeaderFailed", false);
    const ByteVector shellBytes = ReadAll(shell64);
    const ByteVector cutShort = Cut(shellBytes, ResourceSection(shellBytes).first + 0x1000);
    c.Ico("drop", "ico", c.Write("ico/module-cut-short.ico", cutShort), "kIcoHeaderFailed", false);
    AddBitmaps(c);
    AddModules(c);
    c.Open("drop", "groups", manyGroups, {"list=5000 buttons=on preview=1", {}});
    if (fs::exists(shell32)) c.Open("drop", "module", shell32, modules);

    // Files of 2 GiB and more that hold almost nothing: the readers must not
    // take their length for content.
    const fs::path sparse = out / "files" / "sparse";
    ByteVector claims2g = IcoOf(GoodImage());
    StoreU32(&claims2g[6 + 8], 0x7FFFF000u);  // the image's size: nearly the whole file
    const struct {
      const char* name;
      uintmax_t size;
      ByteVector start;
    } sparseFiles[] = {
        {"2g.ico", 1ull << 31, {}},
        {"2g.dll", 1ull << 31, {}},
        {"2g.bmp", 1ull << 31, {}},
        {"2g-module-at-start.dll", 1ull << 31, OneGroup().Build().bytes},
        {"2g-image-claims-the-file.ico", 1ull << 31, claims2g},
        {"4g-and-an-icon.ico", (1ull << 32) + icon.size(), icon},
    };
    for (const auto& s : sparseFiles) {
      if (!Sparse(sparse / s.name, s.size, s.start)) {
        std::fprintf(stderr, "hostile corpus: cannot make the sparse file %s\n", s.name);
        return 1;
      }
    }
    c.Ico("drop", "sparse", sparse / "2g.ico", "kIcoHeaderFailed", false);
    c.Open("drop", "sparse", sparse / "2g.dll", notOpened);
    c.Bmp("drop", "sparse", sparse / "2g.bmp", "kBmpUnknownFormat", false);
    c.Open("drop", "sparse", sparse / "2g-module-at-start.dll", {"list=1 buttons=on preview=1", {}});
    // Read whole: an image of 2 GiB is what the file holds. Once, in the
    // counted pass: its path is an icon file's like any other, and reading
    // it takes seconds.
    if (pass == 1) c.Ico("drop", "sparse", sparse / "2g-image-claims-the-file.ico", nullptr);
    c.Ico("drop", "sparse", sparse / "4g-and-an-icon.ico", nullptr);

    // Folders whose names say they are files.
    for (const char* name : {"folder.ico", "folder.bmp", "folder.dll"}) fs::create_directories(out / "files" / name);
    c.Ico("drop", "folder", out / "files" / "folder.ico", "kIcoOpenFailed", false);
    c.Bmp("drop", "folder", out / "files" / "folder.bmp", "kBmpOpenFailed", false);
    c.Open("drop", "folder", out / "files" / "folder.dll", notOpened);

    // The longest path the system's calls take, and one beyond it, which is
    // named whole in the messages of the failed open.
    c.Ico("drop", "long-path", longIco, nullptr);
    c.Open("drop", "long-path", longDll, {"list=10 buttons=on preview=1", {}});
    c.Any("drop", "long-path", tooLongIco, kTooLongIco);
    c.Open("drop", "long-path", tooLongDll, notOpened);

    // A Chinese name: the drop carries it as UTF-16, the program keeps it as UTF-8.
    c.Ico("drop", "long-path", c.Write("中文目录/图标.ico", icon), nullptr);

    AddTruncations(c, shell64, "shell32-pe32plus", 16);
    AddTruncations(c, shell32, "shell32-pe32", 16);
    AddFound(c, fuzzSample);
    c.SampleEvery(1);

    c.Counting(false);
    warmUp();
    c.Counts(pass == 0 ? "warm" : "end");
  }
  c.Counting(true);

  // Named on the command line, each in a program started for it.
  c.Any("start", "command-line", tooLongIco, kTooLongIco);
  c.Open("start", "command-line", tooLongDll, notOpened);
  c.Ico("start", "command-line", out / "files" / "folder.ico", "kIcoOpenFailed", false);
  c.Ico("start", "command-line", longIco, nullptr);

  if (!c.Finish()) {
    std::fprintf(stderr, "hostile corpus: cannot write the plan\n");
    return 1;
  }
  int total = 0;
  for (const auto& [category, count] : c.byCategory()) {
    std::printf("%s %d\n", category.c_str(), count);
    total += count;
  }
  std::printf("total %d\n", total);
  return 0;
}
