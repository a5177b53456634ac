#include "programs/program_bank.h"

// The build embeds resources/factory_bank.bin as these bytes.
extern const unsigned char kFactoryBankBytes[];
extern const size_t kFactoryBankSize;

bool openFactoryBank(FactoryBankBytes& bank) {
    bank.data = kFactoryBankBytes;
    bank.size = kFactoryBankSize;
    return bank.size > 0;
}

void closeFactoryBank(FactoryBankBytes& bank, bool) { bank = FactoryBankBytes{}; }
