#include <gtest/gtest.h>

#include <atomic>
#include <string>
#include <thread>
#include <vector>

#include "shell/registry/user_stream_list.h"

namespace {

StUserStream User(const std::string& id, const std::string& uid, const std::string& cid,
                  const std::string& stream = "") {
  StUserStream user;
  user.id = id;
  user.name = "name-" + id;
  user.uid = uid;
  user.cid = cid;
  user.streamId = stream;
  return user;
}

TEST(CUserStreamListTest, AddReplacesRemoveAndLookUps) {
  CUserStreamList users;
  users.Add(User("b", "u1", "c1", "s-b"));
  users.Add(User("a", "u1", "c2", "s-a"));
  users.Add(new StUserStream(User("b", "u9", "c9", "s-new")));  // Replaces the first "b".
  users.Add(nullptr);
  EXPECT_EQ(users.Size(), 2u);
  ASSERT_TRUE(users.Find("b").has_value());
  EXPECT_EQ(users.Find("b")->uid, "u9");
  EXPECT_FALSE(users.Find("B").has_value()) << "case matters";

  // Both texts must match; the first match in key order wins.
  users.Add(User("c", "u1", "c2", "s-c"));
  EXPECT_EQ(users.FindByUidCid("u1", "c2")->id, "a");
  EXPECT_FALSE(users.FindByUidCid("u1", "c1").has_value());
  EXPECT_EQ(users.FindByStreamId("s-c")->id, "c");
  EXPECT_FALSE(users.FindByStreamId("s-b").has_value());

  std::vector<std::string> order;
  users.ForEach([&](const StUserStream& user) { order.push_back(user.id); });
  EXPECT_EQ(order, (std::vector<std::string>{"a", "b", "c"}));

  users.Remove("zz");
  EXPECT_EQ(users.Size(), 3u);
  users.Remove("a");
  EXPECT_FALSE(users.Find("a").has_value());
  EXPECT_EQ(users.Size(), 2u);
}

TEST(CUserStreamListTest, ReplaceTakesTheWholeListAndUpdateLeavesAGoneRecordGone) {
  CUserStreamList users;
  users.Add(User("old", "u0", "c0"));
  users.Replace({User("b", "u1", "c1"), User("a", "u2", "c2"), User("b", "u3", "c3")});
  EXPECT_FALSE(users.Find("old").has_value());
  EXPECT_EQ(users.Size(), 2u);
  EXPECT_EQ(users.Find("b")->uid, "u3");  // The later record of an id wins.

  const auto updated = users.Update("a", [](StUserStream& user) { user.videoStatus = "inactive"; });
  ASSERT_TRUE(updated.has_value());
  EXPECT_EQ(updated->videoStatus, "inactive");
  EXPECT_EQ(users.Find("a")->videoStatus, "inactive");

  users.Remove("a");
  bool called = false;
  EXPECT_FALSE(users.Update("a", [&](StUserStream&) { called = true; }).has_value());
  EXPECT_FALSE(called);
  EXPECT_FALSE(users.Find("a").has_value());

  users.Replace({});
  EXPECT_EQ(users.Size(), 0u);
}

// Writers add, replace and remove while readers look records up and walk the list: readers
// only ever see whole records (a copy whose fields agree with each other).
TEST(CUserStreamListTest, ConcurrentWritersAndReadersSeeWholeRecords) {
  CUserStreamList users;
  std::atomic<bool> stop{false};
  std::atomic<int> torn{0};
  auto check = [&](const StUserStream& user) {
    if (user.name != "name-" + user.id || user.streamId != "s-" + user.id) ++torn;
  };
  std::vector<std::thread> threads;
  for (int w = 0; w < 3; ++w) {
    threads.emplace_back([&users, w] {
      for (int i = 0; i < 3000; ++i) {
        const std::string id = std::to_string((i * 7 + w) % 50);
        users.Add(User(id, "u" + id, "c", "s-" + id));
        if (i % 3 == 0) users.Remove(std::to_string((i + w) % 50));
      }
    });
  }
  for (int r = 0; r < 3; ++r) {
    threads.emplace_back([&] {
      while (!stop) {
        for (int k = 0; k < 50; ++k) {
          const std::string id = std::to_string(k);
          if (auto user = users.Find(id)) check(*user);
          if (auto user = users.FindByUidCid("u" + id, "c")) check(*user);
          if (auto user = users.FindByStreamId("s-" + id)) check(*user);
        }
        users.ForEach(check);
      }
    });
  }
  for (int w = 0; w < 3; ++w) threads[w].join();
  stop = true;
  for (size_t t = 3; t < threads.size(); ++t) threads[t].join();
  EXPECT_EQ(torn.load(), 0);
  EXPECT_LE(users.Size(), 50u);
}

}  // namespace
