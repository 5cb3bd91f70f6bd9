#include "framework/property_page.h"

#include "framework/module.h"
#include "framework/results.h"

namespace orvanta {

std::span<const InterfaceEntry> CPropertyPage::InterfaceMap() {
  static constexpr InterfaceEntry kMap[] = {
      {&IID_IUnknown, CastTo<CPropertyPage, IPropertyPage2>},
      {&IID_IPropertyPage, CastTo<CPropertyPage, IPropertyPage2>},
      {&IID_IPropertyPage2, CastTo<CPropertyPage, IPropertyPage2>},
  };
  return kMap;
}

INT_PTR CALLBACK CPropertyPage::DialogProc(HWND, UINT message, WPARAM, LPARAM) {
  return message == WM_INITDIALOG ? TRUE : FALSE;
}

void CPropertyPage::DoDataExchange(bool) {}

STDMETHODIMP CPropertyPage::SetPageSite(IPropertyPageSite* site) {
  if (site && site_) return E_UNEXPECTED;
  site_ = ComPtr<IPropertyPageSite>::Share(site);
  return S_OK;
}

STDMETHODIMP CPropertyPage::Activate(HWND parent, LPCRECT position, BOOL) {
  if (!position) return E_POINTER;
  if (dialog_) return E_UNEXPECTED;
  dialog_.Reset(CreateDialogParamW(ModuleState::Handle(), MAKEINTRESOURCEW(identity_.dialog), parent, DialogProc, 0));
  if (!dialog_) return E_OUTOFMEMORY;
  DoDataExchange(false);
  return Move(position);
}

STDMETHODIMP CPropertyPage::Deactivate() {
  if (!dialog_) return E_UNEXPECTED;
  dialog_.Reset();
  return S_OK;
}

STDMETHODIMP CPropertyPage::GetPageInfo(PROPPAGEINFO* info) {
  if (!info) return E_POINTER;
  // The size in pixels is the dialog's own, laid out once without showing it.
  ScopedWindow measure(
      CreateDialogParamW(ModuleState::Handle(), MAKEINTRESOURCEW(identity_.dialog), GetDesktopWindow(), DialogProc, 0));
  if (!measure) return E_FAIL;
  RECT rect;
  GetWindowRect(measure.Get(), &rect);

  LPOLESTR title = ModuleState::LoadTaskString(identity_.caption);
  if (!title) return E_FAIL;

  info->cb = sizeof(PROPPAGEINFO);
  info->pszTitle = title;
  info->size = {rect.right - rect.left, rect.bottom - rect.top};
  info->pszDocString = nullptr;
  info->pszHelpFile = nullptr;
  info->dwHelpContext = 0;
  return S_OK;
}

STDMETHODIMP CPropertyPage::SetObjects(ULONG count, IUnknown** objects) {
  if (count && !objects) return E_POINTER;
  return GuardedResult([&] {
    std::vector<ComPtr<IUnknown>> held;
    for (ULONG i = 0; i < count; ++i) held.push_back(ComPtr<IUnknown>::Share(objects[i]));
    objects_ = std::move(held);
    return S_OK;
  });
}

STDMETHODIMP CPropertyPage::Show(UINT command) {
  if (!dialog_) return E_UNEXPECTED;
  ShowWindow(dialog_.Get(), command);
  return S_OK;
}

STDMETHODIMP CPropertyPage::Move(LPCRECT position) {
  if (!position) return E_POINTER;
  if (!dialog_) return E_UNEXPECTED;
  MoveWindow(dialog_.Get(), position->left, position->top, position->right - position->left,
             position->bottom - position->top, TRUE);
  return S_OK;
}

STDMETHODIMP CPropertyPage::IsPageDirty() { return dirty_ ? S_OK : S_FALSE; }

STDMETHODIMP CPropertyPage::Apply() {
  if (dirty_) DoDataExchange(true);
  dirty_ = false;
  return S_OK;
}

STDMETHODIMP CPropertyPage::Help(LPCOLESTR) { return E_NOTIMPL; }

STDMETHODIMP CPropertyPage::TranslateAccelerator(MSG* message) {
  if (!message) return E_POINTER;
  return dialog_ && IsDialogMessageW(dialog_.Get(), message) ? S_OK : S_FALSE;
}

STDMETHODIMP CPropertyPage::EditProperty(DISPID) { return E_NOTIMPL; }

}  // namespace orvanta
