# Warnings as errors on our own code only (generated and third-party code is left alone).
add_library(seg4_warnings INTERFACE)
target_compile_options(seg4_warnings INTERFACE
  -Wall -Wextra -Wpedantic -Werror -Wshadow -Wnon-virtual-dtor -Wcast-qual -Wformat=2
  -Wimplicit-fallthrough -Wmissing-declarations)
