#include <algorithm>
#include <cstring>

#include "programs/program_bank.h"

namespace {

// A four-character code as a big-endian word: the first character in the top byte.
constexpr uint32_t code(const char (&c)[5]) {
    return (static_cast<uint32_t>(static_cast<uint8_t>(c[0])) << 24) | (static_cast<uint32_t>(static_cast<uint8_t>(c[1])) << 16) |
           (static_cast<uint32_t>(static_cast<uint8_t>(c[2])) << 8) | static_cast<uint32_t>(static_cast<uint8_t>(c[3]));
}

constexpr size_t kBankReservedBytes = 128;
constexpr size_t kProgramNameField = 28;

}  // namespace

uint32_t ProgramBank::readBigEndian32(const uint8_t*& cursor, const uint8_t* end) {
    if (cursor > end || end - cursor < 4) return 0;
    const uint32_t word = (static_cast<uint32_t>(cursor[0]) << 24) | (static_cast<uint32_t>(cursor[1]) << 16) |
                          (static_cast<uint32_t>(cursor[2]) << 8) | static_cast<uint32_t>(cursor[3]);
    cursor += 4;
    return word;
}

void ProgramBank::loadFactoryBank() {
    curProgram = 0;
    FactoryBankBytes bank;
    if (!openFactoryBank(bank)) return;
    const bool parsed = parseBank(bank.data, bank.size);
    closeFactoryBank(bank, parsed);
    curProgram = 0;   // the parse walked the programs
    if (loaded) keepProgramsAsLoaded();
}

// Reads a bank in the VST bank-file layout. Never reads past size bytes and
// never writes past a name or the program array: names are cut to 23
// characters (also when their NUL is missing), and a bank of more than 128
// programs loads its first 128.
bool ProgramBank::parseBank(const uint8_t* data, size_t size) {
    if (!data || !programs) return false;
    const uint8_t* cursor = data;
    const uint8_t* const end = data + size;

    if (size < 4 || readBigEndian32(cursor, end) != code("CcnK")) return false;
    readBigEndian32(cursor, end);   // byte size
    const uint32_t kind = readBigEndian32(cursor, end);
    if (kind != code("FxBk") && kind != code("FBCh")) return false;
    if (readBigEndian32(cursor, end) != 1) return false;
    readBigEndian32(cursor, end);   // plug-in ID
    readBigEndian32(cursor, end);   // plug-in version
    const uint32_t bankPrograms = readBigEndian32(cursor, end);
    if (static_cast<size_t>(end - cursor) < kBankReservedBytes) return false;
    cursor += kBankReservedBytes;
    if (kind == code("FBCh")) return true;

    const uint32_t programCount = std::min<uint32_t>(bankPrograms, kNumPrograms);
    for (curProgram = 0; static_cast<uint32_t>(curProgram) < programCount; ++curProgram) {
        if (readBigEndian32(cursor, end) != code("CcnK")) return false;
        readBigEndian32(cursor, end);   // byte size
        if (readBigEndian32(cursor, end) != code("FxCk")) return false;
        readBigEndian32(cursor, end);   // version
        readBigEndian32(cursor, end);   // plug-in ID
        readBigEndian32(cursor, end);   // plug-in version
        const uint32_t valueCount = readBigEndian32(cursor, end);

        char name[ProgramRecord::kNameSize] = {};
        const size_t available = std::min<size_t>(end - cursor, ProgramRecord::kNameSize - 1);
        for (size_t i = 0; i < available && cursor[i] != 0; ++i) name[i] = static_cast<char>(cursor[i]);
        programs[curProgram].setName(name);

        if (static_cast<size_t>(end - cursor) < kProgramNameField) return false;
        cursor += kProgramNameField;

        for (uint32_t i = 0; i < valueCount; ++i) {
            // Values beyond the parameters are ignored; once the data is used
            // up they are all zeros, so the rest of a huge count can be skipped.
            if (i >= static_cast<uint32_t>(kNumParameters) && end - cursor < 4) break;
            const uint32_t word = readBigEndian32(cursor, end);
            float value;
            std::memcpy(&value, &word, sizeof(value));
            storeParameter(static_cast<int32_t>(i), value);
        }
    }
    return true;
}
