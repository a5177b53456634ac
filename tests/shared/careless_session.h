#pragma once
// One instance of the native plug-in in the hands of a careless host: random
// dispatcher calls with odd operands, garbage event lists and renders of odd
// sizes, each timed and checked. Every call goes through here, so a failure
// names the seed, the episode and the call that found it.
#include <cstddef>
#include <cstring>
#include <memory>
#include <sstream>
#include <vector>

#include "careless_host.h"

namespace careless {

class Session {
public:
    Session(AEffect* effect, std::mt19937& rng, std::string where) : effect(effect), rng(rng), where(std::move(where)) {}

    bool alive() const { return effect != nullptr && !found; }

    // One random call: a render, an event list or a dispatcher opcode.
    void randomCall() {
        const int kind = pick(100);
        if (kind < 35) render(pickFrom(kFrames), pick(10) != 0);
        else if (kind < 50) sendGarbageEvents();
        else randomDispatch();
    }

    intptr_t dispatch(int32_t opcode, int32_t index, intptr_t value, void* ptr, float opt) {
        if (!alive()) return 0;
        ++calls;
        const intptr_t answer = timed([&] { return effect->dispatcher(effect, opcode, index, value, ptr, opt); },
                                      [&] { return describe(opcode, index, value, ptr, opt); });
        if (opcode == effClose) effect = nullptr;
        return answer;
    }

    // Renders frames (any int32, even negative) into fresh buffers that the
    // plug-in must fill (replacing) or add to. Buffer layouts a host may
    // choose: both channels, one of them null, or no outputs at all.
    void render(int32_t frames, bool replacing) {
        if (!alive()) return;
        ++calls;
        const size_t size = frames > 0 ? static_cast<size_t>(frames) : 1;
        constexpr float kHostFill = 0.25f;   // what the host's buffers held before
        std::vector<float> left(size, kHostFill), right(size, kHostFill);
        float* outputs[2] = {left.data(), right.data()};
        const int layout = pick(20);
        if (layout == 0) outputs[0] = nullptr;
        if (layout == 1) outputs[1] = nullptr;
        float** list = layout == 2 ? nullptr : outputs;
        timed([&] { (replacing ? effect->processReplacing : effect->process)(effect, nullptr, list, frames); },
              [&] { return describeRender(frames, replacing, layout); });
        for (const std::vector<float>* channel : {&left, &right}) {
            if (frames <= 0) {
                if ((*channel)[0] != kHostFill) fail() << describeRender(frames, replacing, layout) << " wrote a sample";
                continue;
            }
            const int32_t bad = firstBadSample(channel->data(), frames);
            if (bad >= 0)
                fail() << describeRender(frames, replacing, layout) << ": sample " << bad << " is " << (*channel)[bad];
        }
    }

    void note(uint8_t status, uint8_t key, uint8_t velocity) {
        VstMidiEvent event{};
        event.type = kVstMidiType;
        event.byteSize = sizeof(VstMidiEvent);
        event.midiData[0] = static_cast<char>(status);
        event.midiData[1] = static_cast<char>(key);
        event.midiData[2] = static_cast<char>(velocity);
        VstEvents list{};
        list.numEvents = 1;
        list.events[0] = reinterpret_cast<VstEvent*>(&event);
        dispatch(effProcessEvents, 0, 0, &list, 0.0f);
    }

    // An event list as a careless host builds it: null entries, foreign
    // types, byte sizes too small or absurd, any MIDI bytes, any offsets, and
    // a count that is negative, zero, smaller than the list or (rarely) above
    // the instrument's per-call bound. The count never exceeds the pointers
    // actually passed.
    void sendGarbageEvents() {
        static constexpr int32_t kLengths[] = {0, 1, 3, 16, 50, 300};
        const int32_t n = oversizedLists && pick(100) == 0 ? 70000 : pickFrom(kLengths);
        std::vector<VstMidiEvent> events(static_cast<size_t>(n));
        const size_t pointers = static_cast<size_t>(std::max(n, 2));
        std::vector<unsigned char> bytes(offsetof(VstEvents, events) + pointers * sizeof(VstEvent*), 0);
        VstEvents* list = reinterpret_cast<VstEvents*>(bytes.data());
        for (int32_t i = 0; i < n; ++i) {
            VstMidiEvent& e = events[static_cast<size_t>(i)];
            e.type = pick(10) ? kVstMidiType : static_cast<int32_t>(pickFrom(kIntegers));
            e.byteSize = pick(10) ? static_cast<int32_t>(sizeof(VstMidiEvent)) : pickFrom(kIntegers);
            e.deltaFrames = pick(4) ? pick(512) : anyInteger();
            // An oversized list is a dense lane of notes, controllers and
            // bends: thousands of program changes in one call would each
            // clear the chorus lines, which is slow but no fault.
            static constexpr uint8_t kLaneStatus[] = {0x80, 0x90, 0xB0, 0xE0};
            const int status = n > 1000 ? pickFrom(kLaneStatus) + pick(16) : pick(8) ? 0x80 + pick(0x70) : pick(256);
            e.midiData[0] = static_cast<char>(status);
            e.midiData[1] = static_cast<char>(pick(8) ? pick(128) : pick(256));
            e.midiData[2] = static_cast<char>(pick(8) ? pick(128) : pick(256));
            list->events[i] = pick(12) ? reinterpret_cast<VstEvent*>(&e) : nullptr;
        }
        const int claim = pick(10);
        list->numEvents = claim < 7 ? n : claim == 7 ? 0 : claim == 8 ? -1 - pick(1000) : pick(n + 1);
        if (pick(30) == 0) list->numEvents = std::numeric_limits<int32_t>::min();
        dispatch(effProcessEvents, 0, 0, pick(20) ? list : nullptr, 0.0f);
    }

    // Reports the finding, if any, once the session is over.
    ~Session() {
        if (failure) ADD_FAILURE() << failure->str();
    }

    int calls = 0;
    bool oversizedLists = true;   // lists beyond the instrument's per-call bound, now and then

private:
    static constexpr int32_t kFrames[] = {0, 1, 7, 44, 45, 64, 333, 512, 4096, 16384, -1, -4096,
                                          std::numeric_limits<int32_t>::min()};
    static constexpr int32_t kIntegers[] = {0, 1, 2, 37, 38, 39, 127, 128, -1, 1 << 20,
                                            std::numeric_limits<int32_t>::max(), std::numeric_limits<int32_t>::min()};

    int pick(int n) { return static_cast<int>(rng() % static_cast<uint32_t>(n)); }
    template <typename T, size_t N>
    T pickFrom(const T (&values)[N]) { return values[pick(static_cast<int>(N))]; }
    int32_t anyInteger() { return pick(3) == 0 ? static_cast<int32_t>(rng()) : pickFrom(kIntegers); }
    float anyRate() { return pick(4) == 0 ? static_cast<float>(rng() % 400000) : pickFrom(kOddRates); }

    // Where a finding is described; only the first one of a session counts.
    std::ostream& fail() {
        found = true;
        if (failure) return ignored;
        failure = std::make_unique<std::ostringstream>();
        return *failure;
    }

    std::string prefix() const { return where + ", call " + std::to_string(calls) + ": "; }

    std::string describe(int32_t opcode, int32_t index, intptr_t value, void* ptr, float opt) const {
        std::ostringstream text;
        text << prefix() << "dispatcher(opcode " << opcode << ", index " << index << ", value " << value << ", ptr "
             << (ptr ? "buffer" : "null") << ", opt " << opt << ")";
        return text.str();
    }

    std::string describeRender(int32_t frames, bool replacing, int layout) const {
        static const char* const layouts[] = {"left null", "right null", "no outputs"};
        std::ostringstream text;
        text << prefix() << (replacing ? "processReplacing" : "process") << " of " << frames << " frames"
             << (layout < 3 ? std::string(", ") + layouts[layout] : std::string());
        return text.str();
    }

    // Any opcode from a few below 0 to well above the last one (58), with
    // operands that fit what the opcode reads or writes: buffers of the
    // documented sizes, sometimes null where the instrument must cope.
    void randomDispatch() {
        const int32_t opcode = pick(84) - 3;
        if (opcode == effClose) return;   // episodes end with their own close
        if (opcode == effProcessEvents) return sendGarbageEvents();
        int32_t index = anyInteger();
        intptr_t value = anyInteger();
        float opt = pick(2) ? anyRate() : static_cast<float>(anyInteger());
        const bool nullPtr = pick(10) == 0;
        std::vector<char> buffer;
        size_t textSize = 0;   // a text the plug-in writes: its buffer size
        switch (opcode) {
        case effSetProgram: value = pick(3) ? pick(128) : anyInteger(); break;
        case effMainsChanged: value = pick(4); break;
        case effSetBlockSize: value = pickFrom(kOddBlockSizes); break;
        case effSetSampleRate: opt = anyRate(); break;
        case effSetBlockSizeAndSampleRate: value = pickFrom(kOddBlockSizes); opt = anyRate(); break;
        case effGetProgramName: textSize = kProgramNameBytes; break;
        case effGetParamLabel:
        case effGetParamDisplay:
        case effGetParamName:
            index = pick(4) ? pick(40) : anyInteger();
            textSize = kParamTextBytes;
            break;
        case effGetProgramNameIndexed:
            index = pick(4) ? pick(129) : anyInteger();
            textSize = kProgramNameBytes;
            break;
        case effGetEffectName: textSize = kEffectNameBytes; break;
        case effGetErrorText: textSize = kErrorTextBytes; break;
        case effGetVendorString:
        case effGetProductString: textSize = kVendorTextBytes; break;
        default: break;
        }
        if (textSize) buffer.assign(textSize, 'x');
        else if (opcode == effSetProgramName || opcode == effString2Parameter || opcode == effCanDo)
            buffer = randomText();
        else if (opcode == effEditOpen) buffer.clear();   // no parent window: a made-up one is no carelessness a host can afford
        else buffer.assign(1024, 0);   // records and slots: ERect*, chunk pointer, pin properties, ...
        if (opcode == effSetChunk) value = nullPtr ? 0 : static_cast<intptr_t>(buffer.size());
        if (opcode == effSetSpeakerArrangement) value = pick(2) ? 0 : reinterpret_cast<intptr_t>(buffer.data());
        void* ptr = nullPtr || buffer.empty() ? nullptr : buffer.data();

        const intptr_t answer = dispatch(opcode, index, value, ptr, opt);

        // A text the plug-in says it wrote ends inside its buffer.
        const bool wroteText = opcode == effGetProgramName || opcode == effGetParamLabel ||
                               opcode == effGetParamDisplay || opcode == effGetParamName || answer == 1;
        if (ptr && textSize && wroteText && std::memchr(buffer.data(), 0, textSize) == nullptr)
            fail() << describe(opcode, index, value, ptr, opt) << " left its " << textSize << "-byte text unterminated";
        if (ptr && opcode == effEditGetRect && answer) {
            const ERect* rect = *reinterpret_cast<ERect**>(buffer.data());
            if (!rect || rect->right <= rect->left || rect->bottom <= rect->top)
                fail() << describe(opcode, index, value, ptr, opt) << " gave no editor rectangle";
        }
    }

    std::vector<char> randomText() {
        static const char* const known[] = {"receiveVstEvents", "receiveVstMidiEvent", "sendVstEvents", "bypass", ""};
        std::vector<char> text;
        if (pick(3) == 0) {
            const char* word = pickFrom(known);
            text.assign(word, word + std::strlen(word));
        } else {
            const int length = pick(41);   // program names: up to 24 bytes by the book, longer from a careless host
            for (int i = 0; i < length; ++i) text.push_back(static_cast<char>(1 + pick(255)));
        }
        text.push_back('\0');
        return text;
    }

    AEffect* effect;
    std::mt19937& rng;
    std::string where;
    bool found = false;
    std::unique_ptr<std::ostringstream> failure;
    std::ostringstream ignored;
};

}  // namespace careless
