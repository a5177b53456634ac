#pragma once
#include <cstdint>

// Renders of the songs in render_identity.h as recorded before a change that
// must not change the sound. Only a change meant to change the sound records
// new lines (the failing test prints them).
namespace render_identity {

struct Record {
    const char* build;   // "native", "win32" or "win64"
    const char* name;
    uint64_t frames;
    uint64_t digest;
    uint32_t spots[4];
};

inline constexpr Record kRecords[] = {
    {"native", "demo-44100-512", 1146600u, 0x9fab161445d4301cu, {0x3c7e05b4u, 0x3bafcd8au, 0xbcfd9853u, 0xbe3caa81u}},
    {"native", "demo-48000-77", 1248000u, 0x217e7308decae357u, {0x3c51bb13u, 0x3bb286bfu, 0xbd235258u, 0xbe68375au}},
    {"native", "random-44100-13", 1580279u, 0x7968024ae9223ad3u, {0xbb768e43u, 0x3e0485f6u, 0xbe1fc95du, 0x3cda223fu}},
    {"native", "random-96000-1021", 3440064u, 0x1b6553a06be5e0b4u, {0x3b961740u, 0x3d56a477u, 0xbe673179u, 0x3cc7c10eu}},
    {"native", "demo-48000-fixed-1024", 1248000u, 0x834c61cc94aa186fu, {0x3c51f0e5u, 0x3bb22c00u, 0xbd239036u, 0xbe691e18u}},
    {"native", "random-44100-fixed-256", 1580279u, 0xfba135700be48d79u, {0xbb805b44u, 0x3e066638u, 0xbe2a9e7fu, 0x3cda3717u}},
    {"win32", "demo-44100-512", 1146600u, 0x9fab161445d4301cu, {0x3c7e05b4u, 0x3bafcd8au, 0xbcfd9853u, 0xbe3caa81u}},
    {"win32", "demo-48000-77", 1248000u, 0x217e7308decae357u, {0x3c51bb13u, 0x3bb286bfu, 0xbd235258u, 0xbe68375au}},
    {"win32", "random-44100-13", 1580279u, 0x7968024ae9223ad3u, {0xbb768e43u, 0x3e0485f6u, 0xbe1fc95du, 0x3cda223fu}},
    {"win32", "random-96000-1021", 3440064u, 0x1b6553a06be5e0b4u, {0x3b961740u, 0x3d56a477u, 0xbe673179u, 0x3cc7c10eu}},
    {"win32", "demo-48000-fixed-1024", 1248000u, 0x834c61cc94aa186fu, {0x3c51f0e5u, 0x3bb22c00u, 0xbd239036u, 0xbe691e18u}},
    {"win32", "random-44100-fixed-256", 1580279u, 0xfba135700be48d79u, {0xbb805b44u, 0x3e066638u, 0xbe2a9e7fu, 0x3cda3717u}},
    {"win64", "demo-44100-512", 1146600u, 0x9fab161445d4301cu, {0x3c7e05b4u, 0x3bafcd8au, 0xbcfd9853u, 0xbe3caa81u}},
    {"win64", "demo-48000-77", 1248000u, 0x217e7308decae357u, {0x3c51bb13u, 0x3bb286bfu, 0xbd235258u, 0xbe68375au}},
    {"win64", "random-44100-13", 1580279u, 0x7968024ae9223ad3u, {0xbb768e43u, 0x3e0485f6u, 0xbe1fc95du, 0x3cda223fu}},
    {"win64", "random-96000-1021", 3440064u, 0x1b6553a06be5e0b4u, {0x3b961740u, 0x3d56a477u, 0xbe673179u, 0x3cc7c10eu}},
    {"win64", "demo-48000-fixed-1024", 1248000u, 0x834c61cc94aa186fu, {0x3c51f0e5u, 0x3bb22c00u, 0xbd239036u, 0xbe691e18u}},
    {"win64", "random-44100-fixed-256", 1580279u, 0xfba135700be48d79u, {0xbb805b44u, 0x3e066638u, 0xbe2a9e7fu, 0x3cda3717u}},
};

}  // namespace render_identity
