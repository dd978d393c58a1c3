// The update manifest and the address policy: what is accepted, and for each
// kind of damage, which check refuses it (and that the signing tool refuses
// the same). The signature itself is checked by the system's cryptography
// (the loopback tests cover it); here it is only located and decoded.
#include <gtest/gtest.h>

#include <cstdio>
#include <cstdlib>
#include <ctime>
#include <fstream>
#include <iterator>
#include <map>
#include <optional>
#include <string>
#include <vector>

#include "tests/support/temp_dir.h"
#include "updater/manifest.h"
#include "updater/transfer_pace.h"
#include "updater/update_url.h"

namespace pk::update {
namespace {

// A manifest's lines, valid by default; a test changes one of them.
struct ManifestText {
  std::string header = "pixelkite-update 1";
  std::string product = "product Pixelkite";
  std::string version = "version 5.4.1.0";
  std::string url = "url https://www.pixelkite.example/up/pixelkite/setup-5.4.1.exe";
  std::string size = "size 1048576";
  std::string sha256 = "sha256 " + std::string(64, 'a');
  std::string expires = "expires 2099-12-31T23:59:59Z";
  std::vector<std::string> notes = {"notes \xD0\xDE\xB8\xB4\xC1\xCB\xB1\xA3\xB4\xE6\xCE\xBB\xCD\xBC", "notes ",
                                    "notes Second paragraph."};
  std::string signature = "signature " + std::string(128, '0');

  std::string Signed() const {
    std::string text =
        header + "\n" + product + "\n" + version + "\n" + url + "\n" + size + "\n" + sha256 + "\n" + expires + "\n";
    for (const std::string& line : notes) text += line + "\n";
    return text;
  }
  std::string Build() const { return Signed() + signature + "\n"; }
};

Bytes AsBytes(const std::string& text) { return Bytes(reinterpret_cast<const uint8_t*>(text.data()), text.size()); }

ManifestError Parse(const std::string& text) {
  Manifest out;
  return ParseManifest(AsBytes(text), &out);
}

TEST(Manifest, ReadsEveryFieldOfAWellFormedManifest) {
  ManifestText text;
  text.signature = "signature " + std::string(64, '1') + std::string(62, 'f') + "AB";
  std::string whole = text.Build();
  SignedManifest split;
  ASSERT_EQ(SplitSignature(AsBytes(whole), &split), ManifestError::None);
  EXPECT_EQ(std::string(reinterpret_cast<const char*>(split.signedBytes.data()), split.signedBytes.size()),
            text.Signed());
  EXPECT_EQ(split.signature[0], 0x11);
  EXPECT_EQ(split.signature[62], 0xFF);
  EXPECT_EQ(split.signature[63], 0xAB);

  Manifest manifest;
  ASSERT_EQ(ParseManifest(split.signedBytes, &manifest), ManifestError::None);
  EXPECT_EQ(manifest.product, "Pixelkite");
  EXPECT_EQ(manifest.version.Text(), "5.4.1.0");
  EXPECT_EQ(manifest.installerUrl.Text(), "https://www.pixelkite.example/up/pixelkite/setup-5.4.1.exe");
  EXPECT_EQ(manifest.installerSize, 1048576u);
  EXPECT_EQ(manifest.installerSha256[31], 0xAA);
  EXPECT_EQ(manifest.expires, 4102444799);
  EXPECT_FALSE(Expired(manifest, 4102444798));
  EXPECT_TRUE(Expired(manifest, 4102444799));
  // Notes lines are joined with CRLF, an empty one making a blank line.
  EXPECT_EQ(manifest.notes, "\xD0\xDE\xB8\xB4\xC1\xCB\xB1\xA3\xB4\xE6\xCE\xBB\xCD\xBC\r\n\r\nSecond paragraph.");

  text.notes.clear();
  ASSERT_EQ(Parse(text.Signed()), ManifestError::None);
}

TEST(Manifest, DamageIsRefusedByTheCheckThatNamesIt) {
  struct Case {
    const char* what;
    std::string text;
    ManifestError split;  // what SplitSignature says of the whole text
    // What ParseManifest says of the signed part (or of the whole text when
    // no signature was found); nothing when that is beside the point.
    std::optional<ManifestError> parse;
  };
  auto with = [](auto change) {
    ManifestText text;
    change(text);
    return text;
  };
  auto whole = [](const ManifestText& t) { return t.Build(); };
  const ManifestError ok = ManifestError::None;
  // Notes that bring the manifest to exactly `total` bytes.
  auto sized = [](size_t total) {
    ManifestText t;
    t.notes.clear();
    size_t base = t.Build().size();
    t.notes = {"notes " + std::string(total - base - 7, 'x')};
    return t.Build();
  };
  std::vector<Case> cases = {
      {"well formed", whole(ManifestText()), ok, ok},
      {"exactly at the size cap", sized(kMaxManifestSize), ok, ManifestError::BadNotes},
      {"one byte over the size cap", sized(kMaxManifestSize + 1), ManifestError::TooLarge, ManifestError::TooLarge},
      {"carriage returns", "pixelkite-update 1\r\nsignature " + std::string(128, '0') + "\r\n", ManifestError::NotText,
       ManifestError::BadHeader},
      {"a NUL byte in the notes", whole(with([](ManifestText& t) { t.notes = {std::string("notes a\0b", 9)}; })),
       ManifestError::NotText, ManifestError::BadNotes},
      {"a DEL in the notes", whole(with([](ManifestText& t) { t.notes = {"notes a\x7F" "b"}; })), ManifestError::NotText,
       ManifestError::BadNotes},
      {"no LF at the end", whole(ManifestText()).substr(0, whole(ManifestText()).size() - 1), ManifestError::NotText,
       ManifestError::NotText},
      {"signature line missing", ManifestText().Signed(), ManifestError::NoSignature, std::nullopt},
      {"signature alone", "signature " + std::string(128, '0') + "\n", ManifestError::NoSignature,
       ManifestError::BadHeader},
      {"signature one digit short", whole(with([](ManifestText& t) { t.signature.pop_back(); })),
       ManifestError::BadSignature, std::nullopt},
      {"signature not hex", whole(with([](ManifestText& t) { t.signature.back() = 'g'; })),
       ManifestError::BadSignature, std::nullopt},
      {"signature in DER", whole(with([](ManifestText& t) { t.signature = "signature 3044" + std::string(136, '0'); })),
       ManifestError::BadSignature, std::nullopt},
      {"another format version", whole(with([](ManifestText& t) { t.header = "pixelkite-update 2"; })), ok,
       ManifestError::BadHeader},
      {"product missing", whole(with([](ManifestText& t) { t.product = "name Pixelkite"; })), ok,
       ManifestError::UnexpectedField},
      {"product empty", whole(with([](ManifestText& t) { t.product = "product "; })), ok,
       ManifestError::BadProduct},
      {"product too long", whole(with([](ManifestText& t) { t.product = "product " + std::string(65, 'P'); })), ok,
       ManifestError::BadProduct},
      {"product with a lone high byte", whole(with([](ManifestText& t) { t.product = "product Pixel\x80kite"; })), ok,
       ManifestError::BadProduct},
      {"five version parts", whole(with([](ManifestText& t) { t.version = "version 5.4.1.0.1"; })), ok,
       ManifestError::BadVersion},
      {"empty version part", whole(with([](ManifestText& t) { t.version = "version 5..1"; })), ok,
       ManifestError::BadVersion},
      {"version part over 65535", whole(with([](ManifestText& t) { t.version = "version 5.65536"; })), ok,
       ManifestError::BadVersion},
      {"version with a letter", whole(with([](ManifestText& t) { t.version = "version v5.4"; })), ok,
       ManifestError::BadVersion},
      {"version empty", whole(with([](ManifestText& t) { t.version = "version "; })), ok, ManifestError::BadVersion},
      {"installer over plain http", whole(with([](ManifestText& t) { t.url = "url http://www.pixelkite.example/s.exe"; })),
       ok, ManifestError::BadUrl},
      {"installer over ftp", whole(with([](ManifestText& t) { t.url = "url ftp://www.pixelkite.example/s.exe"; })), ok,
       ManifestError::BadUrl},
      {"installer url with user info",
       whole(with([](ManifestText& t) { t.url = "url https://me:pw@www.pixelkite.example/s.exe"; })), ok,
       ManifestError::BadUrl},
      {"size zero", whole(with([](ManifestText& t) { t.size = "size 0"; })), ok, ManifestError::BadSize},
      {"size with a leading zero", whole(with([](ManifestText& t) { t.size = "size 0100"; })), ok,
       ManifestError::BadSize},
      {"size over the cap", whole(with([](ManifestText& t) {
         t.size = "size " + std::to_string(kMaxInstallerSize + 1);
       })),
       ok, ManifestError::BadSize},
      {"size of eleven digits", whole(with([](ManifestText& t) { t.size = "size 10000000000"; })), ok,
       ManifestError::BadSize},
      {"size negative", whole(with([](ManifestText& t) { t.size = "size -5"; })), ok, ManifestError::BadSize},
      {"sha256 one digit short", whole(with([](ManifestText& t) { t.sha256.pop_back(); })), ok,
       ManifestError::BadHash},
      {"sha256 not hex", whole(with([](ManifestText& t) { t.sha256.back() = 'z'; })), ok, ManifestError::BadHash},
      {"expires missing", whole(with([](ManifestText& t) { t.expires = "notes x"; })), ok,
       ManifestError::UnexpectedField},
      {"expires in days", whole(with([](ManifestText& t) { t.expires = "expires 30"; })), ok,
       ManifestError::BadExpiry},
      {"expires in local time", whole(with([](ManifestText& t) { t.expires.pop_back(); })), ok,
       ManifestError::BadExpiry},
      {"expires on no such day", whole(with([](ManifestText& t) { t.expires = "expires 2100-02-29T00:00:00Z"; })),
       ok, ManifestError::BadExpiry},
      {"an unknown field", whole(with([](ManifestText& t) { t.notes.push_back("mirror https://elsewhere/"); })), ok,
       ManifestError::UnexpectedField},
      {"a repeated version", whole(with([](ManifestText& t) { t.notes.insert(t.notes.begin(), t.version); })), ok,
       ManifestError::UnexpectedField},
      {"url before version", whole(with([](ManifestText& t) { std::swap(t.version, t.url); })), ok,
       ManifestError::UnexpectedField},
      {"notes without their space", whole(with([](ManifestText& t) { t.notes = {"notes"}; })), ok,
       ManifestError::UnexpectedField},
      {"notes ending in half a character", whole(with([](ManifestText& t) { t.notes = {"notes ok\xD0"}; })), ok,
       ManifestError::BadNotes},
      {"notes with a bad second byte", whole(with([](ManifestText& t) { t.notes = {"notes \xD0\x30"}; })), ok,
       ManifestError::BadNotes},
      {"notes over their cap", whole(with([](ManifestText& t) {
         t.notes.assign(5, "notes " + std::string(900, 'n'));
       })),
       ok, ManifestError::BadNotes},
      {"header only", "pixelkite-update 1\n", ManifestError::NoSignature, ManifestError::UnexpectedField},
  };
  std::vector<std::string> signedParts;
  for (const Case& c : cases) {
    SignedManifest split;
    ManifestError splitResult = SplitSignature(AsBytes(c.text), &split);
    EXPECT_EQ(splitResult, c.split) << c.what << ": " << ManifestErrorName(splitResult);
    // The parse sees the signed part when the split found one, else the text.
    std::string signedPart = splitResult == ManifestError::None
                                 ? std::string(reinterpret_cast<const char*>(split.signedBytes.data()),
                                               split.signedBytes.size())
                                 : c.text;
    if (c.parse) {
      ManifestError parseResult = Parse(signedPart);
      EXPECT_EQ(parseResult, *c.parse) << c.what << ": " << ManifestErrorName(parseResult);
    }
    signedParts.push_back(signedPart);
  }

#ifndef _WIN32
  // The signing tool reads a signed part by the same rules, so that it signs
  // nothing the library refuses and its verify refuses what the library does.
  test::TempDir dir;
  std::string command = "python3 " PK_SOURCE_DIR "/tools/update_manifest.py check";
  std::map<std::string, size_t> caseOf;
  for (size_t i = 0; i < cases.size(); ++i) {
    std::string path = dir.Write(std::to_string(i), std::vector<uint8_t>(signedParts[i].begin(), signedParts[i].end()));
    caseOf[path] = i;
    command += " " + path;
  }
  std::FILE* tool = popen(command.c_str(), "r");
  ASSERT_TRUE(tool);
  char line[512];
  size_t answers = 0;
  while (std::fgets(line, sizeof line, tool)) {
    std::string text(line);
    size_t colon = text.find(": ");
    ASSERT_NE(colon, std::string::npos) << text;
    size_t i = caseOf.at(text.substr(0, colon));
    EXPECT_EQ(text.substr(colon + 2, text.size() - colon - 3), ManifestErrorName(Parse(signedParts[i])))
        << cases[i].what;
    ++answers;
  }
  pclose(tool);
  EXPECT_EQ(answers, cases.size());
#endif
}

TEST(Manifest, ExpiryIsAnExactUtcTime) {
  struct Case {
    const char* text;
    int64_t seconds;  // -1: refused
  };
  const Case cases[] = {
      {"1970-01-01T00:00:00Z", 0},           {"2000-02-29T12:34:56Z", 951827696},
      {"2024-12-31T23:59:59Z", 1735689599},  {"9999-12-31T23:59:59Z", 253402300799},
      {"1969-12-31T23:59:59Z", -1},          {"2023-02-29T00:00:00Z", -1},
      {"2024-04-31T00:00:00Z", -1},          {"2024-13-01T00:00:00Z", -1},
      {"2024-00-01T00:00:00Z", -1},          {"2024-01-00T00:00:00Z", -1},
      {"2024-01-01T24:00:00Z", -1},          {"2024-01-01T00:60:00Z", -1},
      {"2024-01-01T00:00:60Z", -1},          {"2024-01-01t00:00:00Z", -1},
      {"2024-01-01 00:00:00Z", -1},          {"2024-01-01T00:00:00+00:00", -1},
      {"2024-1-01T00:00:00Z", -1},           {"+024-01-01T00:00:00Z", -1},
  };
  for (const Case& c : cases) {
    int64_t seconds = -1;
    EXPECT_EQ(ParseUtcTime(c.text, &seconds), c.seconds >= 0) << c.text;
    if (c.seconds >= 0) {
      EXPECT_EQ(seconds, c.seconds) << c.text;
    }
  }
}

#ifndef _WIN32
// The signing tool signs nothing already expired (the table above holds it
// to the library's other rules), and what it signs verifies.
TEST(Manifest, SigningToolRefusesWhatTheLibraryRefuses) {
  test::TempDir dir;
  std::string tool = "python3 " PK_SOURCE_DIR "/tools/update_manifest.py ";
  std::string installer = dir.Write("setup.exe", {'M', 'Z'});
  std::string keygen = tool + "keygen --no-passphrase " + dir.Path("k.pem") + " " + dir.Path("k.pub") + " >/dev/null";
  ASSERT_EQ(std::system(keygen.c_str()), 0);
  std::string sign = tool + "sign --key " + dir.Path("k.pem") + " --version 5.4.1 --installer " + installer +
                     " -o " + dir.Path("m.txt") + " >/dev/null 2>&1 ";
  EXPECT_NE(std::system((sign + "--url https://www.pixelkite.example/s.exe --days 0").c_str()), 0);
  ASSERT_EQ(std::system((sign + "--url https://www.pixelkite.example/s.exe").c_str()), 0);
  std::string verify = tool + "verify --public " + dir.Path("k.pub") + " " + dir.Path("m.txt") + " >/dev/null 2>&1";
  EXPECT_EQ(std::system(verify.c_str()), 0);

  auto signedManifest = test::TempDir::Read(dir.Path("m.txt"));
  std::string text(signedManifest.begin(), signedManifest.end());
  SignedManifest split;
  Manifest manifest;
  ASSERT_EQ(SplitSignature(AsBytes(text), &split), ManifestError::None);
  ASSERT_EQ(ParseManifest(split.signedBytes, &manifest), ManifestError::None);
  // Thirty days by default.
  int64_t now = std::time(nullptr);
  EXPECT_GT(manifest.expires, now + 29 * 86400);
  EXPECT_LE(manifest.expires, now + 30 * 86400);
}
#endif

TEST(TransferPace, StopsAStalledOrTricklingTransferOnly) {
  const PaceLimits limits{.stallMs = 15000, .windowMs = 30000, .windowBytes = 1024};
  struct Step {
    uint64_t ms;
    uint64_t total;
    PaceVerdict verdict;
  };
  const std::vector<std::vector<Step>> runs = {
      // Quick at first, then silence: stalled after 15 s, not before.
      {{1000, 1 << 20, PaceVerdict::Moving}, {15999, 1 << 20, PaceVerdict::Moving},
       {16000, 1 << 20, PaceVerdict::Stalled}},
      // 100 bytes every 10 s never stalls, but is too slow once 30 s have passed.
      {{10000, 100, PaceVerdict::Moving}, {20000, 200, PaceVerdict::Moving}, {29999, 200, PaceVerdict::Moving},
       {30000, 300, PaceVerdict::TooSlow}},
      // Fast for a minute, then 1023 bytes in the 30 s after the last quick piece.
      {{30000, 100000, PaceVerdict::Moving}, {60000, 200000, PaceVerdict::Moving},
       {70000, 200500, PaceVerdict::Moving}, {80000, 201023, PaceVerdict::Moving},
       {89999, 201023, PaceVerdict::Moving}, {90000, 201023, PaceVerdict::TooSlow}},
      // A kilobyte in every 30 s, in pieces up to 14 s apart, goes on.
      {{14000, 512, PaceVerdict::Moving}, {28000, 1024, PaceVerdict::Moving}, {42000, 1536, PaceVerdict::Moving},
       {56000, 2048, PaceVerdict::Moving}, {70000, 2560, PaceVerdict::Moving}, {84000, 3072, PaceVerdict::Moving}},
  };
  for (size_t r = 0; r < runs.size(); ++r) {
    TransferPace pace(limits, 0);
    for (const Step& step : runs[r]) {
      EXPECT_EQ(pace.Note(step.ms, step.total), step.verdict) << "run " << r << " at " << step.ms << " ms";
    }
  }
}

// Manifests the fuzzer found accepted when they should not be, one file per
// defect under tests/data/manifest (named after it).
TEST(Manifest, RegressionFilesAreRefused) {
  const std::string folder = std::string(PK_SOURCE_DIR) + "/tests/data/manifest/";
  for (const char* name : {"empty-product.txt"}) {
    SCOPED_TRACE(name);
    std::ifstream file(folder + name, std::ios::binary);
    ASSERT_TRUE(file) << folder + name;
    const std::string text((std::istreambuf_iterator<char>(file)), std::istreambuf_iterator<char>());
    EXPECT_EQ(Parse(text), ManifestError::BadProduct);
  }
}

TEST(Manifest, VersionsCompareNumberByNumber) {
  struct Case {
    const char* older;
    const char* newer;
  };
  const Case ordered[] = {{"2.9", "2.10"}, {"5.4.0.0", "5.4.0.1"}, {"5.4.65535", "5.5"},
                          {"1.99.99.99", "2"}, {"0", "0.0.0.1"}, {"9.9.9.9", "10"}};
  for (const Case& c : ordered) {
    Version a, b;
    ASSERT_TRUE(ParseVersion(c.older, &a)) << c.older;
    ASSERT_TRUE(ParseVersion(c.newer, &b)) << c.newer;
    EXPECT_LT(a, b) << c.older << " < " << c.newer;
  }
  Version shortForm, longForm;
  ASSERT_TRUE(ParseVersion("5.4", &shortForm));
  ASSERT_TRUE(ParseVersion("5.4.0.0", &longForm));
  EXPECT_EQ(shortForm, longForm);
  EXPECT_EQ(shortForm.Text(), "5.4.0.0");
  for (const char* bad : {"", ".", "5.", ".5", "1.2.3.4.5", "123456", "1,2", "1.-2", " 1"}) {
    Version v;
    EXPECT_FALSE(ParseVersion(bad, &v)) << '"' << bad << '"';
  }
}

TEST(UpdateUrl, OnlyHttpsOrPlainHttpToTheLoopbackAddress) {
  struct Case {
    const char* text;
    UrlError error;
    const char* normalised;  // Text() of an accepted address
  };
  const std::string tooLong = "https://a/" + std::string(kMaxUrlLength, 'x');
  const Case cases[] = {
      {"https://www.pixelkite.example/up/pixelkite/", UrlError::None, "https://www.pixelkite.example/up/pixelkite/"},
      {"HTTPS://Www.Pixelkite.Example", UrlError::None, "https://Www.Pixelkite.Example/"},
      {"https://www.pixelkite.example:8443/a?b=c", UrlError::None, "https://www.pixelkite.example:8443/a?b=c"},
      {"https://host?x=1", UrlError::None, "https://host/?x=1"},
      {"https://[2001:db8::1]/x", UrlError::None, "https://[2001:db8::1]/x"},
      {"http://127.0.0.1:8080/up/", UrlError::None, "http://127.0.0.1:8080/up/"},
      {"http://127.255.0.9/", UrlError::None, "http://127.255.0.9/"},
      {"http://[::1]:9/", UrlError::None, "http://[::1]:9/"},
      {"http://www.pixelkite.example/up/", UrlError::PlainHttpOffLoopback, nullptr},
      {"http://localhost/", UrlError::PlainHttpOffLoopback, nullptr},
      {"http://127.1/", UrlError::PlainHttpOffLoopback, nullptr},
      {"http://127.0.0.256/", UrlError::PlainHttpOffLoopback, nullptr},
      {"http://127.0.0.01/", UrlError::PlainHttpOffLoopback, nullptr},
      {"http://128.0.0.1/", UrlError::PlainHttpOffLoopback, nullptr},
      {"http://[::2]/", UrlError::PlainHttpOffLoopback, nullptr},
      {"http://127.0.0.1.example/", UrlError::PlainHttpOffLoopback, nullptr},
      {"ftp://www.pixelkite.example/", UrlError::UnknownScheme, nullptr},
      {"file:///C:/setup.exe", UrlError::UnknownScheme, nullptr},
      {"//www.pixelkite.example/", UrlError::UnknownScheme, nullptr},
      {"https://user:pw@www.pixelkite.example/", UrlError::HasUserInfo, nullptr},
      {"http://127.0.0.1@evil.example/", UrlError::HasUserInfo, nullptr},
      {"https://www.pixelkite.example/#top", UrlError::HasFragment, nullptr},
      {"https://www.pixelkite.example/a b", UrlError::BadCharacter, nullptr},
      {"https://www.pixelkite.example\\up", UrlError::BadCharacter, nullptr},
      {"https://www.pixelkite.example/\xE4", UrlError::BadCharacter, nullptr},
      {"https://www.pixelkite.example/\n", UrlError::BadCharacter, nullptr},
      {"https://", UrlError::BadHost, nullptr},
      {"https://:443/", UrlError::BadHost, nullptr},
      {"https://ho_st/", UrlError::BadHost, nullptr},
      {"https://[zz::1]/", UrlError::BadHost, nullptr},
      {"https://host:0/", UrlError::BadPort, nullptr},
      {"https://host:65536/", UrlError::BadPort, nullptr},
      {"https://host:/", UrlError::BadPort, nullptr},
      {"https://host:8o/", UrlError::BadPort, nullptr},
      {tooLong.c_str(), UrlError::TooLong, nullptr},
  };
  for (const Case& c : cases) {
    Url url;
    EXPECT_EQ(ParseUrl(c.text, &url), c.error) << c.text;
    if (c.normalised) {
      EXPECT_EQ(url.Text(), c.normalised) << c.text;
    }
  }
}

TEST(UpdateUrl, RedirectsKeepTheSchemeAndThePolicy) {
  struct Case {
    const char* from;
    const char* location;
    const char* to;  // null: refused
  };
  const Case cases[] = {
      {"http://127.0.0.1:5000/up/manifest.txt", "/files/m.txt", "http://127.0.0.1:5000/files/m.txt"},
      {"http://127.0.0.1:5000/up/manifest.txt", "//127.0.0.2:6000/m", "http://127.0.0.2:6000/m"},
      {"http://127.0.0.1:5000/up/manifest.txt", "http://127.0.0.1:5001/m", "http://127.0.0.1:5001/m"},
      {"http://127.0.0.1:5000/up/manifest.txt", "https://www.pixelkite.example/m", nullptr},
      {"http://127.0.0.1:5000/up/manifest.txt", "http://www.pixelkite.example/m", nullptr},
      {"http://127.0.0.1:5000/up/manifest.txt", "ftp://127.0.0.1/m", nullptr},
      {"http://127.0.0.1:5000/up/manifest.txt", "file:///C:/m", nullptr},
      {"http://127.0.0.1:5000/up/manifest.txt", "other.txt", nullptr},
      {"http://127.0.0.1:5000/up/manifest.txt", "", nullptr},
      {"https://www.pixelkite.example/up/manifest.txt", "https://cdn.pixelkite.example/m", "https://cdn.pixelkite.example/m"},
      {"https://www.pixelkite.example/up/manifest.txt", "/m", "https://www.pixelkite.example/m"},
      {"https://www.pixelkite.example:444/up/manifest.txt", "/m", "https://www.pixelkite.example:444/m"},
      {"https://www.pixelkite.example/up/manifest.txt", "http://www.pixelkite.example/m", nullptr},
      {"https://www.pixelkite.example/up/manifest.txt", "http://127.0.0.1/m", nullptr},
      {"https://www.pixelkite.example/up/manifest.txt", "//evil.example/m", "https://evil.example/m"},
  };
  for (const Case& c : cases) {
    Url from;
    ASSERT_EQ(ParseUrl(c.from, &from), UrlError::None) << c.from;
    auto to = RedirectTarget(from, c.location);
    if (c.to) {
      ASSERT_TRUE(to) << c.from << " -> " << c.location;
      EXPECT_EQ(to->Text(), c.to);
    } else {
      EXPECT_FALSE(to) << c.from << " -> " << c.location << " gave " << (to ? to->Text() : "");
    }
  }
  EXPECT_EQ(ManifestUrlFor("https://www.pixelkite.example/up/pixelkite/"),
            "https://www.pixelkite.example/up/pixelkite/manifest.txt");
  EXPECT_EQ(ManifestUrlFor("http://127.0.0.1:80/up"), "http://127.0.0.1:80/up/manifest.txt");
}

}  // namespace
}  // namespace pk::update
