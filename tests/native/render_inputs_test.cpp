#include <gtest/gtest.h>

#include <cstdint>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

#include "tools/render/module_format.h"
#include "tools/render/song_filter.h"

namespace {

using Bytes = std::vector<uint8_t>;

Bytes fileHead(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    Bytes all{std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
    if (all.size() > kModuleHeadBytes) all.resize(kModuleHeadBytes);
    return all;
}

// The first bytes of a PE file: MZ, the PE offset at 0x3C, then the COFF and optional header starts.
Bytes peHead(uint16_t machine, uint16_t optionalMagic) {
    Bytes b(0x80 + 26, 0);
    b[0] = 'M';
    b[1] = 'Z';
    b[0x3C] = 0x80;
    b[0x80] = 'P';
    b[0x81] = 'E';
    b[0x84] = uint8_t(machine);
    b[0x85] = uint8_t(machine >> 8);
    b[0x98] = uint8_t(optionalMagic);
    b[0x99] = uint8_t(optionalMagic >> 8);
    return b;
}

ModuleFormat module(ModuleFormat::System system, int bits, ModuleFormat::Machine machine) {
    ModuleFormat f;
    f.system = system;
    f.bits = bits;
    f.machine = machine;
    return f;
}

}  // namespace

TEST(PluginFile, KindsAreToldFromTheFirstBytes) {
    using S = ModuleFormat::System;
    using M = ModuleFormat::Machine;
    // Real files: the native build's plug-in and this very test program.
    const ModuleFormat so = identifyModule(fileHead(VORZLE_BINARY_DIR "/bin/Vorzle.so"));
    EXPECT_EQ(so.system, S::Linux);
    EXPECT_EQ(describeModule(so), describeModule(thisProgramsModules()));
    EXPECT_EQ(moduleMismatch(so, thisProgramsModules()), "");

    const ModuleFormat pe32 = identifyModule(peHead(0x014C, 0x10B));
    EXPECT_EQ(describeModule(pe32), "a 32-bit Windows DLL (x86)");
    EXPECT_EQ(describeModule(identifyModule(peHead(0x8664, 0x20B))), "a 64-bit Windows DLL (x86-64)");
    EXPECT_EQ(identifyModule(Bytes{'M', 'Z', 0, 0}).system, S::Unknown);   // too short to say
    EXPECT_EQ(identifyModule(Bytes{'j', 'u', 'n', 'k', '\n'}).system, S::Unknown);

    const ModuleFormat win32 = module(S::Windows, 32, M::X86);
    const ModuleFormat win64 = module(S::Windows, 64, M::X86_64);
    const ModuleFormat linux64 = module(S::Linux, 64, M::X86_64);
    EXPECT_EQ(moduleMismatch(win32, win32), "");
    EXPECT_EQ(moduleMismatch(linux64, win32),
              "is a 64-bit Linux shared object (x86-64), but this vorzle-render loads only 32-bit Windows DLL (x86) "
              "plug-ins; play it with the Linux vorzle-render");
    EXPECT_EQ(moduleMismatch(win32, win64),
              "is a 32-bit Windows DLL (x86), but this vorzle-render loads only 64-bit Windows DLL (x86-64) "
              "plug-ins; play it with the 32-bit vorzle-render");
    EXPECT_NE(moduleMismatch(win32, linux64).find("; play it with the Windows vorzle-render.exe (under Wine on Linux)"),
              std::string::npos);
    EXPECT_EQ(moduleMismatch(ModuleFormat{}, linux64),
              "not a plug-in module (neither a Windows DLL nor a Linux shared object)");
}

TEST(SongFilter, ChannelsAndProgramChangesLeftOutAreCounted) {
    MidiSong song;
    for (uint8_t status : {0x90, 0x99, 0xC0, 0xC9, 0xB9, 0x8F, 0xC3, 0x80})
        song.events.push_back({double(song.events.size()), {status, 1, 2}, 3});
    MidiSong all = song;
    FilterCounts counts = filterSong(all, SongFilter{});
    EXPECT_EQ(all.events.size(), 8u);
    EXPECT_EQ(counts.programChangesLeft, 3u);

    MidiSong noDrums = song;
    counts = filterSong(noDrums, SongFilter{0xFDFF, true});   // 1-9,11-16
    ASSERT_EQ(noDrums.events.size(), 5u);
    EXPECT_EQ(counts.skippedOnChannels, 3u);
    EXPECT_EQ(counts.programChangesLeft, 2u);
    EXPECT_EQ(noDrums.events[4].bytes[0], 0x80);   // order kept
    EXPECT_EQ(noDrums.events[4].seconds, 7.0);

    MidiSong fixedProgram = song;
    counts = filterSong(fixedProgram, SongFilter{0xFFFF, false});
    EXPECT_EQ(fixedProgram.events.size(), 5u);
    EXPECT_EQ(counts.programChangesSkipped, 3u);
    EXPECT_EQ(counts.programChangesLeft, 0u);
}
