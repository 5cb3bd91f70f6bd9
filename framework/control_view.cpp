// CControl: IViewObject2, the view that containers draw without activating
// the control (design-mode painting, printing, snapshots).
#include "framework/control.h"
#include "framework/results.h"
#include "framework/scoped_dc.h"

namespace orvanta {

STDMETHODIMP CControl::Draw(DWORD aspect, LONG, void*, DVTARGETDEVICE*, HDC, HDC dc, LPCRECTL bounds, LPCRECTL,
                            BOOL(STDMETHODCALLTYPE*)(ULONG_PTR), ULONG_PTR) {
  if (aspect != DVASPECT_CONTENT) return DV_E_DVASPECT;
  // Null bounds are for windowless controls, which draw where they are in
  // place; this control always has a window of its own.
  if (!dc || !bounds) return E_INVALIDARG;
  const RECT rect = {bounds->left, bounds->top, bounds->right, bounds->bottom};
  SavedDcState saved(dc);
  IntersectClipRect(dc, rect.left, rect.top, rect.right, rect.bottom);
  return GuardedResult([&] {
    OnDraw(dc, rect);
    return S_OK;
  });
}

STDMETHODIMP CControl::GetColorSet(DWORD, LONG, void*, DVTARGETDEVICE*, HDC, LOGPALETTE** out) {
  if (out) *out = nullptr;
  return S_FALSE;  // no particular palette
}

STDMETHODIMP CControl::Freeze(DWORD, LONG, void*, DWORD* freeze) {
  if (freeze) *freeze = 0;
  return E_NOTIMPL;
}

STDMETHODIMP CControl::Unfreeze(DWORD) { return E_NOTIMPL; }

STDMETHODIMP CControl::SetAdvise(DWORD aspects, DWORD flags, IAdviseSink* sink) {
  view_aspects_ = aspects;
  view_flags_ = flags;
  view_sink_ = ComPtr<IAdviseSink>::Share(sink);
  return S_OK;
}

STDMETHODIMP CControl::GetAdvise(DWORD* aspects, DWORD* flags, IAdviseSink** out) {
  if (aspects) *aspects = view_aspects_;
  if (flags) *flags = view_flags_;
  if (out) *out = ComPtr<IAdviseSink>::Share(view_sink_.Get()).Release();
  return S_OK;
}

STDMETHODIMP CControl::GetExtent(DWORD aspect, LONG, DVTARGETDEVICE*, LPSIZEL size) {
  return GetExtent(aspect, size);
}

}  // namespace orvanta
