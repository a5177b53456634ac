#pragma once
#include <cstddef>
#include <cstdint>

#include "programs/program_record.h"

// The instrument's saved state as a host keeps it (a session, a preset): a
// bank chunk holds the current program number and all 128 programs, a program
// chunk the current program alone. Our own layout, little-endian throughout:
//
//   offset  0  "VZCK"                    magic
//           4  u32 version               kVersion
//           8  u32 length                of the whole chunk, header included
//          12  u32 kind                  0 bank, 1 program
//          16  u32 current program       0..127
//          20  u32 program count         128 for a bank, 1 for a program
//          24  u32 values per program    39
//          28  the programs: each a name of 24 bytes (up to 23 printable
//              characters, NUL-padded), then 39 IEEE floats in parameter order
//
// Reading checks every field and value; a chunk that is anything else
// (short, long, another version, a foreign format) is refused whole.
namespace program_chunk {

enum class Kind : uint32_t { Bank = 0, Program = 1 };

constexpr uint32_t kVersion = 1;
constexpr size_t kHeaderSize = 28;
constexpr size_t kProgramSize = ProgramRecord::kNameSize + 4 * kNumParameters;
constexpr int32_t kBankPrograms = 128;

size_t chunkSize(Kind kind);

// Writes a chunk of kind into out, which holds chunkSize(kind) bytes: the
// programs 0..127 for a bank, programs[current] for a program. Values are read
// whole (other threads may store meanwhile); a name character outside
// printable ASCII is written as '?', so every chunk written reads back.
void writeChunk(Kind kind, const ProgramRecord* programs, int32_t current, uint8_t* out);

struct Contents {
    int32_t current = 0;
    int32_t count = 0;   // programs filled: 128 for a bank, 1 for a program
    ProgramRecord programs[kBankPrograms];
};

// Reads a chunk that must be of kind expected. False with a reason when any
// check fails; contents are then unspecified and must not be used.
bool readChunk(const uint8_t* data, size_t size, Kind expected, Contents& contents, const char*& error);

}  // namespace program_chunk
