// same_samples A B: exit 0 when two sound files hold the same frames, sample for sample, in
// single precision; otherwise prints how many differ and the first, and exits 1 (2 on a bad file).
#include <sndfile.h>

#include <cstdio>
#include <vector>

namespace {

bool read_all(const char* path, SF_INFO& info, std::vector<float>& samples) {
  info = {};
  SNDFILE* file = sf_open(path, SFM_READ, &info);
  if (!file) {
    std::fprintf(stderr, "same_samples: cannot read %s: %s\n", path, sf_strerror(nullptr));
    return false;
  }
  samples.resize(static_cast<std::size_t>(info.frames * info.channels));
  const sf_count_t read = sf_readf_float(file, samples.data(), info.frames);
  sf_close(file);
  return read == info.frames;
}

}  // namespace

int main(int argc, char** argv) {
  if (argc != 3) {
    std::fprintf(stderr, "usage: same_samples A B\n");
    return 2;
  }
  SF_INFO a_info, b_info;
  std::vector<float> a, b;
  if (!read_all(argv[1], a_info, a) || !read_all(argv[2], b_info, b)) return 2;
  if (a_info.channels != b_info.channels || a_info.frames != b_info.frames || a_info.samplerate != b_info.samplerate) {
    std::printf("different shapes: %lld x %d at %d Hz against %lld x %d at %d Hz\n",
                static_cast<long long>(a_info.frames), a_info.channels, a_info.samplerate,
                static_cast<long long>(b_info.frames), b_info.channels, b_info.samplerate);
    return 1;
  }
  std::size_t differing = 0, first = 0;
  for (std::size_t i = a.size(); i-- > 0;) {
    if (a[i] != b[i]) {
      ++differing;
      first = i;
    }
  }
  if (differing == 0) {
    std::printf("%zu samples, all equal\n", a.size());
    return 0;
  }
  std::printf("%zu of %zu samples differ; the first at %zu: %.9g against %.9g\n", differing, a.size(), first,
              static_cast<double>(a[first]), static_cast<double>(b[first]));
  return 1;
}
