// NewtonRaphsonLanes: NewtonRaphsonOptimizer's solver for L independent channels at once.
//
// One channel's samples form a chain of dependent latencies: each Newton step waits for its
// exponential, and each sample starts from the last one's output, so the core idles most of the
// time it waits. The lanes' iterations are independent, so their steps are interleaved: while
// one lane's exponential is in flight, another's runs. Each lane goes through the very same
// iteration as the one-channel solver, stopping on its own test, so its output is that solver's
// output for that channel, to the last bit, whatever the other lanes carry.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <utility>

#include "newton_raphson_optimizer.h"

namespace DSP {

template <typename Model, int L>
class NewtonRaphsonLanes {
  static_assert(L >= 1, "at least one lane");

 public:
  using Solver = NewtonRaphsonOptimizer<Model>;

  explicit NewtonRaphsonLanes(const Model& circuit) : model(circuit) {}

  // One sample of every lane: what Solver::step<double> gives for each lane's input, in `y`.
  void step(const std::array<double, L>& x, std::array<double, L>& y) {
    auto iterations = start(x, kLanes);
    solve(iterations, kLanes);
    for (int l = 0; l < L; ++l) {
      y[l] = Solver::clamp(iterations[l].y);
      x_prev[l] = x[l];
      y_prev[l] = y[l];
    }
  }

 private:
  using Iteration = typename Solver::Iteration;
  static constexpr auto kLanes = std::make_index_sequence<L>();

  template <std::size_t... lane>
  std::array<Iteration, L> start(const std::array<double, L>& x, std::index_sequence<lane...>) const {
    return {Iteration(model, x_prev[lane], x[lane], y_prev[lane])...};
  }

  // A step of every unsolved lane in turn until all are solved. The lanes are spelled out, not
  // looped over, so that each iteration's state stays in registers: kept in memory, every step
  // would wait on a store and a load as well as on its exponential.
  template <std::size_t... lane>
  void solve(std::array<Iteration, L>& iterations, std::index_sequence<lane...>) const {
    bool solved[L] = {};
    while (!(solved[lane] && ...)) ((solved[lane] = solved[lane] || std::get<lane>(iterations).advance(model)), ...);
  }

  Model model;
  std::array<double, L> x_prev{};  // each lane's preceding input
  std::array<double, L> y_prev{};  // each lane's output last written
};

}  // namespace DSP
