// Finding HX7300 nodes in sysfs trees laid out as the kernel lays them out.
#include <gtest/gtest.h>

#include "device/linux/uvc_discovery.h"
#include "linux/fake_sysfs.h"

namespace hx {
namespace {

using test::FakeSysfs;

std::vector<std::string> Nodes(const FakeSysfs& sysfs) {
  std::vector<std::string> nodes;
  for (const uvc::NodeCandidate& candidate : uvc::FindHx7300Nodes(sysfs.Root())) {
    nodes.push_back(candidate.node);
  }
  return nodes;
}

TEST(UvcDiscovery, OnlyControlInterfacesOfTheHx7300BoundToUvcvideoAreTaken) {
  FakeSysfs sysfs;
  EXPECT_EQ(Nodes(sysfs), std::vector<std::string>{});
  sysfs.AddNode(0, {.name = "1-2", .product_id = 0x0825});  // another camera
  sysfs.AddNode(1, {.name = "1-3"}, {.number = 0});         // interface 0
  sysfs.AddNode(2, {.name = "1-4"}, {.subclass = 0x02});    // streaming
  sysfs.AddNode(3, {.name = "1-5"}, {.driver = ""});        // no driver
  sysfs.AddNode(4, {.name = "1-6"}, {.driver = "usbfs"});   // another driver
  sysfs.AddNode(5, {.name = "1-7", .vendor_id = 0xF0C6});   // another vendor
  EXPECT_EQ(Nodes(sysfs), std::vector<std::string>{});
  sysfs.AddNode(6, {.name = "1-8"});
  EXPECT_EQ(Nodes(sysfs), std::vector<std::string>{"/dev/video6"});
}

TEST(UvcDiscovery, NodesComeInNodeNumberOrderWithTheirDevices) {
  FakeSysfs sysfs;
  // Numbers, not names, give the order: video10 came after video2.
  sysfs.AddNode(10, {.name = "2-1"});
  sysfs.AddNode(11, {.name = "2-1"});
  sysfs.AddNode(2, {.name = "1-1"});
  sysfs.AddNode(3, {.name = "1-1"});
  const auto candidates = uvc::FindHx7300Nodes(sysfs.Root());
  ASSERT_EQ(candidates.size(), 4u);
  EXPECT_EQ(candidates[0].node, "/dev/video2");
  EXPECT_EQ(candidates[1].node, "/dev/video3");
  EXPECT_EQ(candidates[2].node, "/dev/video10");
  EXPECT_EQ(candidates[3].node, "/dev/video11");
  EXPECT_EQ(candidates[0].usb_device.filename(), "1-1");
  EXPECT_EQ(candidates[2].usb_device.filename(), "2-1");
}

TEST(UvcDiscovery, ANamedNodeIsCheckedLikeAFoundOne) {
  FakeSysfs sysfs;
  sysfs.AddNode(0, {.name = "1-1"});
  sysfs.AddNode(4, {.name = "1-2", .product_id = 0x0825});
  bool exists = false;
  const auto hx7300 = uvc::IdentifyNode(sysfs.Root(), "/dev/video0", exists);
  EXPECT_TRUE(exists);
  ASSERT_TRUE(hx7300);
  EXPECT_EQ(hx7300->usb_device.filename(), "1-1");
  EXPECT_FALSE(uvc::IdentifyNode(sysfs.Root(), "/dev/video4", exists));
  EXPECT_TRUE(exists);
  EXPECT_FALSE(uvc::IdentifyNode(sysfs.Root(), "/dev/video7", exists));
  EXPECT_FALSE(exists);
  EXPECT_FALSE(uvc::IdentifyNode(sysfs.Root(), "/dev/null", exists));
  EXPECT_FALSE(exists);
}

TEST(UvcDiscovery, TheUnitIdComesFromTheActiveConfigurationsDescriptors) {
  FakeSysfs sysfs;
  sysfs.AddNode(0, {.name = "1-1"});
  sysfs.AddNode(2, {.name = "1-2", .configuration = "2"});
  sysfs.AddNode(4, {.name = "1-3", .configuration = ""});  // not configured
  sysfs.AddNode(6, {.name = "1-4", .descriptors = {18, 1, 0, 2}});
  const auto candidates = uvc::FindHx7300Nodes(sysfs.Root());
  ASSERT_EQ(candidates.size(), 4u);
  std::uint8_t unit = 0;
  // What the virtual HX7300 announces, found as the real driver's host would find it.
  EXPECT_EQ(uvc::ReadExtensionUnitId(candidates[0], unit), S_OK);
  EXPECT_EQ(unit, 4);
  for (std::size_t i = 1; i < candidates.size(); ++i) {
    EXPECT_EQ(uvc::ReadExtensionUnitId(candidates[i], unit), kHrNotFound) << i;
  }
}

}  // namespace
}  // namespace hx
