# Warnings as errors on our own code only (generated and third-party code is left alone).
add_library(seg4_warnings INTERFACE)
target_compile_options(seg4_warnings INTERFACE
  -Wall -Wextra -Wpedantic -Werror -Wshadow -Wnon-virtual-dtor -Wcast-qual -Wformat=2
  -Wimplicit-fallthrough -Wmissing-declarations)
# GCC 12 reports impossible overlaps inside std::string's own copies at -O2 and above (its bug
# 105651); the warning is noise there and would fail release and MinGW builds.
if(CMAKE_CXX_COMPILER_ID STREQUAL "GNU" AND CMAKE_CXX_COMPILER_VERSION VERSION_LESS 13)
  target_compile_options(seg4_warnings INTERFACE -Wno-restrict)
endif()
