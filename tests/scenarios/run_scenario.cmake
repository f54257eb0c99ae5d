# Runs one scenario through qhost and checks its exit status and the patterns it must print.
# The build's data files are the module folder unless the scenario names its own.
set(folder --module-folder ${DATA})
list(FIND OPTIONS --module-folder named)
if(named GREATER -1)
  set(folder "")
endif()
execute_process(COMMAND ${QHOST} run ${SCRIPT} ${folder} ${OPTIONS}
                RESULT_VARIABLE status OUTPUT_VARIABLE output ERROR_VARIABLE errors)
message("${output}${errors}")
if(NOT "${status}" STREQUAL "${STATUS}")
  message(FATAL_ERROR "qhost exited with ${status}, expected ${STATUS}")
endif()
# The patterns arrive as one value with their separators escaped; a pattern holds no ";".
string(REPLACE "\\;" ";" PATTERNS "${PATTERNS}")
foreach(pattern ${PATTERNS})
  if(NOT output MATCHES "${pattern}")
    message(FATAL_ERROR "the output does not show: ${pattern}")
  endif()
endforeach()
