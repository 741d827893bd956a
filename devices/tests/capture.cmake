# Tests of the camera, microphone and speaker-test engines and of their sink filter.

# TarvoTestDevices.dll: the virtual camera and microphone the engines are tested against
# (test_devices/test_devices.h). A setup fixture registers it in the run's Wine prefix, after
# the test that needs it unregistered; a cleanup fixture unregisters it.
add_library(TarvoTestDevices SHARED
  test_devices/camera_source.cpp
  test_devices/dll_main.cpp
  test_devices/microphone_source.cpp
  test_devices/rgb_converter.cpp
  test_devices/source_filter.cpp
  test_devices/test_pattern.cpp
  test_devices/TarvoTestDevices.def)
set_target_properties(TarvoTestDevices PROPERTIES PREFIX "")
target_link_options(TarvoTestDevices PRIVATE -Wl,--enable-stdcall-fixup)
target_link_libraries(TarvoTestDevices PRIVATE morlun_dshow strmiids ole32 oleaut32 uuid winmm
                      advapi32)

# scripts/wine-run starts the target's own loader in the target's prefix, so "regsvr32" is the
# 64-bit one for an x86_64 build and the 32-bit one for the i686 product: each registers a DLL
# of its own bitness only.
set(test_devices_dll "Z:${CMAKE_BINARY_DIR}/bin/TarvoTestDevices.dll")
add_test(NAME fixture.test_devices_register
         COMMAND ${PROJECT_SOURCE_DIR}/scripts/wine-run regsvr32 /s ${test_devices_dll})
add_test(NAME fixture.test_devices_unregister
         COMMAND ${PROJECT_SOURCE_DIR}/scripts/wine-run regsvr32 /s /u ${test_devices_dll})
set_tests_properties(fixture.test_devices_register PROPERTIES
  FIXTURES_SETUP test_devices DEPENDS MorlunCameraUnregisteredTest)
set_tests_properties(fixture.test_devices_unregister PROPERTIES FIXTURES_CLEANUP test_devices)

tarvo_add_gtest(NAME MorlunCaptureFilterTest SOURCES capture_filter_unittest.cpp
  LIBS morlun_capture morlun_engine)
tarvo_add_gtest(NAME MorlunCameraUnregisteredTest SOURCES camera_unregistered_unittest.cpp
  LIBS morlun_capture morlun_engine)
tarvo_add_gtest(NAME MorlunCameraTest
  SOURCES camera_unittest.cpp test_devices/test_pattern.cpp
  LIBS morlun_capture morlun_engine
  DEPENDS TarvoTestDevices Morlun
  FIXTURES test_devices)
tarvo_add_gtest(NAME MorlunMicrophoneTest SOURCES microphone_unittest.cpp sound_io.cpp
  LIBS morlun_capture morlun_engine winmm
  DEPENDS TarvoTestDevices
  FIXTURES test_devices
  LABELS sound)
tarvo_add_gtest(NAME MorlunSpeakerTest SOURCES speaker_unittest.cpp sound_io.cpp
  LIBS morlun_capture morlun_engine winmm
  DEPENDS Morlun
  LABELS sound)
