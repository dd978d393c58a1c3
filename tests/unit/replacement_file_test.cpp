// Saving in place of a file, against the real file system: a target the
// system will not let go of, two savers of one target at once, names of the
// full length. Natively through the POSIX backend, under Wine through Win32.
#include <gtest/gtest.h>

#include <atomic>
#include <filesystem>
#include <functional>
#include <thread>

#ifndef _WIN32
#include <sys/wait.h>
#include <unistd.h>
#endif

#include "codec/bitmap_icon.h"
#include "codec/ico_file.h"
#include "codec_messages.h"
#include "tests/support/ico_builder.h"
#include "tests/support/message_capture.h"
#include "tests/support/temp_dir.h"

namespace pk {
namespace {

using test::ByteVector;

std::unique_ptr<IconSet> IconOf(const std::vector<ByteVector>& images) {
  auto set = NewIconSet(uint32_t(images.size()));
  for (size_t i = 0; i < images.size(); ++i) {
    EXPECT_TRUE(set->images[i].AssignData(Bytes(images[i].data(), images[i].size())));
    EXPECT_TRUE(BindIconImage(&set->images[i]));
  }
  set->imageCount = uint32_t(images.size());
  return set;
}

TEST(ReplacementFile, ATargetThatIsReadOnlyOrHeldOpenIsNotReplaced) {
  auto set = IconOf({test::DibImage(32, 32, 8)});
  struct Saver { const char* name; std::function<bool(const char*)> save; const char* message; } savers[] = {
      {"kept.ico", [&](const char* p) { return SaveIconFile(*set, p); }, msg::kIcoCreateFailed},
      {"kept.bmp", [&](const char* p) { return ExportImageBmp(p, set->images[0]); }, msg::kBmpCreateFailed},
  };
  namespace fs = std::filesystem;
  for (const Saver& s : savers) {
    test::TempDir dir;
    const ByteVector previous = {'o', 'l', 'd'};
    const std::string path = dir.Write(s.name, previous);
    test::MessageCapture messages;
    struct Hold { const char* what; std::function<std::function<void()>()> hold; } holds[] = {
        {"read-only", [&] {
           fs::permissions(path, fs::perms::owner_write | fs::perms::group_write | fs::perms::others_write,
                           fs::perm_options::remove);
           return [&] { fs::permissions(path, fs::perms::owner_write, fs::perm_options::add); };
         }},
        // The program's own reader opens without sharing, as another program may.
        {"held open", [&] {
           auto reader = std::make_shared<std::unique_ptr<platform::File>>(platform::OpenFileForRead(path.c_str()));
           EXPECT_TRUE(*reader);
           return [reader] { reader->reset(); };
         }},
    };
    for (auto& h : holds) {
      SCOPED_TRACE(testing::Message() << s.name << ", " << h.what);
      messages.messages.clear();
      auto release = h.hold();
      EXPECT_FALSE(s.save(path.c_str()));
      release();
      EXPECT_EQ(messages.Only(), s.message);
      EXPECT_EQ(test::TempDir::Read(path), previous);
      EXPECT_EQ(dir.Files(), std::vector<std::string>{s.name});
    }
    // Let go of, it is replaced.
    messages.messages.clear();
    EXPECT_TRUE(s.save(path.c_str()));
    EXPECT_TRUE(messages.messages.empty());
    EXPECT_GT(test::TempDir::Read(path).size(), previous.size());
  }
}

// Runs `save` in two savers at once (two processes on POSIX, as two copies of
// the program would race; two threads on Windows) and calls `watch` until
// both are done. `save` says how many of its saves succeeded (under 256);
// the sum of the two.
int RunTwoSavers(const std::function<int(int saver)>& save, const std::function<void()>& watch) {
#ifdef _WIN32
  std::atomic<int> succeeded{0}, running{2};
  std::vector<std::thread> threads;
  for (int s = 0; s < 2; ++s)
    threads.emplace_back([&, s] {
      succeeded += save(s);
      --running;
    });
  while (running > 0) watch();
  for (auto& t : threads) t.join();
  return succeeded;
#else
  pid_t children[2];
  for (int s = 0; s < 2; ++s) {
    children[s] = fork();
    if (children[s] == 0) _exit(save(s));
  }
  int succeeded = 0;
  for (pid_t child : children) {
    int status = 0;
    while (waitpid(child, &status, WNOHANG) == 0) watch();
    EXPECT_TRUE(WIFEXITED(status));
    succeeded += WEXITSTATUS(status);
  }
  return succeeded;
#endif
}

TEST(ReplacementFile, TwoSaversOfOneTargetLeaveOneWholeFile) {
  // Two different icons of a few hundred kilobytes, so the writes overlap.
  const std::unique_ptr<IconSet> icons[] = {
      IconOf({test::DibImage(128, 128, 32), test::DibImage(96, 96, 32), test::DibImage(64, 64, 24)}),
      IconOf({test::DibImage(160, 160, 32), test::DibImage(48, 48, 8), test::PngImage(100, 100)}),
  };
  test::TempDir dir;
  ByteVector whole[2];
  for (int i = 0; i < 2; ++i) {
    std::string sample = dir.Path("sample.ico");
    ASSERT_TRUE(SaveIconFile(*icons[i], sample.c_str()));
    whole[i] = test::TempDir::Read(sample);
    std::filesystem::remove(sample);
  }
  ASSERT_NE(whole[0].size(), whole[1].size());

  // A saver may find the target held by the other one or by the watcher;
  // such a save fails with its message (not shown here) and changes nothing.
  auto previousSink = platform::SetMessageSink([](platform::Owner, const platform::Message&) {});
  const std::string target = dir.Path("same.ico");
  const int kRounds = 6, kSavesEach = 8;
  int succeeded = 0, seen = 0, mixed = 0;
  for (int round = 0; round < kRounds; ++round) {
    succeeded += RunTwoSavers(
        [&](int saver) {
          int saved = 0;
          for (int n = 0; n < kSavesEach; ++n) saved += SaveIconFile(*icons[saver], target.c_str());
          return saved;
        },
        [&] {
          // Whatever a reader finds at any moment is one whole file.
          ByteVector now = test::TempDir::Read(target);
          if (now.empty()) return;
          ++seen;
          mixed += now != whole[0] && now != whole[1];
          // Windows refuses to replace a file while anyone has it open: leave
          // the savers room to race each other.
          std::this_thread::sleep_for(std::chrono::milliseconds(1));
        });
    SCOPED_TRACE(round);
    const ByteVector after = test::TempDir::Read(target);
    EXPECT_TRUE(after == whole[0] || after == whole[1]);
    EXPECT_EQ(dir.Files(), std::vector<std::string>{"same.ico"});
  }
  platform::SetMessageSink(std::move(previousSink));
  EXPECT_EQ(mixed, 0);
  EXPECT_GT(succeeded, 0);
  std::printf("[ savers   ] %d saves at once: %d succeeded, the rest refused; %d reads, %d mixed\n",
              2 * kRounds * kSavesEach, succeeded, seen, mixed);
}

// A target the system refuses at the last step, for its name (too long for
// the folder), while the short temporary name was accepted: the failure is
// reported, and nothing is left in the folder, not even while it shows.
TEST(ReplacementFile, ATargetNameRefusedAtTheRenameLeavesNothingBehind) {
  auto set = IconOf({test::DibImage(16, 16, 4)});
  test::TempDir dir;
  test::MessageCapture messages;
  std::vector<std::string> filesWhileShown;
  messages.onShow = [&] { filesWhileShown = dir.Files(); };
  const std::string path = dir.Path(std::string(300, 'n') + ".ico");
  EXPECT_FALSE(SaveIconFile(*set, path.c_str()));
  EXPECT_EQ(messages.Only(), msg::kIcoWriteFailed);
  EXPECT_TRUE(filesWhileShown.empty()) << filesWhileShown[0];
  EXPECT_TRUE(dir.Files().empty());
}

#ifndef _WIN32
// The temporary file's name is short, so a name of the longest length a
// folder entry may have can still be saved (Windows' paths stop sooner, at
// MAX_PATH for the whole path).
TEST(ReplacementFile, NamesOfTheFullLengthCanBeSaved) {
  auto set = IconOf({test::DibImage(16, 16, 4)});
  test::TempDir dir;
  test::MessageCapture messages;
  for (size_t length : {249u, 250u, 255u}) {
    for (const char* extension : {".ico", ".bmp"}) {
      SCOPED_TRACE(testing::Message() << length << " bytes, " << extension);
      const std::string name = std::string(length - 4, 'n') + extension;
      const std::string path = dir.Path(name);
      const bool saved = extension[1] == 'i' ? SaveIconFile(*set, path.c_str())
                                             : ExportImageBmp(path.c_str(), set->images[0]);
      EXPECT_TRUE(saved);
      EXPECT_TRUE(messages.messages.empty());
      EXPECT_FALSE(test::TempDir::Read(path).empty());
      std::filesystem::remove(path);
      EXPECT_TRUE(dir.Files().empty());
    }
  }
}
#endif

}  // namespace
}  // namespace pk
