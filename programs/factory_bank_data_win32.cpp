#include <windows.h>

#include "programs/program_bank.h"

namespace {

constexpr int kBankResourceId = 117;

HMODULE thisModule() {
    HMODULE module = nullptr;
    GetModuleHandleExA(GET_MODULE_HANDLE_EX_FLAG_FROM_ADDRESS | GET_MODULE_HANDLE_EX_FLAG_UNCHANGED_REFCOUNT,
                       reinterpret_cast<LPCSTR>(&openFactoryBank), &module);
    return module;
}

}  // namespace

// The bank travels in the module as resource 117 of type "BANK".
bool openFactoryBank(FactoryBankBytes& bank) {
    HMODULE module = thisModule();
    HRSRC info = FindResourceA(module, MAKEINTRESOURCEA(kBankResourceId), "BANK");
    if (!info) return false;
    HGLOBAL loaded = LoadResource(module, info);
    if (!loaded) return false;
    const void* bytes = LockResource(loaded);
    const DWORD size = SizeofResource(module, info);
    if (!bytes || size == 0) {
        FreeResource(loaded);
        return false;
    }
    bank.data = static_cast<const uint8_t*>(bytes);
    bank.size = size;
    bank.handle = loaded;
    return true;
}

void closeFactoryBank(FactoryBankBytes& bank, bool) {
    // Resource memory belongs to the module image; FreeResource is all that
    // releasing it takes (GlobalFree on it would be an error on modern Windows).
    if (bank.handle) FreeResource(static_cast<HGLOBAL>(bank.handle));
    bank = FactoryBankBytes{};
}
