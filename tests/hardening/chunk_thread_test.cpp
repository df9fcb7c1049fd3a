// The state chunk under the threads hosts save and restore from: a save thread taking chunks
// through the dispatcher and reading them only afterwards, as hosts do, a thread switching the
// effect off and on (effMainsChanged), a thread restoring chunks and setting the gain's host
// value, and an audio thread processing meanwhile. Run under ThreadSanitizer (CI) and
// AddressSanitizer: a chunk freed while a host still reads it, freed twice, or written while read
// fails the run. Every chunk read must be a state that was set, restores whole.
#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <thread>
#include <vector>

#include "zaltrim_effect.h"

namespace {

constexpr VstInt32 kFrames = 128;
constexpr VstInt32 kFactors[] = {2, 4, 8, 16, 32};
// Each restored gain comes with its own factor, so a save that saw half a restore shows.
constexpr float kRestoredGains[] = {0.5f, 1.5f, 2.5f, 3.5f, 4.5f};
constexpr float kHostValues[] = {0.2f, 0.35f, 0.6f, 0.85f};
// The threads run until each has made this many calls, enough to have met the others many times.
// The effect's lock is not fair: a thread may get one turn where another gets hundreds, so a fixed
// time would prove nothing about the slow one on a busy machine.
constexpr long kEnoughCalls = 200;
// How long to wait for a slow thread at most.
constexpr auto kLongestRun = std::chrono::seconds(60);

// The least time the threads run together, even once each has made enough calls.
std::chrono::duration<double> least_run() {
  const char* seconds = std::getenv("ZALTRIM_THREAD_SECONDS");
  return std::chrono::duration<double>(seconds ? std::atof(seconds) / 2.0 : 1.0);
}

std::vector<unsigned char> chunk_of(float gain, VstInt32 factor) {
  std::vector<unsigned char> chunk(8);
  std::memcpy(chunk.data(), &gain, 4);
  std::memcpy(chunk.data() + 4, &factor, 4);
  return chunk;
}

VstIntPtr dispatch(ZaltrimEffect& effect, VstInt32 opcode, VstInt32 index, VstIntPtr value, void* ptr) {
  AEffect* record = effect.getAeffect();
  return record->dispatcher(record, opcode, index, value, ptr, 0.0f);
}

// Empty when the eight bytes are a state the other threads set; otherwise what is wrong.
std::string check_state(const unsigned char* bytes) {
  float gain;
  VstInt32 factor;
  std::memcpy(&gain, bytes, 4);
  std::memcpy(&factor, bytes + 4, 4);
  for (int k = 0; k < 5; ++k)
    if (gain == kRestoredGains[k])
      return factor == kFactors[k] ? std::string()
                                   : "gain " + std::to_string(gain) + " with factor " + std::to_string(factor) +
                                         ": half a restore was saved";
  bool factor_known = false;
  for (VstInt32 known : kFactors) factor_known = factor_known || factor == known;
  if (!factor_known) return "factor " + std::to_string(factor);
  for (float value : kHostValues)
    if (gain == ZaltrimEffect::gain_of_normalized(value)) return {};
  return gain == 1.0f ? std::string() : "gain " + std::to_string(gain) + " was never set";
}

struct Worker {
  std::atomic<long> calls{0};
  // Its loop has ended: told to stop, or on a fault.
  std::atomic<bool> finished{false};
  // Written by its own thread alone; read once that thread has been joined.
  std::string fault;
};

void save(ZaltrimEffect& effect, const std::atomic<bool>& stop, Worker& done) {
  while (!stop.load() && done.fault.empty()) {
    void* data = nullptr;
    if (dispatch(effect, effGetChunk, 0, 0, &data) != 8 || !data) {
      done.fault = "no chunk";
      return;
    }
    // Hosts write the bytes out later, the effect being switched off and on meanwhile.
    std::this_thread::yield();
    done.fault = check_state(static_cast<const unsigned char*>(data));
    ++done.calls;
  }
}

void switch_off_and_on(ZaltrimEffect& effect, const std::atomic<bool>& stop, Worker& done) {
  for (; !stop.load(); ++done.calls) dispatch(effect, effMainsChanged, 0, done.calls % 2, nullptr);
}

void restore_and_automate(ZaltrimEffect& effect, const std::atomic<bool>& stop, Worker& done) {
  AEffect* record = effect.getAeffect();
  for (long i = 0; !stop.load() && done.fault.empty(); ++i, ++done.calls) {
    if (i % 3 == 0) {
      std::vector<unsigned char> chunk = chunk_of(kRestoredGains[(i / 3) % 5], kFactors[(i / 3) % 5]);
      if (dispatch(effect, effSetChunk, 0, 8, chunk.data()) != 8) done.fault = "a valid chunk was refused";
    } else {
      record->setParameter(record, 0, i % 11 == 1 ? NAN : kHostValues[i % 4]);
    }
  }
}

void process(ZaltrimEffect& effect, const std::atomic<bool>& stop, Worker& done) {
  std::vector<float> input(kFrames), output(kFrames);
  float* inputs[] = {input.data()};
  float* outputs[] = {output.data()};
  for (; !stop.load() && done.fault.empty(); ++done.calls) {
    for (VstInt32 i = 0; i < kFrames; ++i)
      input[static_cast<std::size_t>(i)] = 0.8f * std::sin(0.05f * static_cast<float>(done.calls * kFrames + i));
    effect.processReplacing(inputs, outputs, kFrames);
    for (float y : output)
      if (!std::isfinite(y) || std::fabs(y) > 2.0f) done.fault = "block " + std::to_string(done.calls) + " unsound";
  }
}

template <typename Work>
void run_to_the_end(ZaltrimEffect& effect, const std::atomic<bool>& stop, Work& work) {
  work.first(effect, stop, work.second);
  work.second.finished = true;
}

template <typename... Work>
bool each_made_enough_calls(const Work&... work) {
  return ((work.second.finished.load() || work.second.calls.load() >= kEnoughCalls) && ...);
}

// The least run first, then until each worker has made enough calls or ended, kLongestRun at most.
template <typename... Work>
void wait_for_enough_calls(const Work&... work) {
  const auto start = std::chrono::steady_clock::now();
  std::this_thread::sleep_for(least_run());
  while (!each_made_enough_calls(work...) && std::chrono::steady_clock::now() - start < kLongestRun)
    std::this_thread::sleep_for(std::chrono::milliseconds(10));
}

template <typename... Work>
void run_together(ZaltrimEffect& effect, Work&&... work) {
  std::atomic<bool> stop{false};
  std::vector<std::thread> threads;
  (threads.emplace_back([&effect, &stop, &work] { run_to_the_end(effect, stop, work); }), ...);
  wait_for_enough_calls(work...);
  stop.store(true);
  for (std::thread& thread : threads) thread.join();
}

template <typename Function>
std::pair<Function, Worker&> task(Function function, Worker& worker) {
  return {function, worker};
}

TEST(ChunkThreads, SavesBesideRestoresSwitchingAndAudio) {
  ZaltrimEffect effect(nullptr);
  Worker saves, switches, restores, audio;
  run_together(effect, task(save, saves), task(switch_off_and_on, switches), task(restore_and_automate, restores),
               task(process, audio));
  std::printf("%ld saves, %ld switches, %ld restores and host values, %ld blocks\n", saves.calls.load(),
              switches.calls.load(), restores.calls.load(), audio.calls.load());
  EXPECT_EQ(saves.fault, "");
  EXPECT_EQ(restores.fault, "");
  EXPECT_EQ(audio.fault, "");
  ASSERT_GT(saves.calls.load(), 0);
  ASSERT_GT(switches.calls.load(), 1);
  ASSERT_GT(restores.calls.load(), 3);

  // The last state saved loads into a fresh effect and comes back unchanged.
  void* data = nullptr;
  ASSERT_EQ(effect.getChunk(&data, false), 8);
  const std::vector<unsigned char> saved(static_cast<unsigned char*>(data), static_cast<unsigned char*>(data) + 8);
  ZaltrimEffect reloaded(nullptr);
  ASSERT_EQ(reloaded.setChunk(data, 8, false), 8);
  reloaded.setParameter(0, effect.getParameter(0));
  void* again = nullptr;
  reloaded.getChunk(&again, false);
  EXPECT_EQ(std::memcmp(again, saved.data(), 8), 0);
}

// Two hosts' save threads at once (a project save beside an undo snapshot), with the effect
// switched off and on and audio running: each reads its chunk after the other asked for one.
TEST(ChunkThreads, TwoSavesAtOnce) {
  ZaltrimEffect effect(nullptr);
  std::vector<unsigned char> state = chunk_of(kRestoredGains[3], kFactors[3]);
  ASSERT_EQ(effect.setChunk(state.data(), 8, false), 8);
  Worker first, second, switches, audio;
  run_together(effect, task(save, first), task(save, second), task(switch_off_and_on, switches),
               task(process, audio));
  EXPECT_EQ(first.fault, "");
  EXPECT_EQ(second.fault, "");
  EXPECT_EQ(audio.fault, "");
  EXPECT_GT(first.calls.load() + second.calls.load(), 1);
}

}  // namespace
