// The project's own message texts for every code the utility can produce. Windows error
// numbers appear in their HRESULT form (0x8007xxxx), as the failure lines carry them.

#include "platform/message_table.h"

namespace hx::platform {
namespace {

struct MessageText {
  std::uint32_t code;
  const wchar_t* text;
};

constexpr MessageText kMessages[] = {
    {0x00000000u, L"Finished without error.\r\n"},
    {0x80004001u, L"This function is not available in this build.\r\n"},
    {0x80004005u, L"The operation did not succeed for an unspecified reason.\r\n"},
    {0x80070002u, L"No file exists with the given name.\r\n"},
    {0x80070003u, L"A folder named in the path does not exist.\r\n"},
    {0x80070004u, L"The process has too many files open already.\r\n"},
    {0x80070005u, L"Permission to use this item was refused.\r\n"},
    {0x80070006u, L"The handle cannot be used for this request.\r\n"},
    {0x80070008u, L"Memory ran short while the command was carried out.\r\n"},
    {0x8007000Eu, L"There is not enough memory left to finish the operation.\r\n"},
    {0x80070013u, L"The medium is read-only and cannot be written.\r\n"},
    {0x80070015u, L"The device is not ready for use.\r\n"},
    {0x80070017u, L"The data did not pass its integrity check.\r\n"},
    {0x8007001Fu, L"The device or its driver reported a general failure.\r\n"},
    {0x80070026u, L"The input ended before anything was read.\r\n"},
    {0x80070032u, L"The request is not supported for this kind of item.\r\n"},
    {0x80070057u, L"A value given to the operation is not valid.\r\n"},
    {0x80070070u, L"The disk has no room left.\r\n"},
    {0x8007007Au, L"The buffer given is too small for the data.\r\n"},
    {0x800700AAu, L"The device or resource is busy: someone else is using it.\r\n"},
    {0x800700B7u, L"Something with that name is already present.\r\n"},
    {0x800700CEu, L"The file name or path is longer than the system allows.\r\n"},
    {0x800700DFu, L"The file is larger than this operation can handle.\r\n"},
    {0x800700E8u, L"The program reading this output has closed its end of the pipe.\r\n"},
    {0x800703EEu, L"The file was changed by another program while it was being read.\r\n"},
    {0x80070459u, L"A character has no form in the code page the text must be sent in.\r\n"},
    {0x8007045Du, L"An input or output error occurred on the device.\r\n"},
    {0x8007048Fu, L"The device is not connected.\r\n"},
    {0x80070490u, L"The item that was looked for could not be found.\r\n"},
    {0x8007052Bu, L"The passcode is not the right one.\r\n"},
    {0x800705B4u, L"The wait ended because its time limit ran out.\r\n"},
    {0x800705B9u, L"The XML data could not be parsed.\r\n"},
    {0x80070781u, L"The name could not be resolved: it leads through too many links.\r\n"},
    {0x80072740u, L"The address is already in use: another server listens on it.\r\n"},
    {0x800B0100u, L"The image carries no signature that the device accepts.\r\n"},
};

}  // namespace

std::optional<std::wstring> LookupMessageText(HRESULT code) {
  auto key = static_cast<std::uint32_t>(code);
  // A bare Windows error number, as a device may report it, has the text of its HRESULT form:
  // the system's message table holds one text for both.
  if (key > 0 && key <= 0xFFFFu) {
    key |= 0x80070000u;
  }
  for (const MessageText& message : kMessages) {
    if (message.code == key) {
      return std::wstring(message.text);
    }
  }
  return std::nullopt;
}

}  // namespace hx::platform
