// zaltrim-host render end to end: real files written and read back through libsndfile, the
// chain's lanes against the built module loaded by the host, and every bad input refused without
// leaving a file behind.
#include <dirent.h>
#include <gtest/gtest.h>
#include <sndfile.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cmath>
#include <string>
#include <vector>

#include "test_support.h"

namespace {

using test_support::build_dir;
using test_support::run_command;

struct Audio {
  int channels = 0;
  int rate = 0;
  int format = 0;
  std::vector<double> samples;  // interleaved
  std::size_t frames() const { return samples.size() / static_cast<std::size_t>(channels); }
  double at(std::size_t frame, int channel) const {
    return samples[frame * static_cast<std::size_t>(channels) + static_cast<std::size_t>(channel)];
  }
};

void write_audio(const std::string& path, const Audio& audio) {
  SF_INFO info{};
  info.channels = audio.channels;
  info.samplerate = audio.rate;
  info.format = audio.format;
  SNDFILE* file = sf_open(path.c_str(), SFM_WRITE, &info);
  ASSERT_NE(file, nullptr) << sf_strerror(nullptr);
  sf_writef_double(file, audio.samples.data(), static_cast<sf_count_t>(audio.frames()));
  sf_close(file);
}

Audio read_audio(const std::string& path) {
  SF_INFO info{};
  Audio audio;
  SNDFILE* file = sf_open(path.c_str(), SFM_READ, &info);
  if (!file) return audio;
  audio.channels = info.channels;
  audio.rate = info.samplerate;
  audio.format = info.format;
  audio.samples.resize(static_cast<std::size_t>(info.frames * info.channels));
  sf_readf_double(file, audio.samples.data(), info.frames);
  sf_close(file);
  return audio;
}

Audio sine_and_silence(int frames) {
  Audio audio{2, 48000, SF_FORMAT_FLAC | SF_FORMAT_PCM_24, {}};
  for (int i = 0; i < frames; ++i) {
    audio.samples.push_back(0.8 * std::sin(2.0 * 3.141592653589793 * 440.0 * i / 48000.0));
    audio.samples.push_back(0.0);
  }
  return audio;
}

// A different signal in each channel, some driving the clipper hard.
Audio channels_wav(int channels, int frames) {
  Audio audio{channels, 44100, SF_FORMAT_WAV | SF_FORMAT_FLOAT, {}};
  for (int i = 0; i < frames; ++i)
    for (int c = 0; c < channels; ++c)
      audio.samples.push_back((0.2 + 0.3 * c) * std::sin(0.01 * (c + 1) * i) + (i % (97 + c) == 0 ? 0.5 : 0.0));
  return audio;
}

Audio mono_wav(int frames) {
  Audio audio{1, 44100, SF_FORMAT_WAV | SF_FORMAT_FLOAT, {}};
  for (int i = 0; i < frames; ++i) audio.samples.push_back(0.5 * std::sin(0.05 * i) + (i == 700 ? 0.4 : 0.0));
  return audio;
}

class Render : public ::testing::Test {
 protected:
  void SetUp() override {
    dir = testing::TempDir() + "render-" + testing::UnitTest::GetInstance()->current_test_info()->name();
    run_command("rm -rf '" + dir + "' && mkdir -p '" + dir + "'");
  }
  test_support::CommandResult render(const std::string& arguments) {
    return run_command(build_dir() + "/zaltrim-host render " + arguments);
  }
  // Files in the folder besides the inputs: a failed render must leave none.
  std::vector<std::string> files() { return files_in(dir); }
  static std::vector<std::string> files_in(const std::string& folder) {
    std::vector<std::string> names;
    if (DIR* opened = opendir(folder.c_str())) {
      while (dirent* entry = readdir(opened))
        if (entry->d_name[0] != '.') names.push_back(entry->d_name);
      closedir(opened);
    }
    std::sort(names.begin(), names.end());
    return names;
  }
  std::string dir;
};

TEST_F(Render, MonoWavKeepsLengthRateAndSampleFormat) {
  write_audio(dir + "/in.wav", mono_wav(5000));
  const auto result = render(dir + "/in.wav " + dir + "/out.wav --gain 0.5");
  ASSERT_EQ(result.status, 0) << result.output;
  const Audio out = read_audio(dir + "/out.wav");
  EXPECT_EQ(out.channels, 1);
  EXPECT_EQ(out.rate, 44100);
  EXPECT_EQ(out.format, SF_FORMAT_WAV | SF_FORMAT_FLOAT);
  EXPECT_EQ(out.frames(), 5000u);
  for (const char* part : {"rendered ", "5000 frames, 1 channel, 44100 Hz, oversampling 2, gain 0.5 (-6.0 dB)",
                           "input peak", "output peak", "real time"})
    EXPECT_NE(result.output.find(part), std::string::npos) << part << "\n" << result.output;
}

TEST_F(Render, DelayCompensationAlignsToTheSampleAndFlushesTheTail) {
  write_audio(dir + "/in.wav", mono_wav(3000));
  ASSERT_EQ(render(dir + "/in.wav " + dir + "/aligned.wav --quiet --block 64").status, 0);
  ASSERT_EQ(render(dir + "/in.wav " + dir + "/raw.wav --quiet --block 100 --no-delay-compensation").status, 0);
  const Audio aligned = read_audio(dir + "/aligned.wav");
  const Audio raw = read_audio(dir + "/raw.wav");
  ASSERT_EQ(aligned.frames(), 3000u);
  ASSERT_EQ(raw.frames(), 3000u);
  // Once resumed at 44.1 kHz the module reports the chain's 5 samples: the compensated stream is
  // the raw one, 5 earlier.
  for (std::size_t i = 0; i + 5 < raw.frames(); ++i) ASSERT_EQ(aligned.at(i, 0), raw.at(i + 5, 0)) << "frame " << i;
  double tail = 0.0;
  for (std::size_t i = 2995; i < 3000; ++i) tail += std::fabs(aligned.at(i, 0));
  EXPECT_GT(tail, 0.0) << "the last frames come from flushing the plug-in";
}

TEST_F(Render, StereoFlacKeepsItsChannelsApart) {
  write_audio(dir + "/in.flac", sine_and_silence(4800));
  const auto result = render(dir + "/in.flac " + dir + "/out.flac --oversampling 8 --quiet");
  ASSERT_EQ(result.status, 0) << result.output;
  EXPECT_TRUE(result.output.empty()) << result.output;
  const Audio out = read_audio(dir + "/out.flac");
  ASSERT_EQ(out.channels, 2);
  EXPECT_EQ(out.rate, 48000);
  EXPECT_EQ(out.format, SF_FORMAT_FLAC | SF_FORMAT_PCM_24);
  ASSERT_EQ(out.frames(), 4800u);
  double left = 0.0, right = 0.0;
  for (std::size_t i = 0; i < out.frames(); ++i) {
    left = std::max(left, std::fabs(out.at(i, 0)));
    right = std::max(right, std::fabs(out.at(i, 1)));
  }
  EXPECT_GT(left, 0.1);
  EXPECT_EQ(right, 0.0) << "silence stays silent: the channels do not share state";
}

// The channels run as lanes of one chain, four at a time, then two, then one: every layout must
// give what one instance of the module per channel gives, to the last bit, in float and double.
TEST_F(Render, LanesGiveWhatOneModuleInstancePerChannelGives) {
  const std::string module = " --plugin " + build_dir() + "/QtZaltrim.so";
  for (const int channels : {1, 2, 3, 6}) {
    const std::string in = dir + "/in" + std::to_string(channels) + ".wav";
    write_audio(in, channels_wav(channels, 3000));
    for (const std::string options : {" --quiet --gain-db 18 --oversampling 8", " --quiet --double --oversampling 32 --block 100"}) {
      ASSERT_EQ(render(in + " " + dir + "/lanes.wav" + options).status, 0) << channels << options;
      ASSERT_EQ(render(in + " " + dir + "/module.wav" + options + module).status, 0) << channels << options;
      const Audio lanes = read_audio(dir + "/lanes.wav");
      const Audio instances = read_audio(dir + "/module.wav");
      ASSERT_EQ(lanes.channels, channels);
      EXPECT_TRUE(lanes.samples == instances.samples) << channels << " channels," << options;
    }
  }
}

TEST_F(Render, RatesTheChainDoesNotRunAtAreRefusedByValue) {
  Audio audio = mono_wav(100);
  audio.rate = 500;
  write_audio(dir + "/in.wav", audio);
  const auto result = render(dir + "/in.wav " + dir + "/out.wav");
  EXPECT_EQ(result.status, 1);
  EXPECT_NE(result.output.find("a rate of 500"), std::string::npos) << result.output;
  EXPECT_EQ(files(), std::vector<std::string>{"in.wav"});
}

TEST_F(Render, FloatAndDoubleEntriesAgree) {
  write_audio(dir + "/in.wav", mono_wav(4000));
  ASSERT_EQ(render(dir + "/in.wav " + dir + "/f.wav --quiet --oversampling 4").status, 0);
  ASSERT_EQ(render(dir + "/in.wav " + dir + "/d.wav --quiet --oversampling 4 --double").status, 0);
  const Audio single = read_audio(dir + "/f.wav");
  const Audio dual = read_audio(dir + "/d.wav");
  ASSERT_EQ(single.frames(), dual.frames());
  for (std::size_t i = 0; i < single.frames(); ++i) ASSERT_NEAR(single.at(i, 0), dual.at(i, 0), 1e-6) << i;
}

TEST_F(Render, BuiltInPhraseNeedsNoInput) {
  const auto result = render(dir + "/phrase.ogg --gain-db 12");
  ASSERT_EQ(result.status, 0) << result.output;
  const Audio out = read_audio(dir + "/phrase.ogg");
  EXPECT_EQ(out.rate, 44100);
  EXPECT_EQ(out.frames(), 4u * 44100u);
  EXPECT_EQ(files(), std::vector<std::string>{"phrase.ogg"});
}

// The Gain parameter ends at -40 dB; a gain below reaches the plug-in through the chunk and must
// not be lifted to the parameter's end: at -60 dB the circuit is linear and 20 dB quieter.
TEST_F(Render, GainsBeyondTheParameterScaleKeepTheirMeaning) {
  write_audio(dir + "/in.wav", mono_wav(3000));
  ASSERT_EQ(render(dir + "/in.wav " + dir + "/a.wav --quiet --gain-db -40").status, 0);
  ASSERT_EQ(render(dir + "/in.wav " + dir + "/b.wav --quiet --gain 0.001").status, 0);
  const Audio at_end = read_audio(dir + "/a.wav");
  const Audio beyond = read_audio(dir + "/b.wav");
  ASSERT_EQ(at_end.frames(), beyond.frames());
  double peak_end = 0.0, peak_beyond = 0.0;
  for (std::size_t i = 0; i < at_end.frames(); ++i) {
    peak_end = std::fmax(peak_end, std::fabs(at_end.at(i, 0)));
    peak_beyond = std::fmax(peak_beyond, std::fabs(beyond.at(i, 0)));
  }
  EXPECT_NEAR(20.0 * std::log10(peak_beyond / peak_end), -20.0, 0.1);
  const auto help = render("--help");
  EXPECT_NE(help.output.find("(D + 40) / 80 for D dB"), std::string::npos) << help.output;
}

TEST_F(Render, BadInputIsRefusedByNameAndLeavesNothingBehind) {
  write_audio(dir + "/in.wav", mono_wav(100));
  const struct {
    std::string arguments;
    int status;
    std::string message;
  } cases[] = {
      {dir + "/missing.wav " + dir + "/out.wav", 1, "cannot read '" + dir + "/missing.wav'"},
      {dir + "/in.wav " + dir + "/out.mp3", 1, "unknown output format '.mp3'"},
      {dir + "/in.wav " + dir + "/out.wav --oversampling 3", 2, "--oversampling must be 2, 4, 8, 16 or 32, got 3"},
      {dir + "/in.wav " + dir + "/out.wav --gain 0", 2, "--gain must give a finite gain above 0"},
      {dir + "/in.wav " + dir + "/out.wav --gain -2", 2, "--gain must give a finite gain above 0"},
      {dir + "/in.wav " + dir + "/out.wav --gain nan", 2, "--gain must give a finite gain above 0"},
      {dir + "/in.wav " + dir + "/out.wav --gain-db 1e6", 2, "--gain-db must give a finite gain above 0"},
      {dir + "/in.wav " + dir + "/out.wav --gain loud", 2, "--gain expects a number, got 'loud'"},
      {dir + "/in.wav " + dir + "/out.wav --block 0", 2, "--block must be 1 to 65536, got 0"},
      {dir + "/in.wav " + dir + "/out.wav --block 65537", 2, "--block must be 1 to 65536, got 65537"},
      {dir + "/in.wav " + dir + "/out.wav --plugin /nonexistent/QtZaltrim.so", 1,
       "cannot load '/nonexistent/QtZaltrim.so'"},
      {dir + "/in.wav " + dir + "/out.wav --frobnicate", 2, "unknown option '--frobnicate'"},
      {"", 2, "no output file given"},
  };
  for (const auto& c : cases) {
    const auto result = render(c.arguments);
    EXPECT_EQ(result.status, c.status) << c.arguments << "\n" << result.output;
    EXPECT_NE(result.output.find(c.message), std::string::npos) << c.arguments << "\n" << result.output;
    EXPECT_EQ(files(), std::vector<std::string>{"in.wav"}) << c.arguments;
  }
}

// Two jobs at once, so that instances of different files run side by side: each output must still
// be, sample for sample, what the one-file form makes of its input.
TEST_F(Render, BatchRendersEveryReadableInputAndNamesTheOneThatFailed) {
  write_audio(dir + "/a.wav", mono_wav(6000));
  write_audio(dir + "/b.flac", sine_and_silence(4800));
  const std::string options = " --gain-db 12 --oversampling 4";
  ASSERT_EQ(render(dir + "/a.wav " + dir + "/single-a.wav --quiet" + options).status, 0);
  ASSERT_EQ(render(dir + "/b.flac " + dir + "/single-b.flac --quiet" + options).status, 0);

  const std::string inputs = dir + "/a.wav " + dir + "/missing.wav " + dir + "/b.flac";
  const auto result = render(inputs + " --output-dir " + dir + "/out --jobs 2" + options);
  EXPECT_EQ(result.status, 1) << result.output;
  const std::string parts[] = {"render: " + dir + "/missing.wav: cannot read", "render: 1 of 3 files failed",
                               "rendered " + dir + "/out/a.wav: 6000 frames",
                               "rendered " + dir + "/out/b.flac: 4800 frames"};
  for (const std::string& part : parts)
    EXPECT_NE(result.output.find(part), std::string::npos) << part << "\n" << result.output;
  EXPECT_EQ(files_in(dir + "/out"), (std::vector<std::string>{"a.wav", "b.flac"}));
  const std::pair<std::string, std::string> renders[] = {{"/out/a.wav", "/single-a.wav"},
                                                         {"/out/b.flac", "/single-b.flac"}};
  for (const auto& [batch, single] : renders) {
    const Audio from_batch = read_audio(dir + batch);
    const Audio alone = read_audio(dir + single);
    EXPECT_EQ(from_batch.format, alone.format) << batch;
    EXPECT_EQ(from_batch.samples, alone.samples) << batch;
  }
}

TEST_F(Render, BatchCommandLineMistakesAreRefusedBeforeAnyWork) {
  write_audio(dir + "/in.wav", mono_wav(100));
  ASSERT_EQ(mkdir((dir + "/other").c_str(), 0755), 0);
  write_audio(dir + "/other/in.wav", mono_wav(100));
  const std::string out = " --output-dir " + dir + "/out";
  const struct {
    std::string arguments;
    std::string message;
  } cases[] = {
      {dir + "/in.wav" + out + " --jobs 0", "--jobs must be 1 to 256, got 0"},
      {dir + "/in.wav" + out + " --jobs 257", "--jobs must be 1 to 256, got 257"},
      {dir + "/in.wav " + dir + "/other/in.wav" + out,
       "'" + dir + "/in.wav' and '" + dir + "/other/in.wav' would both be rendered into '" + dir + "/out/in.wav'"},
      {out, "no input file given"},
      {dir + "/in.wav --output-dir " + dir, "the output of '" + dir + "/in.wav' would replace it"},
  };
  for (const auto& c : cases) {
    const auto result = render(c.arguments);
    EXPECT_EQ(result.status, 2) << c.arguments << "\n" << result.output;
    EXPECT_NE(result.output.find(c.message), std::string::npos) << c.arguments << "\n" << result.output;
    EXPECT_EQ(files(), (std::vector<std::string>{"in.wav", "other"})) << c.arguments;
  }
}

TEST_F(Render, UnusableOutputFolderIsRefusedByName) {
  write_audio(dir + "/in.wav", mono_wav(100));
  std::vector<std::pair<std::string, std::string>> cases = {
      {dir + "/in.wav", "cannot make the folder '" + dir + "/in.wav'"},
      {dir + "/in.wav/out", "cannot make the folder '" + dir + "/in.wav/out'"},
  };
  // Root writes into a read-only folder all the same, so only other users see it refused.
  if (geteuid() != 0) {
    ASSERT_EQ(mkdir((dir + "/locked").c_str(), 0555), 0);
    cases.push_back({dir + "/locked", "cannot write into the folder '" + dir + "/locked': Permission denied"});
  }
  for (const auto& [folder, message] : cases) {
    const auto result = render(dir + "/in.wav --output-dir " + folder);
    EXPECT_EQ(result.status, 1) << folder << "\n" << result.output;
    EXPECT_NE(result.output.find(message), std::string::npos) << folder << "\n" << result.output;
  }
}

}  // namespace
