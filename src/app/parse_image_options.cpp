#include <array>
#include <string_view>

#include "app/option_parsers.h"
#include "app/option_token.h"

namespace hx {
namespace {

struct ImageKeyword {
  std::wstring_view keyword;
  std::int32_t index;
};

constexpr std::array<ImageKeyword, 5> kImageKeywords = {{
    {L"nk", 1},
    {L"eboot", 0},
    {L"cpueboot", 0},
    {L"config", 4},
    {L"qvconfig", 4},
}};

/// Sets ImageIndex from the value of "-i:"; false for a value outside the keywords.
bool ApplyImageIndex(std::wstring_view value, ImageOptions& image) {
  for (const ImageKeyword& entry : kImageKeywords) {
    if (EqualsIgnoreCase(value, entry.keyword)) {
      image.ImageIndex = entry.index;
      return true;
    }
  }
  return false;
}

bool ApplyImageToken(const OptionToken& token, ImageOptions& image) {
  // "-r" is taken whatever follows its letter, and changes nothing.
  if (token.Letter() == L'r') {
    return true;
  }
  if (!token.HasValue()) {
    return false;
  }
  switch (token.Letter()) {
    case L'f':
      image.ImageFile = token.Value();
      return true;
    case L'i':
      return ApplyImageIndex(token.ValueView(), image);
    case L's':
      image.SignatureFile = token.Value();
      return true;
    default:
      return false;
  }
}

}  // namespace

HRESULT ParseImageOptions(ArgumentVector arguments, ModeOptions& options) {
  if (options.ModeCode != kModeImage) {
    return E_INVALIDARG;
  }
  ImageOptions& image = options.Image;
  image.ImageIndex = -1;
  image.ImageFile = nullptr;
  image.SignatureFile = nullptr;
  const bool tokens_accepted = EveryOptionToken(
      arguments, [&image](const OptionToken& token) { return ApplyImageToken(token, image); });
  const bool complete = tokens_accepted && image.ImageIndex != -1 && image.ImageFile != nullptr &&
                        (image.SignatureFile != nullptr || !ImageNeedsSignature(image));
  return complete ? S_OK : E_INVALIDARG;
}

}  // namespace hx
