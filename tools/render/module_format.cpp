#include "tools/render/module_format.h"

namespace {

uint16_t le16(std::span<const uint8_t> b, size_t at) { return uint16_t(b[at] | (b[at + 1] << 8)); }

uint32_t le32(std::span<const uint8_t> b, size_t at) {
    return uint32_t(b[at]) | (uint32_t(b[at + 1]) << 8) | (uint32_t(b[at + 2]) << 16) | (uint32_t(b[at + 3]) << 24);
}

ModuleFormat::Machine peMachine(uint16_t code) {
    switch (code) {
    case 0x014C: return ModuleFormat::Machine::X86;
    case 0x8664: return ModuleFormat::Machine::X86_64;
    case 0xAA64: return ModuleFormat::Machine::Arm64;
    default: return ModuleFormat::Machine::Other;
    }
}

ModuleFormat::Machine elfMachine(uint16_t code) {
    switch (code) {
    case 3: return ModuleFormat::Machine::X86;
    case 62: return ModuleFormat::Machine::X86_64;
    case 183: return ModuleFormat::Machine::Arm64;
    default: return ModuleFormat::Machine::Other;
    }
}

const char* machineName(ModuleFormat::Machine machine) {
    switch (machine) {
    case ModuleFormat::Machine::X86: return "x86";
    case ModuleFormat::Machine::X86_64: return "x86-64";
    case ModuleFormat::Machine::Arm64: return "ARM64";
    default: return "another processor";
    }
}

}  // namespace

ModuleFormat identifyModule(std::span<const uint8_t> head) {
    ModuleFormat format;
    const size_t n = head.size();
    if (n >= 20 && head[0] == 0x7F && head[1] == 'E' && head[2] == 'L' && head[3] == 'F') {
        format.system = ModuleFormat::System::Linux;
        format.bits = head[4] == 1 ? 32 : head[4] == 2 ? 64 : 0;
        format.machine = head[5] == 1 ? elfMachine(le16(head, 18)) : ModuleFormat::Machine::Other;
        return format;
    }
    if (n >= 0x40 && head[0] == 'M' && head[1] == 'Z') {
        const uint32_t pe = le32(head, 0x3C);
        if (pe <= n - 26 && head[pe] == 'P' && head[pe + 1] == 'E' && head[pe + 2] == 0 && head[pe + 3] == 0) {
            format.system = ModuleFormat::System::Windows;
            format.machine = peMachine(le16(head, pe + 4));
            const uint16_t magic = le16(head, pe + 24);   // the optional header's
            format.bits = magic == 0x10B ? 32 : magic == 0x20B ? 64 : 0;
        }
        return format;
    }
    if (n >= 4) {
        const uint32_t magic = le32(head, 0);
        if (magic == 0xFEEDFACE || magic == 0xFEEDFACF || magic == 0xBEBAFECA) {
            format.system = ModuleFormat::System::MacOS;
            format.bits = magic == 0xFEEDFACF ? 64 : magic == 0xFEEDFACE ? 32 : 0;
            format.machine = ModuleFormat::Machine::Other;
        }
    }
    return format;
}

ModuleFormat thisProgramsModules() {
    ModuleFormat format;
#ifdef _WIN32
    format.system = ModuleFormat::System::Windows;
#else
    format.system = ModuleFormat::System::Linux;
#endif
    format.bits = sizeof(void*) == 8 ? 64 : 32;
#if defined(__x86_64__) || defined(_M_X64)
    format.machine = ModuleFormat::Machine::X86_64;
#elif defined(__i386__) || defined(_M_IX86)
    format.machine = ModuleFormat::Machine::X86;
#elif defined(__aarch64__) || defined(_M_ARM64)
    format.machine = ModuleFormat::Machine::Arm64;
#else
    format.machine = ModuleFormat::Machine::Other;
#endif
    return format;
}

std::string describeModule(const ModuleFormat& format) {
    const std::string bits = format.bits ? std::to_string(format.bits) + "-bit " : std::string();
    const std::string machine = std::string(" (") + machineName(format.machine) + ")";
    switch (format.system) {
    case ModuleFormat::System::Windows: return "a " + bits + "Windows DLL" + machine;
    case ModuleFormat::System::Linux: return "a " + bits + "Linux shared object" + machine;
    case ModuleFormat::System::MacOS: return "a macOS module";
    case ModuleFormat::System::Unknown: break;
    }
    return "not a plug-in module";
}

std::string moduleMismatch(const ModuleFormat& file, const ModuleFormat& own) {
    if (file.system == ModuleFormat::System::Unknown)
        return "not a plug-in module (neither a Windows DLL nor a Linux shared object)";
    if (file.system == own.system && file.bits == own.bits && file.machine == own.machine) return std::string();
    std::string advice;
    if (file.system == ModuleFormat::System::Windows && own.system != ModuleFormat::System::Windows)
        advice = "; play it with the Windows vorzle-render.exe (under Wine on Linux)";
    else if (file.system == ModuleFormat::System::Linux && own.system != ModuleFormat::System::Linux)
        advice = "; play it with the Linux vorzle-render";
    else if (file.system == own.system && file.bits != own.bits && file.bits != 0)
        advice = "; play it with the " + std::to_string(file.bits) + "-bit vorzle-render";
    return "is " + describeModule(file) + ", but this vorzle-render loads only " +
           describeModule(own).substr(2) + " plug-ins" + advice;
}
