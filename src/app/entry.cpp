// SKELETON-STUB: replaced by the front end.
#include "app/entry.h"

namespace hx {
HRESULT RunEntry(std::span<const wchar_t* const>) {
  return E_NOTIMPL;
}
}  // namespace hx
