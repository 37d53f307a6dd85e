# Compiler settings shared by every target of the program's own code.
add_library(quillmorph_flags INTERFACE)
target_compile_options(quillmorph_flags INTERFACE
  -Wall -Wextra -Wpedantic $<$<BOOL:${QUILLMORPH_WERROR}>:-Werror>
  # Rounding must not depend on the compiler's choice of fused multiply-add.
  -ffp-contract=off -fno-fast-math)
target_include_directories(quillmorph_flags INTERFACE ${PROJECT_SOURCE_DIR} ${PROJECT_BINARY_DIR}/generated)

# The version and the desktop identity, as the programs show them.
configure_file(${PROJECT_SOURCE_DIR}/cmake/program_identity.h.in ${PROJECT_BINARY_DIR}/generated/program_identity.h @ONLY)

# What makes a build one build, for the program and the Qt loader module it opens: the
# version, the compiler, the build type, the sanitizers and the build tree.
set(QUILLMORPH_BUILD_MARK "${PROJECT_VERSION} ${CMAKE_CXX_COMPILER_ID} ${CMAKE_CXX_COMPILER_VERSION} ${CMAKE_BUILD_TYPE} sanitize=${QUILLMORPH_SANITIZE} ${PROJECT_BINARY_DIR}")

if(QUILLMORPH_SANITIZE)
  add_compile_options(-fsanitize=address,undefined -fno-sanitize-recover=undefined -fno-omit-frame-pointer)
  add_link_options(-fsanitize=address,undefined)
endif()

# In a fuzzing build every library carries coverage instrumentation, so libFuzzer is
# guided by the decoders' own branches and not only by the fuzz target's.
if(QUILLMORPH_FUZZ)
  add_compile_options(-fsanitize=fuzzer-no-link)
  # Checksums that mutated inputs never keep are ignored (see png_reader.cpp).
  add_compile_definitions(QUILLMORPH_FUZZING)
endif()

# quillmorph_layer(NAME folder DEPS ...): one static library per folder, made of the
# folder's own .cpp files.
function(quillmorph_layer name)
  cmake_parse_arguments(ARG "" "" "DEPS" ${ARGN})
  file(GLOB sources CONFIGURE_DEPENDS ${CMAKE_CURRENT_SOURCE_DIR}/*.cpp)
  list(FILTER sources EXCLUDE REGEX "/main\\.cpp$")
  if(sources)
    add_library(${name} STATIC ${sources})
    target_link_libraries(${name} PUBLIC quillmorph_flags ${ARG_DEPS})
  else()
    add_library(${name} INTERFACE)
    target_link_libraries(${name} INTERFACE quillmorph_flags ${ARG_DEPS})
  endif()
endfunction()
