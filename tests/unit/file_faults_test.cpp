// Every writer and reader driven down each of its error paths: the file layer
// fails each of its calls in turn (platform/file_faults.h), natively through
// the POSIX backend and, in the same binary under Wine, through the Win32 one.
#include <gtest/gtest.h>

#include <array>
#include <cstdio>
#include <functional>
#include <map>

#include "cli/commands.h"
#include "codec/bitmap_icon.h"
#include "codec/bmp_file.h"
#include "codec/ico_file.h"
#include "codec_messages.h"
#include "platform/file_faults.h"
#include "tests/support/bmp_builder.h"
#include "tests/support/ico_builder.h"
#include "tests/support/message_capture.h"
#include "tests/support/pe_builder.h"
#include "tests/support/temp_dir.h"

namespace pk {
namespace {

using platform::FileCall;
using platform::FileFaultKind;
using test::ByteVector;

const char* CallName(FileCall call) {
  static const char* const kNames[] = {"open", "create", "read", "write", "seek", "flush", "close", "replace"};
  return kNames[int(call)];
}
const char* KindName(FileFaultKind kind) {
  return kind == FileFaultKind::Fail ? "fails" : kind == FileFaultKind::Short ? "comes up short" : "is refused";
}

using CallCounts = std::array<uint32_t, platform::kFileCallKinds>;

// Counts of each call that `run` makes with nothing armed.
CallCounts CountCalls(const std::function<void()>& run) {
  platform::ResetFileFaults();
  run();
  CallCounts counts{};
  for (int c = 0; c < platform::kFileCallKinds; ++c) counts[c] = platform::CountedFileCalls(FileCall(c));
  return counts;
}

// Arms one fault for a scope; nothing stays armed after a failed assertion.
class ArmedFault {
 public:
  ArmedFault(FileCall call, uint32_t nth, FileFaultKind kind) { platform::InjectFileFault(call, nth, kind); }
  ~ArmedFault() { platform::ResetFileFaults(); }
};

// Every call of the write side, failed in each way it can fail, in turn:
// `prepare` runs first, then `act` with the fault armed, then `check`.
void ForEachWriteFault(const CallCounts& counts, uint32_t* injected, const std::function<void()>& prepare,
                       const std::function<void()>& act,
                       const std::function<void(FileCall, uint32_t, FileFaultKind)>& check) {
  static constexpr std::pair<FileCall, FileFaultKind> kFaults[] = {
      {FileCall::Create, FileFaultKind::Fail},  {FileCall::Write, FileFaultKind::Fail},
      {FileCall::Write, FileFaultKind::Short},  {FileCall::Flush, FileFaultKind::Fail},
      {FileCall::Close, FileFaultKind::Fail},   {FileCall::Replace, FileFaultKind::Fail},
      {FileCall::Replace, FileFaultKind::Refused},
  };
  for (auto [call, kind] : kFaults) {
    for (uint32_t nth = 1; nth <= counts[int(call)]; ++nth) {
      SCOPED_TRACE(testing::Message() << CallName(call) << " " << nth << " " << KindName(kind));
      prepare();
      {
        ArmedFault fault(call, nth, kind);
        act();
      }
      ++*injected;
      check(call, nth, kind);
    }
  }
}

struct Writer {
  const char* what;
  const char* target;  // file name in the test's folder
  std::function<bool(const char* path)> save;
  platform::Owner owner;
  const char* createMessage;  // also when the target is read-only or held open
  const char* headerMessage;
  uint32_t headerWrites;  // the first writes are the file header's
  const char* writeMessage;
};

// The message a writer shows when the nth call of `call` goes wrong as `kind`.
const char* ExpectedMessage(const Writer& w, FileCall call, uint32_t nth, FileFaultKind kind) {
  if (call == FileCall::Create || kind == FileFaultKind::Refused) return w.createMessage;
  if (call == FileCall::Write && nth <= w.headerWrites) return w.headerMessage;
  return w.writeMessage;
}

TEST(FileFaults, EveryWriterSurvivesEachFailingCallWithItsMessage) {
  // An icon of DIB and PNG images, so the saver writes headers, tables, rows and a PNG stream.
  auto set = NewIconSet(3);
  const ByteVector images[] = {test::DibImage(16, 16, 4), test::DibImage(32, 32, 32), test::PngImage(48, 48)};
  for (uint32_t i = 0; i < 3; ++i) {
    ASSERT_TRUE(set->images[i].AssignData(Bytes(images[i].data(), images[i].size())));
    ASSERT_TRUE(BindIconImage(&set->images[i]));
  }
  set->imageCount = 3;
  const Writer writers[] = {
      {".ico", "out.ico", [&](const char* p) { return SaveIconFile(*set, p); }, platform::Owner::MainWindow,
       msg::kIcoCreateFailed, msg::kIcoHeaderWriteFailed, 1, msg::kIcoWriteFailed},
      {".bmp of a DIB image", "out.bmp", [&](const char* p) { return ExportImageBmp(p, set->images[1]); },
       platform::Owner::None, msg::kBmpCreateFailed, msg::kBmpFileHeaderWriteFailed, 1, msg::kBmpWriteFailed},
      {".bmp of a PNG image", "png.bmp", [&](const char* p) { return ExportImageBmp(p, set->images[2]); },
       platform::Owner::None, msg::kBmpCreateFailed, msg::kBmpFileHeaderWriteFailed, 1, msg::kBmpWriteFailed},
  };
  const ByteVector previous = {'o', 'l', 'd'};
  uint32_t injected = 0;
  for (const Writer& w : writers) {
    for (bool existing : {false, true}) {
      SCOPED_TRACE(testing::Message() << w.what << (existing ? ", replacing a file" : ", a new file"));
      test::TempDir dir;
      const std::string path = dir.Path(w.target);
      auto reset = [&] {
        std::filesystem::remove(path);
        if (existing) dir.Write(w.target, previous);
      };
      reset();
      test::MessageCapture messages;
      std::vector<std::string> filesWhileShown;
      messages.onShow = [&] { filesWhileShown = dir.Files(); };
      const auto counts = CountCalls([&] { ASSERT_TRUE(w.save(path.c_str())); });
      const ByteVector written = test::TempDir::Read(path);
      ASSERT_GT(written.size(), previous.size());
      for (FileCall c : {FileCall::Create, FileCall::Flush, FileCall::Close, FileCall::Replace})
        ASSERT_EQ(counts[int(c)], 1u) << CallName(c);
      ASSERT_GT(counts[int(FileCall::Write)], w.headerWrites);

      ForEachWriteFault(
          counts, &injected,
          [&] {
            reset();
            messages.messages.clear();
          },
          [&] { EXPECT_FALSE(w.save(path.c_str())); },
          [&](FileCall call, uint32_t nth, FileFaultKind kind) {
            ASSERT_EQ(messages.messages.size(), 1u);
            EXPECT_EQ(messages.messages[0].text, ExpectedMessage(w, call, nth, kind));
            EXPECT_EQ(messages.messages[0].caption, path);
            EXPECT_EQ(messages.messages[0].owner, w.owner);
            // The old file whole, or still none; and no temporary file left
            // behind, already while the message shows.
            const std::vector<std::string> kept = existing ? std::vector<std::string>{w.target}
                                                           : std::vector<std::string>{};
            if (existing) {
              EXPECT_EQ(test::TempDir::Read(path), previous);
            }
            EXPECT_EQ(dir.Files(), kept);
            EXPECT_EQ(filesWhileShown, kept);
          });
      // Nothing stays broken: the next save writes the same bytes as the first.
      reset();
      messages.messages.clear();
      ASSERT_TRUE(w.save(path.c_str()));
      EXPECT_TRUE(messages.messages.empty());
      EXPECT_EQ(test::TempDir::Read(path), written);
    }
  }
  std::printf("[ faults   ] %u write-side faults injected\n", injected);
}

// Bulk extraction writes its outputs through the same replacement files: a
// failed call loses that one output (the file of that name keeps its bytes),
// the run names it and fails, and every other output is written.
TEST(FileFaults, BulkOutputsSurviveEachFailingCall) {
  test::TempDir dir;
  test::PeBuilder module;
  module.Icon(1, test::DibImage(16, 16, 4)).Icon(2, test::DibImage(32, 32, 32)).Icon(3, test::PngImage(48, 48));
  for (uint16_t id : {7, 8})
    module.Group(test::ById(id), test::GroupDirectory({{16, 16, 4, 0, 1}, {32, 32, 32, 0, 2}, {48, 48, 32, 0, 3}}));
  const std::string input = dir.Write("app.dll", module.Build().bytes);
  const ByteVector previous = {'o', 'l', 'd'};
  uint32_t injected = 0;
  for (auto [format, folder] : {std::pair(cli::OutputFormat::Ico, "ico"), std::pair(cli::OutputFormat::Png, "png"),
                                std::pair(cli::OutputFormat::Bmp, "bmp")}) {
    SCOPED_TRACE(folder);
    cli::BulkOptions options;
    options.inputs = {input};
    options.outDir = dir.Path(folder);
    options.format = format;
    options.jobs = 1;  // the same order of calls in every run
    options.quiet = true;
    test::MessageCapture messages;
    auto outputs = [&] {
      std::map<std::string, ByteVector> files;
      for (auto& e : std::filesystem::directory_iterator(options.outDir))
        files[e.path().filename().string()] = test::TempDir::Read(e.path().string());
      return files;
    };
    testing::internal::CaptureStderr();
    const auto counts = CountCalls([&] { EXPECT_EQ(cli::ExtractBulk(options), cli::kExitOk); });
    testing::internal::GetCapturedStderr();
    const auto written = outputs();
    ASSERT_GE(written.size(), 2u);

    ForEachWriteFault(
        counts, &injected,
        [&] {
          for (auto& [name, bytes] : written) dir.Write(std::string(folder) + "/" + name, previous);
          messages.messages.clear();
          testing::internal::CaptureStderr();
        },
        [&] { EXPECT_EQ(cli::ExtractBulk(options), cli::kExitFailed); },
        [&](FileCall call, uint32_t nth, FileFaultKind) {
          const std::string errors = testing::internal::GetCapturedStderr();
          // The same names, no temporary file; each output is new or still the old one.
          const auto now = outputs();
          ASSERT_EQ(now.size(), written.size());
          std::vector<std::string> kept;
          for (auto& [name, bytes] : now) {
            ASSERT_TRUE(written.count(name)) << name;
            if (bytes == previous) kept.push_back(name);
            else EXPECT_EQ(bytes, written.at(name)) << name;
          }
          // The first create is the run's look at the folder: nothing is written.
          if (call == FileCall::Create && nth == 1) {
            EXPECT_EQ(kept.size(), written.size());
            EXPECT_NE(errors.find("cannot write into this folder"), std::string::npos) << errors;
            return;
          }
          // Exactly one output lost, and named: on standard error, or by the codec's message.
          ASSERT_EQ(kept.size(), 1u);
          const bool named = errors.find(kept[0]) != std::string::npos ||
                             (messages.messages.size() == 1 &&
                              messages.messages[0].caption.find(kept[0]) != std::string::npos);
          EXPECT_TRUE(named) << kept[0] << ": " << errors;
        });
  }
  std::printf("[ faults   ] %u bulk-output faults injected\n", injected);
}

// One stage of a reader: the calls it makes there and what its failure says.
template <typename Fault>
struct Stage {
  FileCall call;
  uint32_t calls;
  const char* message;
  Fault reason;
};

// Fails and shortens every read and fails every seek of one reader, in turn.
// `load` opens and reads as the program does (showing the message); `read`
// reads an already opened file and says why it refused it.
template <typename Fault>
void FailEachCall(uint32_t* injected, const std::string& path, const std::vector<Stage<Fault>>& stages,
                  const char* openMessage, platform::Owner owner, const std::function<bool(const char*)>& load,
                  const std::function<std::optional<Fault>(platform::File&)>& read) {
  test::MessageCapture messages;
  const auto counts = CountCalls([&] { EXPECT_TRUE(load(path.c_str())); });
  EXPECT_TRUE(messages.messages.empty());
  // The stages account for every call the reader makes, in order.
  for (FileCall c : {FileCall::Read, FileCall::Seek}) {
    uint32_t staged = 0;
    for (auto& s : stages) staged += s.call == c ? s.calls : 0;
    EXPECT_EQ(counts[int(c)], staged) << CallName(c);
  }
  EXPECT_EQ(counts[int(FileCall::Open)], 1u);

  struct Injection { FileCall call; uint32_t nth; FileFaultKind kind; const char* message; std::optional<Fault> reason; };
  std::vector<Injection> injections = {{FileCall::Open, 1, FileFaultKind::Fail, openMessage, std::nullopt}};
  uint32_t nth[platform::kFileCallKinds] = {};
  for (auto& s : stages) {
    for (uint32_t i = 0; i < s.calls; ++i) {
      const uint32_t n = ++nth[int(s.call)];
      injections.push_back({s.call, n, FileFaultKind::Fail, s.message, s.reason});
      if (s.call == FileCall::Read) injections.push_back({s.call, n, FileFaultKind::Short, s.message, s.reason});
    }
  }
  for (const Injection& in : injections) {
    SCOPED_TRACE(testing::Message() << CallName(in.call) << " " << in.nth << " " << KindName(in.kind));
    messages.messages.clear();
    {
      ArmedFault fault(in.call, in.nth, in.kind);
      EXPECT_FALSE(load(path.c_str()));
    }
    ++*injected;
    ASSERT_EQ(messages.messages.size(), 1u);
    EXPECT_EQ(messages.messages[0].text, in.message);
    EXPECT_EQ(messages.messages[0].caption, path);
    EXPECT_EQ(messages.messages[0].owner, owner);
    if (!in.reason) continue;
    // The same fault once the file is open names the check that refused it.
    auto file = platform::OpenFileForRead(path.c_str());
    ASSERT_TRUE(file);
    ArmedFault fault(in.call, in.nth, in.kind);
    EXPECT_EQ(read(*file), in.reason);
    ++*injected;
  }
  // The reader works again once nothing is armed.
  EXPECT_TRUE(load(path.c_str()));
}

TEST(FileFaults, ReadersRefuseEachFailedOrShortReadCleanly) {
  test::TempDir dir;
  uint32_t injected = 0;
  {
    SCOPED_TRACE(".ico reader");
    const std::string path = dir.Write("in.ico", test::IcoBuilder()
                                                     .Add(test::DibImage(16, 16, 8))
                                                     .Add(test::DibImage(32, 32, 24))
                                                     .Add(test::PngImage(20, 20))
                                                     .Build());
    FailEachCall<IcoFault>(
        &injected, path,
        {{FileCall::Read, 3, msg::kIcoHeaderFailed, IcoFault::BadHeader},  // word by word
         {FileCall::Read, 1, msg::kIcoDirectoryReadFailed, IcoFault::DirectoryShort},
         // Each image: a move to its offset, then one read.
         {FileCall::Seek, 1, msg::kIcoSeekFailed, IcoFault::SeekFailed},
         {FileCall::Read, 1, msg::kIcoImageReadFailed, IcoFault::ImageShort},
         {FileCall::Seek, 1, msg::kIcoSeekFailed, IcoFault::SeekFailed},
         {FileCall::Read, 1, msg::kIcoImageReadFailed, IcoFault::ImageShort},
         {FileCall::Seek, 1, msg::kIcoSeekFailed, IcoFault::SeekFailed},
         {FileCall::Read, 1, msg::kIcoImageReadFailed, IcoFault::ImageShort}},
        msg::kIcoOpenFailed, platform::Owner::MainWindow,
        [](const char* p) { return LoadIconFile(p) != nullptr; },
        [&](platform::File& f) -> std::optional<IcoFault> {
          auto set = ReadIconFile(f, path.c_str());
          return set ? std::nullopt : std::optional(set.reason());
        });
  }
  {
    SCOPED_TRACE(".bmp reader");
    // An 8-bit picture with a gap behind its colour table: the rows are found by a move.
    const std::string path = dir.Write("in.bmp", test::BmpFileOf(test::Gradient(7, 5, 8), {.gap = 9}));
    FailEachCall<BmpFault>(
        &injected, path,
        {{FileCall::Read, 1, msg::kBmpFileHeaderFailed, BmpFault::FileHeaderShort},
         {FileCall::Read, 1, msg::kBmpInfoHeaderFailed, BmpFault::InfoHeaderShort},  // its length
         {FileCall::Read, 1, msg::kBmpInfoHeaderFailed, BmpFault::InfoHeaderShort},  // the rest
         {FileCall::Read, 1, msg::kBmpColorTableFailed, BmpFault::ColorTableShort},
         {FileCall::Seek, 1, msg::kBmpSeekFailed, BmpFault::SeekFailed},
         {FileCall::Read, 1, msg::kBmpPixelsFailed, BmpFault::RowsShort}},
        msg::kBmpOpenFailed, platform::Owner::None,
        [](const char* p) { return bool(LoadBmpFile(p)); },
        [](platform::File& f) -> std::optional<BmpFault> {
          auto dib = ReadBmpFile(f);
          return dib ? std::nullopt : std::optional(dib.reason());
        });
  }
  std::printf("[ faults   ] %u read-side faults injected\n", injected);
}

}  // namespace
}  // namespace pk
