# Imported targets for the cross-built dependencies in the prefix made by scripts/deps.
# Everything is static; each target carries the Windows system libraries it needs.

if(NOT TARVO_DEPS_PREFIX)
  message(FATAL_ERROR "TARVO_DEPS_PREFIX is not set (run scripts/deps)")
endif()

find_package(GTest REQUIRED CONFIG)
find_package(benchmark REQUIRED CONFIG)
find_package(Threads REQUIRED)

function(tarvo_import_static name)
  cmake_parse_arguments(ARG "" "" "LIBS;SYSLIBS;DEFINES" ${ARGN})
  add_library(${name} INTERFACE IMPORTED GLOBAL)
  set(paths)
  foreach(lib IN LISTS ARG_LIBS)
    set(path ${TARVO_DEPS_PREFIX}/lib/lib${lib}.a)
    if(NOT EXISTS ${path})
      message(FATAL_ERROR "missing ${path} (run scripts/deps)")
    endif()
    list(APPEND paths ${path})
  endforeach()
  target_include_directories(${name} INTERFACE ${TARVO_DEPS_PREFIX}/include)
  target_link_libraries(${name} INTERFACE ${paths} ${ARG_SYSLIBS})
  target_compile_definitions(${name} INTERFACE ${ARG_DEFINES})
endfunction()

tarvo_import_static(deps::zlib LIBS z)
tarvo_import_static(deps::minizip LIBS minizip z)
tarvo_import_static(deps::cjson LIBS cjson)
tarvo_import_static(deps::pugixml LIBS pugixml)
tarvo_import_static(deps::yuv LIBS yuv)
tarvo_import_static(deps::glew LIBS glew32 SYSLIBS opengl32 DEFINES GLEW_STATIC)
tarvo_import_static(deps::curl LIBS curl SYSLIBS ws2_32 crypt32 bcrypt secur32 wldap32 advapi32
                    DEFINES CURL_STATICLIB)
tarvo_import_static(deps::ffmpeg LIBS avformat avfilter avcodec swscale swresample avutil
                    SYSLIBS bcrypt ws2_32 secur32 ole32 user32)
add_library(deps::stb INTERFACE IMPORTED GLOBAL)
target_include_directories(deps::stb INTERFACE ${TARVO_DEPS_PREFIX}/include/stb)

# OpenCV (core, imgproc, calib3d, dnn) and the protobuf its dnn module links: targets
# opencv_core, opencv_imgproc, opencv_calib3d, opencv_dnn.
find_package(protobuf REQUIRED CONFIG)
find_package(OpenCV REQUIRED COMPONENTS core imgproc calib3d dnn CONFIG)
