// The camera engine on a machine without video capture devices (the test devices are not
// registered yet when this runs).

#include <gtest/gtest.h>

#include "devices/av_camera.h"

TEST(CameraUnregisteredTest, NoCameraListsNothing) {
  AvCamera camera;
  ASSERT_EQ(camera.Init(), 1);
  EXPECT_EQ(camera.EnumDevices(), 0);  // An empty category is no failure.
  EXPECT_EQ(camera.GetDeviceName(0), nullptr);
  EXPECT_EQ(camera.GetDevicePath(0), nullptr);
  EXPECT_EQ(camera.OpenDevice(L"Tarvo Virtual Camera", L""), 0);
  EXPECT_EQ(camera.SelectCap(0), 0);
  camera.Uninit();
}
