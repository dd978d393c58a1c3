// Bulk extraction end to end on modules built here (natively, and under Wine
// with the system's loader), plus the two small parsers it stands on: the
// content sniffer and the output-name cleaner.
#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <mutex>
#include <set>

#include "cli/commands.h"
#include "codec/icon_set.h"
#include "codec/file_kind.h"
#include "codec/safe_name.h"
#include "platform/directory.h"
#include "platform/message_box.h"
#include "platform/png.h"
#include "tests/support/ico_builder.h"
#include "tests/support/pe_builder.h"
#include "tests/support/temp_dir.h"

namespace pk {
namespace {

using test::ById;
using test::ByName;
using test::ByteVector;
using test::DibImage;
using test::GroupDirectory;
using test::PeBuilder;

TEST(SafeNamePiece, CleansWhatFileSystemsRefuse) {
  struct Case {
    std::string in;
    NameEncoding encoding;
    std::string out;
  } cases[] = {
      {"folder", NameEncoding::Gbk, "folder"},
      {"a/b\\c", NameEncoding::Gbk, "a_b_c"},
      {"a:b*c?d\"e<f>g|h", NameEncoding::Utf8, "a_b_c_d_e_f_g_h"},
      {"..", NameEncoding::Gbk, "__"},
      {".", NameEncoding::Utf8, "_"},
      {"../../etc/passwd", NameEncoding::Gbk, "_._.__etc_passwd"},
      {"a..b", NameEncoding::Gbk, "a._b"},
      {".hidden", NameEncoding::Utf8, "_hidden"},
      {"tab\there\nnew", NameEncoding::Gbk, "tab_here_new"},
      {"end. ", NameEncoding::Gbk, "end__"},
      {"", NameEncoding::Gbk, "_"},
      {"CON", NameEncoding::Gbk, "_CON"},
      {"nul.txt", NameEncoding::Utf8, "_nul.txt"},
      {"Com7", NameEncoding::Gbk, "_Com7"},
      {"lpt1 .x", NameEncoding::Gbk, "_lpt1 .x"},
      {"CONSOLE", NameEncoding::Gbk, "CONSOLE"},
      {"com10", NameEncoding::Gbk, "com10"},
      // GBK: a trail byte equal to '\' or '|' belongs to its character.
      {"\x81\x5C\x81\x7C", NameEncoding::Gbk, "\x81\x5C\x81\x7C"},
      {"\xD6\xD0\xCE\xC4", NameEncoding::Gbk, "\xD6\xD0\xCE\xC4"},
      // A lead byte without a trail, a lone 0x80 and 0xFF.
      {"a\xD6", NameEncoding::Gbk, "a_"},
      {"\x80x\xFF", NameEncoding::Gbk, "_x_"},
      // The same bytes read as UTF-8 are no characters.
      {"\x81\x5C", NameEncoding::Utf8, "__"},
      {"\xE4\xB8\xAD\xE6\x96\x87", NameEncoding::Utf8, "\xE4\xB8\xAD\xE6\x96\x87"},
      {"\xE4\xB8", NameEncoding::Utf8, "__"},
      {"\xC0\xAF", NameEncoding::Utf8, "__"},          // an overlong '/'
      {"\xED\xA0\x80", NameEncoding::Utf8, "___"},     // a surrogate
  };
  for (const Case& c : cases) EXPECT_EQ(SafeNamePiece(c.in, c.encoding), c.out) << c.in;
}

TEST(SafeNamePiece, StaysWithinItsLengthOnCharacterBoundaries) {
  EXPECT_EQ(SafeNamePiece(std::string(300, 'x'), NameEncoding::Utf8), std::string(kMaxNamePieceBytes - 1, 'x'));
  std::string chinese;
  for (int i = 0; i < 100; ++i) chinese += "\xD6\xD0";
  const std::string gbk = SafeNamePiece("x" + chinese, NameEncoding::Gbk, 10);
  EXPECT_EQ(gbk, "x\xD6\xD0\xD6\xD0\xD6\xD0\xD6\xD0");  // 9 bytes: a 10th would split a character
  std::string utf8;
  for (int i = 0; i < 100; ++i) utf8 += "\xE4\xB8\xAD";
  EXPECT_EQ(SafeNamePiece(utf8, NameEncoding::Utf8, 8).size(), 6u);
  EXPECT_EQ(SafeNamePiece("CON", NameEncoding::Gbk, 4), "_CON");  // room is kept for the prefix
}

TEST(FileKind, ContentFirstThenTheExtension) {
  ByteVector pe = PeBuilder().Icon(1, DibImage(16, 16, 4)).Group(ById(1), GroupDirectory({{16, 16, 4, 0, 1}})).Build().bytes;
  ByteVector ico = test::IcoBuilder().Add(DibImage(16, 16, 4)).Build();
  ByteVector dosStub = pe;
  dosStub[pe[0x3C]] = 'X';  // "MZ" with no PE or NE header behind it
  const ByteVector bmp = {'B', 'M', 0, 0, 0, 0, 0, 0, 0, 0, 54, 0, 0, 0};
  const ByteVector text = {'h', 'e', 'l', 'l', 'o', '\n'};
  const ByteVector cursor = {0, 0, 2, 0, 1, 0};
  const ByteVector emptyIco = {0, 0, 1, 0, 0, 0};
  // Icon directories whose first entry is not one, and a "BM" with its
  // reserved words set: no kind of their own.
  ByteVector entryReserved = ico, overDirectory = ico, bmpReserved = bmp;
  entryReserved[6 + 3] = 1;
  StoreU32(&overDirectory[6 + 12], 6 + 15);
  bmpReserved[8] = 1;
  struct Case {
    const ByteVector* bytes;
    const char* extension;
    FileKind kind;
  } cases[] = {
      {&pe, "cpl", FileKind::Module},     {&pe, "ico", FileKind::Module},      {&pe, "", FileKind::Module},
      {&ico, "dll", FileKind::IconFile},  {&ico, "", FileKind::IconFile},      {&bmp, "dll", FileKind::Bitmap},
      {&text, "dll", FileKind::Module},   {&text, "txt", FileKind::Unknown},   {&text, "ico", FileKind::IconFile},
      {&dosStub, "exe", FileKind::Module}, {&dosStub, "png", FileKind::Unknown}, {&cursor, "ico", FileKind::IconFile},
      {&cursor, "cur", FileKind::Unknown}, {&emptyIco, "bin", FileKind::Unknown}, {&text, "OCX", FileKind::Unknown},
      {&entryReserved, "bin", FileKind::Unknown}, {&overDirectory, "bin", FileKind::Unknown},
      {&bmpReserved, "bin", FileKind::Unknown},
  };
  for (const Case& c : cases) {
    const ByteVector& b = *c.bytes;
    const Bytes head(b.data(), std::min(b.size(), kSniffBytes));
    EXPECT_EQ(ClassifyFile(head, c.extension), c.kind) << c.extension << " " << b.size();
  }
  EXPECT_EQ(LowerExtension("dir.d/Name.OCX"), "ocx");
  EXPECT_EQ(LowerExtension("dir.d/name"), "");
}

// Messages from worker threads, kept instead of shown (a box would wait for a click under Wine).
class ThreadSafeCapture {
 public:
  ThreadSafeCapture() {
    previous_ = platform::SetMessageSink([this](platform::Owner, const platform::Message& message) {
      std::lock_guard<std::mutex> lock(mutex_);
      captions.emplace_back(message.caption);
    });
  }
  ~ThreadSafeCapture() { platform::SetMessageSink(std::move(previous_)); }
  std::vector<std::string> captions;

 private:
  std::mutex mutex_;
  platform::MessageSink previous_;
};

class BulkExtractTest : public testing::Test {
 protected:
  // Writes a file, making its folders first.
  std::string Write(const std::string& name, const ByteVector& bytes) {
    std::filesystem::create_directories(std::filesystem::path(dir_.Path(name)).parent_path());
    return dir_.Write(name, bytes);
  }
  // Every file below the scratch folder, as paths relative to it.
  std::set<std::string> FilesBelow(const std::string& folder) const {
    std::set<std::string> files;
    for (const auto& e : std::filesystem::recursive_directory_iterator(dir_.Path(folder)))
      if (e.is_regular_file()) files.insert(std::filesystem::relative(e.path(), dir_.Path(folder)).generic_string());
    return files;
  }
  // The names in a folder as the platform spells them (UTF-8).
  std::set<std::string> NamesIn(const std::string& folder) const {
    std::set<std::string> names;
    for (const auto& e : platform::ReadDirectory(dir_.Path(folder).c_str()).value_or(std::vector<platform::DirectoryEntry>{}))
      names.insert(e.name);
    return names;
  }
  int Bulk(std::vector<std::string> inputs, const std::string& out, cli::OutputFormat format = cli::OutputFormat::Ico,
           bool recursive = false) {
    cli::BulkOptions options;
    for (std::string& i : inputs) options.inputs.push_back(dir_.Path(i));
    options.outDir = dir_.Path(out);
    options.format = format;
    options.recursive = recursive;
    options.jobs = 2;
    options.quiet = true;
    return cli::ExtractBulk(options);
  }

  test::TempDir dir_;
  ThreadSafeCapture messages_;
};

ByteVector ModuleWithGroups(const std::vector<test::ResKey>& groups) {
  PeBuilder b;
  b.Pe32Plus(true);
  b.Icon(1, DibImage(16, 16, 4)).Icon(2, DibImage(32, 32, 32)).Icon(3, test::PngImage(48, 48));
  for (const test::ResKey& g : groups) b.Group(g, GroupDirectory({{16, 16, 4, 0, 1}, {32, 32, 32, 0, 2}, {48, 48, 32, 0, 3}}));
  return b.Build().bytes;
}

TEST_F(BulkExtractTest, HostileGroupNamesStayInsideTheFolderAndNeverMeet) {
  std::u16string longName(300, u'X');
  // 乗 is 81 5C in GBK: its trail byte is the code of '\'.
  const std::vector<test::ResKey> groups = {
      ByName(u"A/B\\C"), ByName(u"A_B_C"), ByName(u".."), ByName(u"../../OUTSIDE"), ByName(u"CON"),
      ByName(u"NUL.TXT"), ByName(longName), ByName(u"\u4E57\u4E2D"), ByName(u"TAB\tNL\n"), ByName(u"1"),
      ById(1), ByName(u"A:B*C?D\"E<F>G|H")};
  Write("in/hostile.scr", ModuleWithGroups(groups));
  ASSERT_EQ(Bulk({"in/hostile.scr"}, "out"), cli::kExitOk);
  EXPECT_TRUE(messages_.captions.empty());

  // Only the output folder received files, one per group, each a complete icon.
  std::set<std::string> everything = FilesBelow("");
  everything.erase("in/hostile.scr");
  ASSERT_EQ(everything.size(), groups.size());
  for (const std::string& f : everything) EXPECT_EQ(f.rfind("out/", 0), 0u) << f;
  const std::set<std::string> names = NamesIn("out");
  ASSERT_EQ(names.size(), groups.size());
  std::set<std::string> folded;
  for (const std::string& name : names) {
    EXPECT_LE(name.size(), 3 * kMaxNamePieceBytes) << name;
    EXPECT_EQ(name.find_first_of("/:*?\"<>|\t\n"), std::string::npos) << name;
    EXPECT_EQ(name.find(".."), std::string::npos) << name;
    EXPECT_EQ(name.rfind("hostile_", 0), 0u) << name;
    std::string f = name;
    std::transform(f.begin(), f.end(), f.begin(), [](char c) { return char(std::tolower(static_cast<unsigned char>(c))); });
    folded.insert(f);
    // Joined as bytes: a GBK name does not survive std::filesystem on Windows.
    EXPECT_EQ(test::TempDir::Read(dir_.Path("out") + "/" + name).size(), 6u + 3 * 16 + DibImage(16, 16, 4).size() +
                                                                       DibImage(32, 32, 32).size() + test::PngImage(48, 48).size());
  }
  EXPECT_EQ(folded.size(), names.size()) << "two names differ only in case";
  // Id 1 and the text name "1" both want hostile_1.ico; A/B\C and A_B_C both want hostile_A_B_C.ico.
  EXPECT_TRUE(names.count("hostile_1.ico") && names.count("hostile_1~2.ico"));
  EXPECT_TRUE(names.count("hostile_A_B_C.ico") && names.count("hostile_A_B_C~2.ico"));
  EXPECT_TRUE(names.count("hostile__CON.ico"));
  EXPECT_TRUE(names.count(platform::FileNameFromText("hostile_\x81\x5C\xD6\xD0.ico")));
}

TEST_F(BulkExtractTest, InputsOfOneNameInTwoFoldersGetTheirOwnStems) {
  Write("a/m.dll", ModuleWithGroups({ById(5)}));
  Write("b/m.dll", ModuleWithGroups({ById(5), ById(6)}));
  Write("b/sub/M.exe", ModuleWithGroups({ById(5)}));
  Write("b/sub/notes.dll", {'j', 'u', 's', 't', ' ', 't', 'e', 'x', 't'});  // skipped without a word
  ASSERT_EQ(Bulk({"a", "b"}, "out", cli::OutputFormat::Ico, true), cli::kExitOk);
  EXPECT_EQ(NamesIn("out"), (std::set<std::string>{"m_5.ico", "m~2_5.ico", "m~2_6.ico", "M~3_5.ico"}));
  EXPECT_TRUE(messages_.captions.empty());
  // Without -r the sub-folder is not entered; a second run replaces the files it makes again.
  ASSERT_EQ(Bulk({"b"}, "out"), cli::kExitOk);
  EXPECT_EQ(NamesIn("out"), (std::set<std::string>{"m_5.ico", "m_6.ico", "m~2_5.ico", "m~2_6.ico", "M~3_5.ico"}));
}

TEST_F(BulkExtractTest, AFailingFileDoesNotStopTheOthers) {
  Write("good.dll", ModuleWithGroups({ById(1), ById(2)}));
  Write("broken.ico", test::IcoBuilder().Add(DibImage(16, 16, 4)).Offset(4000).Build());  // image past the end
  // A group naming an icon the module lacks.
  Write("missing.dll", PeBuilder().Icon(1, DibImage(16, 16, 4)).Group(ById(9), GroupDirectory({{16, 16, 4, 0, 7}})).Build().bytes);
  Write("readme.txt", {'h', 'i'});
  Write("also.ico", test::IcoBuilder().Add(DibImage(16, 8, 8)).Add(test::PngImage(24, 40)).Build());
  EXPECT_EQ(Bulk({"good.dll", "broken.ico", "missing.dll", "readme.txt", "also.ico", "absent.dll"}, "out",
                 cli::OutputFormat::Png),
            cli::kExitFailed);
  EXPECT_EQ(NamesIn("out"), (std::set<std::string>{"good_1_16x16_4.png", "good_1_32x32_32.png", "good_1_48x48_32.png",
                                                   "good_2_16x16_4.png", "good_2_32x32_32.png", "good_2_48x48_32.png",
                                                   "also_16x8_8.png", "also_24x40_32.png"}));
  // The PNG image is written as stored, a DIB image encoded at its own size.
  EXPECT_EQ(test::TempDir::Read(dir_.Path("out/good_1_48x48_32.png")), test::PngImage(48, 48));
  auto encoded = platform::DecodePng(test::TempDir::Read(dir_.Path("out/also_16x8_8.png")));
  ASSERT_TRUE(encoded);
  EXPECT_EQ(encoded->width, 16);
  EXPECT_EQ(encoded->height, 8);
  // The broken icon file spoke in the codec's words, with its path as caption.
  EXPECT_NE(std::find(messages_.captions.begin(), messages_.captions.end(), dir_.Path("broken.ico")), messages_.captions.end());
}

// What `list` prints of each image, in lines and in JSON: no field taken from
// its neighbour.
TEST(ListOutput, EachImageWithItsOwnWidthHeightAndDepth) {
  auto set = NewIconSet(2);
  ASSERT_TRUE(set);
  for (auto [i, bytes] : {std::pair{0, DibImage(20, 12, 4)}, std::pair{1, test::PngImage(24, 40)}}) {
    ASSERT_TRUE(set->images[i].AssignData(Bytes(bytes)));
    ASSERT_TRUE(BindIconImage(&set->images[i]));
  }
  set->imageCount = 2;
  std::FILE* out = std::tmpfile();
  ASSERT_TRUE(out);
  cli::PrintImageLines(out, *set, "");
  cli::PrintImagesJson(out, *set);
  std::rewind(out);
  std::string text(4096, '\0');
  text.resize(std::fread(text.data(), 1, text.size(), out));
  std::fclose(out);
  EXPECT_NE(text.find("#0     20x12    4 bpp  DIB  " + std::to_string(set->images[0].dataSize) + " bytes"), std::string::npos) << text;
  EXPECT_NE(text.find("#1     24x40   32 bpp  PNG"), std::string::npos) << text;
  EXPECT_NE(text.find("{\"index\": 0, \"width\": 20, \"height\": 12, \"bitsPerPixel\": 4, \"format\": \"DIB\""), std::string::npos) << text;
  EXPECT_NE(text.find("{\"index\": 1, \"width\": 24, \"height\": 40, \"bitsPerPixel\": 32, \"format\": \"PNG\""), std::string::npos) << text;
}

TEST_F(BulkExtractTest, EachIconAsTheSingleExtractionWritesIt) {
  const std::vector<test::ResKey> groups = {ById(3), ByName(u"APP"), ById(40)};
  const std::string module = Write("app.exe", ModuleWithGroups(groups));
  Write("icons.ico", test::IcoBuilder().Add(DibImage(16, 16, 1)).Add(DibImage(20, 20, 24)).Build());
  for (auto format : {cli::OutputFormat::Ico, cli::OutputFormat::Bmp}) {
    const std::string ext = format == cli::OutputFormat::Ico ? ".ico" : ".bmp";
    ASSERT_EQ(Bulk({"app.exe", "icons.ico"}, "out" + ext, format), cli::kExitOk);
    for (const char* group : {"3", "APP", "40"}) {
      const std::string single = dir_.Path(std::string("single_") + group + ext);
      ASSERT_EQ(cli::RunExtract({module, "--group", group, "-o", single}), cli::kExitOk);
      EXPECT_EQ(test::TempDir::Read(single), test::TempDir::Read(dir_.Path("out" + ext + "/app_" + group + ext))) << group;
    }
    const std::string single = dir_.Path("single_icons" + ext);
    ASSERT_EQ(cli::RunExtract({dir_.Path("icons.ico"), "-o", single}), cli::kExitOk);
    EXPECT_EQ(test::TempDir::Read(single), test::TempDir::Read(dir_.Path("out" + ext + "/icons" + ext)));
  }
}

TEST_F(BulkExtractTest, AnOutputFolderThatIsAFileIsRefusedBeforeAnythingIsRead) {
  Write("good.dll", ModuleWithGroups({ById(1)}));
  Write("taken", {'x'});
  EXPECT_EQ(Bulk({"good.dll"}, "taken"), cli::kExitFailed);
  EXPECT_EQ(Bulk({"good.dll"}, "taken/below"), cli::kExitFailed);
  EXPECT_EQ(FilesBelow("").size(), 2u);
}

TEST_F(BulkExtractTest, OutputsNeverReplaceAnInputInTheOutputFolder) {
  const ByteVector original = test::IcoBuilder().Add(DibImage(16, 16, 4, {.sizeImage = 999})).Build();
  Write("here/icons.ico", original);
  ASSERT_EQ(Bulk({"here/icons.ico"}, "here"), cli::kExitOk);
  EXPECT_EQ(test::TempDir::Read(dir_.Path("here/icons.ico")), original);
  EXPECT_EQ(NamesIn("here"), (std::set<std::string>{"icons.ico", "icons~2.ico"}));
}

}  // namespace
}  // namespace pk
