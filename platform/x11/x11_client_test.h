#pragma once

// A fixture for tests of the backend's parts against the shared headless X session: the
// backend's own connection and event pump, and another client (TestClient) that makes the
// windows and the input the part under test is to see. A test's part is built in its own
// SetUp after this one and, as a member of the derived fixture, goes before the connection.

#include <memory>
#include <string>

#include "platform/x11/event_pump.h"
#include "platform/x11/x11_connection.h"
#include "platform/x11/x11_test_client.h"
#include "tests/support/shared_x_session_test.h"

namespace quen::x11::testing {

template <bool WithWindowManager>
class X11ClientTest : public quen::testing::SharedXSessionTest<WithWindowManager> {
 protected:
  void SetUp() override {
    quen::testing::SharedXSessionTest<WithWindowManager>::SetUp();
    if (this->HasFatalFailure()) return;
    std::string error;
    connection_ = Connection::open(this->display().c_str(), error);
    ASSERT_NE(connection_, nullptr) << error;
    events_ = std::make_unique<EventPump>(*connection_);
    client_ = std::make_unique<TestClient>(this->display());
  }

  std::unique_ptr<Connection> connection_;
  std::unique_ptr<EventPump> events_;
  std::unique_ptr<TestClient> client_;
};

}  // namespace quen::x11::testing
