// Writes the factory bank as a VST bank file (.fxb) holding the plug-in's
// bank chunk, as the page downloads a bank, so that a user of any host can
// restore the factory programs: factory_fxb OUT.fxb
#include <cstdio>

#include "programs/bank_file.h"
#include "programs/program_bank.h"

int main(int argc, char** argv) {
    if (argc != 2) {
        std::fprintf(stderr, "usage: factory_fxb OUT.fxb\n");
        return 2;
    }
    ProgramBank bank;
    if (bank.allocationFailed()) {
        std::fprintf(stderr, "factory_fxb: out of memory\n");
        return 1;
    }
    bank.loadFactoryBank();
    const std::vector<uint8_t> bytes = bank_file::write(&bank.program(0), bank.currentProgramIndex());
    std::FILE* out = std::fopen(argv[1], "wb");
    const bool written = out && std::fwrite(bytes.data(), 1, bytes.size(), out) == bytes.size();
    if (out && std::fclose(out) != 0) return 1;
    if (!written) {
        std::perror(argv[1]);
        return 1;
    }
    return 0;
}
