#include "operations/image_file.h"

#include "operations/image_size_confirmation.h"
#include "protocol/image_slots.h"

namespace hx {
namespace {

constexpr std::uint64_t kLargestImage = 0xFFFFFFFFu;

}  // namespace

CImageFile::CImageFile() : view_(std::make_unique<CReadOnlyFileView>()) {}
CImageFile::~CImageFile() = default;
CImageFile::CImageFile(CImageFile&&) noexcept = default;
CImageFile& CImageFile::operator=(CImageFile&&) noexcept = default;

HRESULT CImageFile::Open(std::uint8_t image_index, const wchar_t* file_name) {
  Close();
  HRESULT hr = view_->Open(file_name);
  if (FAILED(hr)) {
    return hr;
  }
  std::uint64_t size = 0;
  hr = view_->QuerySize(size);
  if (FAILED(hr)) {
    return hr;
  }
  // The size field of the info packet has 32 bits; a larger file would be announced wrongly.
  if (size > kLargestImage) {
    return kHrFileTooLarge;
  }
  if (image_index < ImageSlotTable.size() &&
      !ConfirmImageSize(ImageSlotTable[image_index], image_index,
                        static_cast<std::uint32_t>(size))) {
    return E_FAIL;
  }
  hr = view_->MapView();
  if (FAILED(hr)) {
    return hr;
  }
  size_ = static_cast<std::uint32_t>(size);
  return S_OK;
}

void CImageFile::Close() {
  view_->Close();
  size_ = 0;
}

}  // namespace hx
