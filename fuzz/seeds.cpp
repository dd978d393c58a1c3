// Writes the seed corpus of each fuzz target from the same builders the unit
// tests use: pk_seeds <target> <folder>.
#include <cstdio>
#include <cstring>
#include <functional>
#include <string>
#include <vector>

#include "tests/support/ico_builder.h"

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

struct Target {
  const char* name;
  std::function<Seeds()> make;
};

// One entry per fuzz target (fuzz_<name>.cpp).
const std::vector<Target>& Targets() {
  static const std::vector<Target> targets = {
      {"ico", IcoSeeds},
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
