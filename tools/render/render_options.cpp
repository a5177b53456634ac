#include "tools/render/render_options.h"

#include <cerrno>
#include <cmath>
#include <cstdlib>

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

}  // namespace

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

bool parseDecimal(const std::string& text, double& value) {
    if (text.empty() || text.size() > 64) return false;
    // strtod also reads hex, inf, nan and leading blanks; none of those are wanted here.
    for (char c : text)
        if (!((c >= '0' && c <= '9') || c == '.' || c == '-' || c == '+' || c == 'e' || c == 'E')) return false;
    errno = 0;
    char* end = nullptr;
    const double result = std::strtod(text.c_str(), &end);
    if (end != text.c_str() + text.size() || errno == ERANGE || !std::isfinite(result)) return false;
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

        // Flags first: they take no value.
        const bool isFlag = name == "--help" || name == "-h" || name == "--info" || name == "--json" ||
                            name == "--quiet" || name == "-q" || name == "--no-dither";
        if (isFlag) {
            if (hasInlineValue) return fail(error, name, "takes no value");
            if (name == "--help" || name == "-h") options.mode = RenderOptions::Mode::Help;
            else if (name == "--info") {
                if (options.mode != RenderOptions::Mode::Help) options.mode = RenderOptions::Mode::Info;
            } else if (name == "--json") options.json = true;
            else if (name == "--quiet" || name == "-q") options.quiet = true;
            else options.dither = false;
            continue;
        }

        const bool takesValue = name == "-o" || name == "--output" || name == "--plugin" || name == "--program" ||
                                name == "--sample-rate" || name == "--block-size" || name == "--tail" ||
                                name == "--format";
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
            if (!readInteger(name, value, 0, INT32_MAX, number, error)) return false;
            options.program = static_cast<int32_t>(number);
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
        return true;
    case RenderOptions::Mode::Info:
        if (!files.empty()) return fail(error, files[0], "--info takes no MIDI file");
        if (!options.outputPath.empty()) return fail(error, "-o", "--info writes no output file");
        return true;
    case RenderOptions::Mode::Render:
        break;
    }
    if (options.json) return fail(error, "--json", "only goes with --info");
    if (files.empty()) return fail(error, "", "no MIDI file given (see --help)");
    if (files.size() > 1) return fail(error, files[1], "only one MIDI file can be rendered at a time");
    if (options.outputPath.empty()) return fail(error, files[0], "no output file given (-o OUT.wav)");
    options.midiPath = files[0];
    return true;
}

std::string renderUsage() {
    return "Usage: vorzle-render SONG.mid -o OUT.wav [options]\n"
           "       vorzle-render --info [--json] [--plugin PATH]\n"
           "\n"
           "Plays a Standard MIDI File through a VST 2 instrument and writes a stereo WAV file.\n"
           "\n"
           "Options:\n"
           "  -o, --output FILE      the WAV file to write (replaced only when the render succeeds)\n"
           "  --plugin PATH          the VST 2 instrument to use (default: Vorzle beside this program)\n"
           "  --program N            select program N before playing\n"
           "  --sample-rate HZ       8000 to 384000 (default 44100)\n"
           "  --block-size N         frames per processing call, 1 to 8192 (default 512)\n"
           "  --tail SECONDS         how long to keep rendering after the song ends, 0 to 600\n"
           "                         (default: until the output stays below -100 dBFS for one\n"
           "                         second, at most 30 seconds)\n"
           "  --format f32|s16|s24   32-bit float (default), 16- or 24-bit integer samples\n"
           "  --no-dither            round integer samples without TPDF dither\n"
           "  -q, --quiet            no progress bar and no summary line\n"
           "  --info                 show what the plug-in tells its host, then exit\n"
           "  --json                 with --info: the same as JSON\n"
           "  -h, --help             this text\n"
           "\n"
           "Exit status: 0 done, 1 failed, 2 bad command line, 3 the plug-in crashed.\n";
}
