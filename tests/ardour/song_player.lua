ardour { ["type"] = "dsp", name = "Vorzle Song Player", category = "Utility", license = "MIT", author = "Vorzle",
         description = [[Sends the MIDI events of the song its one control chooses at their transport samples.]] }

-- songs[n] = { {sample, status, data...}, ... } in time order, one event a sample; the driver writes them in.
local songs = SONGS

function dsp_ioconfig () return { { midi_in = 1, midi_out = 1, audio_in = 0, audio_out = 0 } } end
function dsp_params () return { { ["type"] = "input", name = "Song", min = 0, max = 9, default = 0, integer = true } } end

local song, clock, next_event = nil, nil, 1   -- clock: the transport sample of this call's first frame
function dsp_run (_, _, n)
	if not Session:transport_rolling () then clock = nil return end
	local chosen = songs[math.floor (CtrlPorts:array ()[1] + 0.5)] or {}
	-- A cycle the host splits comes in several calls: count the frames here.
	if clock == nil or chosen ~= song then
		-- The instrument plays this call's frames that much later: ahead by it,
		-- as a MIDI region would be (a session reopened may differ in it).
		song, clock, next_event = chosen, Session:transport_sample () + Session:worst_latency_preroll (), 1
	end
	local out = 1
	while next_event <= #song and song[next_event][1] < clock + n do
		local e = song[next_event]
		-- Events due before the start go at the first frames, one a frame.
		midiout[out] = { time = math.max (e[1] - clock, out - 1) + 1, data = { table.unpack (e, 2) } }
		out, next_event = out + 1, next_event + 1
	end
	clock = clock + n
end
