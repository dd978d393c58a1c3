// extract FILE|DIR... -d OUTDIR: every icon of every input into one folder,
// the inputs shared out among worker threads. Each worker opens its own
// module and writes its own files; they share only the name registry, the
// counters and standard error.
#include <algorithm>
#include <atomic>
#include <chrono>
#include <condition_variable>
#include <cstdio>
#include <map>
#include <thread>

#include "cli/commands.h"
#include "cli/console.h"
#include "cli/output_names.h"
#include "cli/sources.h"
#include "codec/bitmap_icon.h"
#include "codec/ico_file.h"
#include "platform/console_text.h"
#include "platform/directory.h"
#include "platform/file.h"
#include "platform/message_box.h"
#include "platform/png.h"

namespace pk::cli {
namespace {

struct Counters {
  std::atomic<uint64_t> inputsDone{0};
  std::atomic<uint64_t> bytesDone{0};
  std::atomic<uint64_t> filesWritten{0};
  std::atomic<uint64_t> groups{0};
  std::atomic<uint64_t> images{0};
  std::atomic<uint64_t> failedInputs{0};
};

struct Run {
  const BulkOptions& options;
  std::string outPrefix;  // OUTDIR and a separator
  OutputNames names;
  Counters counters;
};

// Writes one output file in place of any older one of that name. The files
// are not flushed one by one: they can be made again, and a flush each
// would cost more than the extraction.
bool WriteOutput(const std::string& path, Bytes bytes) {
  auto file = platform::CreateReplacementFile(path.c_str(), platform::Durability::Unflushed);
  if (!file || !platform::WriteExactly(*file, bytes.data(), uint32_t(bytes.size())) || !file->Commit()) {
    PrintError(platform::ConsoleName(path) + ": cannot be written");
    return false;
  }
  return true;
}

// The picture of one image as PNG bytes: a PNG image as it is stored, a DIB
// image decoded (colour through mask, or its own alpha) and encoded.
std::optional<std::vector<uint8_t>> PngBytes(const IconSetImage& image) {
  if (image.format == ImageFormat::Png) return std::vector<uint8_t>(image.data.get(), image.data.get() + image.dataSize);
  auto picture = platform::DecodeIconImage(image.bytes());
  if (!picture) return std::nullopt;
  return platform::EncodePng(*picture);
}

// Writes one icon (a group, or an .ico file's contents) as the format asks;
// `base` is the output name without extension, `label` names the icon in messages.
bool WriteIcon(Run& run, const std::string& base, const IconSet& set, const std::string& label) {
  const uint32_t count = std::min<uint32_t>(set.imageCount, uint32_t(set.images.size()));
  switch (run.options.format) {
    case OutputFormat::Ico: {
      auto bytes = EncodeIconFile(set);
      if (!bytes) {
        PrintError(label + ": too large for an icon file");
        return false;
      }
      if (!WriteOutput(run.outPrefix + run.names.Claim(base, ".ico"), *bytes)) return false;
      run.counters.filesWritten++;
      run.counters.images += count;
      break;
    }
    case OutputFormat::Bmp: {
      if (count == 0) {
        PrintError(label + ": no image to write as a bitmap");
        return false;
      }
      // As extract -o X.bmp: the first image's colour picture (the codec reports failures).
      if (!ExportImageBmp((run.outPrefix + run.names.Claim(base, ".bmp")).c_str(), set.images[0])) return false;
      run.counters.filesWritten++;
      run.counters.images++;
      break;
    }
    case OutputFormat::Png: {
      bool ok = true;
      for (uint32_t i = 0; i < count; ++i) {
        const IconSetImage& image = set.images[i];
        auto bytes = PngBytes(image);
        if (!bytes) {
          PrintError(label + ": image #" + std::to_string(i) + " cannot be decoded");
          ok = false;
          continue;
        }
        const std::string name = base + "_" + std::to_string(image.width) + "x" + std::to_string(image.height) +
                                 "_" + std::to_string(image.bitCount);
        if (!WriteOutput(run.outPrefix + run.names.Claim(name, ".png"), *bytes)) {
          ok = false;
          continue;
        }
        run.counters.filesWritten++;
        run.counters.images++;
      }
      if (!ok) return false;
      break;
    }
  }
  run.counters.groups++;
  return true;
}

bool ExtractInput(Run& run, const Input& input, const std::string& stem) {
  Source source;
  std::string reason;
  switch (OpenSource(input, &source, &reason)) {
    case OpenResult::Skipped: return true;
    case OpenResult::Failed: return false;
    case OpenResult::Opened: break;
  }
  if (source.kind == FileKind::IconFile) return WriteIcon(run, stem, *source.icon, input.path);
  bool ok = true;
  for (const IconGroupEntry& e : source.groups) {
    const std::string label = platform::ConsoleName(input.path) + ": " + platform::ConsoleText(e.text);
    auto set = LoadIconGroupFromModule(*source.module, source.openedAs.c_str(), e.name);
    // The record holds copies: the module need not keep what it read for it,
    // so a large module costs its largest group, not all its icons.
    source.module->ReleaseResourceBytes();
    if (!set) {
      PrintError(label + " cannot be loaded");
      ok = false;
      continue;
    }
    const std::string base = stem + "_" + SafeGroupPiece(e.name.IsId(), e.name.Id(), e.name.Text());
    ok &= WriteIcon(run, base, *set, label);
  }
  return ok;
}

std::string FormatDuration(double seconds) {
  const long s = long(seconds + 0.5);
  char text[32];
  std::snprintf(text, sizeof text, "%ld:%02ld", s / 60, s % 60);
  return text;
}

// "[#####.....] 312/1447 files  184 icons  410/1203 MB  95.2 MB/s  ETA 0:07"
std::string ProgressText(const Counters& c, size_t totalInputs, uint64_t totalBytes, double elapsed) {
  const uint64_t done = c.bytesDone.load(), files = c.inputsDone.load();
  const double fraction = totalBytes ? double(done) / double(totalBytes) : (totalInputs ? double(files) / double(totalInputs) : 1.0);
  constexpr int kBarWidth = 20;
  const int filled = std::clamp(int(fraction * kBarWidth), 0, kBarWidth);
  const double mb = 1024.0 * 1024.0;
  const double rate = elapsed > 0 ? double(done) / mb / elapsed : 0;
  std::string eta = "--:--";
  if (fraction > 0.01 && elapsed > 0.5) eta = FormatDuration(elapsed / fraction - elapsed);
  char text[160];
  std::snprintf(text, sizeof text, "[%s%s] %llu/%zu files  %llu icons  %.0f/%.0f MB  %.1f MB/s  ETA %s",
                std::string(size_t(filled), '#').c_str(), std::string(size_t(kBarWidth - filled), '.').c_str(),
                (unsigned long long)files, totalInputs, (unsigned long long)c.groups.load(), double(done) / mb,
                double(totalBytes) / mb, rate, eta.c_str());
  return text;
}

// The progress line, redrawn a few times a second until `done`.
class ProgressLine {
 public:
  ProgressLine(const Counters& counters, size_t totalInputs, uint64_t totalBytes)
      : thread_([this, &counters, totalInputs, totalBytes] {
          const auto start = std::chrono::steady_clock::now();
          std::unique_lock<std::mutex> lock(mutex_);
          do {
            const double elapsed = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
            ShowProgressLine(ProgressText(counters, totalInputs, totalBytes, elapsed));
          } while (!wake_.wait_for(lock, std::chrono::milliseconds(200), [this] { return done_; }));
          EndProgressLine();
        }) {}
  ~ProgressLine() {
    {
      std::lock_guard<std::mutex> lock(mutex_);
      done_ = true;
    }
    wake_.notify_one();
    thread_.join();
  }

 private:
  std::mutex mutex_;
  std::condition_variable wake_;
  bool done_ = false;
  std::thread thread_;
};

// Claims the names of inputs that lie in the output folder itself, so that no
// output replaces an input.
void ProtectInputsIn(const std::string& outDir, const std::vector<Input>& inputs, OutputNames* names) {
  auto realOut = platform::RealPath(outDir.c_str());
  if (!realOut) return;
  std::map<std::string, bool> inOutDir;  // an input's folder -> whether it is the output folder
  for (const Input& input : inputs) {
    const size_t slash = input.path.find_last_of(platform::PathSeparator() == '/' ? "/" : "/\\");
    const std::string folder = slash == std::string::npos ? "." : input.path.substr(0, slash == 0 ? 1 : slash);
    auto it = inOutDir.find(folder);
    if (it == inOutDir.end()) {
      auto real = platform::RealPath(folder.c_str());
      it = inOutDir.emplace(folder, real && *real == *realOut).first;
    }
    if (it->second) names->Claim(input.path.substr(slash == std::string::npos ? 0 : slash + 1), "");
  }
}

}  // namespace

int ExtractBulk(const BulkOptions& options) {
  int failures = 0;
  const std::vector<Input> inputs = GatherInputs(options.inputs, options.recursive, &failures);

  if (!platform::MakeDirectories(options.outDir.c_str())) {
    PrintError(platform::ConsoleName(options.outDir) + ": the folder cannot be made");
    return kExitFailed;
  }
  Run run{options, options.outDir, {}, {}};
  if (run.outPrefix.back() != '/' && run.outPrefix.back() != platform::PathSeparator())
    run.outPrefix.push_back(platform::PathSeparator());
  // One look before any input is read: a folder we cannot write into would
  // otherwise fail every icon of every file.
  if (!platform::CreateReplacementFile((run.outPrefix + ".pixelkite-probe").c_str(), platform::Durability::Unflushed)) {
    PrintError(platform::ConsoleName(options.outDir) + ": cannot write into this folder");
    return kExitFailed;
  }
  ProtectInputsIn(options.outDir, inputs, &run.names);

  // Stems are given out in input order before any work starts, so the names
  // do not depend on which worker finishes first.
  OutputNames stemNames;
  std::vector<std::string> stems;
  stems.reserve(inputs.size());
  uint64_t totalBytes = 0;
  for (const Input& input : inputs) {
    stems.push_back(stemNames.Claim(SafeStem(input.path), ""));
    totalBytes += input.size;
  }

  unsigned jobs = options.jobs ? options.jobs : std::max(1u, std::thread::hardware_concurrency());
  jobs = unsigned(std::min<size_t>(jobs, std::max<size_t>(inputs.size(), 1)));
  // Largest files first: a corpus is often a few large modules among many
  // small ones, and a large one started last would leave the other workers
  // idle at the end. Names do not depend on this order.
  std::vector<size_t> order(inputs.size());
  for (size_t i = 0; i < order.size(); ++i) order[i] = i;
  std::stable_sort(order.begin(), order.end(), [&](size_t a, size_t b) { return inputs[a].size > inputs[b].size; });
  std::atomic<size_t> next{0};
  auto worker = [&] {
    for (size_t k = next++; k < order.size(); k = next++) {
      const size_t i = order[k];
      if (!ExtractInput(run, inputs[i], stems[i])) run.counters.failedInputs++;
      run.counters.bytesDone += inputs[i].size;
      run.counters.inputsDone++;
    }
  };
  {
    std::unique_ptr<ProgressLine> progress;
    if (!options.quiet && StandardErrorIsTerminal())
      progress = std::make_unique<ProgressLine>(run.counters, inputs.size(), totalBytes);
    std::vector<std::thread> threads;
    for (unsigned j = 1; j < jobs; ++j) threads.emplace_back(worker);
    worker();
    for (std::thread& t : threads) t.join();
  }

  const uint64_t failed = run.counters.failedInputs.load() + uint64_t(failures);
  if (!options.quiet) {
    std::printf("%llu files written (%llu icons, %llu images) from %zu input%s; %llu failed\n",
                (unsigned long long)run.counters.filesWritten.load(), (unsigned long long)run.counters.groups.load(),
                (unsigned long long)run.counters.images.load(), inputs.size(), inputs.size() == 1 ? "" : "s",
                (unsigned long long)failed);
  }
  return failed ? kExitFailed : kExitOk;
}

}  // namespace pk::cli
