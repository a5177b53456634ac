#pragma once
#include <atomic>
#include <cstdint>
#include "vst2/vst2_abi.h"

class EffectBase;

// The editor as the dispatcher and the effect see it. The default behaviour is
// an editor without a window; the real editor overrides all but requestUpdate.
class EditorBase {
public:
    explicit EditorBase(EffectBase* owner = nullptr) : effect(owner) {}
    virtual ~EditorBase() {}
    virtual intptr_t getRect(ERect** rect) {
        if (rect) *rect = nullptr;
        return 0;
    }
    virtual intptr_t open(void* window) {
        parentWindow = window;
        return 0;
    }
    virtual void close() {}
    virtual void idle() {
        // exchange so that a request made while update runs is never lost
        if (std::atomic_ref<int32_t>(updatePending).exchange(0) != 0) update();
    }
    virtual void update() {}
    // Called from the MIDI thread too: it only raises the flag.
    virtual void requestUpdate() { std::atomic_ref<int32_t>(updatePending).store(1); }

    EffectBase* effect = nullptr;
    void* parentWindow = nullptr;
    alignas(4) int32_t updatePending = 0;
};
