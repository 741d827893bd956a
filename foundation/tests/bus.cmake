# Task threads, message loop, message bus, bus calls, topic table and the records they carry.
tarvo_add_gtest(NAME FoundationBusTest
  SOURCES ${CMAKE_CURRENT_LIST_DIR}/bus_unittest.cpp
          ${CMAKE_CURRENT_LIST_DIR}/bus_call_unittest.cpp
          ${CMAKE_CURRENT_LIST_DIR}/bus_topics_unittest.cpp
          ${CMAKE_CURRENT_LIST_DIR}/records_unittest.cpp
  LIBS foundation user32)
tarvo_add_gtest(NAME FoundationTaskThreadTest
  SOURCES ${CMAKE_CURRENT_LIST_DIR}/task_thread_unittest.cpp
  LIBS foundation user32)
