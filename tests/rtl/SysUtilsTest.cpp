#include "platform/rtl/SysUtils.h"

#include <gtest/gtest.h>

TEST(Exceptions, CarryMessageAndClassName) {
  try {
    throw EConvertError("'x' is not a valid integer value");
  } catch (const Exception& e) {
    EXPECT_EQ(e.Message(), "'x' is not a valid integer value");
    EXPECT_STREQ(e.ClassName(), "EConvertError");
  }
  EAbort abort;
  EXPECT_STREQ(abort.ClassName(), "EAbort");
}
