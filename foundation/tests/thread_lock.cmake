# Tests of the handle owner, the locks and the thread base class.
tarvo_add_test_program(foundation_lock_peer SOURCES ${CMAKE_CURRENT_LIST_DIR}/lock_peer.cpp
                       LIBS foundation)
target_link_options(foundation_lock_peer PRIVATE -municode)
tarvo_add_gtest(NAME ThreadTest SOURCES ${CMAKE_CURRENT_LIST_DIR}/thread_unittest.cpp
                LIBS foundation)
tarvo_add_gtest(NAME LockTest SOURCES ${CMAKE_CURRENT_LIST_DIR}/lock_unittest.cpp
                LIBS foundation DEPENDS foundation_lock_peer)
