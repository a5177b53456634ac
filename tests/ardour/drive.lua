-- One Ardour process of the host test (VZ_STEP): "demo" makes a session at 64-frame
-- blocks and exports a note's onset and the demo; "keep" makes one at 1024-frame
-- blocks, exports the onset, then a program choice, edits and a note, and saves the
-- session with only the note left to play; "reopen" loads that session and exports it.
local work, step = os.getenv ("VZ_WORK"), os.getenv ("VZ_STEP")
local rate = 48000
AudioEngine:set_backend ("None (Dummy)", "", "")
AudioEngine:set_buffer_size (tonumber (os.getenv ("VZ_BLOCK")))

local function export (name, seconds)
	local e = Session:simple_export ()
	e:set_name (name)
	assert (e:set_preset ("3d1f3c2e-6a55-4f0e-9a59-2f3e6a1b7c01"), "no float WAV export preset")
	e:set_folder (work .. "/out")
	e:set_range (0, seconds * rate)
	assert (e:run_export (), "export of " .. name .. " failed")
	print ("VZ-EXPORTED " .. name)
end

if step == "reopen" then
	assert (load_session (work .. "/keep", "keep"), "the saved session does not load")
	export ("reopened", 3)
else
	assert (create_session (work .. "/" .. step, step, rate), "no session")
	local vorzle = ARDOUR.LuaAPI.new_plugin_info ("Vorzle", ARDOUR.PluginType.LXVST)
	assert (not vorzle:isnil (), "Ardour does not list Vorzle")
	-- Strict I/O makes Ardour 7.3 abort now and then on its own port names.
	local track = Session:new_midi_track (ARDOUR.ChanCount (ARDOUR.DataType ("midi"), 1),
		ARDOUR.ChanCount (ARDOUR.DataType ("audio"), 2), false, vorzle, nil, nil, 1, "Vorzle",
		ARDOUR.PresentationInfo.max_order, ARDOUR.TrackMode.Normal, true):front ()
	local songs = ARDOUR.LuaAPI.new_luaproc (Session, "Vorzle Test Songs")
	assert (not songs:isnil (), "no song player")
	track:add_processor_by_index (songs, 0, nil, true)
	print ("VZ-LATENCY " .. track:playback_latency (false))
	local function play (song) ARDOUR.LuaAPI.set_processor_param (songs, 0, song) end
	play (0)
	export ("onset" .. os.getenv ("VZ_BLOCK"), 2)
	if step == "demo" then
		play (3)
		export ("demo", tonumber (os.getenv ("VZ_DEMO_SECONDS")))
	else
		play (1)
		export ("saved", 3)
		play (2)
		Session:save_state ("", false, false, false, false, false)
		print ("VZ-SAVED")
	end
end
-- Everything is written: a crash from here on is Ardour's own, in closing.
print ("VZ-DONE")
close_session ()
quit ()
