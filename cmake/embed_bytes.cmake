# Writes INPUT as a C++ byte array named SYMBOL into OUTPUT.
file(READ "${INPUT}" hex HEX)
string(LENGTH "${hex}" hex_length)
math(EXPR size "${hex_length} / 2")
string(REGEX REPLACE "([0-9a-f][0-9a-f])" "0x\\1," bytes "${hex}")
string(REGEX REPLACE "((0x[0-9a-f][0-9a-f],){16})" "\\1\n" bytes "${bytes}")
file(WRITE "${OUTPUT}.tmp"
"// Generated from ${INPUT} by the build; do not edit.\n#include <cstddef>\n"
"extern const unsigned char ${SYMBOL}[] = {\n${bytes}\n};\n"
"extern const size_t ${SYMBOL_SIZE} = ${size};\n")
file(RENAME "${OUTPUT}.tmp" "${OUTPUT}")
