#include <gtest/gtest.h>

#include <QApplication>
#include <cerrno>
#include <memory>

namespace {

// Widgets need one QApplication for the whole run.
class ApplicationEnvironment : public ::testing::Environment {
 public:
  void SetUp() override { application_ = std::make_unique<QApplication>(argc_, argv_); }
  void TearDown() override { application_.reset(); }

 private:
  // The test program's own name, as a real start would pass it.
  int argc_ = 1;
  char* argv_[2] = {program_invocation_name, nullptr};
  std::unique_ptr<QApplication> application_;
};

[[maybe_unused]] ::testing::Environment* const kEnvironment =
    ::testing::AddGlobalTestEnvironment(new ApplicationEnvironment);

}  // namespace
