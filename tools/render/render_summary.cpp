#include "tools/render/render_summary.h"

#include <cmath>
#include <cstdio>

std::string dbfsText(double dbfs) {
    if (std::isinf(dbfs) && dbfs < 0) return "-inf dBFS";
    char text[32];
    std::snprintf(text, sizeof text, "%.1f dBFS", dbfs);
    return text;
}

std::string formatSummary(const std::string& outputPath, const WavLevels& levels, uint32_t sampleRate,
                          double wallSeconds, const std::string& notes) {
    const double audioSeconds = sampleRate > 0 ? double(levels.frames) / sampleRate : 0.0;
    char length[64];
    std::snprintf(length, sizeof length, "%.2f s at %u Hz", audioSeconds, static_cast<unsigned>(sampleRate));
    char speed[48];
    if (wallSeconds > 0.0) std::snprintf(speed, sizeof speed, "%.1fx real time", audioSeconds / wallSeconds);
    else std::snprintf(speed, sizeof speed, "too fast to time");
    std::string line = outputPath + ": " + length + ", peak " + dbfsText(levels.peakDbfs()) + ", RMS " +
                       dbfsText(levels.rmsDbfs()) + ", " + std::to_string(levels.clippedSamples) + " clipped samples";
    if (levels.nonFiniteSamples > 0)
        line += ", " + std::to_string(levels.nonFiniteSamples) + " NaN or infinite samples written as 0";
    return line + notes + ", " + speed;
}
