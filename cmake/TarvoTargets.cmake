# Helpers shared by every subsystem's CMakeLists.txt.

# Adds a VERSIONINFO resource to a deliverable (the client reads its own file version).
function(tarvo_version_resource target description)
  get_target_property(type ${target} TYPE)
  if(type STREQUAL "EXECUTABLE")
    set(TARVO_VER_FILETYPE VFT_APP)
    set(suffix .exe)
  else()
    set(TARVO_VER_FILETYPE VFT_DLL)
    set(suffix .dll)
  endif()
  get_target_property(output_name ${target} OUTPUT_NAME)
  if(NOT output_name)
    set(output_name ${target})
  endif()
  set(TARVO_VER_NAME ${output_name})
  set(TARVO_VER_FILENAME ${output_name}${suffix})
  set(TARVO_VER_DESCRIPTION "${description}")
  set(TARVO_VER_DOTTED ${PROJECT_VERSION})
  string(REPLACE "." "," TARVO_VER_COMMA ${PROJECT_VERSION})
  set(rc ${CMAKE_CURRENT_BINARY_DIR}/${target}_version.rc)
  configure_file(${PROJECT_SOURCE_DIR}/cmake/version.rc.in ${rc} @ONLY)
  target_sources(${target} PRIVATE ${rc})
endfunction()

# A GoogleTest program run under Wine as one CTest test named NAME. Tests get the browser
# library's scriptable page (TARVO_BROWSER_PAGE=scriptable); a test that wants the web engine
# clears that variable in its own process before the library starts.
#   tarvo_add_gtest(NAME LogTest SOURCES a.cpp b.cpp LIBS foundation [LABELS display sound])
# Tests that need the display or the sound server still run in parallel: scripts/test starts
# one Xvfb and one PulseAudio for the whole run.
function(tarvo_add_gtest)
  cmake_parse_arguments(ARG "" "NAME;TIMEOUT" "SOURCES;LIBS;LABELS;DEPENDS;FIXTURES" ${ARGN})
  set(exe ${ARG_NAME})
  add_executable(${exe} ${ARG_SOURCES})
  target_link_libraries(${exe} PRIVATE ${ARG_LIBS} test_support GTest::gtest GTest::gtest_main
                        GTest::gmock)
  set_target_properties(${exe} PROPERTIES RUNTIME_OUTPUT_DIRECTORY ${CMAKE_BINARY_DIR}/bin)
  if(ARG_DEPENDS)
    add_dependencies(${exe} ${ARG_DEPENDS})
  endif()
  add_test(NAME ${ARG_NAME} COMMAND ${exe} --gtest_color=no)
  if(NOT ARG_TIMEOUT)
    set(ARG_TIMEOUT 300)
  endif()
  set_tests_properties(${ARG_NAME} PROPERTIES TIMEOUT ${ARG_TIMEOUT}
    ENVIRONMENT "TARVO_TEST_DATA=${CMAKE_BINARY_DIR}/test-data;TARVO_BROWSER_PAGE=scriptable"
    LABELS "${ARG_LABELS}")
  if(ARG_FIXTURES)
    set_tests_properties(${ARG_NAME} PROPERTIES FIXTURES_REQUIRED "${ARG_FIXTURES}")
  endif()
endfunction()

# A helper program that tests start (a child process, a stand-in for an outside program).
function(tarvo_add_test_program target)
  cmake_parse_arguments(ARG "" "OUTPUT_DIRECTORY;OUTPUT_NAME" "SOURCES;LIBS" ${ARGN})
  add_executable(${target} ${ARG_SOURCES})
  target_link_libraries(${target} PRIVATE ${ARG_LIBS})
  if(ARG_OUTPUT_DIRECTORY)
    set_target_properties(${target} PROPERTIES RUNTIME_OUTPUT_DIRECTORY ${ARG_OUTPUT_DIRECTORY})
  endif()
  if(ARG_OUTPUT_NAME)
    set_target_properties(${target} PROPERTIES OUTPUT_NAME ${ARG_OUTPUT_NAME})
  endif()
endfunction()

# Media fixtures are made by the host's ffmpeg before the tests that need them:
#   tarvo_media_fixture(NAME clip.mp4 ARGS -f lavfi -i testsrc=... )
# adds a CTest setup test in the fixture "media" that writes test-data/NAME.
function(tarvo_media_fixture)
  cmake_parse_arguments(ARG "" "NAME" "ARGS" ${ARGN})
  set(out ${CMAKE_BINARY_DIR}/test-data/${ARG_NAME})
  add_test(NAME fixture.${ARG_NAME}
           COMMAND ${PROJECT_SOURCE_DIR}/scripts/make-media-fixture ${out} ${ARG_ARGS})
  set_tests_properties(fixture.${ARG_NAME} PROPERTIES FIXTURES_SETUP media)
endfunction()

# Adds every direct subfolder that has a CMakeLists.txt, in name order, so that parts built in
# parallel never need to edit their parent's list.
macro(tarvo_add_child_folders)
  file(GLOB _tarvo_children RELATIVE ${CMAKE_CURRENT_SOURCE_DIR} CONFIGURE_DEPENDS
       ${CMAKE_CURRENT_SOURCE_DIR}/*/CMakeLists.txt)
  list(SORT _tarvo_children)
  foreach(_tarvo_child IN LISTS _tarvo_children)
    get_filename_component(_tarvo_dir ${_tarvo_child} DIRECTORY)
    add_subdirectory(${_tarvo_dir})
  endforeach()
endmacro()

# A Google Benchmark program: tarvo_add_benchmark(NAME LogBench SOURCES ... LIBS ...)
function(tarvo_add_benchmark)
  cmake_parse_arguments(ARG "" "NAME" "SOURCES;LIBS" ${ARGN})
  add_executable(${ARG_NAME} ${ARG_SOURCES})
  target_link_libraries(${ARG_NAME} PRIVATE ${ARG_LIBS} benchmark::benchmark
                        benchmark::benchmark_main shlwapi)
endfunction()
