# win32.cmake -- the Win32 backend: the real window, its input, tones and clock on Windows
# (library screen_win32). A program links screen_win32 and defines program_main(); main() is in
# win32_platform.cpp.

# Code page 437 conversion is pure and serves any backend.
target_sources(screen_core PRIVATE ${CMAKE_CURRENT_LIST_DIR}/cp437.cpp)

# Object files, not an archive: the core calls into them, so all must be linked whatever the order.
add_library(screen_win32 OBJECT
  ${CMAKE_CURRENT_LIST_DIR}/win32_platform.cpp
  ${CMAKE_CURRENT_LIST_DIR}/win32_input.cpp
  ${CMAKE_CURRENT_LIST_DIR}/win32_audio.cpp
  ${CMAKE_CURRENT_LIST_DIR}/window_handover.cpp
)
target_link_libraries(screen_win32 PUBLIC screen_core Threads::Threads gdi32 user32)
# The wide (UTF-16) forms of the API, and no min and max macros to trip over std::min.
target_compile_definitions(screen_win32 PRIVATE UNICODE _UNICODE NOMINMAX WIN32_LEAN_AND_MEAN)
