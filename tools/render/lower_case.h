#pragma once
#include <cctype>
#include <string>

// ASCII letters in lower case, for matching names and extensions in any case.
inline std::string lowerCase(std::string text) {
    for (char& c : text) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    return text;
}
