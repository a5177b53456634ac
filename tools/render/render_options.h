#pragma once
#include <cstdint>
#include <string>
#include <vector>

#include "tools/render/wav_writer.h"

// The renderer's command line, checked in full before anything is loaded.

struct RenderOptions {
    enum class Mode { Render, Info, Help };

    static constexpr uint32_t kMinSampleRate = 8000;
    static constexpr uint32_t kMaxSampleRate = 384000;
    static constexpr int32_t kMinBlockSize = 1;
    static constexpr int32_t kMaxBlockSize = 8192;
    static constexpr double kMaxTailSeconds = 600.0;

    Mode mode = Mode::Render;
    std::string midiPath;
    std::string outputPath;
    std::string pluginPath;          // empty: the plug-in beside the program
    int32_t program = -1;            // -1: leave the plug-in's current program
    uint32_t sampleRate = 44100;
    int32_t blockSize = 512;
    bool tailGiven = false;          // false: render until the output dies away
    double tailSeconds = 0.0;
    WavSampleFormat format = WavSampleFormat::Float32;
    bool dither = true;              // integer formats only
    bool quiet = false;
    bool json = false;
};

// What was wrong: `subject` is the option or file the problem belongs to
// ("--block-size", "song.mid"), empty when the problem concerns the whole line.
struct OptionError {
    std::string subject;
    std::string problem;
};

// Parses the arguments after the program name. Options may come before or after
// the MIDI file; "--name=value" and "--name value" both work; "--" ends options.
bool parseRenderOptions(const std::vector<std::string>& args, RenderOptions& options, OptionError& error);

// The --help text.
std::string renderUsage();

// Strict number readers: the whole text must be the number, without blanks.
bool parseWholeNumber(const std::string& text, int64_t& value);
bool parseDecimal(const std::string& text, double& value);
