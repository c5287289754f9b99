#pragma once
// The kernel-streaming channel: the HX7300's capture filter found through the system device
// enumerator, its extension unit through the filter's topology, and the unit's controls and
// status interrupt through IKsControl. Windows only.
//
// The channel starts from three system entry points and reaches everything else through the
// objects they return; tests put in-process fakes behind those three.

#include <objbase.h>
#include <windows.h>
// After the COM headers, which they build on.
#include <ks.h>
#include <ksproxy.h>
#include <strmif.h>

#include <memory>
#include <string>

#include "device/channel.h"

namespace hx {

// Declared here from the documented ABI: the compiler's headers lack them.
struct IKsTopologyInfo : public IUnknown {
  virtual HRESULT STDMETHODCALLTYPE get_NumCategories(DWORD* count) = 0;
  virtual HRESULT STDMETHODCALLTYPE get_Category(DWORD index, GUID* category) = 0;
  virtual HRESULT STDMETHODCALLTYPE get_NumConnections(DWORD* count) = 0;
  virtual HRESULT STDMETHODCALLTYPE get_ConnectionInfo(DWORD index,
                                                       KSTOPOLOGY_CONNECTION* connection) = 0;
  virtual HRESULT STDMETHODCALLTYPE get_NodeName(DWORD node_id, WCHAR* name, DWORD capacity,
                                                 DWORD* length) = 0;
  virtual HRESULT STDMETHODCALLTYPE get_NumNodes(DWORD* count) = 0;
  virtual HRESULT STDMETHODCALLTYPE get_NodeType(DWORD node_id, GUID* node_type) = 0;
  virtual HRESULT STDMETHODCALLTYPE CreateNodeInstance(DWORD node_id, REFIID iid,
                                                       void** object) = 0;
};

namespace ks {

inline constexpr GUID kClsidSystemDeviceEnum = {
    0x62BE5D10, 0x60EB, 0x11D0, {0xBD, 0x3B, 0x00, 0xA0, 0xC9, 0x11, 0xCE, 0x86}};
inline constexpr GUID kIidCreateDevEnum = {
    0x29840822, 0x5B84, 0x11D0, {0xBD, 0x3B, 0x00, 0xA0, 0xC9, 0x11, 0xCE, 0x86}};
inline constexpr GUID kClsidVideoInputDeviceCategory = {
    0x860BB310, 0x5D01, 0x11D0, {0xBD, 0x3B, 0x00, 0xA0, 0xC9, 0x11, 0xCE, 0x86}};
inline constexpr GUID kIidBaseFilter = {
    0x56A86895, 0x0AD4, 0x11CE, {0xB0, 0x3A, 0x00, 0x20, 0xAF, 0x0B, 0xA7, 0x70}};
inline constexpr GUID kIidKsTopologyInfo = {
    0x720D4AC0, 0x7533, 0x11D0, {0xA5, 0xD6, 0x28, 0xDB, 0x04, 0xC1, 0x00, 0x00}};
inline constexpr GUID kIidKsNodeControl = {
    0x11737C14, 0x24A7, 0x4BB5, {0x81, 0xA0, 0x0D, 0x00, 0x38, 0x13, 0xB0, 0xC4}};
inline constexpr GUID kIidKsControl = {
    0x28F54685, 0x06FD, 0x11D2, {0xB2, 0x7A, 0x00, 0xA0, 0xC9, 0x22, 0x31, 0x96}};
/// The extension unit's property set: its controls are the properties of this set.
inline constexpr GUID kExtensionUnitPropertySet = {
    0x091F5A1E, 0x7DA1, 0x4831, {0xB6, 0x8B, 0xA2, 0x7E, 0x5C, 0xE1, 0x1A, 0x5B}};
inline constexpr GUID kEventSetVidcapNotify = {
    0xDB47DE20, 0xF628, 0x11D1, {0xBA, 0x41, 0x00, 0xA0, 0xC9, 0x0D, 0x2B, 0x05}};
inline constexpr ULONG kEventVidcapAutoUpdate = 1;

/// The text that the HX7300's capture interface has in its device path (case-sensitive).
inline constexpr const wchar_t* kDeviceMatchText = L"vid_f0c5&pid_e1a7&mi_03";

/// The system entry points the channel starts from.
struct ComEntryPoints {
  HRESULT(WINAPI* get_malloc)(DWORD memory_context, IMalloc** allocator);
  HRESULT(WINAPI* create_instance)
  (REFCLSID clsid, IUnknown* outer, DWORD context, REFIID iid, void** object);
  HRESULT(WINAPI* get_running_object_table)(DWORD reserved, IRunningObjectTable** table);
};

/// CoGetMalloc, CoCreateInstance and GetRunningObjectTable.
ComEntryPoints SystemComEntryPoints();

}  // namespace ks

/// The kernel-streaming channel, starting from entry_points. With path_text it takes the first
/// HX7300 whose device path contains that text, compared without regard to case, and Open
/// fails with 0x8007048F when there is none.
std::unique_ptr<XuChannel> MakeKernelStreamingChannel(const ks::ComEntryPoints& entry_points,
                                                      const std::wstring& path_text = {});

}  // namespace hx
