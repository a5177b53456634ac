#pragma once
#include <cstdint>
#include <string>
#include <vector>

#include "engine/engine.h"

// The bank as a file a musician keeps: a standard VST 2 bank file (.fxb) of
// the opaque kind ('FBCh', as hosts save a plug-in that keeps chunks), whose
// chunk is the plug-in's own bank chunk, so the file opens in the page and in
// any host running the plug-in alike.
namespace bank_file {

// The whole bank and its current program.
std::vector<uint8_t> write(ProgramBank& bank);
// Replaces the bank with the file's programs and selects its current program;
// false with a one-line reason (the bank unchanged) when the file is anything
// else than such a bank of this instrument.
bool read(const std::vector<uint8_t>& file, Engine& engine, std::string& error);

}  // namespace bank_file
