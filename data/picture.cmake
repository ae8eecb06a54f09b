# data/picture.cmake -- the picture file: decoder of the picture text, name, test, extraction, display.
target_sources(data PRIVATE
  ${CMAKE_CURRENT_LIST_DIR}/picture_text.cpp
  ${CMAKE_CURRENT_LIST_DIR}/picture.cpp
)
