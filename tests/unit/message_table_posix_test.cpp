// The project's own message texts, which stand for the system message table on POSIX.
#include "platform/message_table.h"

#include <gtest/gtest.h>

namespace hx {
namespace {

TEST(MessageTable, EveryCodeTheUtilityProducesHasATextEndingInALineEnd) {
  const std::uint32_t codes[] = {
      0x00000000u, 0x80004005u, 0x80070057u, 0x8007000Eu, 0x80004001u, 0x80070002u, 0x80070003u,
      0x80070004u, 0x80070005u, 0x80070006u, 0x80070008u, 0x80070013u, 0x80070015u, 0x80070017u,
      0x8007001Fu, 0x80070026u, 0x80070070u, 0x8007007Au, 0x800700AAu, 0x800700B7u, 0x800700DFu,
      0x800703EEu, 0x8007045Du, 0x8007048Fu, 0x80070490u, 0x800705B4u, 0x80070032u, 0x800700CEu,
      0x80070781u, 0x800700E8u, 0x80072740u,
  };
  for (std::uint32_t code : codes) {
    const auto text = platform::LookupMessageText(static_cast<HRESULT>(code));
    ASSERT_TRUE(text.has_value()) << std::hex << code;
    EXPECT_GT(text->size(), 2u) << std::hex << code;
    EXPECT_EQ(text->substr(text->size() - 2), L"\r\n") << std::hex << code;
  }
  // A bare Windows error number, as a device may put it in a reply, reads as the system's
  // table reads it: with the text of its HRESULT form.
  EXPECT_EQ(platform::LookupMessageText(5),
            platform::LookupMessageText(static_cast<HRESULT>(0x80070005u)));
  EXPECT_EQ(platform::LookupMessageText(2),
            platform::LookupMessageText(static_cast<HRESULT>(0x80070002u)));
  EXPECT_FALSE(platform::LookupMessageText(0x1234).has_value());
  EXPECT_FALSE(platform::LookupMessageText(0x00070002).has_value());
  EXPECT_EQ(*platform::LookupMessageText(kHrFileChanged),
            L"The file was changed by another program while it was being read.\r\n");
  EXPECT_EQ(*platform::LookupMessageText(static_cast<HRESULT>(0x80070002u)),
            L"No file exists with the given name.\r\n");
}

}  // namespace
}  // namespace hx
