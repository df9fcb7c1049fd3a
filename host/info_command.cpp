// `zaltrim-host info`: everything a host learns from a module before it plays a note.
#include <cinttypes>
#include <cstdio>
#include <cstring>

#include "cli.h"
#include "vst_host.h"

namespace zhost {

namespace {

const char* const kInfoUsage =
    "usage: zaltrim-host info [PATH]\n"
    "\n"
    "Loads the VST 2 module at PATH (default: the QtZaltrim.so beside zaltrim-host), creates one\n"
    "effect and prints its identity, counts, flags, delay, parameters, program, state chunk and\n"
    "answers to a few capability queries.\n";

std::string flag_names(VstInt32 flags) {
  static const struct {
    VstInt32 bit;
    const char* name;
  } known[] = {{effFlagsHasEditor, "HasEditor"},         {effFlagsHasClip, "HasClip"},
               {effFlagsHasVu, "HasVu"},                 {effFlagsCanMono, "CanMono"},
               {effFlagsCanReplacing, "CanReplacing"},   {effFlagsProgramChunks, "ProgramChunks"},
               {effFlagsIsSynth, "IsSynth"},             {effFlagsNoSoundInStop, "NoSoundInStop"},
               {effFlagsExtIsAsync, "ExtIsAsync"},       {effFlagsExtHasBuffer, "ExtHasBuffer"},
               {effFlagsCanDoubleReplacing, "CanDoubleReplacing"}};
  std::string names;
  VstInt32 rest = flags;
  for (const auto& flag : known) {
    if (!(flags & flag.bit)) continue;
    names += names.empty() ? "" : " ";
    names += flag.name;
    rest &= ~flag.bit;
  }
  if (rest) {
    char extra[32];
    std::snprintf(extra, sizeof(extra), "%s0x%" PRIx32, names.empty() ? "" : " ", static_cast<std::uint32_t>(rest));
    names += extra;
  }
  return names.empty() ? "none" : names;
}

std::string hex(const std::vector<unsigned char>& bytes) {
  std::string text;
  char byte[4];
  for (unsigned char b : bytes) {
    std::snprintf(byte, sizeof(byte), "%s%02x", text.empty() ? "" : " ", b);
    text += byte;
  }
  return text;
}

// The module's state as stored in a project: float32 gain, int32 factor, little-endian.
void print_chunk(const std::vector<unsigned char>& chunk) {
  std::printf("state chunk:    %zu bytes: %s\n", chunk.size(), chunk.empty() ? "(none)" : hex(chunk).c_str());
  if (chunk.size() != 8) return;
  std::uint32_t gain_bits = 0, factor_bits = 0;
  for (int i = 0; i < 4; ++i) {
    gain_bits |= static_cast<std::uint32_t>(chunk[static_cast<std::size_t>(i)]) << (8 * i);
    factor_bits |= static_cast<std::uint32_t>(chunk[static_cast<std::size_t>(i) + 4]) << (8 * i);
  }
  float gain;
  std::memcpy(&gain, &gain_bits, sizeof(gain));
  std::printf("                gain %g, oversampling %" PRId32 "\n", static_cast<double>(gain),
              static_cast<std::int32_t>(factor_bits));
}

}  // namespace

int info_command(const std::vector<std::string>& args) {
  if (wants_help(args)) {
    std::fputs(kInfoUsage, stdout);
    return 0;
  }
  std::string path;
  for (const std::string& arg : args) {
    if (!arg.empty() && arg[0] == '-') throw UsageError("info: unknown option '" + arg + "'");
    if (!path.empty()) throw UsageError("info: more than one module path given");
    path = arg;
  }
  if (path.empty()) path = default_plugin_path();

  Module module(path);
  Host host;
  Plugin plugin(module, host);
  plugin.open();
  const AEffect& record = *plugin.record();

  std::printf("module:         %s (entry %s)\n", module.path().c_str(), module.entry_name().c_str());
  std::printf("effect name:    %s\n", plugin.effect_name().c_str());
  std::printf("vendor:         %s\n", plugin.vendor().c_str());
  std::printf("product:        %s\n", plugin.product().c_str());
  std::printf("vendor version: %" PRId32 "\n", plugin.vendor_version());
  std::printf("VST version:    %" PRId32 "\n", plugin.vst_version());
  std::printf("category:       %" PRId32 "\n", plugin.category());
  std::printf("unique ID:      '%s' (0x%08" PRIX32 ")\n", four_cc(record.uniqueID).c_str(),
              static_cast<std::uint32_t>(record.uniqueID));
  std::printf("record version: %" PRId32 "\n", record.version);
  std::printf("programs:       %" PRId32 "\n", record.numPrograms);
  std::printf("parameters:     %" PRId32 "\n", record.numParams);
  std::printf("inputs:         %" PRId32 "\n", record.numInputs);
  std::printf("outputs:        %" PRId32 "\n", record.numOutputs);
  std::printf("flags:          0x%04" PRIX32 " %s\n", static_cast<std::uint32_t>(record.flags),
              flag_names(record.flags).c_str());
  std::printf("initial delay:  %" PRId32 " samples\n", record.initialDelay);
  for (VstInt32 i = 0; i < record.numParams; ++i)
    std::printf("parameter %" PRId32 ":    name \"%s\", label \"%s\", display \"%s\", value %g\n", i,
                plugin.parameter_name(i).c_str(), plugin.parameter_label(i).c_str(),
                plugin.parameter_display(i).c_str(), static_cast<double>(plugin.get_parameter(i)));
  std::printf("program:        %" PRId32 " \"%s\"\n", static_cast<VstInt32>(plugin.dispatch(effGetProgram)),
              plugin.program_name().c_str());
  if (record.flags & effFlagsProgramChunks) print_chunk(plugin.get_chunk());
  for (const char* query : {"receiveVstMidiEvent", "receiveVstTimeInfo", "bypass", "plugAsChannelInsert"})
    std::printf("canDo %-20s %" PRIdPTR "\n", query, plugin.can_do(query));
  plugin.close();
  return 0;
}

}  // namespace zhost
