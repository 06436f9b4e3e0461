// The cancellable hand-off between the serial reader and the main thread.
#include "comm/ReaderHandOff.h"

#include <atomic>
#include <future>
#include <thread>

#include <gtest/gtest.h>

TEST(ReaderHandOff, PostWaitsUntilDoneAndCarriesItsText) {
  ReaderHandOff handOff;
  std::promise<void> posted;
  handOff.SetNotify([&] { posted.set_value(); });
  handOff.Arm();
  auto reader = std::async(std::launch::async, [&] {
    return handOff.PostAndWait(ReaderEvent::Message, "m_QueueRead FULL!");
  });
  posted.get_future().wait();
  const auto post = handOff.Take();
  ASSERT_TRUE(post.has_value());
  EXPECT_EQ(post->event, ReaderEvent::Message);
  EXPECT_EQ(post->text, "m_QueueRead FULL!");
  EXPECT_FALSE(handOff.Take().has_value());  // taken once only
  EXPECT_EQ(reader.wait_for(std::chrono::milliseconds(50)), std::future_status::timeout);
  handOff.Done(post->token);
  EXPECT_TRUE(reader.get());
}

TEST(ReaderHandOff, CancelReleasesWaitingReaderAndRefusesLaterPosts) {
  ReaderHandOff handOff;
  std::promise<void> posted;
  handOff.SetNotify([&] { posted.set_value(); });
  handOff.Arm();
  auto reader =
      std::async(std::launch::async, [&] { return handOff.PostAndWait(ReaderEvent::Burst); });
  posted.get_future().wait();
  handOff.Cancel();
  EXPECT_FALSE(reader.get());
  EXPECT_FALSE(handOff.Take().has_value());
  EXPECT_FALSE(handOff.PostAndWait(ReaderEvent::Failure));
  handOff.Done(1);  // stale: ignored
}
