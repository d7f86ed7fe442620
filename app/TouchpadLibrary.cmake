# The touchpad staging, block table and flashing sequence (plain C++ the
# window drives through an interface), and the panel that binds them to the
# window's controls. The tests build them without the window.
if(NOT TARGET kb_touchpad)
  add_library(kb_touchpad STATIC
    ${CMAKE_SOURCE_DIR}/app/TouchpadImage.cpp
    ${CMAKE_SOURCE_DIR}/app/TouchpadBlocks.cpp
    ${CMAKE_SOURCE_DIR}/app/TouchpadFlash.cpp)
  target_include_directories(kb_touchpad PUBLIC ${CMAKE_SOURCE_DIR})
  target_link_libraries(kb_touchpad PUBLIC kb_regular_file)

  add_library(kb_touchpad_panel STATIC ${CMAKE_SOURCE_DIR}/app/TouchpadPanel.cpp)
  target_link_libraries(kb_touchpad_panel PUBLIC kb_touchpad)
endif()
