#include "programs/bank_file.h"

#include <cstring>

#include "programs/program_bank.h"

namespace bank_file {
namespace {

constexpr uint32_t kPluginId = 0x54726C78;   // 'Trlx'
constexpr uint32_t kPluginVersion = 1;
// 'CcnK', size, 'FBCh', format version, plug-in id and version, program
// count, 128 reserved bytes, chunk size.
constexpr size_t kHeaderSize = 4 * 7 + 128 + 4;

// Our plug-in's bank header, read by the factory bank's word reader.
uint32_t bigEndian(const uint8_t* p) {
    const uint8_t* cursor = p;
    return ProgramBank::readBigEndian32(cursor, p + 4);
}

void putBigEndian(std::vector<uint8_t>& out, size_t at, uint32_t value) {
    for (int i = 0; i < 4; ++i) out[at + i] = static_cast<uint8_t>(value >> (24 - 8 * i));
}

constexpr uint32_t fourCc(const char (&text)[5]) {
    return uint32_t(uint8_t(text[0])) << 24 | uint32_t(uint8_t(text[1])) << 16 | uint32_t(uint8_t(text[2])) << 8 |
           uint8_t(text[3]);
}

}  // namespace

std::vector<uint8_t> write(const ProgramRecord* programs, int32_t current) {
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
    program_chunk::writeChunk(program_chunk::Kind::Bank, programs, current, out.data() + kHeaderSize);
    return out;
}

bool read(const uint8_t* p, size_t size, program_chunk::Contents& contents, std::string& error) {
    if (!p || size < kHeaderSize || bigEndian(p) != fourCc("CcnK")) {
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
    if (chunkSize > size - kHeaderSize) {
        error = "the bank file is cut short";
        return false;
    }
    const char* reason = "";
    if (!program_chunk::readChunk(p + kHeaderSize, chunkSize, program_chunk::Kind::Bank, contents, reason)) {
        error = std::string("the bank's chunk is damaged: ") + reason;
        return false;
    }
    return true;
}

}  // namespace bank_file
