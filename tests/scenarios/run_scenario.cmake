# Runs one scenario through qhost and checks its exit status and the patterns it must print.
execute_process(COMMAND ${QHOST} run ${SCRIPT} --module-folder ${DATA} ${OPTIONS}
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
