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
#include "song/general_midi.h"
#include "song/midi_file.h"
#include "song/song_parts.h"
#include "vsthost/host_callback.h"
#include "vsthost/plugin_instance.h"
#include "vsthost/plugin_module.h"
#include "tools/render/crash_guard.h"
#include "tools/render/float_spool.h"
#include "tools/render/loudness_meter.h"
#include "tools/render/module_format.h"
#include "tools/render/output_stream.h"
#include "tools/render/output_target.h"
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

// Why the output cannot go where it is asked to, and the name that says
// where; false when it can.
bool outputPlaceProblem(const RenderOptions& options, const std::string& pluginPath, bool toStdout,
                        std::string& subject, std::string& problem) {
    std::error_code ec;
    subject = toStdout ? "-o -" : options.outputPath;
    if (toStdout)
        problem = isTerminal(stdout) ? "standard output is a terminal; pipe it into a program or redirect it to a file" : "";
    else if (sameFile(options.midiPath, options.outputPath))
        problem = "is the MIDI file itself; choose another output name";
    else if (sameFile(pluginPath, options.outputPath))
        problem = "is the plug-in itself; choose another output name";
    else if (fs::is_directory(options.outputPath, ec))
        problem = "is a directory";
    return !problem.empty();
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

// --channels and --ignore-program-changes, with the warning when the song's
// program changes would override --program.
FilterCounts filterSongAsAsked(const RenderOptions& options, MidiSong& song, int32_t program) {
    SongFilter filter;
    filter.channels = options.channels;
    filter.keepProgramChanges = !options.ignoreProgramChanges;
    const FilterCounts counts = filterSong(song, filter);
    if (program >= 0 && counts.programChangesLeft > 0)
        warn(options.midiPath + " has " + plural(counts.programChangesLeft, "program change", "program changes") +
             ", which switch programs after --program selects " + std::to_string(program) +
             "; --ignore-program-changes skips them");
    return counts;
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

std::string peakWarning(const std::string& output, const WavLevels& levels, WavSampleFormat format,
                        const std::string& remedy = "--normalize fits it below") {
    const std::string where = format == WavSampleFormat::Float32
                                  ? "the float file keeps it, but most players will clip it"
                                  : plural(levels.clippedSamples, "sample", "samples") + " clipped in the " +
                                        (format == WavSampleFormat::Pcm16 ? "16" : "24") + "-bit file";
    char peak[32];
    std::snprintf(peak, sizeof peak, "%+.1f dBFS", levels.peakDbfs());
    return output + " peaks at " + peak + ", above full scale (" + where + "); " + remedy;
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

// ------------------------------------------------------------ songs in parts
// One instance per sounding channel (or one for the whole song), each rendered
// into a spool of its own; then the mix is measured, its gain chosen, and the
// mix (the sum of the parts) and the stems are written with that one gain.

std::string jsonText(const std::string& text) {
    std::string out = "\"";
    for (unsigned char c : text) {
        if (c == '"' || c == '\\') out += '\\', out += char(c);
        else if (c < 0x20) {
            char escaped[8];
            std::snprintf(escaped, sizeof escaped, "\\u%04x", c);
            out += escaped;
        } else out += char(c);
    }
    return out + "\"";
}

std::string jsonNumber(double value) {
    if (!std::isfinite(value)) return "null";
    char text[32];
    std::snprintf(text, sizeof text, "%.2f", value);
    return text;
}

// A program name as part of a file name: characters no file system takes become '_'.
std::string fileNamePart(const std::string& name) {
    std::string out;
    for (char c : name) out += (std::string("/\\:*?\"<>|").find(c) != std::string::npos || (unsigned char)c < 0x20) ? '_' : c;
    while (!out.empty() && (out.back() == ' ' || out.back() == '.')) out.pop_back();
    return out.empty() ? "program" : out;
}

struct PartOutput {
    SongPart part;
    int32_t program = -1;
    std::string name;                 // the stem's path, or the output's name
    std::unique_ptr<FloatSpool> spool;
    std::unique_ptr<WavWriter> stem;
    std::unique_ptr<LoudnessMeter> meter;
};

int runPartsRender(const RenderOptions& options, const std::string& pluginPath) {
    const bool toStdout = writesToStandardOutput(options) || namesStandardOutput(options.outputPath);
    const bool toDevice = !toStdout && isExistingStream(options.outputPath);
    const std::string outputName = toStdout ? "stdout" : options.outputPath;
    const bool wantsLoudness = options.loudnessGiven || options.truePeakGiven;
    if (wantsLoudness && !LoudnessMeter::available())
        return report(options.loudnessGiven ? "--loudness" : "--true-peak",
                      "this build has no loudness measurement (libebur128); render without it and measure "
                      "elsewhere, e.g. ffmpeg -i OUT.wav -af ebur128=peak=true -f null -",
                      kExitUsage);
    const bool measuring = LoudnessMeter::available();
    std::string error = fileProblem(options.midiPath);
    MidiSong song;
    const MidiDamagePolicy policy = options.strict ? MidiDamagePolicy::Refuse : MidiDamagePolicy::PlayReadablePart;
    if (!error.empty() || !readMidiFile(options.midiPath, song, error, policy)) return report(options.midiPath, error);
    if (std::string subject, problem; outputPlaceProblem(options, pluginPath, toStdout, subject, problem))
        return report(subject, problem);

    OpenPlugin plugin;
    if (!openPlugin(pluginPath, plugin, error)) return report(pluginPath, error);
    error = instrumentProblem(*plugin.instance->effect());
    if (!error.empty()) return report(pluginPath, error);
    int32_t program = -1;
    if (!resolveProgram(options, *plugin.instance, program, error)) return report("--program", error);
    const std::vector<std::string> names =
        programNames(*plugin.instance, std::max(plugin.instance->effect()->numPrograms, 0));
    const int32_t startProgram = program >= 0 ? program : int32_t(plugin.instance->dispatch(effGetProgram));
    plugin.instance.reset();   // every part gets a fresh instance

    if (!song.damage.empty())
        warn(options.midiPath + ": damaged, played as far as it is readable: " + song.damage +
             "; --strict refuses such files");
    SongLayout layout;
    layout.perChannel = options.perChannel;
    layout.generalMidi = options.generalMidi;
    layout.drums = options.drums;
    if (options.transposeGiven) layout.transpose = options.transpose;
    const PrepareCounts prepared = prepareSong(song, layout);
    if (prepared.drumEventsLeftOut > 0 && !options.quiet)
        std::fprintf(stderr, "vorzle-render: note: channel 10 (General MIDI drums) left out; --drums plays it\n");
    if (prepared.notesOutOfRange > 0)
        warn(plural(prepared.notesOutOfRange, "note", "notes") + " shifted beyond the keyboard by --transpose " +
             std::to_string(prepared.transpose) + " left out");
    const FilterCounts counts = filterSongAsAsked(options, song, program);

    std::vector<SongPart> parts = songParts(song, options.perChannel);
    if (parts.empty()) parts = songParts(song, false);   // nothing sounds: the silence of the song's length

    RenderSettings settings;
    settings.sampleRate = options.sampleRate;
    settings.blockSize = options.blockSize;
    settings.fixedBlocks = options.fixedBlocks;
    settings.program = program;
    settings.fixedTail = options.tailGiven;
    settings.tailSeconds = options.tailSeconds;
    settings.format = options.format;
    const bool gainLater = options.normalize || wantsLoudness;
    if (!gainLater) settings.gain = static_cast<float>(std::pow(10.0, options.gainDb / 20.0));

    // Every file is made before the render, so that a problem shows at once.
    const bool stems = !options.stemsFolder.empty();
    std::error_code ec;
    if (stems && !fs::is_directory(options.stemsFolder, ec) && !fs::create_directories(options.stemsFolder, ec))
        return report(options.stemsFolder, "cannot make the folder: " + ec.message());
    fs::path spoolBase = options.outputPath;
    if (toStdout || toDevice) {
        if (!spoolFolder(spoolBase, error)) return report(outputName, error);
        spoolBase /= "vorzle-render";
    }
    std::vector<PartOutput> outputs(parts.size());
    for (size_t k = 0; k < parts.size(); ++k) {
        PartOutput& out = outputs[k];
        out.part = std::move(parts[k]);
        out.program = out.part.firstProgram >= 0 ? out.part.firstProgram : startProgram;
        const std::string label = out.part.channel >= 0 ? "ch" + std::string(out.part.channel < 9 ? "0" : "") +
                                                              std::to_string(out.part.channel + 1)
                                                        : "song";
        out.spool = std::make_unique<FloatSpool>();
        fs::path base = spoolBase;
        base += "." + label;
        if (!out.spool->open(base, error)) return report(outputName, error);
        guardTemporaryFile(out.spool->path());
        if (stems) {
            const std::string programName =
                out.program >= 0 && size_t(out.program) < names.size() ? names[size_t(out.program)] : "program";
            out.name = (fs::path(options.stemsFolder) / (label + "-" + fileNamePart(programName) + ".wav")).string();
            if (fs::exists(out.name, ec) && !options.overwrite)
                return report(out.name, "exists; --overwrite replaces stems");
            out.stem = std::make_unique<WavWriter>();
            if (!out.stem->open(out.name, options.sampleRate, options.format, options.dither, error))
                return report(out.name, error);
            guardTemporaryFile(out.stem->temporaryPath());
        }
    }
    WavWriter writer;
    if (!toStdout && !toDevice) {
        if (!writer.open(options.outputPath, options.sampleRate, options.format, options.dither, error))
            return report(options.outputPath, error);
        guardTemporaryFile(writer.temporaryPath());
    }
    auto fail = [&](const std::string& subject, const std::string& problem, bool interrupted) {
        writer.abort();
        for (PartOutput& out : outputs)
            if (out.stem) out.stem->abort();
        outputs.clear();
        releaseTemporaryFiles();
        if (interrupted) {
            report("", "interrupted; no output written");
            interruptHandled();
            return kExitInterrupted;
        }
        return writer.outputClosed() ? report("", "output closed") : report(subject, problem);
    };

    ProgressBar bar(!options.quiet && isTerminal(stderr), options.sampleRate);
    const auto started = std::chrono::steady_clock::now();
    for (PartOutput& out : outputs) {
        std::unique_ptr<PluginInstance> instance = PluginInstance::create(plugin.module.entry(), error);
        if (!instance) return fail(pluginPath, error, false);
        instance->dispatch(effOpen);
        RenderResult result;
        bool closedEarly = false;
        const bool ok = renderSong(
            *instance, out.part.song, settings, *out.spool,
            [&](const RenderProgress& p) {
                bar.update(p.framesDone, p.songFrames, p.framesExpected);
                closedEarly = toStdout && readerGone(stdout);
                return !interruptRequested() && !closedEarly;
            },
            result, error);
        if (closedEarly) return fail("", "output closed", false);
        if (!ok || interruptRequested()) return fail(outputName, error, result.interrupted || interruptRequested());
    }
    bar.clear();

    // The parts in step, the shorter ones padded with silence, summed into the mix.
    uint64_t frames = 0;
    for (const PartOutput& out : outputs) frames = std::max<uint64_t>(frames, out.spool->levels().frames);
    constexpr size_t kChunk = 4096;
    std::vector<float> partLeft(kChunk), partRight(kChunk), mixLeft(kChunk), mixRight(kChunk);
    auto pass = [&](float gain, FrameSink* mixSink, bool writeStems, std::string& passError) {
        for (PartOutput& out : outputs)
            if (!out.spool->rewind(passError)) return false;
        for (uint64_t done = 0; done < frames;) {
            const size_t n = size_t(std::min<uint64_t>(kChunk, frames - done));
            std::fill(mixLeft.begin(), mixLeft.begin() + n, 0.0f);
            std::fill(mixRight.begin(), mixRight.begin() + n, 0.0f);
            for (PartOutput& out : outputs) {
                size_t got = 0;
                if (!out.spool->read(partLeft.data(), partRight.data(), n, got, passError)) return false;
                std::fill(partLeft.begin() + got, partLeft.begin() + n, 0.0f);
                std::fill(partRight.begin() + got, partRight.begin() + n, 0.0f);
                for (size_t i = 0; i < n; ++i) {
                    partLeft[i] *= gain;
                    partRight[i] *= gain;
                    mixLeft[i] += partLeft[i];
                    mixRight[i] += partRight[i];
                }
                FrameSink* stemSink = out.meter ? static_cast<FrameSink*>(out.meter.get()) : out.stem.get();
                if (writeStems && stemSink && !stemSink->writePlanar(partLeft.data(), partRight.data(), n, passError)) return false;
            }
            if (!mixSink->writePlanar(mixLeft.data(), mixRight.data(), n, passError)) return false;
            done += n;
        }
        return true;
    };

    // The gain: from the mix's loudness or peak, measured in a pass of its own.
    float gain = 1.0f;
    LoudnessGain loudnessChoice;
    if (gainLater) {
        LoudnessMeter meter;
        struct PeakSink : FrameSink {
            LoudnessMeter* next = nullptr;
            WavLevels levels;
            bool writePlanar(const float* l, const float* r, size_t n, std::string& e) override {
                for (size_t i = 0; i < n; ++i) levels.add(l[i]), levels.add(r[i]);
                return !next || next->writePlanar(l, r, n, e);
            }
        } peaks;
        if (wantsLoudness) {
            if (!meter.start(options.sampleRate, nullptr, error)) return fail(outputName, error, false);
            peaks.next = &meter;
        }
        if (!pass(1.0f, &peaks, false, error)) return fail(outputName, error, false);
        if (wantsLoudness) {
            loudnessChoice = loudnessGain(meter.result(), options.loudnessGiven, options.loudnessLufs, true,
                                          options.truePeakDbtp);
            gain = loudnessChoice.gain;
        } else {
            gain = normalizingGain(peaks.levels.peak, options.normalizeDbfs);
        }
    }

    // The output pass: the mix and every stem, each measured as written.
    if ((toStdout || toDevice) &&
        !(toStdout ? writer.openStandardOutput(options.sampleRate, options.format, options.dither, frames, error)
                   : writer.openStream(options.outputPath, options.sampleRate, options.format, options.dither, frames,
                                       error)))
        return fail(outputName, error, false);
    LoudnessMeter mixMeter;
    if (measuring) {
        if (!mixMeter.start(options.sampleRate, &writer, error)) return fail(outputName, error, false);
        for (PartOutput& out : outputs) {
            if (!out.stem) continue;
            out.meter = std::make_unique<LoudnessMeter>();
            if (!out.meter->start(options.sampleRate, out.stem.get(), error)) return fail(outputName, error, false);
        }
    }
    if (!pass(gain, measuring ? static_cast<FrameSink*>(&mixMeter) : &writer, true, error))
        return fail(outputName, error, false);
    if (interruptRequested()) return fail(outputName, "interrupted", true);
    for (PartOutput& out : outputs)
        if (out.stem && !out.stem->finish(error)) return fail(out.name, error, false);
    if (!writer.finish(error)) return fail(outputName, error, false);
    releaseTemporaryFiles();
    const double wall = std::chrono::duration<double>(std::chrono::steady_clock::now() - started).count();

    // The summary: the mix's line with what was done to the song, then a line per stem.
    const WavLevels& levels = writer.levels();
    if (levels.peak > 1.0)
        warn(peakWarning(outputName, levels, options.format, "--loudness -16 (or --normalize) fits it below"));
    std::string notes = summaryNotes(counts, options.normalize, gain);
    if (options.perChannel) notes += ", " + plural(outputs.size(), "channel", "channels") + " on instances of their own";
    if (options.generalMidi) notes += ", General MIDI programs";
    if (prepared.drumEventsLeftOut > 0) notes += ", drums left out";
    if (prepared.transpose != 0) {
        char text[64];
        std::snprintf(text, sizeof text, ", transposed %+d%s", prepared.transpose,
                      options.generalMidi && !options.transposeGiven ? " (written pitch)" : "");
        notes += text;
    }
    char gainText[128] = "";
    if (wantsLoudness) {
        std::snprintf(gainText, sizeof gainText, ", gain %+.1f dB", 20.0 * std::log10(double(gain)));
        notes += gainText;
        if (loudnessChoice.ceilingWon) {
            std::snprintf(gainText, sizeof gainText, " (%.1f dB less%s: true-peak ceiling %.1f dBTP)",
                          loudnessChoice.reductionDb, options.loudnessGiven ? " than the loudness target" : "",
                          options.truePeakDbtp);
            notes += gainText;
        }
    }
    std::FILE* stream = toStdout ? stderr : stdout;
    if (options.json) {
        auto outputJson = [&](const std::string& path, int channel, int32_t prog, const WavLevels& l,
                              const LoudnessMeter* meter) {
            std::string text = "{\"path\": " + jsonText(path);
            if (channel >= 0) text += ", \"channel\": " + std::to_string(channel + 1) + ", \"program\": " +
                                      std::to_string(prog) + ", \"program_name\": " +
                                      jsonText(prog >= 0 && size_t(prog) < names.size() ? names[size_t(prog)] : "");
            text += ", \"frames\": " + std::to_string(l.frames) + ", \"peak_dbfs\": " + jsonNumber(l.peakDbfs()) +
                    ", \"clipped_samples\": " + std::to_string(l.clippedSamples);
            if (meter) {
                const Loudness loud = meter->result();
                text += ", \"integrated_lufs\": " + jsonNumber(loud.integratedLufs) + ", \"loudness_range_lu\": " +
                        jsonNumber(loud.rangeLu) + ", \"true_peak_dbtp\": " + jsonNumber(loud.truePeakDbtp);
            }
            return text + "}";
        };
        std::string text = "{\n  \"sample_rate\": " + std::to_string(options.sampleRate) +
                           ",\n  \"transpose\": " + std::to_string(prepared.transpose) +
                           ",\n  \"gain_db\": " + jsonNumber(20.0 * std::log10(double(gain))) +
                           ",\n  \"ceiling_reduction_db\": " + jsonNumber(loudnessChoice.reductionDb) +
                           ",\n  \"drums_left_out\": " + (prepared.drumEventsLeftOut > 0 ? "true" : "false") +
                           ",\n  \"output\": " + outputJson(outputName, -1, -1, levels, measuring ? &mixMeter : nullptr) +
                           ",\n  \"parts\": [";
        for (size_t k = 0; k < outputs.size(); ++k) {
            const PartOutput& out = outputs[k];
            std::string line = out.stem ? outputJson(out.name, std::max(out.part.channel, 0), out.program,
                                                     out.stem->levels(), out.meter.get())
                                        : "{\"channel\": " + std::to_string(out.part.channel + 1) +
                                              ", \"program\": " + std::to_string(out.program) + "}";
            text += std::string(k ? "," : "") + "\n    " + line;
        }
        text += "\n  ]\n}\n";
        std::fputs(text.c_str(), stream);
    } else if (!options.quiet) {
        if (measuring) notes += ", " + loudnessText(mixMeter.result());
        std::fprintf(stream, "vorzle-render: %s\n",
                     formatSummary(outputName, levels, options.sampleRate, wall, notes).c_str());
        for (const PartOutput& out : outputs) {
            if (!out.stem) continue;
            std::fprintf(stream, "vorzle-render: %s: peak %s%s\n", out.name.c_str(),
                         dbfsText(out.stem->levels().peakDbfs()).c_str(),
                         out.meter ? (", " + loudnessText(out.meter->result())).c_str() : "");
        }
    }
    std::fflush(stream);
    return 0;
}

int runGmTable(const RenderOptions&, const std::string& pluginPath) {
    // Names come from the plug-in when it opens; the numbers stand alone otherwise.
    OpenPlugin plugin;
    std::string error;
    std::vector<std::string> names;
    if (openPlugin(pluginPath, plugin, error))
        names = programNames(*plugin.instance, std::max(plugin.instance->effect()->numPrograms, 0));
    std::fputs(("General MIDI program -> Vorzle program (family) with --gm; a second channel on the same\n"
                "GM program takes the next free program of the family.\n" +
                gmTableText(names))
                   .c_str(),
               stdout);
    return std::fflush(stdout) == 0 ? 0 : report("stdout", "cannot write");
}

int runRender(const RenderOptions& options, const std::string& pluginPath) {
    if (rendersInParts(options)) return runPartsRender(options, pluginPath);
    const bool toStdout = writesToStandardOutput(options) || namesStandardOutput(options.outputPath);
    // A device or FIFO is written like standard output, without a temporary file.
    const bool toDevice = !toStdout && isExistingStream(options.outputPath);
    const std::string outputName = toStdout ? "stdout" : options.outputPath;
    std::string error = fileProblem(options.midiPath);
    MidiSong song;
    const MidiDamagePolicy policy = options.strict ? MidiDamagePolicy::Refuse : MidiDamagePolicy::PlayReadablePart;
    if (!error.empty() || !readMidiFile(options.midiPath, song, error, policy)) return report(options.midiPath, error);
    if (options.transposeGiven) {
        SongLayout layout;
        layout.transpose = options.transpose;
        const PrepareCounts prepared = prepareSong(song, layout);
        if (prepared.notesOutOfRange > 0)
            warn(plural(prepared.notesOutOfRange, "note", "notes") + " shifted beyond the keyboard by --transpose " +
                 std::to_string(prepared.transpose) + " left out");
    }

    if (std::string subject, problem; outputPlaceProblem(options, pluginPath, toStdout, subject, problem))
        return report(subject, problem);
    OutputTarget target;
    const bool toFile = !toStdout && !toDevice;
    if (toFile && !resolveOutputTarget(options.outputPath, options.replaceProtected, target, error))
        return report(options.outputPath, error);

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
    const FilterCounts counts = filterSongAsAsked(options, song, program);

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
    if (toFile) {
        if (!writer.open(target.path, options.sampleRate, options.format, options.dither, error))
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
    if (ok && toFile) ok = takeReplacedPermissions(target, writer.temporaryPath(), error);
    // Once the file is in place a signal no longer says "interrupted".
    if (toFile) holdInterrupts();
    const bool finished = ok && writer.finish(error);
    if (finished) releaseTemporaryFiles();
    releaseInterrupts(finished);
    if (!finished) {
        writer.abort();
        releaseTemporaryFiles();
        if (result.interrupted) {
            report("", "interrupted; no output written");
            interruptHandled();
            return kExitInterrupted;
        }
        return streamFailure();
    }
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
        std::printf("%s\n%s\n", versionText().c_str(), licenceText().c_str());
        return 0;
    }
    const std::string pluginPath = options.pluginPath.empty() ? defaultPluginPath() : options.pluginPath;
    installCrashGuard(pluginPath);
    // Our own allocations failing is no crash of the plug-in: the files made so
    // far are removed as the render unwinds.
    try {
        if (options.mode == RenderOptions::Mode::Info) return runInfo(options, pluginPath);
        if (options.mode == RenderOptions::Mode::GmTable) return runGmTable(options, pluginPath);
        return runRender(options, pluginPath);
    } catch (const std::bad_alloc&) {
        releaseTemporaryFiles();
        return report("", "out of memory (see MEMORY in the manual page)", kExitOutOfMemory);
    }
}
