# Writes the bytes of INPUT into OUTPUT as a NUL-terminated char array named SYMBOL.
file(READ ${INPUT} hex HEX)
string(REGEX REPLACE "([0-9a-f][0-9a-f])" "0x\\1," bytes "${hex}")
string(REGEX REPLACE "((0x..,){16})" "\\1\n" bytes "${bytes}")
file(WRITE ${OUTPUT} "// Generated from ${INPUT}; do not edit.\nextern const char ${SYMBOL}[];\nconst char ${SYMBOL}[] = {\n${bytes}0x00};\n")
