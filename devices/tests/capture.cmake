# Tests of the camera, microphone and speaker-test engines and of their sink filter.
tarvo_add_gtest(NAME MorlunCaptureFilterTest SOURCES capture_filter_unittest.cpp
  LIBS morlun_capture morlun_engine)
