-- ardour7-lua ardour-automation.lua DIR NAME SECONDS: moves the plug-in's Gain through the control
-- Ardour made for it, as its mixer, a control surface or automation would, never through the editor.
-- Snapshots "gain-min" and "gain-max" keep the chunk the plug-in gives after the control is set to 0
-- and to 1. The session itself is then saved with an automation lane from 0 to 1 over SECONDS in
-- Play mode (for the GUI to play back), and the transport rolls here too, printing what the
-- plug-in's parameter reads every half second.
AudioEngine:set_backend("None (Dummy)", "", "")
local session = load_session(arg[1], arg[2])
assert(session, "the session did not load")
local seconds = tonumber(arg[3])
local plugin = session:route_by_name("Audio 1"):nth_plugin(0)
assert(not plugin:isnil(), "no plug-in on track Audio 1")
local gain = plugin:to_insert():to_automatable():automation_control(
  Evoral.Parameter(ARDOUR.AutomationType.PluginAutomation, 0, 0), false)
assert(not gain:isnil(), "no automation control for parameter 0")

-- What the plug-in itself answers (its getParameter), not Ardour's copy of it.
local function parameter()
  return (ARDOUR.LuaAPI.get_processor_param(plugin, 0, true))
end

for _, setting in ipairs({ { "min", 0 }, { "max", 1 } }) do
  gain:set_value(setting[2], PBD.GroupControlDisposition.NoGroup)
  print(string.format("control %s: set %g, control %g, plug-in parameter %g",
                      setting[1], setting[2], gain:get_value(), parameter()))
  session:save_state("gain-" .. setting[1], false, false, false, false, false)
end

local rate = session:nominal_sample_rate()
local lane = gain:alist()
lane:clear_list()
lane:add(Temporal.timepos_t(0), 0, false, false)
lane:add(Temporal.timepos_t(math.floor(seconds * rate)), 1, false, false)
gain:set_automation_state(ARDOUR.AutoState.Play)
session:save_state("", false, false, false, false, false)
print(string.format("lane: %d events, state %d (Play is %d)", lane:size(), gain:automation_state(),
                    ARDOUR.AutoState.Play))

-- Not saved after this: the GUI gets the session with the transport at the start.
session:request_locate(0, false, ARDOUR.LocateTransportDisposition.MustStop, ARDOUR.TransportRequestSource.TRS_UI)
ARDOUR.LuaAPI.usleep(200000)
session:request_roll(ARDOUR.TransportRequestSource.TRS_UI)
for _ = 1, 2 * seconds + 2 do
  ARDOUR.LuaAPI.usleep(500000)
  print(string.format("rolling: %.2f s, plug-in parameter %.4f", session:transport_sample() / rate, parameter()))
end
session:request_stop(false, false, ARDOUR.TransportRequestSource.TRS_UI)
ARDOUR.LuaAPI.usleep(200000)
close_session()
