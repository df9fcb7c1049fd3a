// Audio files through libsndfile: a reader for anything it reads, and a writer that only ever
// leaves a complete file behind (it writes beside the target and renames on success).
#pragma once

#include <sndfile.h>

#include <string>
#include <vector>

namespace zhost {

class AudioReader {
 public:
  explicit AudioReader(const std::string& path);
  ~AudioReader();
  AudioReader(const AudioReader&) = delete;
  AudioReader& operator=(const AudioReader&) = delete;

  int channels() const { return info.channels; }
  int sample_rate() const { return info.samplerate; }
  sf_count_t frames() const { return info.frames; }
  int format() const { return info.format; }
  // Reads up to `frames` interleaved frames; returns how many were read (0 at the end).
  sf_count_t read(std::vector<double>& interleaved, sf_count_t frames);

 private:
  SF_INFO info{};
  SNDFILE* file = nullptr;
};

class AudioWriter {
 public:
  // `format` is a libsndfile major format with sub-type; check it with output_format() first.
  AudioWriter(const std::string& path, int format, int channels, int sample_rate);
  ~AudioWriter();  // an unfinished file is removed
  AudioWriter(const AudioWriter&) = delete;
  AudioWriter& operator=(const AudioWriter&) = delete;

  void write(const std::vector<double>& interleaved, sf_count_t frames);
  // Closes the file and moves it into place.
  void commit();

 private:
  std::string target;
  std::string temporary;
  SNDFILE* file = nullptr;
};

// The frames in the audio file at `path`, or 0 when it cannot be read.
sf_count_t frames_in(const std::string& path);

// The format for `path`, chosen by its extension, keeping the input's sample format where the
// container can hold it (input_format 0: no input, a 32-bit float or 24-bit file is made).
// Throws for an extension libsndfile cannot write.
int output_format(const std::string& path, int input_format, int channels, int sample_rate);

}  // namespace zhost
