// Scope guards whose action raises: out of the scope when nothing else is in flight, dropped (never
// ending the program) while an exception already unwinds.
#include <gtest/gtest.h>

#include <stdexcept>
#include <string>

#include "platform/rtl/ScopeExit.h"

namespace {

TEST(ScopeExit, AnActionThatRaisesOnANormalExitRaisesOutOfTheScope) {
  int ran = 0;
  std::string caught;
  try {
    TScopeExit guard([&] {
      ++ran;
      throw std::runtime_error("controls");
    });
  } catch (const std::runtime_error& e) {
    caught = e.what();
  }
  EXPECT_EQ(ran, 1);
  EXPECT_EQ(caught, "controls") << "the action's exception left the scope";
}

TEST(ScopeExit, AnActionThatRaisesWhileAnExceptionUnwindsLeavesTheFirstOneGoingOn) {
  int ran = 0;
  std::string caught;
  try {
    TScopeExit guard([&] {
      ++ran;
      throw std::runtime_error("ORA-03114 again");
    });
    throw std::runtime_error("ORA-03114");
  } catch (const std::runtime_error& e) {
    caught = e.what();
  }
  EXPECT_EQ(ran, 1);
  EXPECT_EQ(caught, "ORA-03114");
}

TEST(ScopeExit, AGuardMadeInsideAHandlerRaisesItsOwnOnAnExitOfItsOwn) {
  // made while an exception is already being handled (not unwinding through it): its scope ends
  // normally, so its action's exception is its own to raise
  std::string caught;
  try {
    throw std::runtime_error("first");
  } catch (const std::runtime_error&) {
    try {
      TScopeExit guard([] { throw std::runtime_error("second"); });
    } catch (const std::runtime_error& e) {
      caught = e.what();
    }
  }
  EXPECT_EQ(caught, "second");
}

TEST(ScopeExit, ADismissedGuardRunsNothing) {
  int ran = 0;
  {
    TScopeExit guard([&] { ++ran; });
    guard.Dismiss();
  }
  EXPECT_EQ(ran, 0);
}

}  // namespace
