// Any bytes as a bank in the VST bank-file layout: the instrument's parser
// never reads past them (AddressSanitizer watches an exact-size copy) and
// leaves every program name terminated inside its 24 bytes.
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <memory>

#include "programs/program_bank.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    static ProgramBank* const bank = new ProgramBank();
    const std::unique_ptr<uint8_t[]> copy(new uint8_t[size ? size : 1]);
    if (size) std::memcpy(copy.get(), data, size);
    bank->parseBank(copy.get(), size);
    for (int32_t p = 0; p < ProgramBank::kNumPrograms; ++p)
        if (!std::memchr(bank->program(p).name, 0, ProgramRecord::kNameSize)) std::abort();
    return 0;
}
