# Tests of the text conversions and system queries. The ANSI code page test runs in a generated
# zh_CN.UTF-8 locale (Wine follows LANG only for locales found through LOCPATH).
tarvo_add_gtest(NAME TextConvertTest SOURCES ${CMAKE_CURRENT_LIST_DIR}/text_convert_unittest.cpp
                LIBS foundation)
set_property(TEST TextConvertTest APPEND PROPERTY ENVIRONMENT
             "GTEST_FILTER=-TextConvertChineseLocaleTest.*")

set(foundation_locale_dir ${CMAKE_BINARY_DIR}/test-locales)
add_test(NAME TextConvertLocaleSetup
         COMMAND sh -c [=[mkdir -p "$0" && localedef -i zh_CN -f UTF-8 "$0/zh_CN.UTF-8"]=]
                 ${foundation_locale_dir})
set_tests_properties(TextConvertLocaleSetup PROPERTIES FIXTURES_SETUP zh_cn_locale)
add_test(NAME TextConvertChineseLocaleTest
         COMMAND TextConvertTest --gtest_color=no
                 --gtest_filter=TextConvertChineseLocaleTest.*)
set_tests_properties(TextConvertChineseLocaleTest PROPERTIES
                     FIXTURES_REQUIRED zh_cn_locale TIMEOUT 300
                     ENVIRONMENT "TARVO_LANG=zh_CN.UTF-8;LOCPATH=${foundation_locale_dir}")
