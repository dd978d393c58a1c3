// Writes the seed corpus of each fuzz target from the same builders the unit
// tests use: pk_seeds <target> <folder>.
#include <cstdio>
#include <cstring>
#include <functional>
#include <string>
#include <vector>

#include "fuzz/module_generator.h"
#include "tests/support/bmp_builder.h"
#include "tests/support/ico_builder.h"
#include "tests/support/pe_builder.h"

namespace {

using Seeds = std::vector<std::vector<uint8_t>>;

Seeds IcoSeeds() {
  using pk::test::IcoBuilder;
  using pk::test::DibImage;
  Seeds seeds;
  seeds.push_back(IcoBuilder().Add(DibImage(16, 16, 4)).Build());
  seeds.push_back(IcoBuilder().Add(DibImage(32, 32, 8)).Add(DibImage(16, 16, 1)).Build());
  seeds.push_back(IcoBuilder().Add(DibImage(24, 24, 24)).Add(DibImage(48, 48, 32)).Build());
  seeds.push_back(IcoBuilder().Add(pk::test::PngImage(64, 64)).Build());
  seeds.push_back(IcoBuilder().Build());
  return seeds;
}

// Pictures stored other than as plain rows: each header kind, top-down, bit
// fields with and without alpha, RLE8 and RLE4 as encoders write them and
// with deltas, literals at odd places, runs past the row and no end.
std::vector<pk::test::DibPicture> StoredPictures() {
  using pk::test::DibPicture;
  using pk::test::Gradient;
  using pk::test::RleStream;
  std::vector<DibPicture> pictures;
  auto add = [&](DibPicture p, auto change) {
    change(p);
    pictures.push_back(p);
  };
  add(Gradient(7, 5, 8), [](DibPicture& p) { p.headerSize = 108; });
  add(Gradient(7, 5, 24), [](DibPicture& p) { p.headerSize = 124; p.topDown = true; });
  add(Gradient(7, 5, 16), [](DibPicture& p) { p.compression = 3; p.masks = {0xF800, 0x7E0, 0x1F}; });
  add(Gradient(7, 5, 16), [](DibPicture& p) {
    p.headerSize = 56;
    p.compression = 3;
    p.masks = {0xF00, 0xF0, 0xF, 0xF000};
  });
  add(Gradient(7, 5, 32), [](DibPicture& p) {
    p.headerSize = 124;
    p.compression = 3;
    p.masks = {0x3FF00000, 0xFFC00, 0x3FF, 0xC0000000};
    p.topDown = true;
  });
  add(Gradient(7, 5, 32), [](DibPicture& p) { p.headerSize = 52; p.compression = 3; p.masks = {0xFF, 0xFF00, 0xFF0000}; });
  for (uint16_t bits : {4, 8}) {
    const uint32_t compression = bits == 8 ? 1 : 2;
    add(Gradient(9, 6, bits), [&](DibPicture& p) {
      p.compression = compression;
      p.stream = pk::test::RleEncoded(p);
    });
    add(Gradient(9, 6, bits), [&](DibPicture& p) {
      p.compression = compression;
      p.stream = RleStream().Run(3, 0x12).Literal(5, {1, 2, 3, 4, 5}).Delta(2, 1).Run(20, 0x34).EndOfLine()
                     .Literal(3, {6, 7, 8}).Delta(1, 9).bytes();
    });
  }
  return pictures;
}

// Bitmap files of every depth the reader meets, a few with odd layouts.
Seeds BmpSeeds() {
  using pk::test::BmpFileOf;
  using pk::test::Gradient;
  Seeds seeds;
  for (uint16_t bits : {1, 4, 8, 16, 24, 32}) seeds.push_back(BmpFileOf(Gradient(13, 7, bits)));
  auto shortTable = Gradient(5, 5, 8);
  shortTable.clrUsed = 20;
  shortTable.colors.resize(20);
  seeds.push_back(BmpFileOf(shortTable));
  seeds.push_back(BmpFileOf(Gradient(6, 4, 8), {.gap = 9}));
  seeds.push_back(BmpFileOf(Gradient(6, 4, 24), {.offBits = 0}));
  for (const auto& stored : StoredPictures()) seeds.push_back(BmpFileOf(stored));
  return seeds;
}

// Four bytes of target (width, height, depth, stretch), then a packed DIB.
Seeds BmpImportSeeds() {
  using pk::test::Gradient;
  using pk::test::PackedDibOf;
  Seeds seeds;
  const uint8_t targets[][4] = {{31, 31, 1, 1}, {15, 15, 5, 0}, {47, 23, 2, 1}, {32, 32, 0, 1}, {7, 60, 3, 1}, {16, 16, 4, 0}};
  const uint16_t depths[] = {24, 8, 4, 32, 1, 16};
  for (size_t i = 0; i < 6; ++i) {
    std::vector<uint8_t> seed(targets[i], targets[i] + 4);
    auto dib = PackedDibOf(Gradient(20 + int32_t(i) * 3, 17, depths[i]));
    seed.insert(seed.end(), dib.begin(), dib.end());
    seeds.push_back(seed);
  }
  const uint8_t stored[][4] = {{31, 31, 5, 1}, {15, 15, 2, 0}, {47, 23, 1, 1}, {16, 16, 4, 0}};
  const auto pictures = StoredPictures();
  for (size_t i = 0; i < pictures.size(); ++i) {
    std::vector<uint8_t> seed(stored[i % 4], stored[i % 4] + 4);
    auto dib = PackedDibOf(pictures[i]);
    seed.insert(seed.end(), dib.begin(), dib.end());
    seeds.push_back(seed);
  }
  return seeds;
}

// Modules: PE32 and PE32+ with integer and text groups in two languages, a
// classic NE icon library, and a set from the fuzz target's own generator.
Seeds ModuleSeeds() {
  using namespace pk::test;
  Seeds seeds;
  for (bool plus : {false, true}) {
    PeBuilder b;
    b.Pe32Plus(plus)
        .Icon(1, DibImage(16, 16, 4))
        .Icon(2, DibImage(32, 32, 8))
        .Icon(3, PngImage(48, 48))
        .Group(ById(5), GroupDirectory({{16, 16, 4, 0, 1}, {32, 32, 8, 0, 2}, {48, 48, 32, 0, 3}}))
        .Group(ByName(u"MAIN"), GroupDirectory({{32, 32, 8, 0, 2}}), 0x0409)
        .Group(ByName(u"MAIN"), GroupDirectory({{16, 16, 4, 0, 1}}), 0x0804);
    seeds.push_back(b.Build().bytes);
  }
  ByteVector image = DibImage(32, 32, 4);
  seeds.push_back(NeBuilder()
                      .Add(kRtIcon, true, 1, "", image)
                      .Add(kRtGroupIcon, true, 2, "", GroupDirectory({{32, 32, 4, uint32_t(image.size()), 1}}))
                      .Add(kRtGroupIcon, false, 0, "DOC", GroupDirectory({{32, 32, 4, 0, 1}}))
                      .Build()
                      .bytes);
  for (uint32_t seed = 1; seed <= 64; ++seed) {
    pk::fuzz::Choices choices(seed);
    seeds.push_back(pk::fuzz::GenerateModule(choices));
  }
  return seeds;
}

// Single icon images: DIBs of every depth (one with a colour table of 2^16
// + 1 entries claimed), PNG streams, a PNG with a damaged header.
Seeds IconImageSeeds() {
  using namespace pk::test;
  Seeds seeds;
  for (uint16_t bits : {1, 4, 8, 16, 24, 32}) seeds.push_back(DibImage(16, 16, bits));
  seeds.push_back(DibImage(7, 3, 8, {.clrUsed = 0x10001, .tableEntries = 1}));
  seeds.push_back(PngImage(16, 16));
  seeds.push_back(PngImage(1, 40));
  auto damaged = PngImage(8, 8);
  damaged[20] ^= 0xFF;
  seeds.push_back(damaged);
  return seeds;
}

// Entry texts for the list order, three to an input, split at zero bytes.
Seeds ListOrderSeeds() {
  auto triple = [](std::string a, std::string b, std::string c) {
    std::string all = a + '\0' + b + '\0' + c;
    return std::vector<uint8_t>(all.begin(), all.end());
  };
  return {triple("Icon [1]", "Icon [10]", "Icon [2]"), triple("Icon [MAIN]", "Icon [main]", "Icon [MA-IN]"),
          triple("Icon [\xD6\xD0\xCE\xC4]", "Icon [a'b]", "Icon [_x]"), triple("\x81", "\x81\x40", "")};
}

// Names for the output-name cleaner: an encoding-and-length byte, then text.
Seeds SafeNameSeeds() {
  Seeds seeds;
  auto add = [&](uint8_t options, std::string text) {
    seeds.push_back({options});
    seeds.back().insert(seeds.back().end(), text.begin(), text.end());
  };
  add(0x20, "../../etc/passwd");
  add(0x41, "CON.txt");
  add(0x7F, "a/b\\c:d*e?f|g");
  add(0x30, "\x81\x5C\xD6\xD0\x81\x7C");
  add(0x31, "\xE4\xB8\xAD\xED\xA0\x80\xC0\xAF");
  add(0x10, "end. . ");
  add(0x40, std::string(300, 'x'));
  return seeds;
}

// Update manifests as the signing tool writes them (the signatures are
// random: the fuzz target reads, it does not verify), and addresses.
Seeds ManifestSeeds() {
  auto bytes = [](const std::string& text) { return std::vector<uint8_t>(text.begin(), text.end()); };
  const std::string signature = "signature " + std::string(64, 'a') + std::string(64, '7') + "\n";
  const std::string body =
      "pixelkite-update 1\nproduct Pixelkite\nversion 5.4.1.0\n"
      "url https://www.pixelkite.example/up/pixelkite/setup-5.4.1.exe\nsize 1048576\nsha256 " +
      std::string(64, 'e') + "\nexpires 2099-12-31T23:59:59Z\n";
  Seeds seeds;
  seeds.push_back(bytes(body + signature));
  seeds.push_back(bytes(body + "notes \xD0\xDE\xB8\xB4\nnotes \nnotes Second paragraph.\n" + signature));
  seeds.push_back(bytes(
      "pixelkite-update 1\nproduct Pixelkite\nversion 2\nurl http://127.0.0.1:8080/files/setup.exe?x=1\n"
      "size 9\nsha256 " + std::string(64, '0') + "\nexpires 2024-02-29T00:00:00Z\n" + signature));
  seeds.push_back(bytes("http://[::1]:80/up/pixelkite/"));
  seeds.push_back(bytes("//127.0.0.2:6000/mirror/manifest.txt"));
  return seeds;
}

struct Target {
  const char* name;
  std::function<Seeds()> make;
};

// One entry per fuzz target (fuzz_<name>.cpp).
const std::vector<Target>& Targets() {
  static const std::vector<Target> targets = {
      {"ico", IcoSeeds},
      {"icon_image", IconImageSeeds},
      {"list_order", ListOrderSeeds},
      {"module", ModuleSeeds},
      {"bmp", BmpSeeds},
      {"bmp_import", BmpImportSeeds},
      {"safe_name", SafeNameSeeds},
      {"manifest", ManifestSeeds},
  };
  return targets;
}

}  // namespace

int main(int argc, char** argv) {
  if (argc != 3) {
    std::fprintf(stderr, "usage: pk_seeds <target> <folder>\n");
    return 2;
  }
  for (const Target& target : Targets()) {
    if (std::strcmp(target.name, argv[1]) != 0) continue;
    Seeds seeds = target.make();
    for (size_t i = 0; i < seeds.size(); ++i) {
      std::string path = std::string(argv[2]) + "/seed" + std::to_string(i);
      std::FILE* f = std::fopen(path.c_str(), "wb");
      if (!f) return 1;
      std::fwrite(seeds[i].data(), 1, seeds[i].size(), f);
      std::fclose(f);
    }
    return 0;
  }
  return 0;  // a target without seeds starts from an empty corpus
}
