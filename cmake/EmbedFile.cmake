# Script mode: turns INPUT into a C++ source defining `std::string_view SYMBOL` in namespace orvane::resources.
file(READ "${INPUT}" _hex HEX)
string(REGEX REPLACE "([0-9a-f][0-9a-f])" "'\\\\x\\1'," _bytes "${_hex}")
file(WRITE "${OUTPUT}.tmp" "// Generated from ${INPUT}; do not edit.\n#include <string_view>\nnamespace orvane::resources {\nnamespace {\nconstexpr char kData[] = {${_bytes} '\\0'};\n}\nextern const std::string_view ${SYMBOL};\nconst std::string_view ${SYMBOL}{kData, sizeof(kData) - 1};\n}  // namespace orvane::resources\n")
file(COPY_FILE "${OUTPUT}.tmp" "${OUTPUT}" ONLY_IF_DIFFERENT)
file(REMOVE "${OUTPUT}.tmp")
