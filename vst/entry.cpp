// The module's entry point: the host calls it with its callback and receives the record of the
// one effect the module makes. Exported twice, as hosts look for either name.
#include "audio_effect.h"

#define ZALTRIM_EXPORT __attribute__((visibility("default")))

extern "C" ZALTRIM_EXPORT AEffect* VSTPluginMain(audioMasterCallback audioMaster) {
  if (!audioMaster) return nullptr;
  try {
    if (audioMaster(nullptr, audioMasterVersion, 0, 0, nullptr, 0.0f) == 0) return nullptr;
    AudioEffect* effect = createEffectInstance(audioMaster);
    return effect ? effect->getAeffect() : nullptr;
  } catch (...) {
    // Nothing may unwind into the host; a failed creation is a null record.
    return nullptr;
  }
}

// The legacy name. A C++ function cannot be called main with this signature, so the alias
// carries the symbol name through an assembler label.
extern "C" ZALTRIM_EXPORT AEffect* main_entry(audioMasterCallback audioMaster) __asm__("main")
    __attribute__((alias("VSTPluginMain")));
