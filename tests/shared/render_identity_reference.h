#pragma once
#include <cstdint>

// Renders of the songs in render_identity.h as recorded before a change that
// must not change the sound. Only a change meant to change the sound records
// new lines (the failing test prints them).
namespace render_identity {

struct Record {
    const char* build;   // "native" or "win32"
    const char* name;
    uint64_t frames;
    uint64_t digest;
    uint32_t spots[4];
};

inline constexpr Record kRecords[] = {
    {"native", "demo-44100-512", 1146600u, 0x7c7c92f0819cdb7eu, {0x3c7e05b4u, 0x3bafcd8au, 0x3c089749u, 0xbd53808cu}},
    {"native", "demo-48000-77", 1248000u, 0x98bf34f72f600d3fu, {0x3c51bb13u, 0x3bb286bfu, 0x3c84231bu, 0xbd390934u}},
    {"native", "random-44100-13", 1580279u, 0xcc2bdeb4cd68f12bu, {0xbb6b10b5u, 0x3f5faae8u, 0xbf0d15c4u, 0xbe6c8044u}},
    {"native", "random-96000-1021", 3440064u, 0x600f2ed66f7fd7aau, {0xbbbe1124u, 0x3f5640dau, 0xbf16882bu, 0xbe4b6079u}},
    {"win32", "demo-44100-512", 1146600u, 0x7c7c92f0819cdb7eu, {0x3c7e05b4u, 0x3bafcd8au, 0x3c089749u, 0xbd53808cu}},
    {"win32", "demo-48000-77", 1248000u, 0x98bf34f72f600d3fu, {0x3c51bb13u, 0x3bb286bfu, 0x3c84231bu, 0xbd390934u}},
    {"win32", "random-44100-13", 1580279u, 0xcc2bdeb4cd68f12bu, {0xbb6b10b5u, 0x3f5faae8u, 0xbf0d15c4u, 0xbe6c8044u}},
    {"win32", "random-96000-1021", 3440064u, 0x600f2ed66f7fd7aau, {0xbbbe1124u, 0x3f5640dau, 0xbf16882bu, 0xbe4b6079u}},
};

}  // namespace render_identity
