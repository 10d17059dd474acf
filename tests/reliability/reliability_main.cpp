// Runs the reliability suite and prints its totals for the record.
#include <cstdio>

#include <gtest/gtest.h>

#include "tests/reliability/harness.h"

namespace {

class PrintTally : public ::testing::Environment {
 public:
  void TearDown() override {
    const tokiren::reliability::Tally& tally = tokiren::reliability::SuiteTally();
    std::printf("reliability: %d cases, %d faults injected, %d crash points, %ld files checked, "
                "%ld files lost\n",
                tally.cases, tally.faults, tally.crashPoints, tally.filesChecked, tally.filesLost);
  }
};

}  // namespace

int main(int argc, char** argv) {
  ::testing::InitGoogleTest(&argc, argv);
  ::testing::AddGlobalTestEnvironment(new PrintTally);
  return RUN_ALL_TESTS();
}
