// The kernel-streaming channel. Open follows the capture stack's own order: the capture filter
// of the first video input device whose path names the HX7300, its first output pin, the first
// node of its topology that is none of the standard video nodes (the extension unit), that
// node's IKsControl, and the status-interrupt event registered with it.
#include "device/windows/kernel_streaming_channel.h"

#include <algorithm>
#include <cstring>
#include <cwchar>
#include <cwctype>

#include "console/utf8_text.h"
#include "device/backends.h"

namespace hx {
namespace {

static_assert(sizeof(KSP_NODE) == 32 && sizeof(KSEVENT) == 24);
// On x64 the event data holds a pointer-sized handle and two pointer-sized reserved words.
static_assert(sizeof(KSEVENTDATA) == 8 + 3 * sizeof(void*));

constexpr DWORD kHighestNodeId = 3;

// The standard node types, {DFF229E1..E8-F70F-11D0-B917-00A0C9223196}: streaming, input and
// output terminals, selector, processing unit, camera terminal, input and output MTT.
bool IsStandardVideoNode(const GUID& type) {
  constexpr GUID kFirst = {
      0xDFF229E1, 0xF70F, 0x11D0, {0xB9, 0x17, 0x00, 0xA0, 0xC9, 0x22, 0x31, 0x96}};
  constexpr unsigned long kCount = 8;
  return type.Data1 >= kFirst.Data1 && type.Data1 < kFirst.Data1 + kCount &&
         type.Data2 == kFirst.Data2 && type.Data3 == kFirst.Data3 &&
         std::equal(std::begin(type.Data4), std::end(type.Data4), std::begin(kFirst.Data4));
}

// Notification through an event handle; the reserved words (and the padding) stay zero.
KSEVENTDATA EventHandleData(HANDLE event) {
  KSEVENTDATA data;
  std::memset(&data, 0, sizeof(data));
  data.NotificationType = KSEVENTF_EVENT_HANDLE;
  data.EventHandle.Event = event;
  return data;
}

std::wstring Lowered(std::wstring_view text) {
  std::wstring lowered(text);
  for (wchar_t& ch : lowered) {
    ch = static_cast<wchar_t>(std::towlower(static_cast<std::wint_t>(ch)));
  }
  return lowered;
}

// Holds one reference and releases it once.
template <typename T>
class ComRef {
 public:
  ComRef() = default;
  ~ComRef() { Reset(); }
  ComRef(const ComRef&) = delete;
  ComRef& operator=(const ComRef&) = delete;

  T* Get() const { return object_; }
  T* operator->() const { return object_; }
  explicit operator bool() const { return object_ != nullptr; }
  /// The place for an out-parameter; whatever was held is released first.
  T** Put() {
    Reset();
    return &object_;
  }
  void** PutVoid() { return reinterpret_cast<void**>(Put()); }
  T* Detach() {
    T* const object = object_;
    object_ = nullptr;
    return object;
  }
  void Reset() {
    if (object_ != nullptr) {
      object_->Release();
      object_ = nullptr;
    }
  }

 private:
  T* object_ = nullptr;
};

class KernelStreamingChannel final : public XuChannel {
 public:
  KernelStreamingChannel(const ks::ComEntryPoints& com, const std::wstring& path_text)
      : com_(com), path_text_(Lowered(path_text)) {}
  ~KernelStreamingChannel() override { Close(); }

  HRESULT Open(CAutoResetEvent& status_event) override;
  HRESULT Set(std::uint8_t selector, XuConstBytes packet) override;
  HRESULT Get(std::uint8_t selector, XuBytes packet) override;
  void Close() override;
  std::string DevicePath() const override { return device_path_; }

 private:
  bool Matches(const wchar_t* name) const;
  HRESULT FindCaptureFilter();
  HRESULT BindFirstMatch(IEnumMoniker& monikers, IMalloc& allocator);
  HRESULT KeepFirstOutputPin();
  static HRESULT FindExtensionUnit(IKsTopologyInfo& topology, DWORD& node_id);
  HRESULT EnableStatusEvent(HANDLE event);
  HRESULT DisableStatusEvent(HANDLE event);
  HRESULT CallProperty(ULONG flags, std::uint8_t selector, void* data, std::size_t length);
  void ReleaseCaptureSide();

  ks::ComEntryPoints com_;
  const std::wstring path_text_;  // lower case; empty: any HX7300
  std::string device_path_;
  // The capture side.
  ComRef<IBaseFilter> filter_;
  ComRef<IPin> pin_;
  DWORD rot_cookie_ = 0;  // nothing in the utility registers one
  // The extension unit.
  HANDLE status_event_ = nullptr;  // registered with the unit; owned by the device object
  ComRef<IKsControl> control_;
  DWORD node_id_ = 0;
};

HRESULT KernelStreamingChannel::Open(CAutoResetEvent& status_event) {
  HRESULT hr = FindCaptureFilter();
  if (FAILED(hr)) {
    return hr;
  }
  ComRef<IKsTopologyInfo> topology;
  hr = filter_->QueryInterface(ks::kIidKsTopologyInfo, topology.PutVoid());
  if (FAILED(hr)) {
    return hr;
  }
  DWORD node_id = 0;
  hr = FindExtensionUnit(*topology.Get(), node_id);
  if (FAILED(hr)) {
    return hr;
  }
  ComRef<IUnknown> node;
  hr = topology->CreateNodeInstance(node_id, ks::kIidKsNodeControl, node.PutVoid());
  if (FAILED(hr)) {
    return hr;
  }
  hr = node->QueryInterface(ks::kIidKsControl, control_.PutVoid());
  if (FAILED(hr)) {
    return hr;
  }
  hr = EnableStatusEvent(static_cast<HANDLE>(status_event.NativeHandle()));
  node_id_ = node_id;
  return hr;
}

HRESULT KernelStreamingChannel::FindCaptureFilter() {
  constexpr DWORD kTaskMemory = 1;  // MEMCTX_TASK
  ComRef<IMalloc> allocator;
  HRESULT hr = com_.get_malloc(kTaskMemory, allocator.Put());
  if (FAILED(hr)) {
    return hr;
  }
  ComRef<ICreateDevEnum> devices;
  hr = com_.create_instance(ks::kClsidSystemDeviceEnum, nullptr, CLSCTX_INPROC_SERVER,
                            ks::kIidCreateDevEnum, devices.PutVoid());
  if (FAILED(hr)) {
    return hr;
  }
  ComRef<IEnumMoniker> monikers;
  // S_FALSE is an empty category: no video input device at all.
  if (devices->CreateClassEnumerator(ks::kClsidVideoInputDeviceCategory, monikers.Put(), 0) !=
          S_OK ||
      !monikers) {
    return kHrDeviceNotConnected;
  }
  hr = BindFirstMatch(*monikers.Get(), *allocator.Get());
  if (FAILED(hr)) {
    return hr;
  }
  if (!filter_) {
    // Devices are there, but none is the HX7300 that was asked for.
    return path_text_.empty() ? E_FAIL : kHrDeviceNotConnected;
  }
  return KeepFirstOutputPin();
}

HRESULT KernelStreamingChannel::BindFirstMatch(IEnumMoniker& monikers, IMalloc& allocator) {
  ComRef<IMoniker> moniker;
  while (monikers.Next(1, moniker.Put(), nullptr) == S_OK) {
    LPOLESTR name = nullptr;
    // A device whose display name cannot be read is passed over.
    const bool matches = SUCCEEDED(moniker->GetDisplayName(nullptr, nullptr, &name)) &&
                         name != nullptr && Matches(name);
    if (matches) {
      device_path_ = Utf8FromWide(name);
    }
    allocator.Free(name);
    if (matches) {
      return moniker->BindToObject(nullptr, nullptr, ks::kIidBaseFilter, filter_.PutVoid());
    }
  }
  return S_OK;
}

bool KernelStreamingChannel::Matches(const wchar_t* name) const {
  return std::wcsstr(name, ks::kDeviceMatchText) != nullptr &&
         (path_text_.empty() || Lowered(name).find(path_text_) != std::wstring::npos);
}

// A filter without an output pin is no failure: the pin stays empty.
HRESULT KernelStreamingChannel::KeepFirstOutputPin() {
  ComRef<IEnumPins> pins;
  HRESULT hr = filter_->EnumPins(pins.Put());
  if (FAILED(hr)) {
    return hr;
  }
  ComRef<IPin> pin;
  while (pins->Next(1, pin.Put(), nullptr) == S_OK) {
    PIN_INFO info{};
    hr = pin->QueryPinInfo(&info);
    if (FAILED(hr)) {
      return hr;
    }
    if (info.pFilter != nullptr) {
      info.pFilter->Release();  // the information holds a reference of its own
    }
    if (info.dir == PINDIR_OUTPUT) {
      *pin_.Put() = pin.Detach();
      return S_OK;
    }
  }
  return S_OK;
}

// Only the first four node ids are examined, and the number of nodes is not asked first.
HRESULT KernelStreamingChannel::FindExtensionUnit(IKsTopologyInfo& topology, DWORD& node_id) {
  for (DWORD id = 0; id <= kHighestNodeId; ++id) {
    GUID type{};
    if (SUCCEEDED(topology.get_NodeType(id, &type)) && !IsStandardVideoNode(type)) {
      node_id = id;
      return S_OK;
    }
  }
  return kHrNotFound;
}

HRESULT KernelStreamingChannel::EnableStatusEvent(HANDLE event) {
  if (!control_) {
    return kHrDeviceNotReady;
  }
  if (status_event_ != nullptr) {
    DisableStatusEvent(status_event_);
  }
  status_event_ = event;
  KSEVENT id{};
  id.Set = ks::kEventSetVidcapNotify;
  id.Id = ks::kEventVidcapAutoUpdate;
  id.Flags = KSEVENT_TYPE_ENABLE;
  KSEVENTDATA data = EventHandleData(event);
  ULONG returned = 0;
  return control_->KsEvent(&id, sizeof(id), &data, sizeof(data), &returned);
}

HRESULT KernelStreamingChannel::DisableStatusEvent(HANDLE event) {
  if (!control_) {
    return kHrDeviceNotReady;
  }
  KSEVENTDATA data = EventHandleData(event);
  ULONG returned = 0;
  return control_->KsEvent(nullptr, 0, &data, sizeof(data), &returned);
}

HRESULT KernelStreamingChannel::CallProperty(ULONG flags, std::uint8_t selector, void* data,
                                             std::size_t length) {
  if (!control_) {
    return kHrDeviceNotReady;
  }
  KSP_NODE property{};
  property.Property.Set = ks::kExtensionUnitPropertySet;
  property.Property.Id = selector;
  property.Property.Flags = flags | KSPROPERTY_TYPE_TOPOLOGY;
  property.NodeId = node_id_;
  ULONG returned = 0;
  return control_->KsProperty(&property.Property, sizeof(property), data,
                              static_cast<ULONG>(length), &returned);
}

HRESULT KernelStreamingChannel::Set(std::uint8_t selector, XuConstBytes packet) {
  // A set only reads the data; the interface's parameter is not const.
  return CallProperty(KSPROPERTY_TYPE_SET, selector, const_cast<std::uint8_t*>(packet.data()),
                      packet.size());
}

HRESULT KernelStreamingChannel::Get(std::uint8_t selector, XuBytes packet) {
  return CallProperty(KSPROPERTY_TYPE_GET, selector, packet.data(), packet.size());
}

void KernelStreamingChannel::Close() {
  if (status_event_ != nullptr) {
    DisableStatusEvent(status_event_);
    status_event_ = nullptr;
  }
  control_.Reset();
  node_id_ = 0;
  ReleaseCaptureSide();
}

void KernelStreamingChannel::ReleaseCaptureSide() {
  pin_.Reset();
  filter_.Reset();
  ComRef<IRunningObjectTable> table;
  if (SUCCEEDED(com_.get_running_object_table(0, table.Put()))) {
    table->Revoke(rot_cookie_);
  }
}

}  // namespace

namespace ks {

ComEntryPoints SystemComEntryPoints() {
  return {::CoGetMalloc, ::CoCreateInstance, ::GetRunningObjectTable};
}

}  // namespace ks

std::unique_ptr<XuChannel> MakeKernelStreamingChannel(const ks::ComEntryPoints& entry_points,
                                                      const std::wstring& path_text) {
  return std::make_unique<KernelStreamingChannel>(entry_points, path_text);
}

std::unique_ptr<XuChannel> MakePlatformChannel() {
  return MakeKernelStreamingChannel(ks::SystemComEntryPoints());
}

}  // namespace hx
