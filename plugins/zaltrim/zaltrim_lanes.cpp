// The lanes' pass is the chain's fused pass with every stage run for all lanes at once: the
// filters as vector operations across the lanes, the clipper interleaving their Newton iterations.
#include "zaltrim_lanes.h"

#include <array>

#include "butterworth_lanes.h"
#include "denormal_guard.h"
#include "newton_raphson_lanes.h"
#include "oversampling_lanes.h"
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
      : upsamplers(static_cast<const Upsampler<N>&>(*designed.oversampling)),
        clippers(static_cast<const Clipper&>(*designed.overdrive).get_model()),
        lowpasses(static_cast<const Decimator<N>&>(*designed.decimation).get_filter()) {}

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
  using Upsamplers = DSP::OversamplingLanes<N, DSP::Oversampling6points5order<double>, L>;
  using Clippers = DSP::NewtonRaphsonLanes<DSP::Zaltrim<double>, L>;
  using Lowpasses = DSP::ButterworthLanes<8, L>;
  using Lanes = std::array<double, L>;

  // On local copies, written back after the block, as the chain's pass does: no store to an
  // output can then force the state to be read again.
  template <typename Sample>
  void pass(double gain, const Sample* const* inputs, Sample* const* outputs, std::uint32_t count) {
    Upsamplers upsampler(upsamplers);
    Clippers clipper(clippers);
    Lowpasses lowpass(lowpasses);
    Lanes x;
    std::array<Lanes, N> high_rate;
    std::array<Lanes, N> clipped;
    Lanes filtered;
    for (std::uint32_t i = 0; i < count; ++i) {
      for (int l = 0; l < L; ++l)
        x[l] = limit_input(DSP::GainFilter<double>::step(static_cast<double>(inputs[l][i]), gain));
      upsampler.step(x);
      for (int j = 0; j < N; ++j) upsampler.at(j, high_rate[j]);
      int j = 0;
      clipper.run(high_rate.data(), clipped.data(), N, [&](const Lanes& y) {
        lowpass.step(y, filtered);
        // The decimator keeps the first high-rate sample of each host sample.
        if (j++ == 0)
          for (int l = 0; l < L; ++l) outputs[l][i] = static_cast<Sample>(filtered[l]);
      });
    }
    upsamplers = upsampler;
    clippers = clipper;
    lowpasses = lowpass;
  }

  Upsamplers upsamplers;
  Clippers clippers;
  Lowpasses lowpasses;
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
