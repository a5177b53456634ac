ardour { ["type"] = "dsp", name = "Vorzle Test Songs", category = "Utility", license = "MIT", author = "Vorzle",
         description = [[Sends the MIDI events of the song chosen by its one control at their transport samples.]] }

-- songs[n] = { {sample, byte, byte[, byte]}, ... } in time order; the test writes them in.
local songs = SONGS

function dsp_ioconfig () return { { midi_in = 1, midi_out = 1, audio_in = 0, audio_out = 0 } } end
function dsp_params () return { { ["type"] = "input", name = "Song", min = 0, max = 9, default = 0, integer = true } } end

function dsp_run (_, _, n_samples)
	if not Session:transport_rolling () then return end
	local start = Session:transport_sample ()
	local song = songs[math.floor (CtrlPorts:array ()[1] + 0.5)] or {}
	local count = 1
	for _, e in ipairs (song) do
		if e[1] >= start + n_samples then break end
		if e[1] >= start then
			midiout[count] = { time = e[1] - start + 1, data = { table.unpack (e, 2) } }
			count = count + 1
		end
	end
end
