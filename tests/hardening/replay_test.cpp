// Every input in the fuzz corpus, and every input a fuzzer ever broke the effect with, replayed
// through the same drivers the fuzz targets run.
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

#include "drivers.h"

namespace {

namespace fs = std::filesystem;

using Driver = std::string (*)(const std::uint8_t*, std::size_t);

struct Target {
  const char* name;
  Driver replay;
};

const Target kTargets[] = {
    {"dispatcher", zfuzz::replay_dispatcher},
    {"chunk", zfuzz::replay_chunk},
    {"process", zfuzz::replay_process},
    {"clap", zfuzz::replay_clap},
};

std::vector<std::uint8_t> read_file(const fs::path& path) {
  std::ifstream file(path, std::ios::binary);
  return {std::istreambuf_iterator<char>(file), std::istreambuf_iterator<char>()};
}

// Replays every file of the folder; returns how many there were.
std::size_t replay_folder(const fs::path& folder, Driver replay) {
  std::size_t count = 0;
  if (!fs::is_directory(folder)) return count;
  for (const fs::directory_entry& entry : fs::directory_iterator(folder)) {
    if (!entry.is_regular_file()) continue;
    const std::vector<std::uint8_t> input = read_file(entry.path());
    EXPECT_EQ(replay(input.data(), input.size()), "") << entry.path();
    ++count;
  }
  return count;
}

TEST(FuzzReplay, EveryCorpusInputHoldsItsProperties) {
  for (const Target& target : kTargets)
    EXPECT_GT(replay_folder(fs::path(ZALTRIM_CORPUS_DIR) / target.name, target.replay), 0u)
        << "no seed corpus for " << target.name;
}

TEST(FuzzReplay, EveryCrashInputNowHoldsItsProperties) {
  std::size_t count = 0;
  for (const Target& target : kTargets)
    count += replay_folder(fs::path(ZALTRIM_CRASH_DIR) / target.name, target.replay);
  EXPECT_GT(count, 0u);
}

TEST(FuzzReplay, EmptyAndTinyInputs) {
  const std::uint8_t bytes[] = {0xFF, 0x01, 0x80};
  for (const Target& target : kTargets)
    for (std::size_t size = 0; size <= sizeof(bytes); ++size)
      EXPECT_EQ(target.replay(bytes, size), "") << target.name << ", " << size << " bytes";
}

}  // namespace
