#pragma once
#include <cstdint>
#include <string>
#include <vector>

#include "tools/render/wav_writer.h"

// The renderer's command line, checked in full before anything is loaded.

struct RenderOptions {
    enum class Mode { Render, Info, Help, Version, GmTable };

    static constexpr uint32_t kMinSampleRate = 8000;
    static constexpr uint32_t kMaxSampleRate = 384000;
    static constexpr int32_t kMinBlockSize = 1;
    static constexpr int32_t kMaxBlockSize = 8192;
    static constexpr double kMaxTailSeconds = 600.0;
    static constexpr double kMaxGainDb = 60.0;
    static constexpr double kMinLevelDbfs = -100.0;
    static constexpr double kDefaultNormalizeDbfs = -1.0;
    static constexpr uint16_t kAllChannels = 0xFFFF;

    Mode mode = Mode::Render;
    std::string midiPath;
    std::string outputPath;          // "-": standard output
    std::string pluginPath;          // empty: the plug-in beside the program
    int32_t program = -1;            // -1: leave the plug-in's current program
    std::string programName;         // --program given as a name, found once the plug-in is open
    bool ignoreProgramChanges = false;
    uint16_t channels = kAllChannels; // bit c: MIDI channel c + 1 is played
    uint32_t sampleRate = 44100;
    int32_t blockSize = 512;
    bool fixedBlocks = false;        // false: blocks are cut at events
    bool tailGiven = false;          // false: render until the output dies away
    double tailSeconds = 0.0;
    WavSampleFormat format = WavSampleFormat::Float32;
    bool dither = true;              // integer formats only
    double gainDb = 0.0;
    bool normalize = false;
    double normalizeDbfs = kDefaultNormalizeDbfs;
    bool strict = false;             // refuse damaged MIDI files instead of playing their readable part
    bool quiet = false;
    bool replaceProtected = false;   // --force: replace a write-protected output file
    bool json = false;

    // How the song's channels meet instruments (song/song_parts.h), its loudness, its stems.
    static constexpr double kMinLoudnessLufs = -70.0;
    static constexpr double kMaxLoudnessLufs = 0.0;
    static constexpr double kMinTruePeakDbtp = -20.0;
    static constexpr double kDefaultTruePeakDbtp = -1.0;
    bool perChannel = false;         // one instance per sounding channel
    bool generalMidi = false;        // --gm: GM programs mapped to Vorzle's; implies perChannel
    bool drums = false;              // --gm: render channel 10 too
    bool transposeGiven = false;
    int32_t transpose = 0;
    std::string stemsFolder;         // empty: no stems
    bool overwrite = false;          // stems may replace existing files
    bool loudnessGiven = false;
    double loudnessLufs = 0.0;
    bool truePeakGiven = false;
    double truePeakDbtp = kDefaultTruePeakDbtp;
};

// True when the render needs the two-pass path: instances per channel, stems,
// a loudness target or ceiling, or a report of loudness.
bool rendersInParts(const RenderOptions& options);

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

// "vorzle-render 2.1.0"
std::string versionText();
// Who holds the copyright and the licence, printed after the version.
std::string licenceText();

bool writesToStandardOutput(const RenderOptions& options);

// A channel list such as "1-9,11-16" as a mask (bit c for channel c + 1). On
// failure returns false with the reason in `problem`.
bool parseChannelList(const std::string& text, uint16_t& mask, std::string& problem);

// Strict number readers: the whole text must be the number, without blanks.
bool parseWholeNumber(const std::string& text, int64_t& value);
bool parseDecimal(const std::string& text, double& value);
// Spelled as a decimal number, whether or not it fits a double.
bool looksDecimal(const std::string& text);
