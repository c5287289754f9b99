#pragma once
// An image file as a transfer sends it: opened, its size checked against what the info packet
// can announce, an undersized boot loader or main image confirmed by the operator, and viewed
// read-only. Prepared apart from the transfer so that an image can be checked before its
// signature goes out, and then sent from the very file that was checked.

#include <cstdint>
#include <memory>

#include "platform/file_view.h"
#include "platform/hresult.h"

namespace hx {

class CImageFile {
 public:
  CImageFile();
  ~CImageFile();
  /// A file moved from may only be destroyed or assigned to.
  CImageFile(CImageFile&&) noexcept;
  CImageFile& operator=(CImageFile&&) noexcept;
  CImageFile(const CImageFile&) = delete;
  CImageFile& operator=(const CImageFile&) = delete;

  /// Opens file_name for slot image_index and makes its view. Results: S_OK; the platform's
  /// failure to open, size or view it (an empty file cannot be viewed); 0x800700DF for a file
  /// of 4 GiB or more; E_FAIL when the operator does not confirm an undersized image. What a
  /// failure leaves open is released by Close or the destructor.
  HRESULT Open(std::uint8_t image_index, const wchar_t* file_name);
  /// Releases the view and the file; safe when nothing is open.
  void Close();

  /// The file's size in bytes, as announced to the device.
  std::uint32_t Size() const { return size_; }
  CReadOnlyFileView& View() { return *view_; }

 private:
  std::unique_ptr<CReadOnlyFileView> view_;
  std::uint32_t size_ = 0;
};

}  // namespace hx
