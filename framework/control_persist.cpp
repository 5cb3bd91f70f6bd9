// CControl: IPersistStreamInit, IPersistStorage and IPersistPropertyBag. The
// rules for what a saved state may hold are in control_state.
#include "framework/control.h"
#include "framework/scoped_variant.h"

namespace orvanta {
namespace {

// The stream that a storage keeps the state in.
constexpr wchar_t kContentsStream[] = L"Contents";

// Reads one bag value as a 32-bit number; an absent one stays unset.
void ReadBagNumber(IPropertyBag* bag, const wchar_t* name, IErrorLog* log, std::optional<LONG>* out,
                   bool* unreadable) {
  ScopedVariant value;
  if (FAILED(bag->Read(name, value.Receive(), log))) return;  // absent: the current value stays
  ScopedVariant number;
  if (FAILED(VariantChangeType(number.Receive(), const_cast<VARIANT*>(&value.Get()), 0, VT_I4))) {
    *unreadable = true;
    return;
  }
  *out = V_I4(&number.Get());
}

HRESULT WriteBagNumber(IPropertyBag* bag, const wchar_t* name, LONG number) {
  VARIANT value;
  VariantInit(&value);
  V_VT(&value) = VT_I4;
  V_I4(&value) = number;
  return bag->Write(name, &value);
}

}  // namespace

STDMETHODIMP CControl::GetClassID(CLSID* clsid) {
  if (!clsid) return E_POINTER;
  *clsid = *identity_.clsid;
  return S_OK;
}

STDMETHODIMP CControl::IsDirty() { return dirty_ ? S_OK : S_FALSE; }

STDMETHODIMP CControl::InitNew() {
  dirty_ = false;
  return S_OK;
}

STDMETHODIMP CControl::Load(IStream* stream) {
  if (!stream) return E_POINTER;
  StateBytes bytes{};
  ULONG read = 0;
  const HRESULT hr = stream->Read(bytes.data(), static_cast<ULONG>(bytes.size()), &read);
  if (FAILED(hr)) return hr;
  ControlState loaded;
  const HRESULT decoded = DecodeState(std::span<const std::uint8_t>(bytes.data(), read), &loaded);
  if (FAILED(decoded)) return decoded;
  state_ = loaded;
  dirty_ = false;
  return S_OK;
}

STDMETHODIMP CControl::Save(IStream* stream, BOOL clear_dirty) {
  if (!stream) return E_POINTER;
  const StateBytes bytes = EncodeState(state_);
  ULONG written = 0;
  const HRESULT hr = stream->Write(bytes.data(), static_cast<ULONG>(bytes.size()), &written);
  if (FAILED(hr)) return hr;
  if (written != bytes.size()) return STG_E_WRITEFAULT;
  if (clear_dirty) dirty_ = false;
  return S_OK;
}

STDMETHODIMP CControl::GetSizeMax(ULARGE_INTEGER* size) {
  if (!size) return E_POINTER;
  size->QuadPart = kStateStreamSize;
  return S_OK;
}

STDMETHODIMP CControl::InitNew(IStorage*) { return InitNew(); }

STDMETHODIMP CControl::Load(IStorage* storage) {
  if (!storage) return E_POINTER;
  ComPtr<IStream> stream;
  const HRESULT hr =
      storage->OpenStream(kContentsStream, nullptr, STGM_READ | STGM_SHARE_EXCLUSIVE, 0, stream.Receive());
  if (FAILED(hr)) return hr;
  return Load(stream.Get());
}

STDMETHODIMP CControl::Save(IStorage* storage, BOOL) {
  if (!storage) return E_POINTER;
  ComPtr<IStream> stream;
  const HRESULT hr = storage->CreateStream(kContentsStream, STGM_CREATE | STGM_WRITE | STGM_SHARE_EXCLUSIVE, 0, 0,
                                           stream.Receive());
  if (FAILED(hr)) return hr;
  return Save(stream.Get(), TRUE);
}

STDMETHODIMP CControl::SaveCompleted(IStorage*) { return S_OK; }
STDMETHODIMP CControl::HandsOffStorage() { return S_OK; }

STDMETHODIMP CControl::Load(IPropertyBag* bag, IErrorLog* log) {
  if (!bag) return E_POINTER;
  BagValues values;
  ReadBagNumber(bag, kBagVersion, log, &values.version, &values.unreadable);
  ReadBagNumber(bag, kBagExtentX, log, &values.extent_x, &values.unreadable);
  ReadBagNumber(bag, kBagExtentY, log, &values.extent_y, &values.unreadable);
  ReadBagNumber(bag, kBagStockProps, log, &values.stock_properties, &values.unreadable);
  ControlState loaded;
  const HRESULT hr = DecodeBagState(values, state_, &loaded);
  if (FAILED(hr)) return hr;
  state_ = loaded;
  dirty_ = false;
  return S_OK;
}

STDMETHODIMP CControl::Save(IPropertyBag* bag, BOOL clear_dirty, BOOL) {
  if (!bag) return E_POINTER;
  const std::pair<const wchar_t*, LONG> values[] = {
      {kBagVersion, static_cast<LONG>(state_.version)},
      {kBagExtentX, state_.extent.cx},
      {kBagExtentY, state_.extent.cy},
      {kBagStockProps, static_cast<LONG>(state_.stock_properties)},
  };
  for (const auto& [name, number] : values) {
    const HRESULT hr = WriteBagNumber(bag, name, number);
    if (FAILED(hr)) return hr;
  }
  if (clear_dirty) dirty_ = false;
  return S_OK;
}

}  // namespace orvanta
