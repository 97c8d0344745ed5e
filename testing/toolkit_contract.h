// The toolkit contract: the rules every toolkit backend keeps for the program, whatever draws
// its windows, checked by one set of tests (src/ui/toolkit_contract_test.cpp) on each backend.
// A test program runs them on a backend by instantiating the suite with its factory:
//   INSTANTIATE_TEST_SUITE_P(Fltk, ToolkitContract, ::testing::Values(&make_platform_toolkit));
#pragma once

#include <gtest/gtest.h>

#include <memory>

#include "testing/toolkit_test_panel.h"
#include "ui/toolkit.h"

namespace kavri {

using ToolkitFactory = std::unique_ptr<Toolkit> (*)();

class ToolkitContract : public ::testing::TestWithParam<ToolkitFactory> {
 protected:
  void SetUp() override {
    ui = GetParam()();
    if (ui == nullptr) GTEST_SKIP() << "no display";
    ASSERT_TRUE(testing::test_panel::build_test_panel(*ui, 20));
  }

  // True when no event is waiting, once the display has delivered what it had.
  bool no_event() {
    for (int i = 0; i < 20; ++i) {
      if (ui->poll_event()) return false;
    }
    return true;
  }

  std::unique_ptr<Toolkit> ui;
};

}  // namespace kavri
