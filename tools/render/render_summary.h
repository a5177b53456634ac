#pragma once
#include <cstdint>
#include <string>

#include "tools/render/wav_writer.h"

// The one line the renderer prints when it is done, e.g.
// "out.wav: 21.37 s at 44100 Hz, peak -3.1 dBFS, RMS -18.2 dBFS, 0 clipped samples, 48.2x real time";
// `notes` (", 12 events on channels left out skipped"...) go before the speed.
std::string formatSummary(const std::string& outputPath, const WavLevels& levels, uint32_t sampleRate,
                          double wallSeconds, const std::string& notes = std::string());

// "-3.1 dBFS", or "-inf dBFS" for silence.
std::string dbfsText(double dbfs);
