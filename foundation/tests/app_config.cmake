# Tests of the settings record.
tarvo_add_gtest(NAME AppConfigTest SOURCES ${CMAKE_CURRENT_LIST_DIR}/app_config_unittest.cpp
                LIBS foundation)
