#include "programs/program_chunk.h"

#include <cmath>
#include <cstring>

#include "programs/program_bank.h"

namespace program_chunk {
namespace {

constexpr uint8_t kMagic[4] = {'V', 'Z', 'C', 'K'};

void putLe32(uint8_t*& out, uint32_t value) {
    for (int i = 0; i < 4; ++i) *out++ = static_cast<uint8_t>(value >> (8 * i));
}

uint32_t getLe32(const uint8_t*& in) {
    uint32_t value = 0;
    for (int i = 0; i < 4; ++i) value |= static_cast<uint32_t>(*in++) << (8 * i);
    return value;
}

bool printable(char c) { return c >= 0x20 && c <= 0x7E; }

int32_t programCount(Kind kind) { return kind == Kind::Bank ? kBankPrograms : 1; }

void writeProgram(const ProgramRecord& program, uint8_t*& out) {
    bool ended = false;
    for (int32_t i = 0; i < ProgramRecord::kNameSize; ++i) {
        const char c = program.name[i];
        ended = ended || c == '\0' || i == ProgramRecord::kNameSize - 1;
        *out++ = ended ? 0 : static_cast<uint8_t>(printable(c) ? c : '?');
    }
    for (int32_t p = 0; p < kNumParameters; ++p) {
        uint32_t bits;
        const float value = ProgramBank::loadValue(program, p);
        std::memcpy(&bits, &value, 4);
        putLe32(out, bits);
    }
}

const char* readProgram(const uint8_t*& in, ProgramRecord& program) {
    const char* name = reinterpret_cast<const char*>(in);
    int32_t length = 0;
    while (length < ProgramRecord::kNameSize && name[length] != '\0') {
        if (!printable(name[length])) return "a program name holds a character that is not printable";
        ++length;
    }
    if (length == ProgramRecord::kNameSize) return "a program name is longer than 23 characters";
    for (int32_t i = length; i < ProgramRecord::kNameSize; ++i)
        if (name[i] != '\0') return "a program name is not padded with zeros";
    std::memcpy(program.name, name, ProgramRecord::kNameSize);
    in += ProgramRecord::kNameSize;

    for (int32_t p = 0; p < kNumParameters; ++p) {
        const uint32_t bits = getLe32(in);
        float value;
        std::memcpy(&value, &bits, 4);
        if (!storedValueAllowed(p, value)) return "a parameter value is out of its range";
        program.valueOf(p) = value;
    }
    return nullptr;
}

}  // namespace

size_t chunkSize(Kind kind) { return kHeaderSize + static_cast<size_t>(programCount(kind)) * kProgramSize; }

void writeChunk(Kind kind, const ProgramRecord* programs, int32_t current, uint8_t* out) {
    std::memcpy(out, kMagic, 4);
    out += 4;
    putLe32(out, kVersion);
    putLe32(out, static_cast<uint32_t>(chunkSize(kind)));
    putLe32(out, static_cast<uint32_t>(kind));
    putLe32(out, static_cast<uint32_t>(current));
    putLe32(out, static_cast<uint32_t>(programCount(kind)));
    putLe32(out, kNumParameters);
    if (kind == Kind::Bank) {
        for (int32_t i = 0; i < kBankPrograms; ++i) writeProgram(programs[i], out);
    } else {
        writeProgram(programs[current], out);
    }
}

bool readChunk(const uint8_t* data, size_t size, Kind expected, Contents& contents, const char*& error) {
    if (!data || size < kHeaderSize) {
        error = "the chunk is shorter than its header";
        return false;
    }
    if (std::memcmp(data, kMagic, 4) != 0) {
        error = "the chunk is not a Vorzle chunk";
        return false;
    }
    const uint8_t* in = data + 4;
    const uint32_t version = getLe32(in);
    const uint32_t length = getLe32(in);
    const uint32_t kind = getLe32(in);
    const uint32_t current = getLe32(in);
    const uint32_t count = getLe32(in);
    const uint32_t values = getLe32(in);
    if (version != kVersion) error = "the chunk has a version this instrument does not read";
    else if (kind != static_cast<uint32_t>(expected)) error = "the chunk is of the other kind (bank or program)";
    else if (length != size || size != chunkSize(expected)) error = "the chunk's length does not match its size";
    else if (count != static_cast<uint32_t>(programCount(expected)) || values != kNumParameters)
        error = "the chunk holds another number of programs or values";
    else if (current >= static_cast<uint32_t>(kBankPrograms)) error = "the chunk's current program is out of range";
    else error = nullptr;
    if (error) return false;

    contents.current = static_cast<int32_t>(current);
    contents.count = static_cast<int32_t>(count);
    for (int32_t i = 0; i < contents.count; ++i) {
        error = readProgram(in, contents.programs[i]);
        if (error) return false;
    }
    return true;
}

}  // namespace program_chunk
