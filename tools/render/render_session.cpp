#include "tools/render/render_session.h"

#include <algorithm>
#include <cmath>
#include <span>
#include <vector>

#include "song/block_schedule.h"
#include "vsthost/host_callback.h"
#include "vsthost/plugin_instance.h"

namespace {

constexpr int32_t kMaxChannels = 64;

uint64_t bytesPerFrame(WavSampleFormat format) {
    switch (format) {
    case WavSampleFormat::Pcm16: return 4;
    case WavSampleFormat::Pcm24: return 6;
    case WavSampleFormat::Float32: break;
    }
    return 8;
}

}  // namespace

std::string instrumentProblem(const AEffect& effect) {
    if (!(effect.flags & effFlagsIsSynth)) return "not an instrument (the plug-in does not set effFlagsIsSynth)";
    if (effect.numOutputs <= 0) return "not an instrument (the plug-in has no audio outputs)";
    if (effect.numOutputs > kMaxChannels)
        return "implausible output count " + std::to_string(effect.numOutputs);
    if (effect.numInputs < 0 || effect.numInputs > kMaxChannels)
        return "implausible input count " + std::to_string(effect.numInputs);
    const bool replacing = (effect.flags & effFlagsCanReplacing) && effect.processReplacing;
    if (!replacing && !effect.process) return "the plug-in has no process function";
    return std::string();
}

int64_t plannedFrames(int64_t songFrames, const RenderSettings& settings) {
    if (!settings.fixedTail) return SongTail::maxFrames(songFrames, settings.sampleRate);
    return songFrames + static_cast<int64_t>(std::llround(settings.tailSeconds * settings.sampleRate));
}

bool renderSong(PluginInstance& plugin, const MidiSong& song, const RenderSettings& settings, FrameSink& sink,
                const RenderProgressCallback& progress, RenderResult& result, std::string& error) {
    AEffect* effect = plugin.effect();
    const int32_t blockSize = std::clamp(settings.blockSize, 1, BlockSchedule::kMaxBlockFrames);
    BlockSchedule schedule(song, settings.sampleRate);
    result = RenderResult{schedule.songFrames(), 0};
    const int64_t limit = plannedFrames(result.songFrames, settings);
    // The RIFF size field is 32 bits; refuse before spending the time.
    if (static_cast<uint64_t>(limit) * bytesPerFrame(settings.format) > 0xFFFFFF00ull) {
        error = "the render would exceed the 4 GiB size limit of a WAV file";
        return false;
    }

    Host& host = Host::instance();
    host.setRecording(false);   // a long render would otherwise grow the call log
    host.setSampleRate(static_cast<float>(settings.sampleRate));
    host.setBlockSize(blockSize);

    plugin.dispatch(effSetSampleRate, 0, 0, nullptr, static_cast<float>(settings.sampleRate));
    plugin.dispatch(effSetBlockSize, 0, blockSize);
    if (settings.program >= 0) plugin.dispatch(effSetProgram, 0, settings.program);
    plugin.dispatch(effMainsChanged, 0, 1);

    // The plug-in gets as many buffers as it declares; the file takes the first
    // two outputs (a mono plug-in's one output goes to both sides).
    const int32_t outputs = std::clamp(effect->numOutputs, 1, kMaxChannels);
    const int32_t inputs = std::clamp(effect->numInputs, 0, kMaxChannels);
    std::vector<float> storage(static_cast<size_t>(outputs + inputs) * blockSize, 0.0f);
    std::vector<float*> outputPointers(outputs), inputPointers(std::max(inputs, 1), nullptr);
    for (int32_t c = 0; c < outputs; ++c) outputPointers[c] = storage.data() + static_cast<size_t>(c) * blockSize;
    for (int32_t c = 0; c < inputs; ++c)
        inputPointers[c] = storage.data() + static_cast<size_t>(outputs + c) * blockSize;
    float* left = outputPointers[0];
    float* right = outputs > 1 ? outputPointers[1] : outputPointers[0];
    const bool replacing = (effect->flags & effFlagsCanReplacing) && effect->processReplacing;

    SilenceDetector silence = SilenceDetector::forSong(result.songFrames, settings.sampleRate);
    std::vector<MidiMessage> messages;
    messages.reserve(256);
    RenderProgress report{0, result.songFrames, settings.fixedTail ? limit : -1};

    bool ok = true;
    while (schedule.position() < limit) {
        const int64_t start = schedule.position();
        int32_t frames = static_cast<int32_t>(std::min<int64_t>(blockSize, limit - start));
        if (!settings.fixedBlocks) frames = schedule.framesToNextCut(frames);
        messages.clear();
        for (const BlockEvent& e : schedule.nextBlock(frames))
            messages.push_back(MidiMessage{e.bytes[0], e.bytes[1], e.bytes[2], e.deltaFrames});
        for (size_t first = 0; first < messages.size(); first += RenderSettings::kMaxEventsPerCall) {
            const size_t count = std::min(RenderSettings::kMaxEventsPerCall, messages.size() - first);
            plugin.sendMidi(std::span<const MidiMessage>(messages.data() + first, count));
        }

        // Zeroed every time: process adds into its outputs, and a plug-in that
        // wrongly adds in processReplacing then still sounds right.
        for (float* buffer : outputPointers) std::fill(buffer, buffer + frames, 0.0f);
        for (int32_t c = 0; c < inputs; ++c) std::fill(inputPointers[c], inputPointers[c] + frames, 0.0f);
        if (replacing) effect->processReplacing(effect, inputPointers.data(), outputPointers.data(), frames);
        else effect->process(effect, inputPointers.data(), outputPointers.data(), frames);

        int32_t keep = frames;
        bool tailOver = false;
        if (!settings.fixedTail) {
            const int32_t end = silence.scan(start, left, right, frames);
            if (end > 0) {
                keep = end;
                tailOver = true;
            }
        }
        if (settings.gain != 1.0f) {
            for (int32_t i = 0; i < keep; ++i) left[i] *= settings.gain;
            if (right != left)
                for (int32_t i = 0; i < keep; ++i) right[i] *= settings.gain;
        }
        if (!sink.writePlanar(left, right, static_cast<size_t>(keep), error)) {
            ok = false;
            break;
        }
        result.frames += keep;
        report.framesDone = result.frames;
        if (progress && !progress(report)) {
            result.interrupted = true;
            error = "interrupted";
            ok = false;
            break;
        }
        if (tailOver) break;
    }

    plugin.dispatch(effMainsChanged, 0, 0);
    return ok;
}
