# Writes a C++ source file holding the text of INPUT as the character array
# NAME (namespace orvex::sap), so that the program needs no data file.
file(READ "${INPUT}" content HEX)
string(LENGTH "${content}" length)
string(REGEX REPLACE "([0-9a-f][0-9a-f])" "'\\\\x\\1'," bytes "${content}")
string(REGEX REPLACE "((('\\\\x[0-9a-f][0-9a-f]',)){32})" "\\1\n" bytes "${bytes}")
file(WRITE "${OUTPUT}" "// Generated from ${INPUT}; do not edit.\nnamespace orvex::sap {\nextern const char ${NAME}[];\nconst char ${NAME}[] = {\n${bytes}'\\0'};\n}  // namespace orvex::sap\n")
