// The network update's manifest and the URLs the virtual HX7300 builds from what the host
// gave it.

#include "model/update_manifest.h"

#include <gtest/gtest.h>

#include "protocol/image_slots.h"

namespace hx::emu {
namespace {

std::vector<std::pair<std::uint8_t, std::string>> Listed(std::string_view text) {
  std::vector<std::pair<std::uint8_t, std::string>> listed;
  for (const ManifestEntry& entry : ParseManifest(text).value_or(std::vector<ManifestEntry>{})) {
    listed.emplace_back(entry.slot, entry.path);
  }
  return listed;
}

TEST(UpdateManifest, ListsImagesInOrderWhateverTheLineEndsBlanksAndLetterCase) {
  EXPECT_EQ(Listed("# release 7\r\n"
                   "nk.bin   images/nk.bin\r\n"
                   "\r\n"
                   "  Sig.Cat\t/sig/my image.cat  \n"
                   "EBOOT_DESC.XML d.xml"),
            (std::vector<std::pair<std::uint8_t, std::string>>{
                {kMainImageIndex, "images/nk.bin"},
                {kSignatureImageIndex, "/sig/my image.cat"},
                {12, "d.xml"}}));
}

TEST(UpdateManifest, MalformedLineOrNothingToUpdateFailsTheWholeManifest) {
  for (const std::string_view text : {
           std::string_view("NK.BIN nk.bin\nNK.BIN other.bin\n"),  // a slot twice
           std::string_view("NK.BIN\n"),                           // no path
           std::string_view("NK.BIN    \n"),
           std::string_view("README.TXT readme\n"),  // not a device file
           std::string_view("NK.BIN http://elsewhere/nk.bin\n"),
           std::string_view("NK.BIN nk\x01.bin\n"),
           std::string_view("NK.BIN nk.bin\0\n", 15),
           std::string_view(""),
           std::string_view("# nothing\n\n"),
       }) {
    SCOPED_TRACE(text);
    EXPECT_FALSE(ParseManifest(text).has_value());
  }
}

TEST(UpdateManifest, ManifestUrlNamesTheServerPortAndPathOnce) {
  EXPECT_EQ(ManifestUrl("10.0.0.5", 8000, "/updates/manifest.txt"),
            "http://10.0.0.5:8000/updates/manifest.txt");
  EXPECT_EQ(ManifestUrl("updates.example.com", 80, "m.txt?v=2"),
            "http://updates.example.com:80/m.txt?v=2");
  EXPECT_EQ(ManifestUrl("[::1]", 65535, "a b/\"x\"\xE9.txt"),
            "http://[::1]:65535/a%20b/%22x%22%E9.txt");
  EXPECT_EQ(ManifestUrl("srv", 1, ""), "http://srv:1/");
  for (const std::string_view server : {"", "up date", "srv/x", "user@srv"}) {
    EXPECT_FALSE(ManifestUrl(server, 80, "m.txt").has_value()) << server;
  }
  EXPECT_FALSE(ManifestUrl("srv", 0, "m.txt").has_value());
}

TEST(UpdateManifest, ImagePathsAreTakenFromTheManifestsDirectoryOrTheServersRoot) {
  const std::string manifest = "http://srv:8000/updates/v7/manifest.txt?x=/y";
  EXPECT_EQ(ImageUrl(manifest, "nk.bin"), "http://srv:8000/updates/v7/nk.bin");
  EXPECT_EQ(ImageUrl(manifest, "../v6/nk cat.bin"),
            "http://srv:8000/updates/v7/../v6/nk%20cat.bin");
  EXPECT_EQ(ImageUrl(manifest, "/root.bin"), "http://srv:8000/root.bin");
  EXPECT_EQ(ImageUrl("http://srv:80/m.txt", "nk.bin"), "http://srv:80/nk.bin");
}

}  // namespace
}  // namespace hx::emu
