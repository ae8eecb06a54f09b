# regenerates_identically.cmake -- runs a generator and fails unless its output equals the
# committed file byte for byte. Every generated file of the project is checked this way.
#   cmake "-DCOMMAND=tool;arg;..." -DOUTPUT=fresh -DCOMMITTED=file -DHINT=how-to-regenerate -P regenerates_identically.cmake
execute_process(COMMAND ${COMMAND} RESULT_VARIABLE status ERROR_VARIABLE errors)
if(NOT status EQUAL 0)
  message(FATAL_ERROR "${COMMAND} failed (${status}): ${errors}")
endif()
execute_process(COMMAND ${CMAKE_COMMAND} -E compare_files ${OUTPUT} ${COMMITTED} RESULT_VARIABLE differs)
if(NOT differs EQUAL 0)
  message(FATAL_ERROR "${COMMITTED} differs from a fresh run of its generator (${OUTPUT}); ${HINT}")
endif()
