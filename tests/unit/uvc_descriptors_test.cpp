// Finding the extension unit in raw descriptors shaped like real cameras': several
// configurations, other units before it, other GUIDs, and bytes that are cut short or lie
// about their length.
#include <gtest/gtest.h>

#include <algorithm>
#include <array>
#include <cstdint>
#include <vector>

#include "protocol/uvc_descriptors.h"

namespace hx {
namespace {

using Bytes = std::vector<std::uint8_t>;
using usb::kExtensionUnitGuid;

constexpr std::array<std::uint8_t, 16> kOtherGuid = {
    0x41, 0x76, 0x9E, 0xA2, 0x04, 0xDE, 0xE3, 0x47, 0x8B, 0x2B, 0xF4, 0x34, 0x1A, 0xFF, 0x00, 0x3B};

Bytes Join(std::initializer_list<Bytes> parts) {
  Bytes all;
  for (const Bytes& part : parts) {
    all.insert(all.end(), part.begin(), part.end());
  }
  return all;
}

Bytes Device() {
  return {18, 1, 0x00, 0x02, 0xEF, 0x02, 0x01, 64, 0xC5, 0xF0, 0xA7, 0xE1, 0, 1, 0, 1, 0, 2};
}
Bytes Configuration(std::uint8_t value) {
  return {9, 2, 0, 0, 5, value, 0, 0x80, 250};
}
Bytes Interface(std::uint8_t number, std::uint8_t alternate, std::uint8_t cls,
                std::uint8_t subclass) {
  return {9, 4, number, alternate, 1, cls, subclass, 0, 0};
}
Bytes VideoControl(std::uint8_t number) {
  return Interface(number, 0, 0x0E, 0x01);
}
Bytes ProcessingUnit(std::uint8_t id) {
  return {13, 0x24, 0x05, id, 1, 0, 0, 3, 0x7F, 0x17, 0, 0, 0};
}
// An extension unit with one source and two bytes of bmControls: 27 bytes.
Bytes ExtensionUnit(std::uint8_t id, const std::array<std::uint8_t, 16>& guid) {
  // Filled in place: growing the vector by inserts trips a false array-bounds warning of the
  // cross compiler's optimiser.
  Bytes unit(27);
  const std::array<std::uint8_t, 4> head = {27, 0x24, 0x06, id};
  const std::array<std::uint8_t, 7> tail = {16, 1, 1, 2, 0xFF, 0xFF, 0};
  std::copy(head.begin(), head.end(), unit.begin());
  std::copy(guid.begin(), guid.end(), unit.begin() + 4);
  std::copy(tail.begin(), tail.end(), unit.begin() + 20);
  return unit;
}
Bytes Endpoint() {
  return {7, 5, 0x81, 3, 16, 0, 8};
}

std::optional<std::uint8_t> Find(const Bytes& descriptors, std::uint8_t configuration = 1) {
  return usb::FindExtensionUnit(descriptors, configuration, 3, kExtensionUnitGuid);
}

TEST(UvcDescriptors, TheUnitWithTheGuidOnTheControlInterfaceOfTheActiveConfiguration) {
  const Bytes camera = Join({Device(), Configuration(1), Interface(0, 0, 0xFF, 0), VideoControl(3),
                             ProcessingUnit(2), ExtensionUnit(6, kOtherGuid),
                             ExtensionUnit(9, kExtensionUnitGuid), Endpoint()});
  EXPECT_EQ(Find(camera), 9);
  // The active configuration decides: in configuration 2 the same unit has another id.
  const Bytes two =
      Join({camera, Configuration(2), VideoControl(3), ExtensionUnit(12, kExtensionUnitGuid)});
  EXPECT_EQ(Find(two, 1), 9);
  EXPECT_EQ(Find(two, 2), 12);
  EXPECT_EQ(Find(two, 3), std::nullopt);
}

TEST(UvcDescriptors, UnitsElsewhereDoNotCount) {
  // On another interface, on an alternate setting, on a streaming interface, or with only
  // another GUID.
  EXPECT_EQ(Find(Join({Device(), Configuration(1), VideoControl(0),
                       ExtensionUnit(4, kExtensionUnitGuid)})),
            std::nullopt);
  EXPECT_EQ(Find(Join({Device(), Configuration(1), Interface(3, 1, 0x0E, 0x01),
                       ExtensionUnit(4, kExtensionUnitGuid)})),
            std::nullopt);
  EXPECT_EQ(Find(Join({Device(), Configuration(1), Interface(3, 0, 0x0E, 0x02),
                       ExtensionUnit(4, kExtensionUnitGuid)})),
            std::nullopt);
  EXPECT_EQ(Find(Join({Device(), Configuration(1), VideoControl(3), ExtensionUnit(4, kOtherGuid)})),
            std::nullopt);
  // A following interface ends the control interface's descriptors.
  EXPECT_EQ(Find(Join({Device(), Configuration(1), VideoControl(3), Interface(4, 0, 0x0E, 0x02),
                       ExtensionUnit(4, kExtensionUnitGuid)})),
            std::nullopt);
}

TEST(UvcDescriptors, BytesThatAreCutShortOrLieAboutTheirLengthEndTheSearchSafely) {
  const Bytes good =
      Join({Device(), Configuration(1), VideoControl(3), ExtensionUnit(4, kExtensionUnitGuid)});
  ASSERT_EQ(Find(good), 4);
  // Every truncation, down to nothing, is read without going past the end.
  for (std::size_t size = 0; size < good.size(); ++size) {
    const Bytes cut(good.begin(), good.begin() + static_cast<std::ptrdiff_t>(size));
    EXPECT_EQ(Find(cut), std::nullopt) << size;
  }
  // A zero length before the unit would loop for ever if taken at its word.
  Bytes zero = good;
  zero[18 + 9 + 9] = 0;
  EXPECT_EQ(Find(zero), std::nullopt);
  // A unit that claims more bytes than there are.
  Bytes overlong = good;
  overlong[18 + 9 + 9] = 200;
  EXPECT_EQ(Find(overlong), std::nullopt);
  // A unit whose length leaves no room for the controls it declares is not one the kernel
  // would use either.
  Bytes short_unit = Join({Device(), Configuration(1), VideoControl(3)});
  Bytes unit = ExtensionUnit(4, kExtensionUnitGuid);
  unit[0] = 25;
  unit.resize(25);
  EXPECT_EQ(Find(Join({short_unit, unit})), std::nullopt);
  // A configuration descriptor too short to name its value selects nothing.
  EXPECT_EQ(Find(Join({Device(), Bytes{5, 2, 0, 0, 5}, VideoControl(3),
                       ExtensionUnit(4, kExtensionUnitGuid)})),
            std::nullopt);
}

}  // namespace
}  // namespace hx
