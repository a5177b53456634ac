#pragma once
#include <array>
#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>
#include "programs/program_record.h"

// The factory bank is written by hand as text (resources/factory_bank.txt) and turned
// into the big-endian "CcnK" bank file that the plug-in carries. This is the text side
// and the byte side of that conversion, shared by the bankgen tool and its tests.

constexpr int32_t kBankPrograms = 128;
constexpr int32_t kBankValues = 38;             // parameters 0..37; Polyphony is never stored
constexpr size_t kBankHeaderBytes = 156;
constexpr size_t kBankProgramBytes = 56 + 4 * kBankValues;   // 208
constexpr size_t kBankNameFieldBytes = 28;
constexpr size_t kBankTrailerBytes = 68;         // zeros after the last program
constexpr size_t kBankBytes =
    kBankHeaderBytes + kBankPrograms * kBankProgramBytes + kBankTrailerBytes;   // 26848
constexpr int32_t kBankMaxNameLength = ProgramRecord::kNameSize - 1;           // 23

using ProgramBank = std::array<ProgramRecord, kBankPrograms>;

struct BankSourceError {
    int line = 0;          // 1-based line of the text the error belongs to
    std::string message;   // "line 12: unknown parameter name 'Foo'"
};

// Reads the bank text. Every one of the 128 programs must appear exactly once; a
// parameter a program leaves out keeps the record default. On failure returns false,
// fills error with the first problem found and leaves bank in an unspecified state.
bool parseBankSource(std::string_view text, ProgramBank& bank, BankSourceError& error);

// The bank as text that parseBankSource reads back into the same records, every
// stored value written out (shortest form that reads back to the same float).
std::string formatBankSource(const ProgramBank& bank);

// The bank file: header, 128 programs of 38 values in parameter-index order, trailer.
std::vector<uint8_t> encodeBank(const ProgramBank& bank);
