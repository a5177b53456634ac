#include <algorithm>
#include <cmath>
#include <optional>

#include "vst3/vst3_plugin.h"

using namespace vst3;

namespace {

enum Rank : uint8_t { kProgramRank = 0, kValueRank = 1, kMidiRank = 2 };

uint8_t midiByte(double normalized, int32_t top) {
    const double v = normalized >= 0.0 ? (normalized <= 1.0 ? normalized : 1.0) : 0.0;
    return static_cast<uint8_t>(std::lround(v * top));
}

}  // namespace

// One block: the host's events and parameter points in the order they play
// (by sample, and at one sample the program first, then values, then MIDI).
// MIDI goes to the engine with its frames, as the VST 2 plug-in delivers
// it; a program or value change splits the block there, so it takes effect
// on its sample. Samples outside the block are clamped into it.
tresult Vst3Plugin::process(ProcessData& data) {
    if (!active || !events) return kNotInitialized;
    if (data.numSamples < 0) return kInvalidArgument;
    if (data.numSamples > 0 && data.symbolicSampleSize != kSample32) return kInvalidArgument;
    const int32_t frames = data.numSamples;

    float* left = nullptr;
    float* right = nullptr;
    if (frames > 0 && data.numOutputs > 0 && data.outputs && data.outputs[0].numChannels > 0 &&
        data.outputs[0].channelBuffers32) {
        AudioBusBuffers& out = data.outputs[0];
        left = out.channelBuffers32[0];
        right = out.numChannels > 1 ? out.channelBuffers32[1] : nullptr;
        out.silenceFlags = 0;
    }

    takeTransport(data.processContext);
    gatherEvents(data, frames);
    // Without buffers (a host flushing parameters) the events still play.
    playBlock(left, right, left || right ? frames : 0);
    reportChanges(data.outputParameterChanges);
    return kResultOk;
}

int32_t Vst3Plugin::gatherEvents(const ProcessData& data, int32_t frames) {
    eventCount = 0;
    const int32_t last = frames > 0 ? frames - 1 : 0;
    auto at = [last](int32_t offset) { return offset < 0 ? 0 : (offset > last ? last : offset); };

    if (IParameterChanges* changes = data.inputParameterChanges) {
        const int32_t queues = changes->getParameterCount();
        for (int32_t q = 0; q < queues; ++q) {
            IParamValueQueue* queue = changes->getParameterData(q);
            if (!queue) continue;
            const vst3params::Described d = vst3params::withId(queue->getParameterId());
            if (d.kind == vst3params::Kind::None) continue;
            const int32_t points = queue->getPointCount();
            for (int32_t p = 0; p < points; ++p) {
                int32_t offset = 0;
                ParamValue value = 0.0;
                if (queue->getPoint(p, offset, value) != kResultOk || std::isnan(value)) continue;
                value = value < 0.0 ? 0.0 : (value > 1.0 ? 1.0 : value);
                BlockEvent e{at(offset), kValueRank, {0, 0, 0}, d.index, 0.0f, 0};
                switch (d.kind) {
                case vst3params::Kind::Value:
                    e.value = vst3params::storedFromNormalized(d.index, value);
                    break;
                case vst3params::Kind::Program:
                    e.rank = kProgramRank;
                    e.bytes[0] = 0xC0;
                    e.bytes[1] = midiByte(value, Instrument::kNumPrograms - 1);
                    break;
                case vst3params::Kind::Midi: {
                    midiValues[d.index].store(static_cast<float>(value), std::memory_order_relaxed);
                    const int32_t controller = vst3params::controllerOfSlot(d.index);
                    e.rank = kMidiRank;
                    if (controller == static_cast<int32_t>(vst3params::kPitchBendController)) {
                        const int32_t bend = static_cast<int32_t>(std::lround(value * 16383.0));
                        e.bytes[0] = 0xE0;
                        e.bytes[1] = static_cast<uint8_t>(bend & 0x7F);
                        e.bytes[2] = static_cast<uint8_t>(bend >> 7);
                    } else {
                        e.bytes[0] = 0xB0;
                        e.bytes[1] = static_cast<uint8_t>(controller);
                        e.bytes[2] = midiByte(value, 127);
                    }
                    break;
                }
                case vst3params::Kind::None:
                    break;
                }
                addEvent(e);
            }
        }
    }

    if (IEventList* list = data.inputEvents) {
        const int32_t count = list->getEventCount();
        for (int32_t i = 0; i < count; ++i) {
            Event ev;
            if (list->getEvent(i, ev) != kResultOk || ev.busIndex != 0) continue;
            BlockEvent e{at(ev.sampleOffset), kMidiRank, {0, 0, 0}, -1, 0.0f, 0};
            if (ev.type == Event::kNoteOnEvent) {
                if (ev.noteOn.pitch < 0 || ev.noteOn.pitch > 127) continue;
                // A note-on stays one, however soft.
                uint8_t velocity = midiByte(ev.noteOn.velocity, 127);
                if (velocity == 0) velocity = 1;
                e.bytes[0] = static_cast<uint8_t>(0x90 | (ev.noteOn.channel & 0x0F));
                e.bytes[1] = static_cast<uint8_t>(ev.noteOn.pitch);
                e.bytes[2] = velocity;
            } else if (ev.type == Event::kNoteOffEvent) {
                if (ev.noteOff.pitch < 0 || ev.noteOff.pitch > 127) continue;
                e.bytes[0] = static_cast<uint8_t>(0x80 | (ev.noteOff.channel & 0x0F));
                e.bytes[1] = static_cast<uint8_t>(ev.noteOff.pitch);
                e.bytes[2] = midiByte(ev.noteOff.velocity, 127);
            } else {
                continue;   // pressure, system exclusive and the rest play on nothing here
            }
            addEvent(e);
        }
    }

    std::sort(events.get(), events.get() + eventCount, [](const BlockEvent& a, const BlockEvent& b) {
        if (a.offset != b.offset) return a.offset < b.offset;
        if (a.rank != b.rank) return a.rank < b.rank;
        return a.sequence < b.sequence;
    });
    return eventCount;
}

void Vst3Plugin::addEvent(const BlockEvent& e) {
    if (eventCount >= kMaxBlockEvents) return;
    events[eventCount] = e;
    events[eventCount].sequence = eventCount;
    ++eventCount;
}

// The delivery holds the render gate: it ends before each render, and
// before a value is stored (a new voice count waits for the gate).
void Vst3Plugin::playBlock(float* left, float* right, int32_t frames) {
    int32_t start = 0;
    std::optional<Instrument::MidiDelivery> delivery(std::in_place, synth);
    auto render = [&](int32_t to) {
        delivery.reset();
        synth.render(left ? left + start : nullptr, right ? right + start : nullptr, to - start, true);
        start = to;
    };
    for (int32_t i = 0; i < eventCount; ++i) {
        const BlockEvent& e = events[i];
        const int32_t offset = e.offset < frames ? e.offset : (frames > 0 ? frames - 1 : 0);
        if (e.rank == kMidiRank) {
            delivery->add(e.bytes, offset - start);
            continue;
        }
        render(offset);   // everything before the change, and the MIDI up to it
        if (e.rank == kProgramRank) {
            // Played alone in an empty render: the program changes on this sample.
            delivery.emplace(synth);
            delivery->add(e.bytes, 0);
            render(offset);
        } else {
            synth.setParameter(e.parameter, e.value);
            reported[e.parameter] = synth.parameter(e.parameter);
            panelStale.store(true, std::memory_order_relaxed);
        }
        delivery.emplace(synth);
    }
    render(frames);
}

// Values MIDI or a program change moved go back to the host, once.
void Vst3Plugin::reportChanges(IParameterChanges* out) {
    const int32_t program = synth.program();
    auto send = [out](ParamID id, ParamValue value) {
        if (!out) return;
        int32_t index = 0;
        if (IParamValueQueue* queue = out->addParameterData(id, index)) queue->addPoint(0, value, index);
    };
    if (program != reportedProgram) {
        reportedProgram = program;
        send(vst3params::kProgramId, static_cast<double>(program) / (Instrument::kNumPrograms - 1));
    }
    for (int32_t i = 0; i < kNumParameters; ++i) {
        const float value = synth.parameter(i);
        if (value == reported[i]) continue;
        reported[i] = value;
        send(static_cast<ParamID>(i), vst3params::normalizedFromStored(i, value));
    }
}

// A transport that starts rolling restarts the free-running modulators, as
// the LV2 plug-in does.
void Vst3Plugin::takeTransport(const ProcessContextHead* context) {
    if (!context) return;
    const bool rolling = (context->state & ProcessContextHead::kPlaying) != 0;
    if (rolling && !transportRolling) synth.restartModulators();
    transportRolling = rolling;
}
