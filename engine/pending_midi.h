#pragma once
#include <atomic>
#include <cstdint>

// MIDI messages that arrive while another thread holds the render gate (a
// sample-rate change, a reset, or a render running on another thread). They
// wait here, without locks or allocation, and are played before the next
// block. A bounded queue for any number of producers; the consumer is
// whoever holds the render gate, so consumers never overlap.
class PendingMidi {
public:
    static constexpr uint32_t kCapacity = 1024;

    PendingMidi() {
        for (uint32_t i = 0; i < kCapacity; ++i) slots[i].sequence.store(i, std::memory_order_relaxed);
    }

    // False when the queue is full: the message is dropped.
    bool push(const uint8_t bytes[3]) {
        uint32_t position = enqueuePosition.load(std::memory_order_relaxed);
        for (;;) {
            Slot& slot = slots[position % kCapacity];
            const uint32_t sequence = slot.sequence.load(std::memory_order_acquire);
            const int32_t lag = static_cast<int32_t>(sequence - position);
            if (lag == 0) {
                if (enqueuePosition.compare_exchange_weak(position, position + 1, std::memory_order_relaxed)) {
                    for (int i = 0; i < 3; ++i) slot.bytes[i] = bytes[i];
                    slot.sequence.store(position + 1, std::memory_order_release);
                    return true;
                }
            } else if (lag < 0) {
                return false;
            } else {
                position = enqueuePosition.load(std::memory_order_relaxed);
            }
        }
    }

    // Hands the messages waiting when it starts, oldest first, to handle;
    // what other threads add meanwhile waits for the next call, so a flood
    // cannot hold the audio thread. Only the holder of the render gate may
    // call it.
    template <typename Handler>
    void drain(Handler&& handle) {
        const uint32_t end = enqueuePosition.load(std::memory_order_acquire);
        while (dequeuePosition != end) {
            Slot& slot = slots[dequeuePosition % kCapacity];
            if (slot.sequence.load(std::memory_order_acquire) != dequeuePosition + 1) return;
            const uint8_t bytes[3] = {slot.bytes[0], slot.bytes[1], slot.bytes[2]};
            slot.sequence.store(dequeuePosition + kCapacity, std::memory_order_release);
            ++dequeuePosition;
            handle(bytes);
        }
    }

private:
    struct Slot {
        std::atomic<uint32_t> sequence;
        uint8_t bytes[3];
    };
    Slot slots[kCapacity];
    std::atomic<uint32_t> enqueuePosition{0};
    uint32_t dequeuePosition = 0;
};
