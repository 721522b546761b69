#include "async_runner.h"

#include <atomic>
#include <thread>

#include <gtest/gtest.h>

#include "main_loop.h"

namespace kdp::minihost {
namespace {

using namespace std::chrono_literals;

struct AsyncRunnerTest : ::testing::Test {
  MiniMainLoop loop;
  MiniAsyncRunner runner{loop};
};

TEST_F(AsyncRunnerTest, RunsOffTheMainThreadAndTerminatesOnIt) {
  std::thread::id ran_on, terminated_on;
  bool terminated = false;
  ASSERT_TRUE(runner.RunAsync([&] { ran_on = std::this_thread::get_id(); },
                              [&] {
                                terminated_on = std::this_thread::get_id();
                                terminated = true;
                              }));
  ASSERT_TRUE(loop.RunUntil([&] { return terminated; }, 10s));
  EXPECT_NE(ran_on, std::this_thread::get_id());
  EXPECT_EQ(terminated_on, std::this_thread::get_id());
}

TEST_F(AsyncRunnerTest, AThrowingTaskStillTerminatesAndLaterTasksRun) {
  int terminated = 0;
  std::atomic<int> ran{0};
  runner.RunAsync([] { throw std::runtime_error("task failed"); }, [&] { ++terminated; });
  runner.RunAsync([&] { ++ran; }, [&] { ++terminated; });
  ASSERT_TRUE(loop.RunUntil([&] { return terminated == 2; }, 10s));
  EXPECT_EQ(ran.load(), 1);
}

TEST_F(AsyncRunnerTest, StoppedRunnerRefusesWork) {
  runner.Stop();
  EXPECT_FALSE(runner.RunAsync([] {}, [] {}));
  runner.Stop();
}

}  // namespace
}  // namespace kdp::minihost
