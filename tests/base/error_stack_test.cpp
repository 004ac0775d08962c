#include "base/error_stack.h"

#include <gtest/gtest.h>

#include <thread>
#include <vector>

#include "base/progress.h"

namespace q3d {
namespace {

class ErrorStackTest : public ::testing::Test {
 protected:
  void SetUp() override { ClearErrors(); }
  void TearDown() override { ClearErrors(); }
};

TEST_F(ErrorStackTest, PopReturnsNewestAndStampsTime) {
  PushErrorText("first", -1, 1);
  PushImageLibraryError();
  ErrorRecord r = PopError(false);
  EXPECT_EQ(r.code, -8);
  EXPECT_EQ(r.severity, 2);
  EXPECT_EQ(r.Message(), "Error: The image operation failed.");
  EXPECT_FALSE(r.TimeStamp().empty());
  EXPECT_EQ(ErrorCount(), 2);  // peek does not pop
  PopError(true);
  EXPECT_EQ(PopError(true).Message(), "first");
  EXPECT_EQ(ErrorCount(), 0);
}

// Refinement threads push while the main thread reads: every record arrives whole.
TEST_F(ErrorStackTest, ThreadsPushingAndReadingKeepRecordsWhole) {
  std::vector<std::thread> threads;
  for (int t = 0; t < 4; ++t)
    threads.emplace_back([t] {
      for (int i = 0; i < 2000; ++i)
        PushErrorText(std::string(100, static_cast<char>('a' + t)), t, 1);
    });
  for (int i = 0; i < 2000; ++i) {
    const ErrorRecord r = PopError(i % 2 == 0);
    const std::string m = r.Message();
    if (!m.empty()) {
      EXPECT_EQ(m, std::string(100, static_cast<char>('a' + r.code)));
    }
  }
  for (auto& thread : threads) thread.join();
  EXPECT_LE(ErrorCount(), kErrorStackSize);
}

TEST_F(ErrorStackTest, EmptyStackGivesZeroRecord) {
  ErrorRecord r = PopError(true);
  EXPECT_EQ(r.code, 0);
  EXPECT_EQ(r.severity, 0);
  EXPECT_EQ(ErrorCount(), 0);
}

TEST_F(ErrorStackTest, TwentySixthPushEmptiesTheStackFirst) {
  for (int i = 0; i < kErrorStackSize; ++i) PushErrorText("e" + std::to_string(i));
  EXPECT_EQ(ErrorCount(), 25);
  PushOutOfMemory();
  EXPECT_EQ(ErrorCount(), 1);
  EXPECT_EQ(PopError(true).Message(), "Error: Out of memory");
  EXPECT_EQ(ErrorCount(), 0);
}

TEST_F(ErrorStackTest, LongMessagesAreTruncatedNotOverflowed) {
  PushErrorText(std::string(1000, 'x'));
  EXPECT_EQ(PopError(true).Message().size(), 255u);
}

TEST(ProgressTest, PercentLabelFollowsTheFormat) {
  EXPECT_EQ(Progress::PercentLabel(100, 0, 100), "100%");
  EXPECT_EQ(Progress::PercentLabel(25, 0, 100), "25%");
  EXPECT_EQ(Progress::PercentLabel(0, 0, 100), "0%");
  EXPECT_EQ(Progress::PercentLabel(150, 0, 100), "50%");  // modulo 100 above the bound
}

TEST(ProgressTest, InitialLabelStaysUntilFirstSetPos) {
  Progress p;
  EXPECT_EQ(p.Label(), " 0 %");
  p.SetStep("Saving Image 1...");
  EXPECT_EQ(p.Label(), " 0 %");
  EXPECT_EQ(p.StepText(), "Saving Image 1...");
  p.SetPos(25);
  EXPECT_EQ(p.Label(), "25%");
  EXPECT_EQ(p.Pos(), 25);
}

struct CountingProgress : Progress {
  int* destroyed;
  int pumps = 0;
  explicit CountingProgress(int* d) : destroyed(d) {}
  void Destroy() override { ++*destroyed; }
  void Pump() override { ++pumps; }
};

TEST(ProgressTest, ScopedProgressDestroysOnEveryPath) {
  int destroyed = 0;
  CountingProgress p(&destroyed);
  try {
    ScopedProgress scoped(&p);
    scoped->SetPos(10);
    throw std::runtime_error("failure mid-way");
  } catch (const std::runtime_error&) {
  }
  EXPECT_EQ(destroyed, 1);
  EXPECT_EQ(p.pumps, 1);  // SetPos pumps before moving the bar
}

}  // namespace
}  // namespace q3d
