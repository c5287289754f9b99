#pragma once
// An in-process capture stack for the kernel-streaming channel: the task allocator, the system
// device enumerator with its monikers, capture filters with pins and topology, the extension
// unit's node with IKsControl, and the running object table. Every object counts its
// references and records the calls the channel makes, so tests can see exactly what was asked
// and that everything handed out was given back once.

#include <algorithm>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "device/windows/kernel_streaming_channel.h"

namespace hx::test {

/// Reference counting shared by the fakes; the stack owns the objects, so a count of 0 means
/// the channel holds nothing of it, and a negative lowest count means one release too many.
template <typename Interface>
class FakeUnknown : public Interface {
 public:
  HRESULT STDMETHODCALLTYPE QueryInterface(REFIID iid, void** object) override {
    if (iid == IID_IUnknown || Implements(iid)) {
      *object = static_cast<Interface*>(this);
      AddRef();
      return S_OK;
    }
    return QueryOther(iid, object);
  }
  ULONG STDMETHODCALLTYPE AddRef() override { return static_cast<ULONG>(++refs); }
  ULONG STDMETHODCALLTYPE Release() override {
    lowest = std::min(lowest, --refs);
    return static_cast<ULONG>(refs);
  }
  long refs = 0;
  long lowest = 0;

 protected:
  virtual bool Implements(REFIID iid) const = 0;
  virtual HRESULT QueryOther(REFIID, void** object) {
    *object = nullptr;
    return E_NOINTERFACE;
  }
};

/// One KsProperty or KsEvent call: the identifier and the data exactly as passed.
struct KsCall {
  std::vector<std::uint8_t> identifier;
  std::vector<std::uint8_t> data;
  ULONG identifier_length = 0;
  ULONG data_length = 0;
};

struct FakeNode : FakeUnknown<IKsControl> {
  HRESULT STDMETHODCALLTYPE KsProperty(PKSPROPERTY property, ULONG length, PVOID data,
                                       ULONG data_length, ULONG* returned) override;
  HRESULT STDMETHODCALLTYPE KsMethod(PKSMETHOD, ULONG, PVOID, ULONG, ULONG*) override {
    return E_NOTIMPL;
  }
  HRESULT STDMETHODCALLTYPE KsEvent(PKSEVENT event, ULONG length, PVOID data, ULONG data_length,
                                    ULONG* returned) override;

  std::vector<KsCall> properties;
  std::vector<KsCall> events;
  HRESULT property_result = S_OK;
  HRESULT event_result = S_OK;
  /// Runs inside each KsProperty, as a device would act while a transfer is under way.
  std::function<void()> during_property;
  /// The event handle last enabled, for the test to signal as the device would.
  HANDLE enabled_event = nullptr;

 protected:
  bool Implements(REFIID iid) const override;
};

/// What the stack looks like; tests fill it before the channel opens. One stack at a time.
class FakeCaptureStack {
 public:
  FakeCaptureStack();
  ~FakeCaptureStack();
  FakeCaptureStack(const FakeCaptureStack&) = delete;
  FakeCaptureStack& operator=(const FakeCaptureStack&) = delete;

  /// The entry points that lead into this stack.
  static ks::ComEntryPoints EntryPoints();

  /// Adds a video input device with this display name (nullptr: its name cannot be read),
  /// whose filter has the given pins (true: an output pin) and topology node types (GUID_NULL:
  /// a node whose type cannot be read). Every device shares the one extension-unit node.
  void AddDevice(const wchar_t* display_name, std::vector<bool> pin_is_output = {true},
                 std::vector<GUID> node_types = {});
  /// What CreateClassEnumerator returns (S_FALSE for an empty category).
  void SetEnumeratorResult(HRESULT result);

  FakeNode& Node();
  /// References the channel holds on device's filter, and on its pin.
  long FilterRefs(std::size_t device) const;
  long PinRefs(std::size_t device, std::size_t pin) const;
  /// Node ids whose type device's topology was asked for, in order; and created nodes.
  std::vector<DWORD> TypesAsked(std::size_t device) const;
  std::vector<DWORD> NodesCreated(std::size_t device) const;
  /// How often device's moniker was bound to its filter; negative when it was bound with a
  /// bind context or a moniker to its left.
  int Binds(std::size_t device) const;
  /// How many monikers the channel took from the enumerator.
  int MonikersTaken() const;
  /// Display names freed through the task allocator.
  int FreedNames() const;
  /// Cookies revoked from the running object table.
  std::vector<DWORD> Revoked() const;
  /// The calls made to the entry points, each as "name(arguments)".
  std::vector<std::string> EntryCalls() const;
  /// Whether every object handed out has been released, and none once too often.
  bool AllReleased() const;

  struct Impl;

 private:
  std::unique_ptr<Impl> impl_;
};

}  // namespace hx::test
