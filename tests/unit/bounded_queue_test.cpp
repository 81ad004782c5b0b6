// The queue between pipeline stages: bounded, drained on close, emptied on
// abort, and with a wake batch never holding back what is there.
#include "engine/stages/bounded_queue.h"

#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <future>
#include <thread>

namespace {

using orv::engine::BoundedQueue;
using namespace std::chrono_literals;

TEST(BoundedQueue, ProducerWaitsAtCapacityAndEverythingArrivesInOrder) {
  for (std::size_t batch : {1u, 4u}) {
    BoundedQueue<int> q(4, batch);
    std::atomic<int> pushed{0};
    std::atomic<std::size_t> largest{0};
    std::thread producer([&] {
      for (int i = 0; i < 200; ++i) {
        EXPECT_TRUE(q.push(i));
        ++pushed;
        std::size_t n = q.size();
        if (n > largest) largest = n;
      }
      q.close();
    });
    // Nobody takes yet: the producer stops at the bound and stays there.
    for (int i = 0; i < 500 && pushed < 4; ++i) std::this_thread::sleep_for(10ms);
    std::this_thread::sleep_for(30ms);
    EXPECT_EQ(pushed.load(), 4) << "batch " << batch;
    int expected = 0;
    while (auto v = q.pop()) EXPECT_EQ(*v, expected++);
    producer.join();
    EXPECT_EQ(expected, 200);
    EXPECT_LE(largest.load(), 4u);
  }
}

TEST(BoundedQueue, BatchNotYetFullStillReachesAWaitingConsumer) {
  BoundedQueue<int> q(32, 8);
  auto got = std::async(std::launch::async, [&] { return q.pop(); });
  std::this_thread::sleep_for(10ms);
  ASSERT_TRUE(q.push(7));  // one item of a batch of eight, and nothing more comes
  ASSERT_EQ(got.wait_for(5s), std::future_status::ready);
  EXPECT_EQ(got.get(), 7);
}

TEST(BoundedQueue, AbortWakesBothSidesAndDropsWhatIsQueued) {
  for (std::size_t batch : {1u, 8u}) {
    BoundedQueue<int> full(2, batch);
    ASSERT_TRUE(full.push(1));
    ASSERT_TRUE(full.push(2));
    auto blockedPush = std::async(std::launch::async, [&] { return full.push(3); });
    BoundedQueue<int> empty(2, batch);
    auto blockedPop = std::async(std::launch::async, [&] { return empty.pop(); });
    std::this_thread::sleep_for(10ms);
    full.abort();
    empty.abort();
    ASSERT_EQ(blockedPush.wait_for(5s), std::future_status::ready);
    ASSERT_EQ(blockedPop.wait_for(5s), std::future_status::ready);
    EXPECT_FALSE(blockedPush.get());
    EXPECT_FALSE(blockedPop.get());
    EXPECT_FALSE(full.pop());
    EXPECT_EQ(full.size(), 0u);
  }
}

TEST(BoundedQueue, CloseLetsTheConsumerDrainButRefusesMore) {
  BoundedQueue<int> q(8, 8);
  ASSERT_TRUE(q.push(1));
  ASSERT_TRUE(q.push(2));
  q.close();
  EXPECT_FALSE(q.push(3));
  EXPECT_EQ(q.pop(), 1);
  bool ended = false;
  EXPECT_EQ(q.TryPop(ended), 2);
  EXPECT_FALSE(q.pop());
  EXPECT_FALSE(q.TryPop(ended));
  EXPECT_TRUE(ended);
}

}  // namespace
