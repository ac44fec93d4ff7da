#include "framework/process_lock.h"

#include <gtest/gtest.h>

#include <atomic>
#include <cstring>
#include <thread>
#include <vector>

namespace {

TEST(ProcessLock, IsRecursiveAndExcludesOtherThreads) {
  ProcessLockGuard outer(ProcessLockId::Database);
  {
    ProcessLockGuard inner(ProcessLockId::Database);  // the same thread enters again
    bool otherGotIt = true;
    std::thread([&] { otherGotIt = ProcessLock(ProcessLockId::Database).try_lock(); }).join();
    EXPECT_FALSE(otherGotIt);
  }
  bool otherGotIt = true;
  std::thread([&] { otherGotIt = ProcessLock(ProcessLockId::Database).try_lock(); }).join();
  EXPECT_FALSE(otherGotIt);  // still held once by this thread
  outer.Unlock();
  std::thread([&] {
    otherGotIt = ProcessLock(ProcessLockId::Database).try_lock();
    if (otherGotIt) ProcessLock(ProcessLockId::Database).unlock();
  }).join();
  EXPECT_TRUE(otherGotIt);
}

struct Record {
  void* handle;
  int count;
};

TEST(ProcessRecord, IsCreatedOnceZeroFilledOnFirstUse) {
  ASSERT_FALSE(ProcessRecord<Record>::Exists());
  // Static storage starts zero; make it look used, so that only the creation can clear it.
  std::memset(ProcessRecord<Record>::Storage(), 0xA5, sizeof(Record));
  std::vector<std::thread> threads;
  std::atomic<Record*> seen[8] = {};
  for (int i = 0; i < 8; ++i) {
    threads.emplace_back([&, i] { seen[i] = &ProcessRecord<Record>::Get(); });
  }
  for (auto& t : threads) t.join();
  EXPECT_EQ(ProcessRecord<Record>::Creations(), 1);
  for (auto& s : seen) EXPECT_EQ(s.load(), &ProcessRecord<Record>::Get());
  EXPECT_EQ(ProcessRecord<Record>::Get().handle, nullptr);
  EXPECT_EQ(ProcessRecord<Record>::Get().count, 0);
}

}  // namespace
