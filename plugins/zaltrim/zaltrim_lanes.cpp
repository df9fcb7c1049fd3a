// The lanes' pass is the chain's fused pass with every per-sample step done for each lane in
// turn; only the clipper knows of more than one lane, to interleave the Newton iterations.
#include "zaltrim_lanes.h"

#include <array>

#include "denormal_guard.h"
#include "newton_raphson_lanes.h"
#include "zaltrim_chain.h"
#include "zaltrim_stages.h"

using namespace zaltrim_stages;

template <int L>
class ZaltrimLanes<L>::Stages {
 public:
  virtual ~Stages() = default;
  virtual int factor() const = 0;
  virtual std::unique_ptr<Stages> copy() const = 0;
  // This factor's stages take the state of `designed`, stages of the same factor.
  virtual void restore(const Stages& designed) = 0;
  virtual void run(double gain, const float* const* inputs, float* const* outputs, std::uint32_t count) = 0;
  virtual void run(double gain, const double* const* inputs, double* const* outputs, std::uint32_t count) = 0;
};

// Every lane starts from the stages ZaltrimChain designs for the factor: the same up-sampler and
// low-pass, silent, and the same circuit.
template <int L>
template <int N>
class ZaltrimLanes<L>::StagesFor final : public ZaltrimLanes<L>::Stages {
 public:
  explicit StagesFor(const ZaltrimChain::Stages& designed)
      : clippers(static_cast<const Clipper&>(*designed.overdrive).get_model()) {
    upsamplers.fill(static_cast<const Upsampler<N>&>(*designed.oversampling));
    lowpasses.fill(static_cast<const Decimator<N>&>(*designed.decimation).get_filter());
  }

  int factor() const override { return N; }
  std::unique_ptr<Stages> copy() const override { return std::make_unique<StagesFor>(*this); }
  void restore(const Stages& designed) override { *this = static_cast<const StagesFor&>(designed); }

  void run(double gain, const float* const* inputs, float* const* outputs, std::uint32_t count) override {
    pass(gain, inputs, outputs, count);
  }
  void run(double gain, const double* const* inputs, double* const* outputs, std::uint32_t count) override {
    pass(gain, inputs, outputs, count);
  }

 private:
  using Clippers = DSP::NewtonRaphsonLanes<DSP::Zaltrim<double>, L>;

  // On local copies, written back after the block, as the chain's pass does: no store to an
  // output can then force the state to be read again.
  template <typename Sample>
  void pass(double gain, const Sample* const* inputs, Sample* const* outputs, std::uint32_t count) {
    auto upsampler = upsamplers;
    Clippers clipper(clippers);
    auto lowpass = lowpasses;
    std::array<typename Upsampler<N>::Segment, L> segments;
    std::array<double, L> x;
    std::array<double, L> y;
    for (std::uint32_t i = 0; i < count; ++i) {
      for (int l = 0; l < L; ++l)
        segments[l] = upsampler[l].step(limit_input(DSP::GainFilter<double>::step(static_cast<double>(inputs[l][i]), gain)));
      for (int j = 0; j < N; ++j) {
        for (int l = 0; l < L; ++l) x[l] = segments[l].at(j);
        clipper.step(x, y);
        // The decimator keeps the first high-rate sample of each host sample.
        for (int l = 0; l < L; ++l) {
          const double filtered = lowpass[l].template step<double>(y[l]);
          if (j == 0) outputs[l][i] = static_cast<Sample>(filtered);
        }
      }
    }
    upsamplers = upsampler;
    clippers = clipper;
    lowpasses = lowpass;
  }

  std::array<Upsampler<N>, L> upsamplers;
  Clippers clippers;
  std::array<Lowpass, L> lowpasses;
};

template <int L>
ZaltrimLanes<L>::ZaltrimLanes(int factor, float rate) {
  for (int i = 0; i < ZaltrimChain::kFactorCount; ++i) {
    const ZaltrimChain::Stages stages = ZaltrimChain::design(2 << i, rate);
    with_factor(2 << i, [&](auto n) { designed[i] = std::make_unique<StagesFor<decltype(n)::value>>(stages); });
    running[i] = designed[i]->copy();
  }
  select(factor);
  gain_filter.set_gain(1.0);
}

template <int L>
ZaltrimLanes<L>::~ZaltrimLanes() = default;

template <int L>
int ZaltrimLanes<L>::factor() const {
  return in_force->factor();
}

template <int L>
void ZaltrimLanes<L>::select(int factor) {
  const int index = ZaltrimChain::index_of_factor(factor);
  running[index]->restore(*designed[index]);
  in_force = running[index].get();
}

template <int L>
void ZaltrimLanes<L>::process(const float* const* inputs, float* const* outputs, std::uint32_t count) {
  DenormalGuard flush_denormals;
  in_force->run(gain_filter.get_gain(), inputs, outputs, count);
}

template <int L>
void ZaltrimLanes<L>::process(const double* const* inputs, double* const* outputs, std::uint32_t count) {
  DenormalGuard flush_denormals;
  in_force->run(gain_filter.get_gain(), inputs, outputs, count);
}

template class ZaltrimLanes<1>;
template class ZaltrimLanes<2>;
template class ZaltrimLanes<4>;
