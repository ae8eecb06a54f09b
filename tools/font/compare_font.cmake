# compare_font.cmake -- reruns the font converter and fails when its output differs from the
# committed screen/font_8x16.cpp by a single byte.
execute_process(COMMAND ${PYTHON} ${TOOL} ${OUTPUT} ${SOURCES} RESULT_VARIABLE status)
if(NOT status EQUAL 0)
  message(FATAL_ERROR "make_font.py failed (${status}); is console-setup-linux installed?")
endif()
execute_process(COMMAND ${CMAKE_COMMAND} -E compare_files ${OUTPUT} ${COMMITTED} RESULT_VARIABLE differs)
if(NOT differs EQUAL 0)
  message(FATAL_ERROR "screen/font_8x16.cpp differs from the converter's output ${OUTPUT}")
endif()
