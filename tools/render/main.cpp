// vorzle-render: plays a Standard MIDI File through a VST 2 instrument (Vorzle
// beside the program unless told otherwise) and writes a WAV file.

#include <chrono>
#include <cmath>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <memory>
#include <new>
#include <string>
#include <system_error>
#include <vector>

#include "song/block_schedule.h"
#include "song/midi_file.h"
#include "vsthost/host_callback.h"
#include "vsthost/plugin_instance.h"
#include "vsthost/plugin_module.h"
#include "tools/render/crash_guard.h"
#include "tools/render/float_spool.h"
#include "tools/render/module_format.h"
#include "tools/render/output_stream.h"
#include "tools/render/plugin_info.h"
#include "tools/render/progress_bar.h"
#include "tools/render/render_options.h"
#include "tools/render/render_session.h"
#include "tools/render/render_summary.h"
#include "tools/render/song_filter.h"
#include "tools/render/wav_writer.h"

namespace fs = std::filesystem;

namespace {

constexpr int kExitFailed = 1;
constexpr int kExitUsage = 2;

int report(const std::string& subject, const std::string& problem, int status = kExitFailed) {
    std::fflush(stdout);
    if (subject.empty()) std::fprintf(stderr, "vorzle-render: %s\n", problem.c_str());
    else std::fprintf(stderr, "vorzle-render: %s: %s\n", subject.c_str(), problem.c_str());
    return status;
}

void warn(const std::string& text) { std::fprintf(stderr, "vorzle-render: warning: %s\n", text.c_str()); }

// A clearer reason than the loader's for the common cases.
std::string fileProblem(const std::string& path) {
    std::error_code ec;
    const fs::file_status status = fs::status(path, ec);
    if (status.type() == fs::file_type::not_found) return "no such file";
    if (status.type() == fs::file_type::directory) return "is a directory";
    return std::string();
}

// A module built for another system or word size, told before the loader tries it.
std::string moduleProblem(const std::string& path) {
    std::ifstream file(path, std::ios::binary);
    std::vector<uint8_t> head(kModuleHeadBytes);
    file.read(reinterpret_cast<char*>(head.data()), static_cast<std::streamsize>(head.size()));
    head.resize(static_cast<size_t>(file.gcount()));
    return moduleMismatch(identifyModule(head), thisProgramsModules());
}

// An output that exists and is not a regular file (a device, a FIFO) is
// written as it is: renaming a new file over it would replace it.
bool isExistingStream(const std::string& path) {
    std::error_code ec;
    const fs::file_type type = fs::status(path, ec).type();
    return !ec && type != fs::file_type::regular && type != fs::file_type::directory &&
           type != fs::file_type::not_found && type != fs::file_type::none;
}

// Where a streamed output's spool goes: the system's temporary folder, which
// must be usable, never the current folder by default.
bool spoolFolder(fs::path& folder, std::string& error) {
    std::error_code ec;
    folder = fs::temp_directory_path(ec);
    if (!ec) return true;
    error = "needs a writable temporary folder for its spool (" + ec.message() + "); point TMPDIR at one";
    return false;
}

bool sameFile(const std::string& a, const std::string& b) {
    std::error_code ec;
    return fs::exists(a, ec) && fs::exists(b, ec) && fs::equivalent(a, b, ec);
}

// The plug-in module and one opened instance of it, closed in reverse order.
struct OpenPlugin {
    PluginModule module;
    std::unique_ptr<PluginInstance> instance;
};

bool openPlugin(const std::string& path, OpenPlugin& plugin, std::string& error) {
    error = fileProblem(path);
    if (error.empty()) error = moduleProblem(path);
    if (!error.empty()) return false;
    // A bare file name means the file in the current folder, as everywhere on the
    // command line; the loader would search the library path instead.
    const std::string loadPath = fs::path(path).has_parent_path() ? path : (fs::current_path() / path).string();
    if (!plugin.module.load(loadPath, error)) return false;
    Host::instance().setRecording(false);
    plugin.instance = PluginInstance::create(plugin.module.entry(), error);
    if (!plugin.instance) return false;
    plugin.instance->dispatch(effOpen);
    return true;
}

int runInfo(const RenderOptions& options, const std::string& pluginPath) {
    OpenPlugin plugin;
    std::string error;
    if (!openPlugin(pluginPath, plugin, error)) return report(pluginPath, error);
    const PluginInfo info = gatherPluginInfo(*plugin.instance, pluginPath);
    const std::string text = options.json ? formatInfoJson(info) : formatInfoText(info);
    std::fwrite(text.data(), 1, text.size(), stdout);
    return std::fflush(stdout) == 0 ? 0 : report("stdout", "cannot write");
}

std::string plural(uint64_t count, const std::string& one, const std::string& many) {
    return std::to_string(count) + " " + (count == 1 ? one : many);
}

// The program --program asks for, checked against the plug-in; -1 for none.
bool resolveProgram(const RenderOptions& options, PluginInstance& plugin, int32_t& program, std::string& error) {
    const int32_t count = plugin.effect()->numPrograms;
    program = options.program;
    if (!options.programName.empty())
        return findProgram(programNames(plugin, std::max(count, 0)), options.programName, program, error);
    if (program >= count) {
        error = std::to_string(program) + " is out of range (the plug-in has " + std::to_string(count) + " programs)";
        return false;
    }
    return true;
}

std::string peakWarning(const std::string& output, const WavLevels& levels, WavSampleFormat format) {
    const std::string where = format == WavSampleFormat::Float32
                                  ? "the float file keeps it, but most players will clip it"
                                  : plural(levels.clippedSamples, "sample", "samples") + " clipped in the " +
                                        (format == WavSampleFormat::Pcm16 ? "16" : "24") + "-bit file";
    char peak[32];
    std::snprintf(peak, sizeof peak, "%+.1f dBFS", levels.peakDbfs());
    return output + " peaks at " + peak + ", above full scale (" + where + "); --normalize fits it below";
}

// What the summary line adds about events left out and the normalising gain.
std::string summaryNotes(const FilterCounts& counts, bool normalized, float gain) {
    std::string notes;
    if (counts.skippedOnChannels > 0)
        notes += ", " + plural(counts.skippedOnChannels, "event", "events") + " on channels left out skipped";
    if (counts.programChangesSkipped > 0)
        notes += ", " + plural(counts.programChangesSkipped, "program change", "program changes") + " ignored";
    if (normalized) {
        char text[48];
        std::snprintf(text, sizeof text, ", normalized by %+.1f dB", 20.0 * std::log10(double(gain)));
        notes += text;
    }
    return notes;
}

int runRender(const RenderOptions& options, const std::string& pluginPath) {
    const bool toStdout = writesToStandardOutput(options) || namesStandardOutput(options.outputPath);
    // A device or FIFO is written like standard output, without a temporary file.
    const bool toDevice = !toStdout && isExistingStream(options.outputPath);
    const std::string outputName = toStdout ? "stdout" : options.outputPath;
    std::string error = fileProblem(options.midiPath);
    MidiSong song;
    const MidiDamagePolicy policy = options.strict ? MidiDamagePolicy::Refuse : MidiDamagePolicy::PlayReadablePart;
    if (!error.empty() || !readMidiFile(options.midiPath, song, error, policy)) return report(options.midiPath, error);

    std::error_code ec;
    if (toStdout) {
        if (isTerminal(stdout))
            return report("-o -", "standard output is a terminal; pipe it into a program or redirect it to a file");
    } else {
        if (sameFile(options.midiPath, options.outputPath))
            return report(options.outputPath, "is the MIDI file itself; choose another output name");
        if (sameFile(pluginPath, options.outputPath))
            return report(options.outputPath, "is the plug-in itself; choose another output name");
        if (fs::is_directory(options.outputPath, ec)) return report(options.outputPath, "is a directory");
    }

    OpenPlugin plugin;
    if (!openPlugin(pluginPath, plugin, error)) return report(pluginPath, error);
    const AEffect& effect = *plugin.instance->effect();
    error = instrumentProblem(effect);
    if (!error.empty()) return report(pluginPath, error);
    int32_t program = -1;
    if (!resolveProgram(options, *plugin.instance, program, error)) return report("--program", error);

    if (!song.damage.empty())
        warn(options.midiPath + ": damaged, played as far as it is readable: " + song.damage +
             "; --strict refuses such files");
    SongFilter filter;
    filter.channels = options.channels;
    filter.keepProgramChanges = !options.ignoreProgramChanges;
    const FilterCounts counts = filterSong(song, filter);
    if (program >= 0 && counts.programChangesLeft > 0)
        warn(options.midiPath + " has " + plural(counts.programChangesLeft, "program change", "program changes") +
             ", which switch programs after --program selects " + std::to_string(program) +
             "; --ignore-program-changes skips them");

    RenderSettings settings;
    settings.sampleRate = options.sampleRate;
    settings.blockSize = options.blockSize;
    settings.fixedBlocks = options.fixedBlocks;
    settings.program = program;
    settings.fixedTail = options.tailGiven;
    settings.tailSeconds = options.tailSeconds;
    settings.format = options.format;
    if (!options.normalize) settings.gain = static_cast<float>(std::pow(10.0, options.gainDb / 20.0));

    // The file is made first, so that an unwritable destination is found before the render.
    WavWriter writer;
    auto openStream = [&](uint64_t frames) {
        return toStdout ? writer.openStandardOutput(options.sampleRate, options.format, options.dither, frames, error)
                        : writer.openStream(options.outputPath, options.sampleRate, options.format, options.dither,
                                            frames, error);
    };
    auto streamFailure = [&]() {
        return writer.outputClosed() ? report("", "output closed") : report(outputName, error);
    };
    if (!toStdout && !toDevice) {
        if (!writer.open(options.outputPath, options.sampleRate, options.format, options.dither, error))
            return report(options.outputPath, error);
        guardTemporaryFile(writer.temporaryPath());
    } else if (!options.normalize) {
        const int64_t frames = options.tailGiven ? plannedFrames(BlockSchedule(song, options.sampleRate).songFrames(), settings) : 0;
        if (!openStream(static_cast<uint64_t>(frames))) return streamFailure();
    }
    FloatSpool spool;
    if (options.normalize) {
        fs::path base = options.outputPath;
        if (toStdout || toDevice) {
            if (!spoolFolder(base, error)) return report("--normalize", error);
            base /= "vorzle-render";
        }
        if (!spool.open(base, error)) return report(outputName, error);
        guardTemporaryFile(spool.path());
    }
    FrameSink& sink = options.normalize ? static_cast<FrameSink&>(spool) : writer;

    ProgressBar bar(!options.quiet && isTerminal(stderr), options.sampleRate);
    const auto started = std::chrono::steady_clock::now();
    RenderResult result;
    // A spooled render writes nothing until it ends: a pipe closed meanwhile
    // is asked after now and then, so the render stops soon after.
    bool closedEarly = false;
    bool ok = renderSong(
        *plugin.instance, song, settings, sink,
        [&](const RenderProgress& p) {
            bar.update(p.framesDone, p.songFrames, p.framesExpected);
            closedEarly = toStdout && options.normalize && readerGone(stdout);
            return !interruptRequested() && !closedEarly;
        },
        result, error);
    bar.clear();
    if (closedEarly) {
        releaseTemporaryFiles();
        return report("", "output closed");
    }
    float gain = settings.gain;
    if (ok && options.normalize) {
        gain = normalizingGain(spool.levels().peak, options.normalizeDbfs);
        ok = (!(toStdout || toDevice) || openStream(spool.levels().frames)) && spool.replay(writer, gain, error);
    }
    if (ok && interruptRequested()) {
        result.interrupted = true;
        ok = false;
    }
    if (!ok || !writer.finish(error)) {
        writer.abort();
        releaseTemporaryFiles();
        if (result.interrupted) {
            report("", "interrupted; no output written");
            interruptHandled();
            return kExitInterrupted;
        }
        return streamFailure();
    }
    releaseTemporaryFiles();
    const double wall = std::chrono::duration<double>(std::chrono::steady_clock::now() - started).count();

    const WavLevels& levels = writer.levels();
    if (levels.peak > 1.0) warn(peakWarning(outputName, levels, options.format));
    if (!options.quiet) {
        const std::string notes = summaryNotes(counts, options.normalize, gain);
        std::FILE* stream = toStdout ? stderr : stdout;
        std::fprintf(stream, "vorzle-render: %s\n",
                     formatSummary(outputName, levels, options.sampleRate, wall, notes).c_str());
        std::fflush(stream);
    }
    return 0;
}

}  // namespace

int main(int argc, char** argv) {
    std::vector<std::string> args(argv + 1, argv + argc);
    RenderOptions options;
    OptionError optionError;
    if (!parseRenderOptions(args, options, optionError))
        return report(optionError.subject, optionError.problem, kExitUsage);
    if (options.mode == RenderOptions::Mode::Help) {
        std::fputs(renderUsage().c_str(), stdout);
        return 0;
    }
    if (options.mode == RenderOptions::Mode::Version) {
        std::printf("%s\n", versionText().c_str());
        return 0;
    }
    const std::string pluginPath = options.pluginPath.empty() ? defaultPluginPath() : options.pluginPath;
    installCrashGuard(pluginPath);
    // Our own allocations failing is no crash of the plug-in: the files made so
    // far are removed as the render unwinds.
    try {
        if (options.mode == RenderOptions::Mode::Info) return runInfo(options, pluginPath);
        return runRender(options, pluginPath);
    } catch (const std::bad_alloc&) {
        releaseTemporaryFiles();
        return report("", "out of memory (see MEMORY in the manual page)", kExitOutOfMemory);
    }
}
