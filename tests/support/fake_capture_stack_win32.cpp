#include "support/fake_capture_stack_win32.h"

#include <cstring>
#include <deque>

namespace hx::test {
namespace {

std::vector<std::uint8_t> BytesOf(const void* data, ULONG length) {
  const auto* bytes = static_cast<const std::uint8_t*>(data);
  return data == nullptr ? std::vector<std::uint8_t>{}
                         : std::vector<std::uint8_t>(bytes, bytes + length);
}

std::string Hex(const GUID& id) {
  char text[40];
  std::snprintf(text, sizeof(text), "%08lX-%04X-%04X", static_cast<unsigned long>(id.Data1),
                id.Data2, id.Data3);
  return text;
}

}  // namespace

HRESULT FakeNode::KsProperty(PKSPROPERTY property, ULONG length, PVOID data, ULONG data_length,
                             ULONG* returned) {
  properties.push_back(
      {BytesOf(property, length), BytesOf(data, data_length), length, data_length});
  if (during_property) {
    during_property();
  }
  const auto* node = reinterpret_cast<const KSP_NODE*>(property);
  if (SUCCEEDED(property_result) && (node->Property.Flags & KSPROPERTY_TYPE_GET) != 0) {
    // A get answers with the selector in every byte, so tests can tell replies apart.
    std::memset(data, static_cast<int>(node->Property.Id), data_length);
  }
  *returned = data_length;
  return property_result;
}

HRESULT FakeNode::KsEvent(PKSEVENT event, ULONG length, PVOID data, ULONG data_length,
                          ULONG* returned) {
  events.push_back({BytesOf(event, length), BytesOf(data, data_length), length, data_length});
  if (event != nullptr) {
    enabled_event = static_cast<KSEVENTDATA*>(data)->EventHandle.Event;
  }
  *returned = 0;
  return event_result;
}

bool FakeNode::Implements(REFIID iid) const {
  return iid == ks::kIidKsControl || iid == ks::kIidKsNodeControl;
}

namespace {

struct FakeTopology : FakeUnknown<IKsTopologyInfo> {
  HRESULT STDMETHODCALLTYPE get_NumCategories(DWORD*) override { return E_NOTIMPL; }
  HRESULT STDMETHODCALLTYPE get_Category(DWORD, GUID*) override { return E_NOTIMPL; }
  HRESULT STDMETHODCALLTYPE get_NumConnections(DWORD*) override { return E_NOTIMPL; }
  HRESULT STDMETHODCALLTYPE get_ConnectionInfo(DWORD, KSTOPOLOGY_CONNECTION*) override {
    return E_NOTIMPL;
  }
  HRESULT STDMETHODCALLTYPE get_NodeName(DWORD, WCHAR*, DWORD, DWORD*) override {
    return E_NOTIMPL;
  }
  HRESULT STDMETHODCALLTYPE get_NumNodes(DWORD* count) override {
    *count = static_cast<DWORD>(node_types.size());
    types_asked.push_back(0xFFFFFFFF);  // marks that the count was asked
    return S_OK;
  }
  HRESULT STDMETHODCALLTYPE get_NodeType(DWORD node_id, GUID* type) override {
    types_asked.push_back(node_id);
    if (node_id >= node_types.size() || node_types[node_id] == GUID_NULL) {
      return E_INVALIDARG;
    }
    *type = node_types[node_id];
    return S_OK;
  }
  HRESULT STDMETHODCALLTYPE CreateNodeInstance(DWORD node_id, REFIID iid, void** object) override {
    nodes_created.push_back(node_id);
    return node_id < node_types.size() ? node->QueryInterface(iid, object) : E_INVALIDARG;
  }
  bool Implements(REFIID iid) const override { return iid == ks::kIidKsTopologyInfo; }

  std::vector<GUID> node_types;
  std::vector<DWORD> types_asked;
  std::vector<DWORD> nodes_created;
  FakeNode* node = nullptr;
};

struct FakePin : FakeUnknown<IPin> {
  HRESULT STDMETHODCALLTYPE Connect(IPin*, const AM_MEDIA_TYPE*) override { return E_NOTIMPL; }
  HRESULT STDMETHODCALLTYPE ReceiveConnection(IPin*, const AM_MEDIA_TYPE*) override {
    return E_NOTIMPL;
  }
  HRESULT STDMETHODCALLTYPE Disconnect() override { return E_NOTIMPL; }
  HRESULT STDMETHODCALLTYPE ConnectedTo(IPin**) override { return E_NOTIMPL; }
  HRESULT STDMETHODCALLTYPE ConnectionMediaType(AM_MEDIA_TYPE*) override { return E_NOTIMPL; }
  HRESULT STDMETHODCALLTYPE QueryPinInfo(PIN_INFO* info) override {
    *info = PIN_INFO{};
    info->dir = output ? PINDIR_OUTPUT : PINDIR_INPUT;
    info->pFilter = filter;
    filter->AddRef();  // as the real pins do: the caller releases it
    return S_OK;
  }
  HRESULT STDMETHODCALLTYPE QueryDirection(PIN_DIRECTION*) override { return E_NOTIMPL; }
  HRESULT STDMETHODCALLTYPE QueryId(LPWSTR*) override { return E_NOTIMPL; }
  HRESULT STDMETHODCALLTYPE QueryAccept(const AM_MEDIA_TYPE*) override { return E_NOTIMPL; }
  HRESULT STDMETHODCALLTYPE EnumMediaTypes(IEnumMediaTypes**) override { return E_NOTIMPL; }
  HRESULT STDMETHODCALLTYPE QueryInternalConnections(IPin**, ULONG*) override { return E_NOTIMPL; }
  HRESULT STDMETHODCALLTYPE EndOfStream() override { return E_NOTIMPL; }
  HRESULT STDMETHODCALLTYPE BeginFlush() override { return E_NOTIMPL; }
  HRESULT STDMETHODCALLTYPE EndFlush() override { return E_NOTIMPL; }
  HRESULT STDMETHODCALLTYPE NewSegment(REFERENCE_TIME, REFERENCE_TIME, double) override {
    return E_NOTIMPL;
  }
  bool Implements(REFIID iid) const override { return iid == IID_IPin; }

  bool output = false;
  IBaseFilter* filter = nullptr;
};

// Hands out items of a list one at a time, each with a reference of its own.
template <typename Interface, typename Item>
struct FakeEnum : FakeUnknown<Interface> {
  HRESULT STDMETHODCALLTYPE Next(ULONG count, Item** out, ULONG* fetched) override {
    if (count != 1 || position >= items.size()) {
      return S_FALSE;
    }
    *out = items[position++];
    (*out)->AddRef();
    if (fetched != nullptr) {
      *fetched = 1;
    }
    return S_OK;
  }
  HRESULT STDMETHODCALLTYPE Skip(ULONG) override { return E_NOTIMPL; }
  HRESULT STDMETHODCALLTYPE Reset() override { return E_NOTIMPL; }
  HRESULT STDMETHODCALLTYPE Clone(Interface**) override { return E_NOTIMPL; }
  bool Implements(REFIID iid) const override { return iid == own_iid; }

  std::vector<Item*> items;
  std::size_t position = 0;
  IID own_iid{};
};

struct FakeFilter : FakeUnknown<IBaseFilter> {
  HRESULT STDMETHODCALLTYPE GetClassID(CLSID*) override { return E_NOTIMPL; }
  HRESULT STDMETHODCALLTYPE Stop() override { return E_NOTIMPL; }
  HRESULT STDMETHODCALLTYPE Pause() override { return E_NOTIMPL; }
  HRESULT STDMETHODCALLTYPE Run(REFERENCE_TIME) override { return E_NOTIMPL; }
  HRESULT STDMETHODCALLTYPE GetState(DWORD, FILTER_STATE*) override { return E_NOTIMPL; }
  HRESULT STDMETHODCALLTYPE SetSyncSource(IReferenceClock*) override { return E_NOTIMPL; }
  HRESULT STDMETHODCALLTYPE GetSyncSource(IReferenceClock**) override { return E_NOTIMPL; }
  HRESULT STDMETHODCALLTYPE EnumPins(IEnumPins** out) override {
    pins.position = 0;
    *out = &pins;
    pins.AddRef();
    return S_OK;
  }
  HRESULT STDMETHODCALLTYPE FindPin(LPCWSTR, IPin**) override { return E_NOTIMPL; }
  HRESULT STDMETHODCALLTYPE QueryFilterInfo(FILTER_INFO*) override { return E_NOTIMPL; }
  HRESULT STDMETHODCALLTYPE JoinFilterGraph(IFilterGraph*, LPCWSTR) override { return E_NOTIMPL; }
  HRESULT STDMETHODCALLTYPE QueryVendorInfo(LPWSTR*) override { return E_NOTIMPL; }
  bool Implements(REFIID iid) const override { return iid == ks::kIidBaseFilter; }
  HRESULT QueryOther(REFIID iid, void** object) override {
    return topology.QueryInterface(iid, object);
  }

  FakeEnum<IEnumPins, IPin> pins;
  std::deque<FakePin> pin_objects;
  FakeTopology topology;
};

struct FakeMoniker : FakeUnknown<IMoniker> {
  HRESULT STDMETHODCALLTYPE GetClassID(CLSID*) override { return E_NOTIMPL; }
  HRESULT STDMETHODCALLTYPE IsDirty() override { return E_NOTIMPL; }
  HRESULT STDMETHODCALLTYPE Load(IStream*) override { return E_NOTIMPL; }
  HRESULT STDMETHODCALLTYPE Save(IStream*, WINBOOL) override { return E_NOTIMPL; }
  HRESULT STDMETHODCALLTYPE GetSizeMax(ULARGE_INTEGER*) override { return E_NOTIMPL; }
  HRESULT STDMETHODCALLTYPE BindToObject(IBindCtx* context, IMoniker* left, REFIID iid,
                                         void** object) override {
    ++binds;
    bound_plainly = context == nullptr && left == nullptr;
    return filter->QueryInterface(iid, object);
  }
  HRESULT STDMETHODCALLTYPE BindToStorage(IBindCtx*, IMoniker*, REFIID, void**) override {
    return E_NOTIMPL;
  }
  HRESULT STDMETHODCALLTYPE Reduce(IBindCtx*, DWORD, IMoniker**, IMoniker**) override {
    return E_NOTIMPL;
  }
  HRESULT STDMETHODCALLTYPE ComposeWith(IMoniker*, WINBOOL, IMoniker**) override {
    return E_NOTIMPL;
  }
  HRESULT STDMETHODCALLTYPE Enum(WINBOOL, IEnumMoniker**) override { return E_NOTIMPL; }
  HRESULT STDMETHODCALLTYPE IsEqual(IMoniker*) override { return E_NOTIMPL; }
  HRESULT STDMETHODCALLTYPE Hash(DWORD*) override { return E_NOTIMPL; }
  HRESULT STDMETHODCALLTYPE IsRunning(IBindCtx*, IMoniker*, IMoniker*) override {
    return E_NOTIMPL;
  }
  HRESULT STDMETHODCALLTYPE GetTimeOfLastChange(IBindCtx*, IMoniker*, FILETIME*) override {
    return E_NOTIMPL;
  }
  HRESULT STDMETHODCALLTYPE Inverse(IMoniker**) override { return E_NOTIMPL; }
  HRESULT STDMETHODCALLTYPE CommonPrefixWith(IMoniker*, IMoniker**) override { return E_NOTIMPL; }
  HRESULT STDMETHODCALLTYPE RelativePathTo(IMoniker*, IMoniker**) override { return E_NOTIMPL; }
  HRESULT STDMETHODCALLTYPE GetDisplayName(IBindCtx*, IMoniker*, LPOLESTR* name) override {
    if (display_name.empty()) {
      *name = nullptr;
      return E_FAIL;
    }
    // Freed by the caller through the task allocator (FakeMalloc::Free).
    *name = new wchar_t[display_name.size() + 1];
    std::wmemcpy(*name, display_name.c_str(), display_name.size() + 1);
    return S_OK;
  }
  HRESULT STDMETHODCALLTYPE ParseDisplayName(IBindCtx*, IMoniker*, LPOLESTR, ULONG*,
                                             IMoniker**) override {
    return E_NOTIMPL;
  }
  HRESULT STDMETHODCALLTYPE IsSystemMoniker(DWORD*) override { return E_NOTIMPL; }
  bool Implements(REFIID iid) const override { return iid == IID_IMoniker; }

  std::wstring display_name;
  FakeFilter* filter = nullptr;
  int binds = 0;
  bool bound_plainly = false;
};

struct FakeMalloc : FakeUnknown<IMalloc> {
  void* STDMETHODCALLTYPE Alloc(SIZE_T) override { return nullptr; }
  void* STDMETHODCALLTYPE Realloc(void*, SIZE_T) override { return nullptr; }
  void STDMETHODCALLTYPE Free(void* block) override {
    if (block != nullptr) {
      ++freed;
      delete[] static_cast<wchar_t*>(block);
    }
  }
  SIZE_T STDMETHODCALLTYPE GetSize(void*) override { return 0; }
  int STDMETHODCALLTYPE DidAlloc(void*) override { return -1; }
  void STDMETHODCALLTYPE HeapMinimize() override {}
  bool Implements(REFIID iid) const override { return iid == IID_IMalloc; }

  int freed = 0;
};

struct FakeDeviceEnumerator : FakeUnknown<ICreateDevEnum> {
  HRESULT STDMETHODCALLTYPE CreateClassEnumerator(REFCLSID category, IEnumMoniker** out,
                                                  DWORD flags) override {
    calls->push_back("CreateClassEnumerator(" + Hex(category) + "," + std::to_string(flags) + ")");
    *out = nullptr;
    if (result != S_OK) {
      return result;
    }
    *out = monikers;
    monikers->AddRef();
    return S_OK;
  }
  bool Implements(REFIID iid) const override { return iid == ks::kIidCreateDevEnum; }

  HRESULT result = S_OK;
  FakeEnum<IEnumMoniker, IMoniker>* monikers = nullptr;
  std::vector<std::string>* calls = nullptr;
};

struct FakeRunningObjectTable : FakeUnknown<IRunningObjectTable> {
  HRESULT STDMETHODCALLTYPE Register(DWORD, IUnknown*, IMoniker*, DWORD*) override {
    return E_NOTIMPL;
  }
  HRESULT STDMETHODCALLTYPE Revoke(DWORD cookie) override {
    revoked.push_back(cookie);
    return E_INVALIDARG;  // nothing was registered under it
  }
  HRESULT STDMETHODCALLTYPE IsRunning(IMoniker*) override { return E_NOTIMPL; }
  HRESULT STDMETHODCALLTYPE GetObject(IMoniker*, IUnknown**) override { return E_NOTIMPL; }
  HRESULT STDMETHODCALLTYPE NoteChangeTime(DWORD, FILETIME*) override { return E_NOTIMPL; }
  HRESULT STDMETHODCALLTYPE GetTimeOfLastChange(IMoniker*, FILETIME*) override { return E_NOTIMPL; }
  HRESULT STDMETHODCALLTYPE EnumRunning(IEnumMoniker**) override { return E_NOTIMPL; }
  bool Implements(REFIID iid) const override { return iid == IID_IRunningObjectTable; }

  std::vector<DWORD> revoked;
};

}  // namespace

struct FakeCaptureStack::Impl {
  FakeMalloc allocator;
  FakeDeviceEnumerator enumerator;
  FakeEnum<IEnumMoniker, IMoniker> monikers;
  FakeRunningObjectTable table;
  FakeNode node;
  std::deque<FakeMoniker> moniker_objects;
  std::deque<FakeFilter> filters;
  std::vector<std::string> calls;
};

namespace {

FakeCaptureStack::Impl* g_stack = nullptr;

HRESULT WINAPI FakeGetMalloc(DWORD context, IMalloc** allocator) {
  g_stack->calls.push_back("CoGetMalloc(" + std::to_string(context) + ")");
  return g_stack->allocator.QueryInterface(IID_IMalloc, reinterpret_cast<void**>(allocator));
}

HRESULT WINAPI FakeCreateInstance(REFCLSID clsid, IUnknown* outer, DWORD context, REFIID iid,
                                  void** object) {
  g_stack->calls.push_back("CoCreateInstance(" + Hex(clsid) + "," +
                           (outer == nullptr ? "null" : "outer") + "," + std::to_string(context) +
                           "," + Hex(iid) + ")");
  if (clsid != ks::kClsidSystemDeviceEnum) {
    return REGDB_E_CLASSNOTREG;
  }
  return g_stack->enumerator.QueryInterface(iid, object);
}

HRESULT WINAPI FakeGetRunningObjectTable(DWORD reserved, IRunningObjectTable** table) {
  g_stack->calls.push_back("GetRunningObjectTable(" + std::to_string(reserved) + ")");
  return g_stack->table.QueryInterface(IID_IRunningObjectTable, reinterpret_cast<void**>(table));
}

template <typename Fake>
bool Settled(const Fake& fake) {
  return fake.refs == 0 && fake.lowest == 0;
}

}  // namespace

FakeCaptureStack::FakeCaptureStack() : impl_(std::make_unique<Impl>()) {
  impl_->monikers.own_iid = IID_IEnumMoniker;
  impl_->enumerator.monikers = &impl_->monikers;
  impl_->enumerator.calls = &impl_->calls;
  g_stack = impl_.get();
}

FakeCaptureStack::~FakeCaptureStack() {
  g_stack = nullptr;
}

ks::ComEntryPoints FakeCaptureStack::EntryPoints() {
  return {FakeGetMalloc, FakeCreateInstance, FakeGetRunningObjectTable};
}

void FakeCaptureStack::AddDevice(const wchar_t* display_name, std::vector<bool> pin_is_output,
                                 std::vector<GUID> node_types) {
  FakeFilter& filter = impl_->filters.emplace_back();
  filter.pins.own_iid = IID_IEnumPins;
  filter.topology.node_types = std::move(node_types);
  filter.topology.node = &impl_->node;
  for (const bool output : pin_is_output) {
    FakePin& pin = filter.pin_objects.emplace_back();
    pin.output = output;
    pin.filter = &filter;
    filter.pins.items.push_back(&pin);
  }
  FakeMoniker& moniker = impl_->moniker_objects.emplace_back();
  moniker.display_name = display_name != nullptr ? display_name : L"";
  moniker.filter = &filter;
  impl_->monikers.items.push_back(&moniker);
}

void FakeCaptureStack::SetEnumeratorResult(HRESULT result) {
  impl_->enumerator.result = result;
}

FakeNode& FakeCaptureStack::Node() {
  return impl_->node;
}

long FakeCaptureStack::FilterRefs(std::size_t device) const {
  return impl_->filters.at(device).refs;
}

long FakeCaptureStack::PinRefs(std::size_t device, std::size_t pin) const {
  return impl_->filters.at(device).pin_objects.at(pin).refs;
}

std::vector<DWORD> FakeCaptureStack::TypesAsked(std::size_t device) const {
  return impl_->filters.at(device).topology.types_asked;
}

std::vector<DWORD> FakeCaptureStack::NodesCreated(std::size_t device) const {
  return impl_->filters.at(device).topology.nodes_created;
}

int FakeCaptureStack::MonikersTaken() const {
  return static_cast<int>(impl_->monikers.position);
}

int FakeCaptureStack::FreedNames() const {
  return impl_->allocator.freed;
}

std::vector<DWORD> FakeCaptureStack::Revoked() const {
  return impl_->table.revoked;
}

std::vector<std::string> FakeCaptureStack::EntryCalls() const {
  return impl_->calls;
}

int FakeCaptureStack::Binds(std::size_t device) const {
  const FakeMoniker& moniker = impl_->moniker_objects.at(device);
  return moniker.bound_plainly ? moniker.binds : -moniker.binds;
}

bool FakeCaptureStack::AllReleased() const {
  bool settled = Settled(impl_->allocator) && Settled(impl_->enumerator) &&
                 Settled(impl_->monikers) && Settled(impl_->table) && Settled(impl_->node);
  for (const FakeMoniker& moniker : impl_->moniker_objects) {
    settled = settled && Settled(moniker);
  }
  for (const FakeFilter& filter : impl_->filters) {
    settled = settled && Settled(filter) && Settled(filter.pins) && Settled(filter.topology);
    for (const FakePin& pin : filter.pin_objects) {
      settled = settled && Settled(pin);
    }
  }
  return settled;
}

}  // namespace hx::test
