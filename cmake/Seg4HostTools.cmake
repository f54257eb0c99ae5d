# Generators that run on the build machine (string table, pictures, embedding). A native build
# builds them as ordinary targets; a cross build builds them with the build machine's compiler
# as an external project.
#
# seg4_host_tool(<name> <out-var>) sets <out-var> to the tool's path; every custom command that
# runs it must DEPEND on ${SEG4_HOST_TOOLS_DEPENDS}.
if(CMAKE_CROSSCOMPILING)
  include(ExternalProject)
  set(SEG4_HOST_TOOLS_DIR ${CMAKE_BINARY_DIR}/host-tools)
  ExternalProject_Add(seg4_host_tools
    SOURCE_DIR ${PROJECT_SOURCE_DIR}/tools
    BINARY_DIR ${SEG4_HOST_TOOLS_DIR}
    CMAKE_ARGS -DCMAKE_BUILD_TYPE=Release -DSEG4_SOURCE_ROOT=${PROJECT_SOURCE_DIR}
    INSTALL_COMMAND ""
    BUILD_ALWAYS ON
    USES_TERMINAL_BUILD ON)
  set(SEG4_HOST_TOOLS_DEPENDS seg4_host_tools)
  function(seg4_host_tool name out)
    set(${out} ${SEG4_HOST_TOOLS_DIR}/${name} PARENT_SCOPE)
  endfunction()
else()
  set(SEG4_SOURCE_ROOT ${PROJECT_SOURCE_DIR})
  add_subdirectory(tools)
  set(SEG4_HOST_TOOLS_DEPENDS "")
  function(seg4_host_tool name out)
    set(${out} $<TARGET_FILE:${name}> PARENT_SCOPE)
    set_property(GLOBAL APPEND PROPERTY SEG4_HOST_TOOL_TARGETS ${name})
  endfunction()
endif()
