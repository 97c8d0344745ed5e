// Every seed and every input that once found a fault, fed through its target's entry in a
// plain build: the faults stay fixed without clang or libFuzzer.
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <iterator>
#include <ostream>
#include <vector>

#include "fuzz/fuzz_target.h"

namespace kavri::fuzz {

// A target's name in the tests' names and messages.
void PrintTo(const FuzzTarget& target, std::ostream* out) { *out << target.name; }

namespace {

namespace fs = std::filesystem;
const fs::path FUZZ_DIR = fs::path(KAVRI_SOURCE_DIR) / "fuzz";

std::vector<fs::path> files_in(const fs::path& dir) {
  std::vector<fs::path> files;
  if (!fs::is_directory(dir)) return files;
  for (const auto& entry : fs::directory_iterator(dir)) files.push_back(entry.path());
  return files;
}

class Replay : public ::testing::TestWithParam<FuzzTarget> {};

TEST_P(Replay, EverySeedAndRegressionKeepsItsProperties) {
  const FuzzTarget& target = GetParam();
  const std::vector<fs::path> seeds = files_in(FUZZ_DIR / "corpus" / target.name);
  EXPECT_FALSE(seeds.empty()) << "no seed for " << target.name;
  std::vector<fs::path> inputs = files_in(FUZZ_DIR / "regressions" / target.name);
  inputs.insert(inputs.end(), seeds.begin(), seeds.end());
  for (const fs::path& file : inputs) {
    std::ifstream in(file, std::ios::binary);
    const std::vector<std::uint8_t> bytes{std::istreambuf_iterator<char>(in), {}};
    try {
      target.entry(bytes);
    } catch (const PropertyBroken& broken) {
      ADD_FAILURE() << file.string() << ": " << broken.what();
    }
  }
}

INSTANTIATE_TEST_SUITE_P(Fuzz, Replay, ::testing::ValuesIn(fuzz_targets()),
                         [](const auto& target) { return std::string(target.param.name); });

TEST(Replay, EverySeedFolderNamesATarget) {
  for (const fs::path& dir : files_in(FUZZ_DIR / "corpus")) {
    EXPECT_NE(find_fuzz_target(dir.filename().string()), nullptr) << dir.string();
  }
}

}  // namespace
}  // namespace kavri::fuzz
