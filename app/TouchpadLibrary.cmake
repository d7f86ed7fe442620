# The touchpad staging, block table and flashing sequence: plain C++ the window
# drives through an interface, so the tests build them without the window.
if(NOT TARGET kb_touchpad)
  add_library(kb_touchpad STATIC
    ${CMAKE_SOURCE_DIR}/app/TouchpadImage.cpp
    ${CMAKE_SOURCE_DIR}/app/TouchpadBlocks.cpp
    ${CMAKE_SOURCE_DIR}/app/TouchpadFlash.cpp)
  target_include_directories(kb_touchpad PUBLIC ${CMAKE_SOURCE_DIR})
endif()
