# Saving the HistoryLog: the file writer and the save dialog's description.
if(NOT TARGET kb_history_log)
  add_library(kb_history_log STATIC
    ${CMAKE_SOURCE_DIR}/app/HistoryLogFile.cpp
    ${CMAKE_SOURCE_DIR}/app/HistoryLogDialog.cpp)
  target_include_directories(kb_history_log PUBLIC ${CMAKE_SOURCE_DIR})
  target_link_libraries(kb_history_log PUBLIC kb_hid_platform)
endif()
