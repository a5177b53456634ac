-- What every Ardour test script starts with. ardour_driver.py puts before it
-- the table `test` = { work, step, rate, block, plugin, kind, preset }.
AudioEngine:set_backend ("None (Dummy)", "Unit-Test", "")
AudioEngine:set_buffer_size (test.block)

function fresh_session (name) assert (create_session (test.work .. "/sessions/" .. name, name, test.rate), "no session") end
function reopen_session (name)
	assert (load_session (test.work .. "/sessions/" .. name, name), "the saved session does not open")
end
function save () assert (Session:save_state ("", false, false, false, false, false) == 0, "the session is not saved") end

-- A MIDI track with the plug-in, fed by nothing but a song player set to SONG;
-- answers the plug-in's processor and the player.
function add_track (name, song)
	local info = ARDOUR.LuaAPI.new_plugin_info (test.plugin, ARDOUR.PluginType[test.kind])
	assert (not info:isnil (), "Ardour does not list " .. test.plugin)
	-- Strict I/O makes Ardour 7.3 abort now and then on its own port names.
	local track = Session:new_midi_track (ARDOUR.ChanCount (ARDOUR.DataType ("midi"), 1),
		ARDOUR.ChanCount (ARDOUR.DataType ("audio"), 2), false, info, nil, nil, 1, name,
		ARDOUR.PresentationInfo.max_order, ARDOUR.TrackMode.Normal, false):front ()
	-- The dummy engine's MIDI inputs send test events.
	track:input ():disconnect_all (nil)
	local player = ARDOUR.LuaAPI.new_luaproc (Session, "Vorzle Song Player")
	assert (not player:isnil (), "no song player")
	assert (track:add_processor_by_index (player, 0, nil, true) == 0)
	play (player, song)
	return track:nth_plugin (1), player
end
function play (player, song) assert (ARDOUR.LuaAPI.set_processor_param (player, 0, song)) end

-- A control input by its name, counted as Ardour counts parameters: its
-- parameter number and its port.
function control_index (proc, name)
	local plugin = proc:to_insert ():plugin (0)
	for n = 0, plugin:parameter_count () - 1 do
		local i, _ = plugin:nth_parameter (n, true)
		if plugin:parameter_is_input (i) and plugin:parameter_label (i) == name then return n, i end
	end
	error ("no control " .. name)
end
function set_control (proc, name, value)
	assert (ARDOUR.LuaAPI.set_processor_param (proc, control_index (proc, name), value))
end

-- The session's first SECONDS as 32-bit float, with the latencies it rendered with.
function export (name, seconds)
	local latency = "" .. Session:worst_latency_preroll ()
	for r in Session:get_routes ():iter () do latency = latency .. "/" .. r:playback_latency (true) end
	print ("LATENCY " .. latency)
	local e = Session:simple_export ()
	e:set_name (name)
	assert (e:set_preset (test.preset), "no float WAV export preset")
	e:set_folder (test.work .. "/out/" .. test.step)
	e:set_range (0, math.floor (seconds * test.rate + 0.5))
	assert (e:run_export (), "export of " .. name .. " failed")
	print ("EXPORTED " .. name)
end
