#include <minizip/zip.h>
#include <zlib.h>

#include <gtest/gtest.h>

#include <string>

#include "test_data.h"

// Writes a password-protected archive; EnvMinizipCheck then tests it with the host's unzip.
TEST(EnvMinizip, WritesPasswordProtectedArchive) {
  const std::string path = TestDataPath("env_protected.zip");
  const std::string text = "log line one\nlog line two\n";
  const uLong crc = crc32(0, reinterpret_cast<const Bytef*>(text.data()), text.size());

  zipFile zip = zipOpen64(path.c_str(), APPEND_STATUS_CREATE);
  ASSERT_NE(zip, nullptr);
  zip_fileinfo info{};
  ASSERT_EQ(zipOpenNewFileInZip3_64(zip, "TarvoLive.log", &info, nullptr, 0, nullptr, 0, nullptr,
                                    Z_DEFLATED, Z_DEFAULT_COMPRESSION, 0, -MAX_WBITS, DEF_MEM_LEVEL,
                                    Z_DEFAULT_STRATEGY, "tarvo-secret", crc, 0),
            ZIP_OK);
  EXPECT_EQ(zipWriteInFileInZip(zip, text.data(), static_cast<unsigned>(text.size())), ZIP_OK);
  EXPECT_EQ(zipCloseFileInZip(zip), ZIP_OK);
  EXPECT_EQ(zipClose(zip, nullptr), ZIP_OK);
}
