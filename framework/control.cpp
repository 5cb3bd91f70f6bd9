#include "framework/control.h"

#include <algorithm>

#include "framework/com_ptr.h"
#include "framework/dispatch.h"
#include "framework/scoped_variant.h"

namespace orvanta {

namespace {

// A new control is 100 by 50 pixels at 96 pixels per inch, in HIMETRIC.
constexpr SIZEL kDefaultExtent = {2646, 1323};

}  // namespace

CControl::CControl(const ControlIdentity& identity)
    : identity_(identity), events_(this, *identity.events_iid), property_notify_(this, IID_IPropertyNotifySink) {
  state_.extent = kDefaultExtent;
}

// A container that forgets to close the control still gets its window back.
CControl::~CControl() { InPlaceDeactivate(); }

std::span<const InterfaceEntry> CControl::InterfaceMap() {
  static constexpr InterfaceEntry kMap[] = {
      {&IID_IUnknown, CastTo<CControl, IDispatch>},
      {&IID_IDispatch, CastTo<CControl, IDispatch>},
      {&IID_IProvideClassInfo, CastTo<CControl, IProvideClassInfo2>},
      {&IID_IProvideClassInfo2, CastTo<CControl, IProvideClassInfo2>},
      {&IID_IConnectionPointContainer, CastTo<CControl, IConnectionPointContainer>},
      {&IID_IOleObject, CastTo<CControl, IOleObject>},
      {&IID_IOleWindow, CastTo<CControl, IOleInPlaceObject>},
      {&IID_IOleInPlaceObject, CastTo<CControl, IOleInPlaceObject>},
      {&IID_IOleInPlaceActiveObject, CastTo<CControl, IOleInPlaceActiveObject>},
      {&IID_IOleControl, CastTo<CControl, IOleControl>},
      {&IID_IViewObject, CastTo<CControl, IViewObject2>},
      {&IID_IViewObject2, CastTo<CControl, IViewObject2>},
      {&IID_IPersist, CastTo<CControl, IPersistStreamInit>},
      {&IID_IPersistStreamInit, CastTo<CControl, IPersistStreamInit>},
      // IPersistStreamInit begins with IPersistStream's layout, so hosts that
      // save through OleSaveToStream get the same methods.
      {&IID_IPersistStream, CastTo<CControl, IPersistStreamInit>},
      {&IID_IPersistStorage, CastTo<CControl, IPersistStorage>},
      {&IID_IPersistPropertyBag, CastTo<CControl, IPersistPropertyBag>},
      {&IID_ISpecifyPropertyPages, CastTo<CControl, ISpecifyPropertyPages>},
  };
  return kMap;
}

STDMETHODIMP CControl::QueryInterface(REFIID iid, void** out) {
  if (out && IsEqualIID(iid, *identity_.dispatch_iid)) {
    AddRef();
    *out = static_cast<IDispatch*>(this);
    return S_OK;
  }
  return ComObject::QueryInterface(iid, out);
}

HRESULT CControl::LoadTypeInfo(const GUID& guid, LCID lcid, ITypeInfo** out) const {
  ComPtr<ITypeLib> library;
  HRESULT hr = LoadRegTypeLib(*identity_.libid, identity_.major, identity_.minor, lcid, library.Receive());
  if (FAILED(hr)) return hr;
  return library->GetTypeInfoOfGuid(guid, out);
}

STDMETHODIMP CControl::GetTypeInfoCount(UINT* count) {
  if (!count) return E_POINTER;
  *count = 1;
  return S_OK;
}

STDMETHODIMP CControl::GetTypeInfo(UINT index, LCID lcid, ITypeInfo** out) {
  if (!out) return E_POINTER;
  *out = nullptr;
  if (index != 0) return DISP_E_BADINDEX;
  return LoadTypeInfo(*identity_.dispatch_iid, lcid, out);
}

STDMETHODIMP CControl::GetIDsOfNames(REFIID iid, LPOLESTR* names, UINT count, LCID lcid, DISPID* ids) {
  if (!IsEqualIID(iid, IID_NULL)) return DISP_E_UNKNOWNINTERFACE;
  if (!names || !ids) return E_POINTER;
  if (count == 0) return E_INVALIDARG;

  // A null name is never handed to the type library, which may read it; the
  // table answers it as unknown.
  const bool all_named = std::all_of(names, names + count, [](const wchar_t* name) { return name != nullptr; });
  if (lcid != 0 && all_named) {
    ComPtr<ITypeInfo> info;
    if (SUCCEEDED(LoadTypeInfo(*identity_.dispatch_iid, lcid, info.Receive())))
      return info->GetIDsOfNames(names, count, ids);
  }

  // The dispatch table knows method names only: argument names are unknown.
  ids[0] = names[0] ? FindMethod(names[0]) : DISPID_UNKNOWN;
  for (UINT i = 1; i < count; ++i) ids[i] = DISPID_UNKNOWN;
  return ids[0] == DISPID_UNKNOWN ? DISP_E_UNKNOWNNAME : S_OK;
}

STDMETHODIMP CControl::Invoke(DISPID id, REFIID iid, LCID, WORD flags, DISPPARAMS* params, VARIANT* result,
                              EXCEPINFO* info, UINT*) {
  if (!IsEqualIID(iid, IID_NULL)) return DISP_E_UNKNOWNINTERFACE;
  if (!HasMethod(id)) return DISP_E_MEMBERNOTFOUND;
  // Every member is a method; a client may read it as a property too, but
  // never assign it.
  if ((flags & (DISPATCH_PROPERTYPUT | DISPATCH_PROPERTYPUTREF)) != 0 ||
      (flags & (DISPATCH_METHOD | DISPATCH_PROPERTYGET)) == 0)
    return DISP_E_MEMBERNOTFOUND;
  if (!params) return E_INVALIDARG;
  if (params->cArgs != 0) return DISP_E_BADPARAMCOUNT;
  if (params->cNamedArgs != 0) return DISP_E_NONAMEDARGS;

  // The method fills a value of the control's own, which reaches the caller's
  // slot only when the call succeeds: a failed call leaves the slot empty, and
  // a caller that passes no slot gets the call made and its value dropped.
  if (result) VariantInit(result);
  ScopedVariant value;
  const HRESULT hr = InvokeGuarded(info, identity_.source, [&] { CallMethod(id, value.Receive()); });
  if (SUCCEEDED(hr) && result) *result = value.Release();
  return hr;
}

STDMETHODIMP CControl::GetClassInfo(ITypeInfo** out) {
  if (!out) return E_POINTER;
  *out = nullptr;
  return LoadTypeInfo(*identity_.clsid, identity_.library_lcid, out);
}

STDMETHODIMP CControl::GetGUID(DWORD kind, GUID* guid) {
  if (!guid) return E_POINTER;
  if (kind != GUIDKIND_DEFAULT_SOURCE_DISP_IID) {
    *guid = GUID_NULL;
    return E_INVALIDARG;
  }
  *guid = *identity_.events_iid;
  return S_OK;
}

STDMETHODIMP CControl::EnumConnectionPoints(IEnumConnectionPoints** out) {
  IConnectionPoint* const points[] = {&events_, &property_notify_};
  return CreateConnectionPointEnumerator(points, out);
}

STDMETHODIMP CControl::FindConnectionPoint(REFIID iid, IConnectionPoint** out) {
  if (!out) return E_POINTER;
  *out = nullptr;
  for (ConnectionPoint* point : {&events_, &property_notify_}) {
    if (IsEqualIID(iid, point->iid())) {
      point->AddRef();
      *out = point;
      return S_OK;
    }
  }
  return CONNECT_E_NOCONNECTION;
}

}  // namespace orvanta
