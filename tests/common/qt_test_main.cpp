// Test entry for tests that need the window framework: one application object on Qt's
// offscreen platform for the whole run.
#include <gtest/gtest.h>

#include <cstdlib>

#include "platform/vcl/Forms.h"

int main(int argc, char** argv) {
  setenv("QT_QPA_PLATFORM", "offscreen", 0);
  testing::InitGoogleTest(&argc, argv);
  TApplication application(argc, argv);
  return RUN_ALL_TESTS();
}
