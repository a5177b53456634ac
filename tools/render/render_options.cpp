#include "tools/render/render_options.h"

#include <algorithm>
#include <cerrno>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <filesystem>

#include "song/song_parts.h"
#include "tools/render/lower_case.h"

#ifndef VORZLE_VERSION
#error "VORZLE_VERSION comes from the build (the project version in CMakeLists.txt)"
#endif

namespace {

bool fail(OptionError& error, const std::string& subject, const std::string& problem) {
    error = OptionError{subject, problem};
    return false;
}

std::string quote(const std::string& text) { return "'" + text + "'"; }

bool readInteger(const std::string& option, const std::string& text, int64_t low, int64_t high, int64_t& value,
                 OptionError& error) {
    if (!parseWholeNumber(text, value)) return fail(error, option, quote(text) + " is not a whole number");
    if (value < low || value > high)
        return fail(error, option,
                    text + " is out of range (" + std::to_string(low) + " to " + std::to_string(high) + ")");
    return true;
}

bool readDecimal(const std::string& option, const std::string& text, double low, double high, double& value,
                 OptionError& error) {
    if (!parseDecimal(text, value)) {
        if (!looksDecimal(text)) return fail(error, option, quote(text) + " is not a number");
        value = text[0] == '-' ? -HUGE_VAL : HUGE_VAL;   // too large for any range below
    }
    if (value < low || value > high) {
        char range[64];
        std::snprintf(range, sizeof range, " is out of range (%g to %g)", low, high);
        return fail(error, option, text + range);
    }
    return true;
}

// WAV only: any other extension would get a WAV file under a misleading name.
// An existing device or FIFO is written as it is, whatever its name. The way
// out names the song being rendered and an audio format ffmpeg can write.
bool checkOutputName(const std::string& path, const std::string& song, OptionError& error) {
    std::error_code ec;
    const auto type = std::filesystem::status(path, ec).type();
    if (!ec && type != std::filesystem::file_type::regular && type != std::filesystem::file_type::directory &&
        type != std::filesystem::file_type::not_found)
        return true;
    const std::filesystem::path name(path);
    const std::string extension = lowerCase(name.extension().string());
    if (extension.empty() || extension == ".wav" || extension == ".wave") return true;
    const std::string pipe = "vorzle-render " + song + " -o - | ffmpeg -i - ";
    if (extension == ".mid" || extension == ".midi" || extension == ".rmi" || extension == ".kar") {
        const std::string stem = name.stem().string();
        return fail(error, path,
                    "the output is audio, not MIDI: write " + stem + ".wav, or another audio format on the way: " +
                        pipe + stem + ".flac");
    }
    return fail(error, path,
                "vorzle-render writes WAV only; to get " + extension.substr(1) + ", convert on the way: " + pipe +
                    name.filename().string());
}


// The options that lay a song over instruments, set its loudness and write
// stems. Answers false when `name` is none of them (handled stays false) or
// its value is wrong (error set).
bool readSongOption(const std::string& name, bool hasInlineValue, const std::string& inlineValue,
                    const std::vector<std::string>& args, size_t& i, RenderOptions& options, bool& handled,
                    OptionError& error) {
    handled = true;
    if (name == "--per-channel" || name == "--gm" || name == "--drums" || name == "--overwrite" ||
        name == "--gm-table") {
        if (hasInlineValue) return fail(error, name, "takes no value");
        if (name == "--per-channel") options.perChannel = true;
        else if (name == "--gm") options.generalMidi = options.perChannel = true;
        else if (name == "--drums") options.drums = true;
        else if (name == "--overwrite") options.overwrite = true;
        else if (options.mode == RenderOptions::Mode::Render) options.mode = RenderOptions::Mode::GmTable;
        return true;
    }
    if (name != "--transpose" && name != "--stems" && name != "--loudness" && name != "--true-peak") {
        handled = false;
        return true;
    }
    std::string value = inlineValue;
    if (!hasInlineValue) {
        if (i + 1 >= args.size()) return fail(error, name, "needs a value");
        value = args[++i];
    }
    if (value.empty()) return fail(error, name, "needs a value");
    if (name == "--stems") {
        options.stemsFolder = value;
        options.perChannel = true;
    } else if (name == "--transpose") {
        int64_t number = 0;
        if (!readInteger(name, value, -kMaxTranspose, kMaxTranspose, number, error)) return false;
        options.transposeGiven = true;
        options.transpose = static_cast<int32_t>(number);
    } else if (name == "--loudness") {
        options.loudnessGiven = true;
        return readDecimal(name, value, RenderOptions::kMinLoudnessLufs, RenderOptions::kMaxLoudnessLufs,
                           options.loudnessLufs, error);
    } else {
        options.truePeakGiven = true;
        return readDecimal(name, value, RenderOptions::kMinTruePeakDbtp, 0.0, options.truePeakDbtp, error);
    }
    return true;
}

// What the song options cannot be combined with.
bool checkSongOptions(const RenderOptions& options, OptionError& error) {
    if (options.drums && !options.generalMidi) return fail(error, "--drums", "goes with --gm (channel 10 is drums in General MIDI)");
    if (options.generalMidi && (options.program >= 0 || !options.programName.empty()))
        return fail(error, "--program", "and --gm exclude each other (--gm chooses each channel's program)");
    if (options.generalMidi && options.ignoreProgramChanges)
        return fail(error, "--ignore-program-changes", "and --gm exclude each other (--gm maps the song's program changes)");
    if ((options.loudnessGiven || options.truePeakGiven) && (options.normalize || options.gainDb != 0.0))
        return fail(error, options.loudnessGiven ? "--loudness" : "--true-peak",
                    std::string("and ") + (options.normalize ? "--normalize" : "--gain") +
                        " exclude each other (the loudness target sets the gain itself)");
    if (!options.stemsFolder.empty() && options.stemsFolder != "-" && std::filesystem::exists(options.stemsFolder) &&
        !std::filesystem::is_directory(options.stemsFolder))
        return fail(error, "--stems", options.stemsFolder + " is not a folder");
    if (options.stemsFolder == "-") return fail(error, "--stems", "needs a folder (stems cannot go to standard output)");
    return true;
}

}  // namespace

bool parseChannelList(const std::string& text, uint16_t& mask, std::string& problem) {
    mask = 0;
    if (text.empty()) {
        problem = "needs a value";
        return false;
    }
    size_t begin = 0;
    while (begin <= text.size()) {
        const size_t comma = std::min(text.find(',', begin), text.size());
        const std::string item = text.substr(begin, comma - begin);
        const size_t dash = item.find('-', 1);
        int64_t first = 0, last = 0;
        const bool ok = dash == std::string::npos
                            ? parseWholeNumber(item, first) && (last = first, true)
                            : parseWholeNumber(item.substr(0, dash), first) &&
                                  parseWholeNumber(item.substr(dash + 1), last);
        if (!ok || first < 1 || last > 16 || first > last) {
            problem = quote(item) + " is not a channel or range of channels (1 to 16, e.g. 1-9,11-16)";
            return false;
        }
        for (int64_t c = first; c <= last; ++c) mask = static_cast<uint16_t>(mask | (1u << (c - 1)));
        begin = comma + 1;
    }
    return true;
}

std::string versionText() { return std::string("vorzle-render ") + VORZLE_VERSION; }

std::string licenceText() {
    return "Copyright (c) 2026 Harvane. Free software under the MIT licence (the LICENSE file\n"
           "beside this program or in its package): use, change and share it freely.";
}

bool writesToStandardOutput(const RenderOptions& options) { return options.outputPath == "-"; }

bool parseWholeNumber(const std::string& text, int64_t& value) {
    if (text.empty() || text.size() > 18) return false;
    size_t i = 0;
    const bool negative = text[0] == '-';
    if (text[0] == '-' || text[0] == '+') i = 1;
    if (i == text.size()) return false;
    int64_t result = 0;
    for (; i < text.size(); ++i) {
        if (text[i] < '0' || text[i] > '9') return false;
        result = result * 10 + (text[i] - '0');
    }
    value = negative ? -result : result;
    return true;
}

bool looksDecimal(const std::string& text) {
    if (text.empty() || text.size() > 64) return false;
    bool digit = false;
    for (char c : text) {
        if (!((c >= '0' && c <= '9') || c == '.' || c == '-' || c == '+' || c == 'e' || c == 'E')) return false;
        digit = digit || (c >= '0' && c <= '9');
    }
    return digit && ((text[0] >= '0' && text[0] <= '9') || text[0] == '.' || text[0] == '-' || text[0] == '+');
}

bool parseDecimal(const std::string& text, double& value) {
    if (text.empty() || text.size() > 64) return false;
    // strtod also reads hex, inf, nan and leading blanks; none of those are wanted here.
    for (char c : text)
        if (!((c >= '0' && c <= '9') || c == '.' || c == '-' || c == '+' || c == 'e' || c == 'E')) return false;
    errno = 0;
    char* end = nullptr;
    const double result = std::strtod(text.c_str(), &end);
    // Underflow is a value of 0 (or near it); overflow is out of any range.
    const bool overflow = errno == ERANGE && !(std::fabs(result) < 1.0);
    if (end != text.c_str() + text.size() || overflow || !std::isfinite(result)) return false;
    value = result;
    return true;
}

bool parseRenderOptions(const std::vector<std::string>& args, RenderOptions& options, OptionError& error) {
    options = RenderOptions{};
    std::vector<std::string> files;
    bool optionsEnded = false;

    for (size_t i = 0; i < args.size(); ++i) {
        const std::string& arg = args[i];
        if (optionsEnded || arg.size() < 2 || arg[0] != '-') {
            files.push_back(arg);
            continue;
        }
        if (arg == "--") {
            optionsEnded = true;
            continue;
        }

        std::string name = arg;
        std::string inlineValue;
        bool hasInlineValue = false;
        const size_t equals = arg.find('=');
        if (arg.rfind("--", 0) == 0 && equals != std::string::npos) {
            name = arg.substr(0, equals);
            inlineValue = arg.substr(equals + 1);
            hasInlineValue = true;
        }

        bool songOption = false;
        if (!readSongOption(name, hasInlineValue, inlineValue, args, i, options, songOption, error)) return false;
        if (songOption) continue;

        // Flags first: they take no value.
        const bool isFlag = name == "--help" || name == "-h" || name == "--info" || name == "--json" ||
                            name == "--quiet" || name == "-q" || name == "--no-dither" || name == "--version" ||
                            name == "--fixed-blocks" || name == "--ignore-program-changes" || name == "--strict" ||
                            name == "--force";
        if (isFlag) {
            if (hasInlineValue) return fail(error, name, "takes no value");
            if (name == "--help" || name == "-h") options.mode = RenderOptions::Mode::Help;
            else if (name == "--version") {
                if (options.mode != RenderOptions::Mode::Help) options.mode = RenderOptions::Mode::Version;
            } else if (name == "--info") {
                if (options.mode == RenderOptions::Mode::Render) options.mode = RenderOptions::Mode::Info;
            } else if (name == "--json") options.json = true;
            else if (name == "--quiet" || name == "-q") options.quiet = true;
            else if (name == "--force") options.replaceProtected = true;
            else if (name == "--fixed-blocks") options.fixedBlocks = true;
            else if (name == "--ignore-program-changes") options.ignoreProgramChanges = true;
            else if (name == "--strict") options.strict = true;
            else options.dither = false;
            continue;
        }

        // The level of --normalize is optional: a following number is its value.
        if (name == "--normalize") {
            options.normalize = true;
            std::string level;
            if (hasInlineValue) level = inlineValue;
            else if (i + 1 < args.size() && looksDecimal(args[i + 1])) level = args[++i];
            if (hasInlineValue || !level.empty()) {
                if (!readDecimal(name, level, RenderOptions::kMinLevelDbfs, 0.0, options.normalizeDbfs, error))
                    return false;
            }
            continue;
        }

        const bool takesValue = name == "-o" || name == "--output" || name == "--plugin" || name == "--program" ||
                                name == "--sample-rate" || name == "--block-size" || name == "--tail" ||
                                name == "--format" || name == "--gain" || name == "--channels";
        if (!takesValue) return fail(error, name, "unknown option (see --help)");
        std::string value;
        if (hasInlineValue) {
            value = inlineValue;
        } else {
            if (i + 1 >= args.size()) return fail(error, name, "needs a value");
            value = args[++i];
        }
        if (value.empty()) return fail(error, name, "needs a value");

        int64_t number = 0;
        if (name == "-o" || name == "--output") {
            options.outputPath = value;
        } else if (name == "--plugin") {
            options.pluginPath = value;
        } else if (name == "--program") {
            // A number counts from 0; anything else names the program.
            options.programName.clear();
            options.program = -1;
            if (parseWholeNumber(value, number)) {
                if (!readInteger(name, value, 0, INT32_MAX, number, error)) return false;
                options.program = static_cast<int32_t>(number);
            } else {
                options.programName = value;
            }
        } else if (name == "--gain") {
            if (!readDecimal(name, value, -RenderOptions::kMaxGainDb, RenderOptions::kMaxGainDb, options.gainDb,
                             error))
                return false;
        } else if (name == "--channels") {
            std::string problem;
            if (!parseChannelList(value, options.channels, problem)) return fail(error, name, problem);
        } else if (name == "--sample-rate") {
            if (!readInteger(name, value, RenderOptions::kMinSampleRate, RenderOptions::kMaxSampleRate, number,
                             error))
                return false;
            options.sampleRate = static_cast<uint32_t>(number);
        } else if (name == "--block-size") {
            if (!readInteger(name, value, RenderOptions::kMinBlockSize, RenderOptions::kMaxBlockSize, number, error))
                return false;
            options.blockSize = static_cast<int32_t>(number);
        } else if (name == "--tail") {
            double seconds = 0.0;
            if (!parseDecimal(value, seconds)) return fail(error, name, quote(value) + " is not a number of seconds");
            if (seconds < 0.0 || seconds > RenderOptions::kMaxTailSeconds)
                return fail(error, name, value + " is out of range (0 to 600 seconds)");
            options.tailGiven = true;
            options.tailSeconds = seconds;
        } else if (name == "--format") {
            if (value == "f32") options.format = WavSampleFormat::Float32;
            else if (value == "s16") options.format = WavSampleFormat::Pcm16;
            else if (value == "s24") options.format = WavSampleFormat::Pcm24;
            else return fail(error, name, quote(value) + " is not a format (f32, s16 or s24)");
        }
    }

    switch (options.mode) {
    case RenderOptions::Mode::Help:
    case RenderOptions::Mode::Version:
    case RenderOptions::Mode::GmTable:
        return true;
    case RenderOptions::Mode::Info:
        if (!files.empty()) return fail(error, files[0], "--info takes no MIDI file");
        if (!options.outputPath.empty()) return fail(error, "-o", "--info writes no output file");
        return true;
    case RenderOptions::Mode::Render:
        break;
    }
    if (files.empty()) return fail(error, "", "no MIDI file given (see --help)");
    if (files.size() > 1) return fail(error, files[1], "only one MIDI file can be rendered at a time");
    if (options.outputPath.empty()) return fail(error, files[0], "no output file given (-o OUT.wav)");
    if (!writesToStandardOutput(options) && !checkOutputName(options.outputPath, files[0], error)) return false;
    if (options.normalize && options.gainDb != 0.0)
        return fail(error, "--gain", "and --normalize exclude each other (--normalize sets the gain itself)");
    if (!checkSongOptions(options, error)) return false;
    options.midiPath = files[0];
    return true;
}

bool rendersInParts(const RenderOptions& options) {
    return options.perChannel || !options.stemsFolder.empty() || options.loudnessGiven || options.truePeakGiven ||
           options.json;
}

std::string renderUsage() {
    return "Usage: vorzle-render SONG.mid -o OUT.wav [options]\n"
           "       vorzle-render --info [--json] [--plugin PATH]\n"
           "\n"
           "Plays a Standard MIDI File (also RIFF-wrapped .rmi) through a VST 2 instrument\n"
           "and writes a stereo WAV file.\n"
           "\n"
           "Output:\n"
           "  -o, --output FILE      the WAV file to write (replaced only when the render\n"
           "                         succeeds); - writes it to standard output, for a pipe\n"
           "                         (other formats: -o - | ffmpeg -i - OUT.flac); a symbolic\n"
           "                         link is written through to its target\n"
           "  --force                replace an output file that is write-protected (it\n"
           "                         stays protected)\n"
           "  --format f32|s16|s24   32-bit float (default), 16- or 24-bit integer samples;\n"
           "                         integer samples beyond full scale are clipped and counted\n"
           "  --no-dither            round integer samples without TPDF dither\n"
           "  --gain DB              scale the output by DB decibels, -60 to 60\n"
           "  --normalize [DBFS]     scale the output so its peak is DBFS, -100 to 0\n"
           "                         (default -1); needs 8 bytes of disk per frame beside\n"
           "                         the output for a second pass, no extra memory\n"
           "  --sample-rate HZ       8000 to 384000 (default 44100)\n"
           "  --tail SECONDS         how long to keep rendering after the song ends, 0 to 600\n"
           "                         (default: until the output stays below -100 dBFS for one\n"
           "                         second, at most 30 seconds)\n"
           "\n"
           "Playing:\n"
           "  --plugin PATH          the VST 2 instrument to use (default: Vorzle beside this\n"
           "                         program); a name without a folder is in the current one\n"
           "  --program N|NAME       select a program before playing: its number, counted\n"
           "                         from 0 as --info lists them, or its name (exact, or a\n"
           "                         part of one name, in any case)\n"
           "  --ignore-program-changes\n"
           "                         skip the song's program changes (otherwise they switch\n"
           "                         programs where they occur, also after --program)\n"
           "  --channels LIST        play only these MIDI channels, e.g. 1-9,11-16; in General\n"
           "                         MIDI files channel 10 holds drums, which an instrument\n"
           "                         plays as pitched notes unless it is left out\n"
           "  --block-size N         frames per processing call at most, 1 to 8192 (default 512)\n"
           "  --fixed-blocks         every block has the block size and events carry their\n"
           "                         offset in it, as from a live host; Vorzle plays each on\n"
           "                         its sample, cutting its own render there (default:\n"
           "                         blocks are cut where events fall, so each event starts\n"
           "                         a block; the two modes' sub-blocks differ, so their\n"
           "                         samples do too)\n"
           "  --strict               refuse a damaged or truncated MIDI file (default: play\n"
           "                         it as far as it is readable, with a warning)\n"
           "\n"
           "Songs (one instrument per part, as in a DAW):\n"
           "  --per-channel          one instance of the plug-in for every channel that plays\n"
           "                         notes, fed only that channel's events; the output is\n"
           "                         their sum, and a program change moves one channel only\n"
           "  --gm                   General MIDI: per channel, each GM program played by a\n"
           "                         Vorzle program of its family (see --gm-table), two\n"
           "                         channels of one family on different programs, channel 10\n"
           "                         (drums) left out, every note an octave up (written pitch)\n"
           "  --drums                with --gm: play channel 10 too, as pitched thumps\n"
           "  --transpose SEMITONES  shift every note, -48 to 48 (default 0, with --gm 12:\n"
           "                         Vorzle sounds an octave below the written pitch)\n"
           "  --stems DIR            also write each channel alone into DIR, named like\n"
           "                         ch02-Rave bass.wav (channel and first program), as long\n"
           "                         as the output and in its format; implies --per-channel\n"
           "  --overwrite            let --stems replace existing files of the same names\n"
           "  --gm-table             print the General MIDI to Vorzle program table, then exit\n"
           "  Parts are rendered one after another into temporary files beside the output,\n"
           "  8 bytes of disk per frame and part, and written once all are done.\n"
           "\n"
           "Loudness (EBU R 128, measured by libebur128):\n"
           "  --loudness LUFS        scale the output to this integrated loudness, -70 to 0\n"
           "                         (e.g. -16 for listening, -23 for broadcast), within the\n"
           "                         true-peak ceiling; stems get the same gain, so they\n"
           "                         still sum to the output\n"
           "  --true-peak DBTP       the true-peak ceiling, -20 to 0 (default -1): the gain\n"
           "                         never takes the output above it (the summary says by how\n"
           "                         much it held the gain back); alone, it only lowers\n"
           "  Per-channel renders, stems and these options report integrated loudness,\n"
           "  loudness range and true peak of every output file.\n"
           "\n"
           "Other:\n"
           "  -q, --quiet            no progress bar and no summary line\n"
           "  --info                 show what the plug-in tells its host, then exit\n"
           "  --json                 with --info: the same as JSON; with a render: its report\n"
           "                         as JSON (levels and loudness of every output, parts)\n"
           "  --version              the version, then exit\n"
           "  -h, --help             this text\n"
           "\n"
           "Exit status: 0 done (also when a signal comes after the file is complete),\n"
           "1 failed, 2 bad command line, 3 the plug-in crashed, 4 out of memory;\n"
           "interrupted, no output written: 130 (Ctrl-C, SIGINT), 129 (SIGHUP),\n"
           "143 (SIGTERM), 128+N for another signal N that ends the program.\n";
}
