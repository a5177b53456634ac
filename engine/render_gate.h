#pragma once
#include <atomic>
#include <cstdint>
#include <thread>

// Keeps buffer swaps and voice resets away from a running render without
// making the audio thread wait: the render only tries to enter and plays
// silence when it cannot; the control operations (sample-rate change, reset)
// are the ones that wait, on the host's other threads.
class RenderGate {
public:
    bool tryEnterRender() {
        int32_t expected = kFree;
        return state.compare_exchange_strong(expected, kRendering, std::memory_order_acquire);
    }
    void leaveRender() { state.store(kFree, std::memory_order_release); }

    void enterControl() {
        int32_t expected = kFree;
        while (!state.compare_exchange_weak(expected, kControl, std::memory_order_acquire)) {
            expected = kFree;
            std::this_thread::yield();
        }
    }
    void leaveControl() { state.store(kFree, std::memory_order_release); }

private:
    static constexpr int32_t kFree = 0, kRendering = 1, kControl = 2;
    std::atomic<int32_t> state{kFree};
};

// Holds the gate for the control side for one scope.
class ControlScope {
public:
    explicit ControlScope(RenderGate& g) : gate(g) { gate.enterControl(); }
    ~ControlScope() { gate.leaveControl(); }
    ControlScope(const ControlScope&) = delete;
    ControlScope& operator=(const ControlScope&) = delete;

private:
    RenderGate& gate;
};
