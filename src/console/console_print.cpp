#include "console/console_print.h"

#include <array>
#include <cstdarg>

#include "console/bounded_text.h"
#include "console/console_io.h"

namespace hx {
namespace {

constexpr std::size_t kPrintCapacity = 1024;

}  // namespace

// A cut text is printed as it is: the format result carries nothing more to act on.
void PrintWideF(const wchar_t* format, ...) {
  std::array<wchar_t, kPrintCapacity> text;
  std::va_list arguments;
  va_start(arguments, format);
  FormatBoundedWV(text, format, arguments);
  va_end(arguments);
  Console().WriteWide(text.data());
}

void PrintNarrowF(const char* format, ...) {
  std::array<char, kPrintCapacity> text;
  std::va_list arguments;
  va_start(arguments, format);
  FormatBoundedAV(text, format, arguments);
  va_end(arguments);
  Console().WriteNarrow(text.data());
}

}  // namespace hx
