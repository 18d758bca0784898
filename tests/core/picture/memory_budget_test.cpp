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

}  // namespace
}  // namespace tessaglyph
