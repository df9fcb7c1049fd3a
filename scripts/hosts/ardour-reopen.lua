-- ardour7-lua ardour-reopen.lua DIR NAME: loads the saved session as Ardour does and tells the
-- gain the plug-in holds afterwards; the snapshot "reopened" then holds the chunk it gives back.
AudioEngine:set_backend("None (Dummy)", "", "")
local session = load_session(arg[1], arg[2])
assert(session, "the session did not load")
local plugin = session:route_by_name("Audio 1"):nth_plugin(0)
assert(not plugin:isnil(), "no plug-in on track Audio 1")
print("reloaded plug-in: " .. plugin:display_name())
print("reloaded gain parameter: " .. ARDOUR.LuaAPI.get_processor_param(plugin, 0, true))
session:save_state("reopened", false, false, false, false, false)
close_session()
