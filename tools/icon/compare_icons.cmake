# compare_icons.cmake -- runs the icon generator into a scratch folder and compares every PNG
# and the Windows icon with the committed one. Called by CTest with TOOL, SOURCE and SCRATCH set.
file(REMOVE_RECURSE ${SCRATCH})
file(MAKE_DIRECTORY ${SCRATCH})
execute_process(COMMAND ${TOOL} ${SCRATCH} ${SCRATCH}/window_icon.cpp RESULT_VARIABLE result)
if(NOT result EQUAL 0)
  message(FATAL_ERROR "viertal-icon failed: ${result}")
endif()
foreach(file viertal-48.png viertal-128.png viertal-256.png viertal.ico)
  execute_process(COMMAND ${CMAKE_COMMAND} -E compare_files ${SCRATCH}/${file} ${SOURCE}/${file}
                  RESULT_VARIABLE differs)
  if(NOT differs EQUAL 0)
    message(FATAL_ERROR "${file} differs from the regenerated file; rerun viertal-icon ${SOURCE}")
  endif()
endforeach()
execute_process(COMMAND ${CMAKE_COMMAND} -E compare_files ${SCRATCH}/window_icon.cpp ${WINDOW_ICON}
                RESULT_VARIABLE differs)
if(NOT differs EQUAL 0)
  message(FATAL_ERROR "screen/window_icon.cpp differs from the regenerated file; rerun viertal-icon")
endif()
