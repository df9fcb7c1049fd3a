-- ardour7-lua lv2-ardour-session.lua DIR NAME RATE URI [GAIN FACTOR]: a session at RATE with one
-- mono track holding the LV2 plug-in, its Gain and Oversampling set through Ardour's parameter
-- API (as a control surface or a script would) to GAIN dB and FACTOR, or left at the plug-in's
-- defaults; then saved. On the way it prints what
-- Ardour knows of the plug-in: its control ports, its presets, and the latency it reports at
-- each factor (the port follows the factor at the next block Ardour runs).
AudioEngine:set_backend("None (Dummy)", "", "")
local rate = tonumber(arg[3])
local session = create_session(arg[1], arg[2], rate)
assert(session, "the session was not created")
local track = session:new_audio_track(1, 2, nil, 1, "Audio", ARDOUR.PresentationInfo.max_order,
                                      ARDOUR.TrackMode.Normal, true):front()
local plugin = ARDOUR.LuaAPI.new_plugin(session, arg[4], ARDOUR.PluginType.LV2, "")
assert(not plugin:isnil(), "the plug-in is not among the LV2 plug-ins Ardour found")
assert(track:add_processor_by_index(plugin, 0, nil, true) == 0, "the plug-in was not inserted")
local lv2 = plugin:to_insert():plugin(0)
print(string.format("inserted: %s, session rate %d", plugin:display_name(), session:nominal_sample_rate()))

-- Ardour's parameter numbers count control ports only: 0 gain, 1 oversampling, 2 enabled, 3 latency.
local GAIN, FACTOR, LATENCY = 0, 1, 3
local function value(which) return (ARDOUR.LuaAPI.get_processor_param(plugin, which, true)) end
for i = 0, lv2:parameter_count() - 1 do
  print(string.format("port %d: %s, %s, %s", i, lv2:parameter_label(i),
                      lv2:parameter_is_input(i) and "input" or "output",
                      lv2:parameter_is_control(i) and "control" or "audio"))
end
for preset in lv2:get_info():get_presets(false):iter() do
  print("preset: " .. preset.label .. " <" .. preset.uri .. ">")
end

for _, factor in ipairs({ 2, 4, 8, 16, 32 }) do
  ARDOUR.LuaAPI.set_processor_param(plugin, FACTOR, factor)
  ARDOUR.LuaAPI.usleep(500000) -- about 20 blocks of 1024 at the Dummy backend's real-time pace
  print(string.format("latency at factor %d: port %g, plug-in %d samples, track %d samples", factor,
                      value(LATENCY), plugin:signal_latency(), track:signal_latency()))
end

-- Without GAIN and FACTOR, the defaults the plug-in declares (0 dB, 2), for the GUI to change.
assert(ARDOUR.LuaAPI.set_processor_param(plugin, GAIN, tonumber(arg[5] or 0)), "gain not set")
assert(ARDOUR.LuaAPI.set_processor_param(plugin, FACTOR, tonumber(arg[6] or 2)), "factor not set")
ARDOUR.LuaAPI.usleep(500000)
print(string.format("set: gain %g dB, factor %g, latency port %g", value(GAIN), value(FACTOR), value(LATENCY)))
session:save_state("", false, false, false, false, false)
print("session made: " .. arg[1] .. "/" .. arg[2] .. ".ardour")
close_session()
