-- ardour7-lua lv2-ardour-reopen.lua DIR NAME [PRESET]: loads the saved session as Ardour does and
-- prints the port values the plug-in holds afterwards and the latency Ardour sees. With PRESET
-- (a factory preset's label), loads it through Ardour's preset API and saves the snapshot
-- "preset", whose port values are then what the preset gave.
AudioEngine:set_backend("None (Dummy)", "", "")
local session = load_session(arg[1], arg[2])
assert(session, "the session did not load")
local track = session:route_by_name("Audio 1")
local plugin = track:nth_plugin(0)
assert(not plugin:isnil(), "no plug-in on track Audio 1")
local lv2 = plugin:to_insert():plugin(0)
local function value(which) return (ARDOUR.LuaAPI.get_processor_param(plugin, which, true)) end
local function report(what)
  print(string.format("%s: gain %g dB, factor %g, enabled %g, latency port %g, plug-in latency %d, track latency %d, last preset '%s'",
                      what, value(0), value(1), value(2), value(3), plugin:signal_latency(),
                      track:signal_latency(), lv2:last_preset().label))
end
ARDOUR.LuaAPI.usleep(500000)
print(string.format("reloaded plug-in: %s at %d Hz", plugin:display_name(), session:nominal_sample_rate()))
report("reloaded")
if arg[3] then
  local preset = lv2:preset_by_label(arg[3])
  assert(preset and preset.valid, "no preset labelled " .. arg[3])
  print("preset loaded: " .. tostring(lv2:load_preset(preset)) .. " <" .. preset.uri .. ">")
  ARDOUR.LuaAPI.usleep(500000)
  report("after preset '" .. arg[3] .. "'")
  session:save_state("preset", false, false, false, false, false)
end
close_session()
