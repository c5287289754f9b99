#include <gtest/gtest.h>

#include "platform/exit_status.h"

namespace hx::platform {
namespace {

TEST(ExitStatusFor, KeepsTheLowByteAndNeverTurnsAFailureIntoZero) {
  EXPECT_EQ(ExitStatusFor(S_OK), 0);
  EXPECT_EQ(ExitStatusFor(E_INVALIDARG), 0x57);
  EXPECT_EQ(ExitStatusFor(static_cast<HRESULT>(0x8007048Fu)), 0x8F);
  EXPECT_EQ(ExitStatusFor(E_NOTIMPL), 1);  // 0x80004001: low byte 1
  EXPECT_EQ(ExitStatusFor(static_cast<HRESULT>(0x80070100u)), 1);
  EXPECT_EQ(ExitStatusFor(static_cast<HRESULT>(0x80000000u)), 1);
  EXPECT_EQ(ExitStatusFor(S_FALSE), 1);
  EXPECT_EQ(ExitStatusFor(0x100), 1);
  EXPECT_EQ(ExitStatusFor(-1), 0xFF);
}

}  // namespace
}  // namespace hx::platform
