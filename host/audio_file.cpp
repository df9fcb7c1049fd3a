#include "audio_file.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cctype>
#include <cstdio>

#include "vst_host.h"

namespace zhost {

namespace {

std::string extension_of(const std::string& path) {
  const std::size_t slash = path.rfind('/');
  const std::size_t dot = path.rfind('.');
  if (dot == std::string::npos || (slash != std::string::npos && dot < slash)) return "";
  std::string extension = path.substr(dot + 1);
  std::transform(extension.begin(), extension.end(), extension.begin(),
                 [](unsigned char c) { return static_cast<char>(std::tolower(c)); });
  return extension;
}

int major_format_for(const std::string& path) {
  const std::string extension = extension_of(path);
  if (extension == "wav") return SF_FORMAT_WAV;
  if (extension == "flac") return SF_FORMAT_FLAC;
  if (extension == "aiff" || extension == "aif") return SF_FORMAT_AIFF;
  if (extension == "ogg" || extension == "oga") return SF_FORMAT_OGG;
  throw HostError("unknown output format '" + (extension.empty() ? path : "." + extension) +
                  "': use .wav, .flac, .aiff or .ogg");
}

bool writable(int format, int channels, int sample_rate) {
  SF_INFO probe{};
  probe.format = format;
  probe.channels = channels;
  probe.samplerate = sample_rate;
  return sf_format_check(&probe) != 0;
}

}  // namespace

AudioReader::AudioReader(const std::string& path) {
  file = sf_open(path.c_str(), SFM_READ, &info);
  if (!file) throw HostError("cannot read '" + path + "': " + sf_strerror(nullptr));
}

AudioReader::~AudioReader() { sf_close(file); }

sf_count_t AudioReader::read(std::vector<double>& interleaved, sf_count_t frames) {
  interleaved.resize(static_cast<std::size_t>(frames * info.channels));
  return sf_readf_double(file, interleaved.data(), frames);
}

sf_count_t frames_in(const std::string& path) {
  SF_INFO info{};
  SNDFILE* file = sf_open(path.c_str(), SFM_READ, &info);
  if (!file) return 0;
  sf_close(file);
  return info.frames;
}

int output_format(const std::string& path, int input_format, int channels, int sample_rate) {
  const int major = major_format_for(path);
  const int wanted = input_format & SF_FORMAT_SUBMASK;
  if (wanted && writable(major | wanted, channels, sample_rate)) return major | wanted;
  for (int subtype : {SF_FORMAT_FLOAT, SF_FORMAT_PCM_24, SF_FORMAT_VORBIS, SF_FORMAT_PCM_16})
    if (writable(major | subtype, channels, sample_rate)) return major | subtype;
  throw HostError("cannot write '" + path + "' with " + std::to_string(channels) + " channels at " +
                  std::to_string(sample_rate) + " Hz");
}

AudioWriter::AudioWriter(const std::string& path, int format, int channels, int sample_rate) : target(path) {
  temporary = path + ".partial-XXXXXX";
  const int fd = mkstemp(temporary.data());
  if (fd < 0) throw HostError("cannot create a file beside '" + path + "'");
  // mkstemp makes the file private; the finished file gets the permissions of any new file.
  const mode_t mask = umask(0);
  umask(mask);
  fchmod(fd, 0666 & ~mask);
  SF_INFO info{};
  info.format = format;
  info.channels = channels;
  info.samplerate = sample_rate;
  file = sf_open_fd(fd, SFM_WRITE, &info, SF_TRUE);
  if (!file) {
    close(fd);
    std::remove(temporary.c_str());
    throw HostError("cannot write '" + path + "': " + sf_strerror(nullptr));
  }
  // Floating-point samples beyond full scale are clipped in integer formats, not wrapped.
  sf_command(file, SFC_SET_CLIPPING, nullptr, SF_TRUE);
}

AudioWriter::~AudioWriter() {
  if (!file) return;
  sf_close(file);
  std::remove(temporary.c_str());
}

void AudioWriter::write(const std::vector<double>& interleaved, sf_count_t frames) {
  if (sf_writef_double(file, interleaved.data(), frames) != frames)
    throw HostError("cannot write '" + target + "': " + sf_strerror(file));
}

void AudioWriter::commit() {
  const int status = sf_close(file);
  file = nullptr;
  if (status != 0 || std::rename(temporary.c_str(), target.c_str()) != 0) {
    std::remove(temporary.c_str());
    throw HostError("cannot write '" + target + "'");
  }
}

}  // namespace zhost
