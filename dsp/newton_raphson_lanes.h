// NewtonRaphsonLanes: NewtonRaphsonOptimizer's solver for L independent channels at once.
//
// One channel's samples form a chain of dependent latencies: each Newton step waits for its
// exponential, and each sample starts from the last one's output, so the core idles most of the
// time it waits. The lanes' iterations are independent, so their steps are interleaved: while
// one lane's exponential is in flight, another's runs. Each lane goes through the very same
// iteration as the one-channel solver, stopping on its own test, so its output is that solver's
// output for that channel, to the last bit, whatever the other lanes carry.
//
// Lanes need not solve a sample together. With two, a lane that needs one step fewer than the
// other would idle for that step at every sample, a large share of the time; so each lane goes on
// to its next sample as soon as it has solved one. With four (or one), the others fill most such
// steps (or there are none), and the bookkeeping of lanes that run apart costs more than it
// saves, so they solve each sample together. (Whole chains measured side by side: two lanes apart
// 0.61 to 0.65 of two chains' time, together up to 0.71 at factor 2; four apart 0.50 to 0.54,
// together 0.44 to 0.49.)
#pragma once

#include <array>
#include <cstddef>
#include <utility>

#include "newton_raphson_optimizer.h"

namespace DSP {

template <typename Model, int L>
class NewtonRaphsonLanes {
  static_assert(L >= 1, "at least one lane");

 public:
  using Solver = NewtonRaphsonOptimizer<Model>;
  using Lanes = std::array<double, L>;

  explicit NewtonRaphsonLanes(const Model& circuit) : model(circuit) {}

  // `count` samples of every lane, x[j][l] the j-th input of lane l: y[j][l] is what
  // Solver::step<double> gives for it, y not x. Then sink(y[j]) runs for each sample in order;
  // lanes that solve each sample together give it each one as soon as it is solved, so that work
  // on one sample's outputs overlaps the solving of the next. (For lanes that run apart, a sink
  // that waited for the slowest lane cost more than it overlapped.)
  template <typename Sink>
  void run(const Lanes* x, Lanes* y, int count, Sink&& sink) {
    if (count <= 0) return;
    if constexpr (L == 2) {
      run_apart(x, y, count, kLanes);
      for (int j = 0; j < count; ++j) sink(static_cast<const Lanes&>(y[j]));
    } else {
      for (int j = 0; j < count; ++j) {
        run_together(x[j], y[j], kLanes);
        sink(static_cast<const Lanes&>(y[j]));
      }
    }
    x_prev = x[count - 1];
    y_prev = y[count - 1];
  }

 private:
  using Iteration = typename Solver::Iteration;
  static constexpr auto kLanes = std::make_index_sequence<L>();

  // The lanes are spelled out, not looped over, so that each lane's iteration stays in registers:
  // kept in memory, every step would wait on a store and a load as well as on its exponential.

  // One sample of every lane, from the state of the last one.
  template <std::size_t... lane>
  void run_together(const Lanes& x, Lanes& y, std::index_sequence<lane...>) {
    std::array<Iteration, L> iterations{Iteration(model, x_prev[lane], x[lane], y_prev[lane])...};
    bool solved[L] = {};
    while (!(solved[lane] && ...))
      ((solved[lane] = solved[lane] || std::get<lane>(iterations).advance(model)), ...);
    ((y[lane] = Solver::clamp(std::get<lane>(iterations).y)), ...);
    x_prev = x;
    y_prev = y;
  }

  // Where each lane stands in a block that its lanes run apart.
  struct Progress {
    std::array<Iteration, L> iterations;
    int next[L];  // the sample each lane is solving; the block's count once it is done
    int unfinished;
  };

  template <std::size_t... lane>
  void run_apart(const Lanes* x, Lanes* y, int count, std::index_sequence<lane...>) const {
    Progress progress{{Iteration(model, x_prev[lane], x[0][lane], y_prev[lane])...}, {}, L};
    while (progress.unfinished > 0) (advance<lane>(progress, x, y, count), ...);
  }

  // One Newton step of the lane, and when that solves its sample, the start of its next one.
  template <std::size_t lane>
  void advance(Progress& progress, const Lanes* x, Lanes* y, int count) const {
    int& j = progress.next[lane];
    if (j == count) return;
    Iteration& iteration = std::get<lane>(progress.iterations);
    if (!iteration.advance(model)) return;
    const double written = Solver::clamp(iteration.y);
    y[j][lane] = written;
    if (++j == count) {
      --progress.unfinished;
      return;
    }
    iteration = Iteration(model, x[j - 1][lane], x[j][lane], written);
  }

  Model model;
  Lanes x_prev{};  // each lane's preceding input
  Lanes y_prev{};  // each lane's output last written
};

}  // namespace DSP
