# sdl.cmake -- the SDL2 backend: the real window, its input, sound and clock (library screen_sdl).
#
# A program links screen_sdl and defines program_main(); main() is in sdl_platform.cpp.

# Code page 437 conversion is pure and serves any backend.
target_sources(screen_core PRIVATE ${CMAKE_CURRENT_LIST_DIR}/cp437.cpp)

add_library(screen_sdl STATIC
  ${CMAKE_CURRENT_LIST_DIR}/sdl_platform.cpp
  ${CMAKE_CURRENT_LIST_DIR}/sdl_input.cpp
  ${CMAKE_CURRENT_LIST_DIR}/sdl_audio.cpp
  ${CMAKE_CURRENT_LIST_DIR}/window_icon.cpp
  ${CMAKE_CURRENT_LIST_DIR}/window_handover.cpp
)
target_link_libraries(screen_sdl PUBLIC screen_core SDL2::SDL2 Threads::Threads)
