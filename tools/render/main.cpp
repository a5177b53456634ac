// vorzle-render: plays a Standard MIDI File through a VST 2 instrument (Vorzle
// beside the program unless told otherwise) and writes a WAV file.

#include <chrono>
#include <cstdio>
#include <filesystem>
#include <memory>
#include <string>
#include <system_error>
#include <vector>

#include "vsthost/host_callback.h"
#include "vsthost/plugin_instance.h"
#include "vsthost/plugin_module.h"
#include "tools/render/crash_guard.h"
#include "tools/render/midi_file.h"
#include "tools/render/plugin_info.h"
#include "tools/render/progress_bar.h"
#include "tools/render/render_options.h"
#include "tools/render/render_session.h"
#include "tools/render/render_summary.h"
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

// A clearer reason than the loader's for the common cases.
std::string fileProblem(const std::string& path) {
    std::error_code ec;
    const fs::file_status status = fs::status(path, ec);
    if (status.type() == fs::file_type::not_found) return "no such file";
    if (status.type() == fs::file_type::directory) return "is a directory";
    return std::string();
}

// The plug-in module and one opened instance of it, closed in reverse order.
struct OpenPlugin {
    PluginModule module;
    std::unique_ptr<PluginInstance> instance;
};

bool openPlugin(const std::string& path, OpenPlugin& plugin, std::string& error) {
    error = fileProblem(path);
    if (!error.empty()) return false;
    if (!plugin.module.load(path, error)) return false;
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

int runRender(const RenderOptions& options, const std::string& pluginPath) {
    std::string error = fileProblem(options.midiPath);
    MidiSong song;
    if (!error.empty() || !readMidiFile(options.midiPath, song, error)) return report(options.midiPath, error);

    std::error_code ec;
    if (fs::exists(options.outputPath, ec) && fs::equivalent(options.midiPath, options.outputPath, ec))
        return report(options.outputPath, "is the MIDI file itself; choose another output name");
    if (fs::is_directory(options.outputPath, ec)) return report(options.outputPath, "is a directory");

    OpenPlugin plugin;
    if (!openPlugin(pluginPath, plugin, error)) return report(pluginPath, error);
    const AEffect& effect = *plugin.instance->effect();
    error = instrumentProblem(effect);
    if (!error.empty()) return report(pluginPath, error);
    if (options.program >= effect.numPrograms)
        return report("--program", std::to_string(options.program) + " is out of range (the plug-in has " +
                                       std::to_string(effect.numPrograms) + " programs)");

    RenderSettings settings;
    settings.sampleRate = options.sampleRate;
    settings.blockSize = options.blockSize;
    settings.program = options.program;
    settings.fixedTail = options.tailGiven;
    settings.tailSeconds = options.tailSeconds;
    settings.format = options.format;

    WavWriter writer;
    if (!writer.open(options.outputPath, options.sampleRate, options.format, options.dither, error))
        return report(options.outputPath, error);
    guardTemporaryFile(writer.temporaryPath());

    ProgressBar bar(!options.quiet && stderrIsTerminal(), options.sampleRate);
    const auto started = std::chrono::steady_clock::now();
    RenderResult result;
    const bool rendered = renderSong(
        *plugin.instance, song, settings, writer,
        [&bar](const RenderProgress& p) { bar.update(p.framesDone, p.songFrames, p.framesExpected); }, result,
        error);
    bar.clear();
    if (!rendered || !writer.finish(error)) {
        releaseTemporaryFile();
        return report(options.outputPath, error);
    }
    releaseTemporaryFile();
    const double wall = std::chrono::duration<double>(std::chrono::steady_clock::now() - started).count();

    if (!options.quiet) {
        std::printf("vorzle-render: %s\n", formatSummary(options.outputPath, writer.levels(), options.sampleRate, wall).c_str());
        std::fflush(stdout);
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
    const std::string pluginPath = options.pluginPath.empty() ? defaultPluginPath() : options.pluginPath;
    installCrashGuard(pluginPath);
    if (options.mode == RenderOptions::Mode::Info) return runInfo(options, pluginPath);
    return runRender(options, pluginPath);
}
