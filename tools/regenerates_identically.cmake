# regenerates_identically.cmake -- runs a generator into a scratch tree (<out> in COMMAND) and fails
# unless each of its FILES equals the one committed in SOURCE, byte for byte. tools/CMakeLists.txt.
file(REMOVE_RECURSE ${SCRATCH})
foreach(file ${FILES})
  get_filename_component(folder ${SCRATCH}/${file} DIRECTORY)
  file(MAKE_DIRECTORY ${folder})
endforeach()
string(REPLACE "<out>" "${SCRATCH}" COMMAND "${COMMAND}")
execute_process(COMMAND ${COMMAND} RESULT_VARIABLE status ERROR_VARIABLE errors)
if(NOT status EQUAL 0)
  message(FATAL_ERROR "${COMMAND} failed (${status}): ${errors}")
endif()
foreach(file ${FILES})
  execute_process(COMMAND ${CMAKE_COMMAND} -E compare_files ${SCRATCH}/${file} ${SOURCE}/${file} RESULT_VARIABLE differs)
  if(NOT differs EQUAL 0)
    message(FATAL_ERROR "${file} differs from a fresh run of its generator (${SCRATCH}/${file}); "
                        "run: cmake --build BUILD --target regenerate")
  endif()
endforeach()
