#include "web/bank_file.h"

#include <cstring>
#include <memory>

#include "programs/program_chunk.h"

namespace bank_file {
namespace {

constexpr uint32_t kPluginId = 0x54726C78;   // 'Trlx'
constexpr uint32_t kPluginVersion = 1;
// 'CcnK', size, 'FBCh', format version, plug-in id and version, program
// count, 128 reserved bytes, chunk size.
constexpr size_t kHeaderSize = 4 * 7 + 128 + 4;

void putBigEndian(std::vector<uint8_t>& out, size_t at, uint32_t value) {
    for (int i = 0; i < 4; ++i) out[at + i] = static_cast<uint8_t>(value >> (24 - 8 * i));
}

uint32_t bigEndian(const uint8_t* p) {
    return uint32_t{p[0]} << 24 | uint32_t{p[1]} << 16 | uint32_t{p[2]} << 8 | p[3];
}

constexpr uint32_t fourCc(const char (&text)[5]) {
    return uint32_t(uint8_t(text[0])) << 24 | uint32_t(uint8_t(text[1])) << 16 | uint32_t(uint8_t(text[2])) << 8 |
           uint8_t(text[3]);
}

}  // namespace

std::vector<uint8_t> write(ProgramBank& bank) {
    const size_t chunkSize = program_chunk::chunkSize(program_chunk::Kind::Bank);
    std::vector<uint8_t> out(kHeaderSize + chunkSize, 0);
    putBigEndian(out, 0, fourCc("CcnK"));
    putBigEndian(out, 4, static_cast<uint32_t>(out.size() - 8));
    putBigEndian(out, 8, fourCc("FBCh"));
    putBigEndian(out, 12, 1);
    putBigEndian(out, 16, kPluginId);
    putBigEndian(out, 20, kPluginVersion);
    putBigEndian(out, 24, ProgramBank::kNumPrograms);
    putBigEndian(out, kHeaderSize - 4, static_cast<uint32_t>(chunkSize));
    program_chunk::writeChunk(program_chunk::Kind::Bank, bank.programs, bank.currentProgramIndex(),
                              out.data() + kHeaderSize);
    return out;
}

bool read(const std::vector<uint8_t>& file, Engine& engine, std::string& error) {
    const uint8_t* p = file.data();
    if (file.size() < kHeaderSize || bigEndian(p) != fourCc("CcnK")) {
        error = "not a VST bank file (.fxb)";
        return false;
    }
    if (bigEndian(p + 8) != fourCc("FBCh")) {
        error = "a bank file without the plug-in's chunk (only banks saved by Vorzle open here)";
        return false;
    }
    if (bigEndian(p + 16) != kPluginId) {
        error = "a bank of another plug-in";
        return false;
    }
    const uint32_t chunkSize = bigEndian(p + kHeaderSize - 4);
    if (chunkSize > file.size() - kHeaderSize) {
        error = "the bank file is cut short";
        return false;
    }
    auto contents = std::make_unique<program_chunk::Contents>();
    const char* reason = "";
    if (!program_chunk::readChunk(p + kHeaderSize, chunkSize, program_chunk::Kind::Bank, *contents, reason)) {
        error = std::string("the bank's chunk is damaged: ") + reason;
        return false;
    }
    ProgramBank& bank = engine.bank;
    for (int32_t i = 0; i < contents->count && i < ProgramBank::kNumPrograms; ++i) {
        bank.programs[i].setName(contents->programs[i].name);
        for (int32_t parameter = 0; parameter < kNumParameters; ++parameter)
            ProgramBank::writeValue(bank.programs[i], parameter, contents->programs[i].valueOf(parameter));
    }
    engine.selectProgram(contents->current);
    bank.markAllDirty();
    return true;
}

}  // namespace bank_file
