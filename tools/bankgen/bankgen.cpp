// bankgen: turns the factory bank text into the bank file the plug-in carries.
//   bankgen factory_bank.txt factory_bank.bin
// Exit code 0 on success, 1 on a bad source or an I/O failure, 2 on bad arguments.

#include <cstdio>
#include <fstream>
#include <iterator>
#include <string>

#include "tools/bankgen/bank_source.h"

int main(int argc, char** argv) {
    if (argc != 3) {
        std::fprintf(stderr, "usage: bankgen SOURCE.txt OUTPUT.bin\n");
        return 2;
    }
    const char* sourcePath = argv[1];
    const char* outputPath = argv[2];

    std::ifstream source(sourcePath, std::ios::binary);
    if (!source) {
        std::fprintf(stderr, "bankgen: cannot open %s\n", sourcePath);
        return 1;
    }
    std::string text((std::istreambuf_iterator<char>(source)), std::istreambuf_iterator<char>());
    if (source.bad()) {
        std::fprintf(stderr, "bankgen: cannot read %s\n", sourcePath);
        return 1;
    }

    ProgramBank bank;
    BankSourceError error;
    if (!parseBankSource(text, bank, error)) {
        std::fprintf(stderr, "%s: %s\n", sourcePath, error.message.c_str());
        return 1;
    }

    std::vector<uint8_t> bytes = encodeBank(bank);
    std::ofstream output(outputPath, std::ios::binary | std::ios::trunc);
    output.write(reinterpret_cast<const char*>(bytes.data()), static_cast<std::streamsize>(bytes.size()));
    output.close();
    if (!output) {
        std::fprintf(stderr, "bankgen: cannot write %s\n", outputPath);
        return 1;
    }
    return 0;
}
