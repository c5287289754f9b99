#include "platform/locale_text.h"

#include <gtest/gtest.h>

#include <clocale>
#include <string>

namespace hx {
namespace {

// Restores the locale a test changed.
class LocaleGuard {
 public:
  explicit LocaleGuard(const char* name) : saved_(std::setlocale(LC_ALL, nullptr)) {
    ok_ = std::setlocale(LC_ALL, name) != nullptr;
  }
  ~LocaleGuard() { std::setlocale(LC_ALL, saved_.c_str()); }
  bool ok() const { return ok_; }

 private:
  std::string saved_;
  bool ok_ = false;
};

TEST(LocaleText, FileNamesSurviveTheRoundTripInAnyLocale) {
  const std::string names[] = {"plain.bin", "bild_\xC3\xA9.xml", "latin1_\xE9.bin", "\xFF\x80",
                               "\xED\xB2\x80 looks like an escape"};
  for (const char* locale : {"C", "C.UTF-8"}) {
    LocaleGuard guard(locale);
    ASSERT_TRUE(guard.ok()) << locale;
    for (const std::string& name : names) {
      const std::wstring wide = platform::WidenLocaleText(name);
      EXPECT_EQ(platform::NarrowLocaleText(wide), name) << locale << ": " << name;
    }
  }
}

TEST(LocaleText, DecodesWhatTheLocaleKnowsAndRefusesWhatItCannotEncode) {
  LocaleGuard guard("C.UTF-8");
  ASSERT_TRUE(guard.ok());
  EXPECT_EQ(platform::WidenLocaleText("bild_\xC3\xA9"), L"bild_\u00E9");
  LocaleGuard c_locale("C");
  EXPECT_EQ(platform::NarrowLocaleText(L"\u00E9"), std::nullopt);
}

}  // namespace
}  // namespace hx
