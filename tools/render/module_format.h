#pragma once
#include <cstdint>
#include <span>
#include <string>

// What kind of loadable module a file is, told from its first bytes, so that a
// plug-in built for another system or word size gets a clear answer before the
// system's loader tries it (and answers "Bad EXE format" or worse).

struct ModuleFormat {
    enum class System { Unknown, Windows, Linux, MacOS };
    enum class Machine { Unknown, X86, X86_64, Arm64, Other };
    System system = System::Unknown;
    int bits = 0;   // 32 or 64; 0 when unknown
    Machine machine = Machine::Unknown;
};

// How many leading bytes identifyModule needs at most.
constexpr size_t kModuleHeadBytes = 4096;

ModuleFormat identifyModule(std::span<const uint8_t> head);

// The kind of module this program loads.
ModuleFormat thisProgramsModules();

// "a 32-bit Windows DLL (x86)", "a 64-bit Linux shared object (x86-64)"...
std::string describeModule(const ModuleFormat& format);

// Why a module of `file`'s kind cannot be loaded by a program that loads
// `own`'s kind, with what to use instead; empty when it can.
std::string moduleMismatch(const ModuleFormat& file, const ModuleFormat& own);
