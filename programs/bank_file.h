#pragma once
#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

#include "programs/program_chunk.h"

// The bank as a file a musician keeps: a standard VST 2 bank file (.fxb) of
// the opaque kind ('FBCh', as hosts save a plug-in that keeps chunks), whose
// chunk is the plug-in's own bank chunk, so the file opens in the page and in
// any host running the plug-in alike.
namespace bank_file {

// The 128 programs and the current one as such a file.
std::vector<uint8_t> write(const ProgramRecord* programs, int32_t current);
// The file's programs and current program; false with a one-line reason
// when the file is anything else than such a bank of this instrument.
bool read(const uint8_t* data, size_t size, program_chunk::Contents& contents, std::string& error);

}  // namespace bank_file
