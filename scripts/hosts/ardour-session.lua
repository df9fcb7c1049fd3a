-- ardour7-lua ardour-session.lua DIR NAME: a session with one mono track holding Zaltrim; on the
-- way it prints the latency Ardour takes from the module once its engine has started it.
AudioEngine:set_backend("None (Dummy)", "", "")
local session = create_session(arg[1], arg[2], 48000)
assert(session, "the session was not created")
local track = session:new_audio_track(1, 2, nil, 1, "Audio", ARDOUR.PresentationInfo.max_order,
                                      ARDOUR.TrackMode.Normal, true):front()
local plugin = ARDOUR.LuaAPI.new_plugin(session, "Zaltrim", ARDOUR.PluginType.LXVST, "")
assert(not plugin:isnil(), "Zaltrim is not among the scanned LXVST plug-ins")
assert(track:add_processor_by_index(plugin, 0, nil, true) == 0, "the plug-in was not inserted")
ARDOUR.LuaAPI.usleep(500000) -- about 20 blocks of 1024 at the Dummy backend's real-time pace
print(string.format("latency: plug-in %d samples, track %d samples", plugin:signal_latency(), track:signal_latency()))
session:save_state("", false, false, false, false, false)
print("session made: " .. arg[1] .. "/" .. arg[2] .. ".ardour")
close_session()
