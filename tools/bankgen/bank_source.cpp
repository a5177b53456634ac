#include "tools/bankgen/bank_source.h"

#include <charconv>
#include <cstring>
#include <system_error>

namespace {

struct Token {
    bool quoted;            // text between double quotes (a program name)
    std::string_view text;  // without the quotes
};

bool isBlank(char c) { return c == ' ' || c == '\t' || c == '\r' || c == '\v' || c == '\f'; }
bool isDigit(char c) { return c >= '0' && c <= '9'; }

std::string quote(std::string_view text) { return "'" + std::string(text) + "'"; }

// Splits one line into words and quoted names; '#' starts a comment outside quotes.
// Returns false when a quote is not closed on the same line.
bool tokenizeLine(std::string_view line, std::vector<Token>& tokens) {
    tokens.clear();
    size_t i = 0;
    while (i < line.size()) {
        char c = line[i];
        if (isBlank(c)) { ++i; continue; }
        if (c == '#') break;
        if (c == '"') {
            size_t close = line.find('"', i + 1);
            if (close == std::string_view::npos) return false;
            tokens.push_back({true, line.substr(i + 1, close - i - 1)});
            i = close + 1;
            continue;
        }
        size_t start = i;
        while (i < line.size() && !isBlank(line[i]) && line[i] != '#' && line[i] != '"') ++i;
        tokens.push_back({false, line.substr(start, i - start)});
    }
    return true;
}

// A plain decimal: optional sign, digits with an optional fraction, optional exponent.
// Keeps out what the float reader would also take: inf, nan, hexadecimal.
bool isDecimal(std::string_view s) {
    size_t i = 0;
    if (i < s.size() && (s[i] == '+' || s[i] == '-')) ++i;
    size_t digits = 0;
    while (i < s.size() && isDigit(s[i])) { ++i; ++digits; }
    if (i < s.size() && s[i] == '.') {
        ++i;
        while (i < s.size() && isDigit(s[i])) { ++i; ++digits; }
    }
    if (digits == 0) return false;
    if (i < s.size() && (s[i] == 'e' || s[i] == 'E')) {
        ++i;
        if (i < s.size() && (s[i] == '+' || s[i] == '-')) ++i;
        size_t expDigits = 0;
        while (i < s.size() && isDigit(s[i])) { ++i; ++expDigits; }
        if (expDigits == 0) return false;
    }
    return i == s.size();
}

int32_t findParameter(std::string_view name) {
    for (int32_t i = 0; i < kNumParameters; ++i) {
        if (name == kParameters[i].name) return i;
    }
    return -1;
}

bool isPrintableAscii(std::string_view s) {
    for (char c : s) {
        if (c < 0x20 || c > 0x7E) return false;
    }
    return true;
}

class Parser {
public:
    Parser(ProgramBank& bank, BankSourceError& error) : bank_(bank), error_(error) {}

    bool run(std::string_view text) {
        int line = 0;
        size_t pos = 0;
        std::vector<Token> tokens;
        while (pos < text.size()) {
            size_t end = text.find('\n', pos);
            if (end == std::string_view::npos) end = text.size();
            ++line;
            if (!tokenizeLine(text.substr(pos, end - pos), tokens))
                return fail(line, "missing closing quote");
            if (!parseLine(line, tokens)) return false;
            pos = end + 1;
        }
        // A missing program is only known at the end: report it at the last line.
        int lastLine = line > 0 ? line : 1;
        for (int32_t p = 0; p < kBankPrograms; ++p) {
            if (programLine_[p] == 0)
                return fail(lastLine, "program " + std::to_string(p) + " is missing");
        }
        return true;
    }

private:
    bool fail(int line, const std::string& message) {
        error_.line = line;
        error_.message = "line " + std::to_string(line) + ": " + message;
        return false;
    }

    bool parseLine(int line, const std::vector<Token>& tokens) {
        size_t i = 0;
        while (i < tokens.size()) {
            const Token& token = tokens[i];
            if (token.quoted)
                return fail(line, "unexpected quoted text \"" + std::string(token.text) + "\"");
            bool ok = token.text == "program" ? parseProgramHeader(line, tokens, i)
                                              : parseValue(line, tokens, i);
            if (!ok) return false;
        }
        return true;
    }

    // program N "Name"
    bool parseProgramHeader(int line, const std::vector<Token>& tokens, size_t& i) {
        ++i;
        if (i >= tokens.size() || tokens[i].quoted)
            return fail(line, "program number missing after 'program'");
        std::string_view number = tokens[i].text;
        size_t digitsFrom = (!number.empty() && number[0] == '-') ? 1 : 0;
        bool whole = number.size() > digitsFrom;
        for (size_t k = digitsFrom; k < number.size(); ++k) whole = whole && isDigit(number[k]);
        if (!whole) return fail(line, "program number " + quote(number) + " is not a whole number");
        // Anything longer than three digits is out of range; no need to convert it.
        bool inRange = digitsFrom == 0 && number.size() <= 3;
        int32_t program = 0;
        if (inRange) {
            for (char c : number) program = program * 10 + (c - '0');
            inRange = program < kBankPrograms;
        }
        if (!inRange)
            return fail(line, "program number " + std::string(number) + " is outside 0..127");
        if (programLine_[program] != 0)
            return fail(line, "program " + std::to_string(program) + " given twice (first on line " +
                                  std::to_string(programLine_[program]) + ")");
        ++i;
        if (i >= tokens.size() || !tokens[i].quoted)
            return fail(line, "name of program " + std::to_string(program) +
                                  " missing (write it in double quotes)");
        std::string_view name = tokens[i].text;
        if (name.size() > static_cast<size_t>(kBankMaxNameLength))
            return fail(line, "name \"" + std::string(name) + "\" is longer than 23 characters");
        if (!isPrintableAscii(name))
            return fail(line, "name of program " + std::to_string(program) +
                                  " holds a character that is not printable ASCII");
        ++i;
        programLine_[program] = line;
        current_ = program;
        bank_[program] = ProgramRecord();
        bank_[program].setName(std::string(name).c_str());
        for (int& seen : valueLine_) seen = 0;
        return true;
    }

    // Name value
    bool parseValue(int line, const std::vector<Token>& tokens, size_t& i) {
        std::string_view name = tokens[i].text;
        ++i;
        int32_t parameter = findParameter(name);
        if (parameter < 0) return fail(line, "unknown parameter name " + quote(name));
        if (parameter >= kBankValues)
            return fail(line, "parameter " + quote(name) + " is not stored in the factory bank");
        if (current_ < 0)
            return fail(line, "parameter " + quote(name) + " comes before the first 'program' line");
        if (valueLine_[parameter] != 0)
            return fail(line, "parameter " + quote(name) + " given twice in program " +
                                  std::to_string(current_) + " (first on line " +
                                  std::to_string(valueLine_[parameter]) + ")");
        if (i >= tokens.size() || tokens[i].quoted)
            return fail(line, "value missing after " + quote(name));
        std::string_view text = tokens[i].text;
        ++i;
        if (!isDecimal(text))
            return fail(line, "value " + quote(text) + " of " + quote(name) + " is not a number");
        // from_chars rounds to the nearest float, as strtof does, but ignores the locale.
        std::string_view digits = text[0] == '+' ? text.substr(1) : text;
        float value = 0.0f;
        auto result = std::from_chars(digits.data(), digits.data() + digits.size(), value);
        if (result.ec == std::errc::result_out_of_range)
            return fail(line, "value " + quote(text) + " of " + quote(name) +
                                  " is outside the range of a 32-bit float");
        if (result.ec != std::errc() || result.ptr != digits.data() + digits.size())
            return fail(line, "value " + quote(text) + " of " + quote(name) + " is not a number");
        bank_[current_].valueOf(parameter) = value;
        valueLine_[parameter] = line;
        return true;
    }

    ProgramBank& bank_;
    BankSourceError& error_;
    int32_t current_ = -1;
    int programLine_[kBankPrograms] = {};   // 0: not seen yet
    int valueLine_[kBankValues] = {};       // of the current program
};

void putBytes(std::vector<uint8_t>& out, const char* bytes, size_t count) {
    out.insert(out.end(), bytes, bytes + count);
}

void putWord(std::vector<uint8_t>& out, uint32_t word) {
    out.push_back(static_cast<uint8_t>(word >> 24));
    out.push_back(static_cast<uint8_t>(word >> 16));
    out.push_back(static_cast<uint8_t>(word >> 8));
    out.push_back(static_cast<uint8_t>(word));
}

void putFloat(std::vector<uint8_t>& out, float value) {
    uint32_t bits;
    std::memcpy(&bits, &value, sizeof bits);
    putWord(out, bits);
}

void putZeros(std::vector<uint8_t>& out, size_t count) { out.insert(out.end(), count, 0); }

}  // namespace

bool parseBankSource(std::string_view text, ProgramBank& bank, BankSourceError& error) {
    Parser parser(bank, error);
    return parser.run(text);
}

std::string formatBankSource(const ProgramBank& bank) {
    constexpr int32_t kPairsPerLine = 8;
    std::string text;
    for (int32_t p = 0; p < kBankPrograms; ++p) {
        const ProgramRecord& program = bank[static_cast<size_t>(p)];
        text += "program " + std::to_string(p) + " \"" +
                std::string(program.name, strnlen(program.name, kBankMaxNameLength)) + "\"\n";
        for (int32_t i = 0; i < kBankValues; ++i) {
            char number[32];
            const auto result = std::to_chars(number, number + sizeof number, program.valueOf(i));
            text += "  ";
            text += kParameters[i].name;
            text += ' ';
            text.append(number, result.ptr);
            if (i % kPairsPerLine == kPairsPerLine - 1 || i == kBankValues - 1) text += '\n';
        }
    }
    return text;
}

std::vector<uint8_t> encodeBank(const ProgramBank& bank) {
    constexpr uint32_t kFormatVersion = 1;
    constexpr uint32_t kPluginVersion = 1;
    constexpr uint32_t kBankChunkSize = 216;      // fixed values the reader ignores
    constexpr uint32_t kProgramChunkSize = 200;

    std::vector<uint8_t> out;
    out.reserve(kBankBytes);

    putBytes(out, "CcnK", 4);
    putWord(out, kBankChunkSize);
    putBytes(out, "FxBk", 4);
    putWord(out, kFormatVersion);
    putBytes(out, "Trlx", 4);
    putWord(out, kPluginVersion);
    putWord(out, kBankPrograms);
    putZeros(out, 128);

    for (const ProgramRecord& program : bank) {
        putBytes(out, "CcnK", 4);
        putWord(out, kProgramChunkSize);
        putBytes(out, "FxCk", 4);
        putWord(out, kFormatVersion);
        putBytes(out, "Trlx", 4);
        putWord(out, kPluginVersion);
        putWord(out, kBankValues);
        size_t nameLength = strnlen(program.name, kBankMaxNameLength);
        putBytes(out, program.name, nameLength);
        putZeros(out, kBankNameFieldBytes - nameLength);
        for (int32_t i = 0; i < kBankValues; ++i) putFloat(out, program.valueOf(i));
    }

    putZeros(out, kBankTrailerBytes);
    return out;
}
