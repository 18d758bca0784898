#include "core_share.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <memory>
#include <vector>

namespace tessaglyph {
namespace {

// Whatever else the system runs, a batch's jobs and helpers never want more
// threads than there are cores, and cores given back are taken again.
TEST(CoreShareTest, HelpersOnlyOnCoresTheJobsLeaveFree) {
  for (const unsigned cores : {1u, 2u, 5u}) {
    for (const unsigned jobs : {1u, cores}) {
      CoreShare share(cores, jobs);
      std::vector<std::unique_ptr<CoreShare::Helper>> helpers;
      for (unsigned picture = 0; picture < cores + 1; ++picture) helpers.push_back(std::make_unique<CoreShare::Helper>(share));
      const auto granted = std::count_if(helpers.begin(), helpers.end(), [](const auto& h) { return h->Granted(); });
      EXPECT_LE(jobs + granted, cores) << cores << " cores, " << jobs << " jobs";
    }
  }
  CoreShare many(1000, 1000);
  EXPECT_FALSE(CoreShare::Helper(many).Granted());
  many.JobDone();
  many.JobDone();
  for (int picture = 0; picture < 3; ++picture) EXPECT_TRUE(CoreShare::Helper(many).Granted()) << picture;
}

}  // namespace
}  // namespace tessaglyph
