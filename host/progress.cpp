#include "progress.h"

#include <unistd.h>

#include <cstdio>

namespace zhost {

Progress::Progress(std::int64_t total)
    : total(total), enabled(total > 0 && isatty(STDERR_FILENO)), started(std::chrono::steady_clock::now()) {}

void Progress::update(std::int64_t done) {
  if (!enabled) return;
  const auto now = std::chrono::steady_clock::now();
  if (now - started < std::chrono::seconds(1) || now - last_draw < std::chrono::milliseconds(100)) return;
  last_draw = now;
  constexpr int kWidth = 40;
  const double fraction = done >= total ? 1.0 : static_cast<double>(done) / static_cast<double>(total);
  const int filled = static_cast<int>(fraction * kWidth);
  char bar[kWidth + 1];
  for (int i = 0; i < kWidth; ++i) bar[i] = i < filled ? '#' : '.';
  bar[kWidth] = 0;
  std::fprintf(stderr, "\r[%s] %3d%%", bar, static_cast<int>(fraction * 100.0));
  std::fflush(stderr);
  drawn = true;
}

void Progress::finish() {
  if (drawn) std::fprintf(stderr, "\r%*s\r", 48, "");
  drawn = false;
}

}  // namespace zhost
