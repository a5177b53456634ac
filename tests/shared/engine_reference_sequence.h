#pragma once
#include <cstdint>
#include <vector>

// A fixed MIDI performance that both builds render, the native engine
// directly and the Windows DLL through a host, so that their samples can be
// compared. Each step sends its messages, then renders `frames` frames with
// processReplacing in one call.
namespace engine_reference {

struct Message {
    uint8_t status, data1, data2;
};

struct Step {
    std::vector<Message> messages;
    int32_t frames;
};

constexpr float kSampleRate = 44100.0f;
// Largest difference allowed between the two builds' samples.
constexpr float kTolerance = 1e-6f;

inline std::vector<Step> sequence() {
    return {
        {{{0xB0, 7, 90}, {0xB0, 73, 0}, {0xB0, 12, 70}, {0x90, 48, 100}, {0x90, 55, 90}}, 1000},
        {{{0x91, 60, 120}, {0xE0, 0x00, 0x50}}, 333},
        {{{0x90, 64, 64}, {0xB0, 1, 127}, {0xB0, 13, 40}}, 4096},
        {{{0x80, 48, 0}, {0xB0, 10, 30}}, 1},
        {{}, 777},
        {{{0xC0, 1, 0}, {0x90, 36, 127}, {0x90, 43, 80}, {0xB0, 72, 10}}, 2048},
        {{{0xE0, 0x7F, 0x7F}, {0x80, 36, 0}}, 45},
        {{{0x90, 43, 0}, {0xE0, 0x00, 0x40}}, 3000},
        {{{0xC0, 0, 0}, {0x90, 72, 110}, {0x90, 76, 100}, {0x90, 79, 90}}, 512},
        {{{0xB0, 12, 127}, {0xB0, 7, 127}}, 5000},
        {{{0x80, 72, 0}, {0x80, 76, 0}, {0x80, 79, 0}}, 8000},
    };
}

}  // namespace engine_reference
