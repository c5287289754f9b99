// A device that opens its state directory after a crash takes a commit record that is not
// whole for none: what was staged goes, and every slot keeps its old image.

#include <gtest/gtest.h>

#include <filesystem>

#include "model/firmware_model.h"
#include "support/temp_file.h"

namespace hx {
namespace {

TEST(StateRecovery, ARecordThatIsNotWholeCommitsNothingAndTheStagedImagesGo) {
  const auto old_image = test::PatternBytes(500, 1);
  const auto new_image = test::PatternBytes(700, 2);
  const std::string renames = "SIG.CAT.NEW SIG.CAT\nNK.BIN.NEW NK.BIN\n";
  for (const std::string& record :
       {std::string(), renames, renames + "commit 2 ", renames + "commit 2 00000000deadbeef\n"}) {
    SCOPED_TRACE(record);
    test::TempDir dir;
    for (const char* slot : {"SIG.CAT", "NK.BIN"}) {
      dir.Write(slot, old_image);
      dir.Write(std::string(slot) + ".NEW", new_image);
    }
    dir.Write("COMMIT.JNL", {record.begin(), record.end()});
    const emu::FirmwareModel model(emu::FirmwareOptions{.state_dir = dir.Path().string()});
    EXPECT_EQ(model.SlotContents(kSignatureImageIndex), old_image);
    EXPECT_EQ(model.SlotContents(kMainImageIndex), old_image);
    EXPECT_EQ(std::distance(std::filesystem::directory_iterator(dir.Path()), {}), 2);
  }
}

}  // namespace
}  // namespace hx
