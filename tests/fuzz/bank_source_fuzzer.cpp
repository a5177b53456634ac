// Any text as a factory bank source: the parser either refuses it with a
// line and a reason, or gives programs that, written back as text and read
// again, come out the same to the bit, and that text is written the same way
// again.
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <string_view>

#include "tools/bankgen/bank_source.h"

namespace {

void require(bool condition) {
    if (!condition) std::abort();
}

bool sameBank(const ProgramBank& a, const ProgramBank& b) {
    for (size_t p = 0; p < a.size(); ++p) {
        if (std::memcmp(a[p].fields, b[p].fields, sizeof(a[p].fields)) != 0) return false;
        if (std::strncmp(a[p].name, b[p].name, ProgramRecord::kNameSize) != 0) return false;
    }
    return true;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const std::string_view text(reinterpret_cast<const char*>(data), size);
    static ProgramBank bank, again;   // 128 records each: kept off the stack
    BankSourceError error;
    if (!parseBankSource(text, bank, error)) {
        require(error.line >= 1 && !error.message.empty());
        return 0;
    }
    const std::string written = formatBankSource(bank);
    require(parseBankSource(written, again, error));
    require(sameBank(bank, again));
    require(formatBankSource(again) == written);
    return 0;
}
