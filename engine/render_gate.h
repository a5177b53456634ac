#pragma once
#include <atomic>
#include <cstdint>
#include <thread>

// Keeps buffer swaps and voice resets away from a running render without
// making the audio thread wait: the render only tries to enter and plays
// silence when it cannot; the control operations (sample-rate change, reset)
// are the ones that wait, on the host's other threads. A waiting control
// operation turns new renders and MIDI away (they play silence or queue), so
// it waits for at most the call in progress: renders and MIDI from several
// threads back to back would otherwise keep the gate taken for seconds.
class RenderGate {
public:
    bool tryEnterRender() {
        if (controlsWaiting.load(std::memory_order_relaxed) != 0) return false;
        int32_t expected = kFree;
        return state.compare_exchange_strong(expected, kRendering, std::memory_order_acquire);
    }
    void leaveRender() { state.store(kFree, std::memory_order_release); }

    void enterControl() {
        controlsWaiting.fetch_add(1, std::memory_order_relaxed);
        int32_t expected = kFree;
        while (!state.compare_exchange_weak(expected, kControl, std::memory_order_acquire)) {
            expected = kFree;
            std::this_thread::yield();
        }
        controlsWaiting.fetch_sub(1, std::memory_order_relaxed);
    }
    void leaveControl() { state.store(kFree, std::memory_order_release); }

private:
    static constexpr int32_t kFree = 0, kRendering = 1, kControl = 2;
    std::atomic<int32_t> state{kFree};
    std::atomic<int32_t> controlsWaiting{0};
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
