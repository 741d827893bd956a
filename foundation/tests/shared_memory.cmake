# Tests of the shared-memory channel, with the peer program as the other process.
tarvo_add_test_program(foundation_channel_peer SOURCES ${CMAKE_CURRENT_LIST_DIR}/channel_peer.cpp
                       LIBS foundation)
target_link_options(foundation_channel_peer PRIVATE -municode)
tarvo_add_gtest(NAME SharedMemoryTest SOURCES ${CMAKE_CURRENT_LIST_DIR}/shared_memory_unittest.cpp
                LIBS foundation DEPENDS foundation_channel_peer)
