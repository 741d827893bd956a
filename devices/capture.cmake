# The camera, microphone and speaker-test engines: one object library linked into Morlun.dll
# and into the tests of its internal pieces. The public interfaces are
# devices/av_camera_engine.h, devices/av_microphone_engine.h and devices/av_speaker_engine.h.

# The WAVE format tag names come from the compiler's own multimedia registry header.
find_file(MORLUN_MMREG_HEADER mmreg.h REQUIRED)
set(wave_tag_names ${CMAKE_CURRENT_BINARY_DIR}/generated/morlun_wave_tag_names.inc)
add_custom_command(OUTPUT ${wave_tag_names}
  COMMAND ${CMAKE_COMMAND} -DHEADER=${MORLUN_MMREG_HEADER} -DOUTPUT=${wave_tag_names}
          -P ${CMAKE_CURRENT_SOURCE_DIR}/gen_wave_tag_names.cmake
  DEPENDS ${MORLUN_MMREG_HEADER} ${CMAKE_CURRENT_SOURCE_DIR}/gen_wave_tag_names.cmake
  COMMENT "Generating the WAVE format tag names")

# Media types and format tables, shared with the test devices.
add_library(morlun_dshow STATIC av_capture_formats.cpp av_media_type.cpp)
target_include_directories(morlun_dshow PUBLIC ${PROJECT_SOURCE_DIR})
target_link_libraries(morlun_dshow PUBLIC strmiids ole32)

add_library(morlun_capture OBJECT
  av_base.cpp
  av_camera.cpp
  av_capture_base.cpp
  av_capture_device.cpp
  av_capture_gate.cpp
  av_device_list.cpp
  av_microphone.cpp
  av_speaker.cpp
  av_wave_image.cpp
  av_wave_tag_names.cpp
  kest_capture_enums.cpp
  kest_capture_filter.cpp
  morlun_capture_exports.cpp
  ${wave_tag_names})
target_include_directories(morlun_capture PUBLIC ${PROJECT_SOURCE_DIR}
                           PRIVATE ${CMAKE_CURRENT_BINARY_DIR}/generated)
target_compile_definitions(morlun_capture PUBLIC MORLUN_BUILD)
target_link_libraries(morlun_capture PUBLIC morlun_dshow foundation strmiids dsound dxguid ole32
                      oleaut32 uuid user32)
