# regenerate_check.cmake -- runs make_picture and compares its items with the committed file.
#   cmake -DTOOL=make_picture -DOUTPUT=new.cpp -DCOMMITTED=data/picture_items.cpp -P regenerate_check.cmake
execute_process(COMMAND ${TOOL} --items ${OUTPUT} RESULT_VARIABLE result)
if(NOT result EQUAL 0)
  message(FATAL_ERROR "make_picture failed: ${result}")
endif()
execute_process(COMMAND ${CMAKE_COMMAND} -E compare_files ${OUTPUT} ${COMMITTED} RESULT_VARIABLE differ)
if(NOT differ EQUAL 0)
  message(FATAL_ERROR "data/picture_items.cpp differs from a fresh run of make_picture; "
                      "rebuild it with: cmake --build BUILD --target picture_items")
endif()
message(STATUS "picture items: same bytes as the committed file")
