# regenerates_identically.cmake -- runs a generator into a scratch tree and fails unless every file
# it makes equals the committed one byte for byte. Every generated file of the project is checked
# this way (tools/CMakeLists.txt, `generated`).
#   cmake "-DCOMMAND=tool;arg;<out>/path;..." "-DFILES=path;..." -DSOURCE=tree -DSCRATCH=dir -P regenerates_identically.cmake
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
