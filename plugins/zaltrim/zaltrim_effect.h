// ZaltrimEffect: the one effect of the module. A Qt object, so that the editor can follow its
// gain and factor through queued signals, and a VST 2.x effect that answers the host.
//
// Two host parameters in the [0, 1] range hosts keep. 0, "Gain": v maps to -40 + 80 v dB, so 0.5
// is unity; the chain and the editor work in the linear factor. 1, "Factor": the oversampling
// factor in five steps, 0, 0.25, 0.5, 0.75, 1 for 2, 4, 8, 16, 32. One program, "Default"; the
// state is an 8-byte chunk: float32 linear gain, then int32 oversampling factor, little-endian.
//
// The factor is a parameter because hosts that keep a plug-in's settings as a chunk taken when
// the editor opened, plus the parameter changes the plug-in announced since, restore exactly
// that: a factor picked in the editor reaches them only as an announced parameter change.
#pragma once

#include <QObject>
#include <atomic>
#include <boost/thread/mutex.hpp>

#include "audio_effect_x.h"
#include "zaltrim_chain.h"

class ZaltrimEffect : public QObject, public AudioEffectX {
  Q_OBJECT

 public:
  explicit ZaltrimEffect(audioMasterCallback audioMaster);
  ~ZaltrimEffect() override;

  void setSampleRate(float rate) override;
  // Reports the chain's measured delay at the rate in force as the initial delay, telling the
  // host when it changed.
  void resume() override;
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

  // The linear gain, in force at the next block, and told to the editor; the panel's way to change
  // it. A non-finite gain is ignored.
  void set_gain(float new_gain);
  float get_gain() const { return gain.load(std::memory_order_relaxed); }

  // The parameter's scale. The linear gain of v in [0, 1] (clamped), computed in double;
  // NaN gives NaN.
  static float gain_of_normalized(float value);
  // The parameter value of a linear gain, clamped to [0, 1]; 0 for gains of 0 and below (and NaN).
  static float normalized_of_gain(float linear_gain);

  // Tells the host the parameter value of the gain in force, as a user's change made in the
  // editor; the host records it as automation and marks its session modified.
  void automate_gain();
  // Tells the host the factor in force as one complete edit of its parameter: a pick in the editor.
  void automate_oversampling();

  // The factor parameter's scale: a value in [0, 1] (clamped) to the nearest of the five steps;
  // NaN gives 0 (no factor).
  static VstInt32 factor_of_normalized(float value);
  // The parameter value of a valid factor; 0 for any other.
  static float normalized_of_factor(VstInt32 factor);

  // Rebuilds the chain for the factor and tells the editor; the panel's way to change it.
  void set_oversampling(VstInt32 factor);
  // Rebuilds the chain for the factor; false (and nothing changed) for an unknown factor.
  bool build_pipeline(VstInt32 factor);
  // Rebuilds the chain for the current factor and sample rate.
  void rebuild_pipeline();

  VstInt32 get_oversampling() const { return oversampling.load(std::memory_order_relaxed); }

  static bool is_valid_factor(VstInt32 factor);

  enum Parameter : VstInt32 { kGainParameter = 0, kFactorParameter = 1, kParameterCount = 2 };

 signals:
  void update_gain(float value);
  void update_oversampling(int value);

 private:
  // Designs the stages outside the lock and swaps them in under it. Without a requested factor,
  // the one in force at the swap is kept.
  void install_stages(VstInt32 requested_factor);

  // The gain stage and `gain` take the value; the editor is not told.
  void apply_gain(float new_gain);

  template <typename Sample>
  void process_block(const Sample* input, Sample* output, VstInt32 sampleFrames);

  ZaltrimChain chain;
  // The rate whose delay initialDelay reports; 0 until the first resume.
  float delay_rate = 0.0f;
  char program_name[kVstMaxProgNameLen + 1];
  // Written by rate changes and chunk restores on host threads, read by every rebuild.
  std::atomic<float> sample_rate;
  std::atomic<float> gain{1.0f};
  std::atomic<VstInt32> oversampling{2};
  // What getChunk hands out: part of the effect, so it is never freed while a host may still read
  // it, and rewritten (under chunk_lock) only when the state differs from what it holds. Restores
  // hold chunk_lock too, so a save sees a restored state whole or not at all.
  unsigned char chunk_bytes[8] = {};
  boost::mutex chunk_lock;
  // Serialises blocks and chain swaps.
  boost::mutex lock;
};
