#include "picture/memory_budget.h"

#include <gtest/gtest.h>

#include <chrono>
#include <future>

namespace tessaglyph {
namespace {

using namespace std::chrono_literals;

TEST(MemoryBudgetTest, APictureWaitsForRoomAndOneThatCanNeverFitIsRefused) {
  MemoryBudget budget(std::uint64_t{1} << 20, "--max-memory raises it");
  std::string refusal;
  EXPECT_FALSE(budget.Reserve((std::uint64_t{1} << 20) + 1, "BMP of 1x1 pixels", refusal));
  EXPECT_EQ(refusal, "BMP of 1x1 pixels needs 2 MiB of memory to decode, more than the limit of 1 MiB "
                     "(--max-memory raises it)");

  std::optional<MemoryBudget::Lease> first = budget.Reserve(600 << 10, "first", refusal);
  ASSERT_TRUE(first);
  std::future<bool> second = std::async(std::launch::async, [&] {
    std::string ignored;
    return budget.Reserve(600 << 10, "second", ignored).has_value();
  });
  EXPECT_EQ(second.wait_for(100ms), std::future_status::timeout) << "both fitted into a budget that holds one";
  first.reset();
  ASSERT_EQ(second.wait_for(10s), std::future_status::ready);
  EXPECT_TRUE(second.get());
}

// A thread that already holds part of the budget and asks for more than the
// rest could ever give would wait for itself: it is refused at once, and a
// request that fits beside its own lease is served at once.
TEST(MemoryBudgetTest, ARequestBeyondWhatTheRequesterHoldsIsRefusedNotWaitedFor) {
  MemoryBudget budget(std::uint64_t{1} << 20);
  std::string refusal;
  std::optional<MemoryBudget::Lease> held = budget.Reserve(600 << 10, "decoder", refusal);
  ASSERT_TRUE(held);
  const auto start = std::chrono::steady_clock::now();
  EXPECT_FALSE(budget.Reserve(600 << 10, "picture", refusal));
  EXPECT_LT(std::chrono::steady_clock::now() - start, 5s);
  EXPECT_NE(refusal.find("needs 2 MiB"), std::string::npos) << refusal;
  EXPECT_TRUE(budget.Reserve(400 << 10, "picture", refusal));

  MemoryBudget::Lease picture = held->Split(100 << 10);
  held.reset();
  EXPECT_TRUE(budget.Reserve(900 << 10, "next", refusal)) << "a split lease gives back only the rest";
}

}  // namespace
}  // namespace tessaglyph
