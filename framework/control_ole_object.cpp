// CControl: IOleObject, IOleControl and ISpecifyPropertyPages: siting, verbs,
// extents, ambient properties and the property sheet.
#include <olectl.h>

#include <span>

#include "framework/control.h"
#include "framework/enumerator.h"
#include "framework/module.h"
#include "framework/ole_verbs.h"
#include "framework/scoped_task_string.h"
#include "framework/scoped_variant.h"

namespace orvanta {
namespace {

// Each OLEVERB handed out carries its own copy of the name, which the caller
// frees with CoTaskMemFree; the enumerator's own copies are freed with it.
struct VerbTraits {
  static void Hold(OLEVERB& verb) {
    if (!verb.lpszVerbName) return;
    const size_t bytes = (wcslen(verb.lpszVerbName) + 1) * sizeof(wchar_t);
    auto* copy = static_cast<LPOLESTR>(CoTaskMemAlloc(bytes));
    if (copy) memcpy(copy, verb.lpszVerbName, bytes);
    verb.lpszVerbName = copy;
  }
  static void Drop(OLEVERB& verb) { CoTaskMemFree(verb.lpszVerbName); }
};
using VerbEnumerator = ComEnumerator<IEnumOLEVERB, OLEVERB, VerbTraits, &IID_IEnumOLEVERB>;

}  // namespace

STDMETHODIMP CControl::SetClientSite(IOleClientSite* site) {
  if (!site) InPlaceDeactivate();
  client_site_ = ComPtr<IOleClientSite>::Share(site);
  user_mode_ = ReadAmbientUserMode();
  ShowWindowForMode();
  return S_OK;
}

STDMETHODIMP CControl::GetClientSite(IOleClientSite** out) {
  if (!out) return E_POINTER;
  *out = ComPtr<IOleClientSite>::Share(client_site_.Get()).Release();
  return S_OK;
}

STDMETHODIMP CControl::SetHostNames(LPCOLESTR, LPCOLESTR) { return S_OK; }

STDMETHODIMP CControl::Close(DWORD save_option) {
  InPlaceDeactivate();
  if (dirty_ && client_site_ && (save_option == OLECLOSE_SAVEIFDIRTY || save_option == OLECLOSE_PROMPTSAVE))
    client_site_->SaveObject();
  if (advise_holder_) advise_holder_->SendOnClose();
  return S_OK;
}

STDMETHODIMP CControl::SetMoniker(DWORD, IMoniker*) { return E_NOTIMPL; }

STDMETHODIMP CControl::GetMoniker(DWORD, DWORD, IMoniker** out) {
  if (out) *out = nullptr;
  return E_NOTIMPL;
}

STDMETHODIMP CControl::InitFromData(IDataObject*, BOOL, DWORD) { return E_NOTIMPL; }

STDMETHODIMP CControl::GetClipboardData(DWORD, IDataObject** out) {
  if (out) *out = nullptr;
  return E_NOTIMPL;
}

STDMETHODIMP CControl::DoVerb(LONG verb, LPMSG, IOleClientSite* site, LONG, HWND parent, LPCRECT position) {
  if (site && !client_site_) SetClientSite(site);
  const VerbDecision decision = DecideVerb(verb);
  HRESULT hr = S_OK;
  switch (decision.action) {
    case VerbAction::kInPlaceActivate:
      hr = InPlaceActivate(false, parent, position);
      break;
    case VerbAction::kUIActivate:
      hr = InPlaceActivate(true, parent, position);
      break;
    case VerbAction::kHide:
      UIDeactivate();
      if (window_) ShowWindow(window_.Get(), SW_HIDE);
      break;
    case VerbAction::kProperties:
      hr = ShowPropertySheet(parent);
      break;
    case VerbAction::kNone:
      break;
  }
  return FAILED(hr) ? hr : decision.result;
}

STDMETHODIMP CControl::EnumVerbs(IEnumOLEVERB** out) {
  if (!out) return E_POINTER;
  *out = nullptr;
  const OLEVERB verbs[] = {
      {OLEIVERB_PROPERTIES, const_cast<LPOLESTR>(identity_.properties_verb), MF_STRING | MF_ENABLED,
       OLEVERBATTRIB_ONCONTAINERMENU},
  };
  return CreateComObject<VerbEnumerator>(IID_IEnumOLEVERB, reinterpret_cast<void**>(out),
                                         std::span<const OLEVERB>(verbs));
}

STDMETHODIMP CControl::Update() { return S_OK; }
STDMETHODIMP CControl::IsUpToDate() { return S_OK; }

STDMETHODIMP CControl::GetUserClassID(CLSID* clsid) {
  if (!clsid) return E_POINTER;
  *clsid = *identity_.clsid;
  return S_OK;
}

STDMETHODIMP CControl::GetUserType(DWORD form, LPOLESTR* out) {
  if (!out) return E_POINTER;
  *out = ModuleState::LoadTaskString(identity_.user_type);
  if (*out) return S_OK;
  return OleRegGetUserType(*identity_.clsid, form, out);
}

STDMETHODIMP CControl::SetExtent(DWORD aspect, SIZEL* size) {
  if (!size) return E_POINTER;
  if (aspect != DVASPECT_CONTENT) return DV_E_DVASPECT;
  if (size->cx < 0 || size->cy < 0) return E_INVALIDARG;
  if (size->cx != state_.extent.cx || size->cy != state_.extent.cy) {
    state_.extent = *size;
    StateChanged();
  }
  return S_OK;
}

STDMETHODIMP CControl::GetExtent(DWORD aspect, SIZEL* size) {
  if (!size) return E_POINTER;
  if (aspect != DVASPECT_CONTENT) return DV_E_DVASPECT;
  *size = state_.extent;
  return S_OK;
}

HRESULT CControl::EnsureAdviseHolder() {
  if (advise_holder_) return S_OK;
  return CreateOleAdviseHolder(advise_holder_.Receive());
}

STDMETHODIMP CControl::Advise(IAdviseSink* sink, DWORD* connection) {
  if (!connection) return E_POINTER;
  *connection = 0;
  const HRESULT hr = EnsureAdviseHolder();
  if (FAILED(hr)) return hr;
  return advise_holder_->Advise(sink, connection);
}

STDMETHODIMP CControl::Unadvise(DWORD connection) {
  if (!advise_holder_) return OLE_E_NOCONNECTION;
  return advise_holder_->Unadvise(connection);
}

// Before any Advise the holder enumerates no connection: a caller always gets
// an enumerator or a failure.
STDMETHODIMP CControl::EnumAdvise(IEnumSTATDATA** out) {
  if (!out) return E_POINTER;
  *out = nullptr;
  const HRESULT hr = EnsureAdviseHolder();
  if (FAILED(hr)) return hr;
  return advise_holder_->EnumAdvise(out);
}

STDMETHODIMP CControl::GetMiscStatus(DWORD, DWORD* status) {
  if (!status) return E_POINTER;
  *status = identity_.misc_status;
  return S_OK;
}

STDMETHODIMP CControl::SetColorScheme(LOGPALETTE*) { return E_NOTIMPL; }

STDMETHODIMP CControl::GetControlInfo(CONTROLINFO* info) {
  if (!info) return E_POINTER;
  info->cb = sizeof(CONTROLINFO);
  info->hAccel = nullptr;
  info->cAccel = 0;
  info->dwFlags = 0;
  return S_OK;
}

STDMETHODIMP CControl::OnMnemonic(MSG*) { return E_NOTIMPL; }

STDMETHODIMP CControl::OnAmbientPropertyChange(DISPID id) {
  if (id == DISPID_AMBIENT_USERMODE || id == DISPID_UNKNOWN) {
    user_mode_ = ReadAmbientUserMode();
    ShowWindowForMode();
  }
  return S_OK;
}

STDMETHODIMP CControl::FreezeEvents(BOOL) { return S_OK; }

STDMETHODIMP CControl::GetPages(CAUUID* pages) {
  if (!pages) return E_POINTER;
  pages->cElems = 0;
  pages->pElems = static_cast<GUID*>(CoTaskMemAlloc(sizeof(GUID)));
  if (!pages->pElems) return E_OUTOFMEMORY;
  pages->pElems[0] = *identity_.property_page;
  pages->cElems = 1;
  return S_OK;
}

bool CControl::ReadAmbientUserMode() const {
  ComPtr<IDispatch> ambients;
  if (!client_site_ || FAILED(client_site_.As(IID_IDispatch, &ambients))) return true;
  DISPPARAMS none = {nullptr, nullptr, 0, 0};
  ScopedVariant value;
  if (FAILED(ambients->Invoke(DISPID_AMBIENT_USERMODE, IID_NULL, LOCALE_USER_DEFAULT, DISPATCH_PROPERTYGET, &none,
                              value.Receive(), nullptr, nullptr)))
    return true;
  ScopedVariant flag;
  if (FAILED(VariantChangeType(flag.Receive(), const_cast<VARIANT*>(&value.Get()), 0, VT_BOOL))) return true;
  return V_BOOL(&flag.Get()) != VARIANT_FALSE;
}

HWND CControl::ContainerWindow() const {
  if (!client_site_) return nullptr;
  HWND window = nullptr;
  for (const IID* iid : {&IID_IOleInPlaceSite, &IID_IOleWindow}) {
    ComPtr<IOleWindow> site_window;
    if (SUCCEEDED(client_site_.As(*iid, &site_window)) && SUCCEEDED(site_window->GetWindow(&window)) && window)
      return window;
  }
  return window_ ? GetParent(window_.Get()) : nullptr;
}

HRESULT CControl::ShowPropertySheet(HWND owner) {
  // A container that shows property sheets itself does so.
  ComPtr<IOleControlSite> control_site;
  if (client_site_ && SUCCEEDED(client_site_.As(IID_IOleControlSite, &control_site)) &&
      control_site->ShowPropertyFrame() == S_OK)
    return S_OK;

  if (!owner) owner = ContainerWindow();
  ComPtr<IUnknown> self = ComPtr<IUnknown>::Share(static_cast<IOleObject*>(this));
  IUnknown* objects[] = {self.Get()};
  CLSID pages[] = {*identity_.property_page};
  ScopedTaskString caption(ModuleState::LoadTaskString(identity_.user_type));
  ModalSection modal(*this);
  return OleCreatePropertyFrame(owner, 0, 0, caption.Get(), 1, objects, 1, pages, GetUserDefaultLCID(), 0,
                                nullptr);
}

void CControl::StateChanged() {
  dirty_ = true;
  if (view_sink_) view_sink_->OnViewChange(DVASPECT_CONTENT, -1);
}

}  // namespace orvanta
