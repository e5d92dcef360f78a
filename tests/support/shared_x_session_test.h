#pragma once

// A test fixture whose tests share one headless X session, started once for the suite
// (starting Xvfb and a window manager takes most of a second).

#include <gtest/gtest.h>

#include <memory>
#include <string>

#include "tests/support/x_session.h"

namespace quen::testing {

template <bool WithWindowManager>
class SharedXSessionTest : public ::testing::Test {
 protected:
  static void SetUpTestSuite() {
    std::string error;
    session_ = XSession::start(WithWindowManager, error);
    ASSERT_NE(session_, nullptr) << error;
  }
  static void TearDownTestSuite() { session_.reset(); }

  void SetUp() override { ASSERT_NE(session_, nullptr) << "the X session did not start"; }

  static const std::string& display() { return session_->display(); }
  static XSession& session() { return *session_; }

 private:
  static inline std::unique_ptr<XSession> session_;
};

}  // namespace quen::testing
