# Writes the build's date and time into a source file, run at every build. string(TIMESTAMP)
# takes SOURCE_DATE_EPOCH when it is set, so builds can be reproduced. The file is only
# rewritten when its text changes.
string(TIMESTAMP build_date "%d/%m/%Y")
string(TIMESTAMP build_time "%H:%M:%S")
set(text "// Written by the build; do not edit.\n#include \"shell/build_info.h\"\n\nconst char* BuildDate() { return \"${build_date}\"; }\nconst char* BuildTime() { return \"${build_time}\"; }\n")
if(EXISTS "${OUTPUT}")
  file(READ "${OUTPUT}" old)
else()
  set(old "")
endif()
if(NOT old STREQUAL text)
  file(WRITE "${OUTPUT}" "${text}")
endif()
