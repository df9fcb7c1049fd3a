// ZaltrimEffect: the one effect of the module. A Qt object, so that the editor can follow its
// gain and factor through queued signals, and a VST 2.x effect that answers the host.
//
// One host parameter, "Gain" (the linear factor, unscaled); one program, "Default"; the state is
// an 8-byte chunk: float32 gain, then int32 oversampling factor, little-endian.
#pragma once

#include <QObject>
#include <atomic>
#include <boost/thread/mutex.hpp>
#include <memory>

#include "audio_effect_x.h"
#include "gain_filter.h"
#include "mono_filter.h"

class ZaltrimEffect : public QObject, public AudioEffectX {
  Q_OBJECT

 public:
  explicit ZaltrimEffect(audioMasterCallback audioMaster);
  ~ZaltrimEffect() override;

  void suspend() override;
  void resume() override;
  void setSampleRate(float rate) override;
  void processReplacing(float** inputs, float** outputs, VstInt32 sampleFrames) override;
  void processDoubleReplacing(double** inputs, double** outputs, VstInt32 sampleFrames) override;
  void setParameter(VstInt32 index, float value) override;
  float getParameter(VstInt32 index) override;
  void setProgramName(char* name) override;
  void getProgramName(char* name) override;
  void getParameterLabel(VstInt32 index, char* label) override;
  void getParameterDisplay(VstInt32 index, char* text) override;
  void getParameterName(VstInt32 index, char* text) override;
  VstInt32 getChunk(void** data, bool isPreset) override;
  VstInt32 setChunk(void* data, VstInt32 byteSize, bool isPreset) override;
  float getSampleRate() override;
  bool getEffectName(char* name) override;
  bool getVendorString(char* text) override;
  bool getProductString(char* text) override;
  VstInt32 getVendorVersion() override;

  // Rebuilds the chain for the factor and tells the editor; the panel's way to change it.
  void set_oversampling(VstInt32 factor);
  // Rebuilds the chain for the factor; false (and nothing changed) for an unknown factor.
  bool build_pipeline(VstInt32 factor);
  // Rebuilds the chain for the current factor and sample rate.
  void rebuild_pipeline();

  VstInt32 get_oversampling() const { return oversampling.load(std::memory_order_relaxed); }

  static bool is_valid_factor(VstInt32 factor);

 signals:
  void update_gain(float value);
  void update_oversampling(int value);

 private:
  // The three stages that depend on the factor and the rate, built and replaced together.
  struct Stages {
    std::unique_ptr<DSP::MonoFilter<double>> oversampling;
    std::unique_ptr<DSP::MonoFilter<double>> overdrive;
    std::unique_ptr<DSP::MonoFilter<double>> decimation;
  };
  static Stages make_stages(VstInt32 factor, float rate);
  // Designs the stages outside the lock and swaps them in under it. Without a requested factor,
  // the one in force at the swap is kept.
  void install_stages(VstInt32 requested_factor);

  template <typename Sample>
  void process_block(const Sample* input, Sample* output, VstInt32 sampleFrames);
  template <typename Sample>
  void run_chain(const Sample* input, Sample* output, VstInt32 sampleFrames);
  // False when a block of n frames cannot be held at the current factor.
  bool resize_buffers(VstInt32 n);

  std::unique_ptr<DSP::GainFilter<double>> gain_filter;
  std::unique_ptr<DSP::MonoFilter<double>> oversampling_filter;
  std::unique_ptr<DSP::MonoFilter<double>> overdrive_filter;
  std::unique_ptr<DSP::MonoFilter<double>> decimation_filter;
  char program_name[kVstMaxProgNameLen + 1];
  // Written by rate changes and chunk restores on host threads, read by every rebuild.
  std::atomic<float> sample_rate;
  std::atomic<float> gain{1.0f};
  std::atomic<VstInt32> oversampling{2};
  std::unique_ptr<unsigned char[]> chunk_buffer;
  boost::mutex lock;
  VstInt32 buffer_capacity = 0;
  std::unique_ptr<double[]> buffer_gained;
  std::unique_ptr<double[]> buffer_oversampled;
  std::unique_ptr<double[]> buffer_overdriven;
};
