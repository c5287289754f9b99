#include "operations/image_size_confirmation.h"

#include <gtest/gtest.h>

#include <string>

#include "support/recording_console.h"

namespace hx {
namespace {

bool Confirm(std::uint8_t index, std::uint32_t size, const std::string& input,
             std::string* output = nullptr) {
  test::RecordingConsole console(input);
  ScopedConsole scoped(console);
  const bool confirmed = ConfirmImageSize(ImageSlotTable[index], index, size);
  if (output != nullptr) {
    *output = console.Output();
  }
  return confirmed;
}

TEST(ImageSizeConfirmation, AsksAtAndBelowAFifthOfTheNominalSizeForBootLoaderAndMainImage) {
  std::string output;
  EXPECT_FALSE(Confirm(0, 209715, "", &output));
  EXPECT_EQ(output,
            "You are attempting to update CPUEBOOT.BIN with a file of size 209715 bytes.\r\n"
            "Is this correct (Enter Y to confirm, any other key to abort)? ");
  EXPECT_TRUE(Confirm(0, 209716, "", &output));
  EXPECT_EQ(output, "");
  EXPECT_FALSE(Confirm(1, 8388608, "", &output));
  EXPECT_EQ(output.substr(0, 58), "You are attempting to update NK.BIN with a file of size 83");
  EXPECT_TRUE(Confirm(1, 8388609, ""));
  EXPECT_TRUE(Confirm(4, 1, ""));
  EXPECT_TRUE(Confirm(5, 1, ""));
}

TEST(ImageSizeConfirmation, OnlyALoneYConfirms) {
  EXPECT_TRUE(Confirm(1, 100, "Y\n"));
  EXPECT_TRUE(Confirm(1, 100, "y\n"));
  EXPECT_TRUE(Confirm(1, 100, "Y"));  // end of input right after the answer
  EXPECT_FALSE(Confirm(1, 100, " Y\n"));
  EXPECT_FALSE(Confirm(1, 100, "Y \n"));
  EXPECT_FALSE(Confirm(1, 100, "YES\n"));
  EXPECT_FALSE(Confirm(1, 100, "\nY\n"));
  EXPECT_FALSE(Confirm(1, 100, ""));
}

}  // namespace
}  // namespace hx
