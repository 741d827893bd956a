#include <gtest/gtest.h>

#include "shell/registry/local_file_list.h"
#include "shell/registry/md5.h"

namespace {

TEST(CLocalFileListTest, IdentifiersComeFromPathAndCounterSteppingByTwo) {
  CLocalFileList files(4294967294u);  // The counter wraps like the tick count it starts from.
  const std::string path = "C:\\docs\\\xE6\x96\x87.pptx";
  const std::string first = files.AddDocument(path, 2);
  const std::string second = files.AddDocument(path, 2);
  EXPECT_EQ(first, CMd5::GetMd5String(path + "4294967294"));
  EXPECT_EQ(second, CMd5::GetMd5String(path + "0"));
  EXPECT_NE(first, second);
  EXPECT_EQ(files.FindDocument(first), path);
  EXPECT_EQ(files.FindDocument(second), path);

  // Mode 1 uses up an identifier and registers nothing.
  const std::string server_side = files.AddDocument(path, 1);
  EXPECT_EQ(server_side, CMd5::GetMd5String(path + "2"));
  EXPECT_EQ(files.FindDocument(server_side), "");
  EXPECT_EQ(files.DocumentCount(), 2u);
  EXPECT_EQ(files.counter(), 4u);

  const std::string media = files.AddMedia("D:/clip.mp4");
  EXPECT_EQ(media, CMd5::GetMd5String("D:/clip.mp44"));
  EXPECT_EQ(files.FindMedia(media), "D:/clip.mp4");
  EXPECT_EQ(files.FindMedia(first), "") << "documents and media are apart";
  EXPECT_EQ(files.FindDocument(media), "");
}

TEST(CLocalFileListTest, ConversionQueueByStatus) {
  CLocalFileList files(100);
  const std::string a = files.AddDocument("a.doc", 2);
  const std::string b = files.AddDocument("b.doc", 2);
  EXPECT_EQ(files.FindWaitingDocument(), a);
  EXPECT_EQ(files.FindConvertingDocument(), "");

  files.SetDocumentStatus(a, 1);
  files.SetDocumentStatus(b, 1);
  EXPECT_EQ(files.FindWaitingDocument(), "");
  EXPECT_EQ(files.FindConvertingDocument(), a);
  files.SetDocumentStatus(b, 5);
  EXPECT_EQ(files.FindWaitingDocument(), b);

  files.SetDocumentStatus("unknown", 5);
  files.RemoveDocument("unknown");
  files.RemoveDocument(a.substr(0, 31));  // Identifiers compare exactly.
  EXPECT_EQ(files.DocumentCount(), 2u);
  files.RemoveDocument(a);
  EXPECT_EQ(files.FindDocument(a), "");
  EXPECT_EQ(files.FindConvertingDocument(), "");
  EXPECT_EQ(files.DocumentCount(), 1u);
}

TEST(CLocalFileListTest, InstanceIsOneRegistry) {
  EXPECT_EQ(CLocalFileList::Instance(), CLocalFileList::Instance());
  const std::string id = CLocalFileList::Instance()->AddMedia("x.mp3");
  EXPECT_EQ(id.size(), 32u);
  EXPECT_EQ(id.find_first_not_of("0123456789abcdef"), std::string::npos);
}

}  // namespace
