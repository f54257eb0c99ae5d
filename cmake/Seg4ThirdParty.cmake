# Header-only libraries from Debian's packages. A cross build must not see /usr/include, so
# each library's own folder is linked into a private include folder of the build.
set(SEG4_THIRD_PARTY_INCLUDE ${CMAKE_BINARY_DIR}/third-party-include)
file(MAKE_DIRECTORY ${SEG4_THIRD_PARTY_INCLUDE})
foreach(lib stb nlohmann CLI)
  if(EXISTS /usr/include/${lib} AND NOT EXISTS ${SEG4_THIRD_PARTY_INCLUDE}/${lib})
    file(CREATE_LINK /usr/include/${lib} ${SEG4_THIRD_PARTY_INCLUDE}/${lib} SYMBOLIC)
  endif()
endforeach()
add_library(seg4_third_party INTERFACE)
target_include_directories(seg4_third_party SYSTEM INTERFACE ${SEG4_THIRD_PARTY_INCLUDE})
