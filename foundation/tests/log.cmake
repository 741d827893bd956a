# Tests of the process log: records, file format, ring, day roll-over, archives and clean-up.
tarvo_add_gtest(NAME LogTest SOURCES ${CMAKE_CURRENT_LIST_DIR}/log_unittest.cpp
                LIBS foundation deps::minizip)

# A process that ends normally packs its log; the host's unzip opens the archive with the
# password and finds every record, also one a thread wrote while the process was ending.
tarvo_add_test_program(foundation_log_writer SOURCES ${CMAKE_CURRENT_LIST_DIR}/log_writer.cpp
                       LIBS foundation)
tarvo_add_gtest(NAME LogExitTest SOURCES ${CMAKE_CURRENT_LIST_DIR}/log_exit_unittest.cpp
                LIBS foundation shell32 DEPENDS foundation_log_writer)
set_tests_properties(LogExitTest PROPERTIES FIXTURES_SETUP log_exit_archive)
add_test(NAME LogExitArchiveCheck
         COMMAND sh -c [=[
out=$(unzip -P kym904_dusk -p "$0") || exit 1
[ "$(printf '%s' "$out" | grep -c '\]\[exit record [0-9]*\]')" -eq 1000 ] || exit 2
printf '%s' "$out" | grep -q '\]\[exit record 999\]' || exit 3
printf '%s' "$out" | head -n 1 | grep -q '^current pid = [0-9]*' || exit 4
printf '%s' "$out" | grep -q '\]\[record during exit\]' || exit 5
]=] ${CMAKE_BINARY_DIR}/test-data/log_exit_archive.zlog)
set_tests_properties(LogExitArchiveCheck PROPERTIES FIXTURES_REQUIRED log_exit_archive)
