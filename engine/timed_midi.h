#pragma once
#include <cstdint>

// MIDI messages delivered for the next render, each with the frame of that
// render where it plays. Frames never decrease: a message placed before the
// one delivered ahead of it is moved up to it, so messages always play in the
// order they came. Fixed capacity, no allocation; only the holder of the
// render gate touches it.
class TimedMidi {
public:
    static constexpr int32_t kCapacity = 1024;

    struct Message {
        int32_t frame;
        uint8_t bytes[3];
    };

    bool full() const { return count == kCapacity; }
    int32_t size() const { return count; }
    const Message& operator[](int32_t i) const { return messages[i]; }

    // A negative frame plays at the start; the caller makes room first.
    void add(int32_t frame, const uint8_t bytes[3]) {
        if (frame < 0) frame = 0;
        if (count > 0 && frame < messages[count - 1].frame) frame = messages[count - 1].frame;
        Message& m = messages[count++];
        m.frame = frame;
        for (int i = 0; i < 3; ++i) m.bytes[i] = bytes[i];
    }

    // Messages still waiting when another delivery comes have missed their
    // render: they play at the start of the next one.
    void moveToStart() {
        for (int32_t i = 0; i < count; ++i) messages[i].frame = 0;
    }

    void clear() { count = 0; }

private:
    Message messages[kCapacity];
    int32_t count = 0;
};
