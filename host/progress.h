// A progress bar on standard error for long work: shown only on a terminal, and only once the
// work has run for a second, so short runs and redirected output stay clean.
#pragma once

#include <chrono>
#include <cstdint>

namespace zhost {

class Progress {
 public:
  // A total of 0 or below shows nothing.
  explicit Progress(std::int64_t total);
  void update(std::int64_t done);
  // Clears the bar's line, if one was drawn.
  void finish();

 private:
  std::int64_t total;
  bool enabled;
  bool drawn = false;
  std::chrono::steady_clock::time_point started;
  std::chrono::steady_clock::time_point last_draw;
};

}  // namespace zhost
