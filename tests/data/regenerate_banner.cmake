# regenerate_banner.cmake -- runs make_banner into the build tree and compares with the committed file.
execute_process(COMMAND ${TOOL} ${LAYOUT} ${OUTPUT} RESULT_VARIABLE status ERROR_VARIABLE counts)
if(NOT status EQUAL 0)
  message(FATAL_ERROR "make_banner failed (${status}): ${counts}")
endif()
execute_process(COMMAND ${CMAKE_COMMAND} -E compare_files ${OUTPUT} ${COMMITTED} RESULT_VARIABLE differs)
if(NOT differs EQUAL 0)
  message(FATAL_ERROR "data/banner_items.cpp is not what tools/banner/banner.txt gives; "
                      "run: cmake --build BUILD --target regenerate-banner")
endif()
