# Turns a binary file into a C++ array: embed_file(<input> <output.cpp> <symbol>).
function(embed_file input output symbol)
  file(READ ${input} hex HEX)
  file(SIZE ${input} size)
  string(REGEX REPLACE "([0-9a-f][0-9a-f])" "0x\\1," bytes "${hex}")
  string(REGEX REPLACE "(0x..,0x..,0x..,0x..,0x..,0x..,0x..,0x..,0x..,0x..,0x..,0x..,0x..,0x..,0x..,0x..,)" "\\1\n" bytes "${bytes}")
  file(WRITE ${output} "// Made from ${input} by the build; do not edit.\n#include <cstddef>\n#include <cstdint>\n\nextern const std::uint8_t ${symbol}[] = {\n${bytes}\n};\nextern const std::size_t ${symbol}Size = ${size};\n")
endfunction()
