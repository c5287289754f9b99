#include <array>
#include <string_view>

#include "app/command_line_refusal.h"
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

/// Sets ImageIndex from the value of "-i:"; refused for a value outside the keywords.
HRESULT ApplyImageIndex(const OptionToken& token, ImageOptions& image,
                        CommandLineRefusal& refusal) {
  for (const ImageKeyword& entry : kImageKeywords) {
    if (EqualsIgnoreCase(token.ValueView(), entry.keyword)) {
      image.ImageIndex = entry.index;
      return S_OK;
    }
  }
  return refusal.Refuse(token.Text(),
                        L"unknown image; the images are nk, eboot, cpueboot, config and qvconfig");
}

bool IsValueLetter(wchar_t letter) {
  return letter == L'f' || letter == L'i' || letter == L's';
}

HRESULT ApplyImageToken(const OptionToken& token, ImageOptions& image,
                        CommandLineRefusal& refusal) {
  // "-r" is taken whatever follows its letter, and changes nothing.
  if (token.Letter() == L'r') {
    return S_OK;
  }
  if (!IsValueLetter(token.Letter())) {
    return refusal.RefuseUnknown(token);
  }
  if (!token.HasValue()) {
    return refusal.RefuseWithoutValue(token);
  }
  switch (token.Letter()) {
    case L'f':
      image.ImageFile = token.Value();
      return S_OK;
    case L'i':
      return ApplyImageIndex(token, image, refusal);
    default:
      image.SignatureFile = token.Value();
      return S_OK;
  }
}

/// What the command line still lacks once every token is taken; S_OK when nothing.
HRESULT CheckComplete(const ImageOptions& image, CommandLineRefusal& refusal) {
  if (image.ImageIndex == -1) {
    return refusal.Refuse({}, L"the image to update is missing (-i:<image>)");
  }
  if (image.ImageFile == nullptr) {
    return refusal.Refuse({}, L"the image file is missing (-f:<file>)");
  }
  if (image.SignatureFile == nullptr && ImageNeedsSignature(image)) {
    return refusal.Refuse({}, L"nk, eboot and cpueboot need their signature file (-s:<catfile>)");
  }
  return S_OK;
}

}  // namespace

HRESULT ParseImageOptions(ArgumentVector arguments, ModeOptions& options,
                          CommandLineRefusal& refusal) {
  if (options.ModeCode != kModeImage) {
    return E_INVALIDARG;
  }
  ImageOptions& image = options.Image;
  image.ImageIndex = -1;
  image.ImageFile = nullptr;
  image.SignatureFile = nullptr;
  const bool tokens_accepted = EveryOptionToken(arguments, [&](const OptionToken& token) {
    return SUCCEEDED(ApplyImageToken(token, image, refusal));
  });
  return tokens_accepted ? CheckComplete(image, refusal) : E_INVALIDARG;
}

}  // namespace hx
