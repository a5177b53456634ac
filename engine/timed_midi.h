#pragma once
#include <cstdint>

// MIDI messages delivered for the next render, each with the frame of that
// render where it plays, in frame order. Within one delivery frames never
// decrease: a message placed before the one delivered ahead of it is moved
// up to it, so a delivery's messages play in the order they came. A host may
// deliver one block's MIDI in several calls: a later delivery's messages go
// in among the earlier ones by frame (after those on the same frame), each
// keeping its own. Fixed capacity, no allocation; only the holder of the
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

    // A new delivery for the render numbered render. Messages still waiting
    // from a delivery for an earlier render have missed it (the render found
    // the gate taken): they play at the start of the next one. Messages for
    // this same render keep their frames.
    void beginDelivery(uint32_t render) {
        if (count > 0 && render != deliveredFor)
            for (int32_t i = 0; i < count; ++i) messages[i].frame = 0;
        deliveredFor = render;
        deliveryFloor = 0;
    }

    // A negative frame plays at the start; the caller makes room first.
    void add(int32_t frame, const uint8_t bytes[3]) {
        if (frame < deliveryFloor) frame = deliveryFloor;
        deliveryFloor = frame;
        int32_t at = count;
        if (count > 0 && messages[count - 1].frame > frame) {
            // An earlier delivery's messages lie later in the block: find the
            // first of them past this frame and make room before it.
            int32_t low = 0, high = count;
            while (low < high) {
                const int32_t mid = (low + high) / 2;
                if (messages[mid].frame <= frame) low = mid + 1;
                else high = mid;
            }
            at = low;
            for (int32_t i = count; i > at; --i) messages[i] = messages[i - 1];
        }
        Message& m = messages[at];
        ++count;
        m.frame = frame;
        for (int i = 0; i < 3; ++i) m.bytes[i] = bytes[i];
    }

    void clear() {
        count = 0;
        deliveryFloor = 0;
    }

private:
    Message messages[kCapacity];
    int32_t count = 0;
    int32_t deliveryFloor = 0;   // the frame of the delivery's last message
    uint32_t deliveredFor = 0;   // the render the waiting messages are for
};
