// CPropertyPage: a standard property page (IPropertyPage2) shown from a dialog
// resource, which a concrete page completes with its identity and, when it
// edits properties, its data exchange.
#pragma once

#include <windows.h>
#include <olectl.h>

#include <span>
#include <vector>

#include "framework/com_object.h"
#include "framework/com_ptr.h"
#include "framework/scoped_window.h"

namespace orvanta {

struct PropertyPageIdentity {
  UINT dialog;   // dialog resource: a child dialog without frame
  UINT caption;  // string resource: the page's tab title
};

class CPropertyPage : public ComObject<CPropertyPage, IPropertyPage2> {
 public:
  static std::span<const InterfaceEntry> InterfaceMap();

  // IPropertyPage
  STDMETHODIMP SetPageSite(IPropertyPageSite* site) override;
  STDMETHODIMP Activate(HWND parent, LPCRECT position, BOOL modal) override;
  STDMETHODIMP Deactivate() override;
  STDMETHODIMP GetPageInfo(PROPPAGEINFO* info) override;
  STDMETHODIMP SetObjects(ULONG count, IUnknown** objects) override;
  STDMETHODIMP Show(UINT command) override;
  STDMETHODIMP Move(LPCRECT position) override;
  STDMETHODIMP IsPageDirty() override;
  STDMETHODIMP Apply() override;
  STDMETHODIMP Help(LPCOLESTR help_directory) override;
  STDMETHODIMP TranslateAccelerator(MSG* message) override;
  // IPropertyPage2
  STDMETHODIMP EditProperty(DISPID id) override;

 protected:
  explicit CPropertyPage(const PropertyPageIdentity& identity) : identity_(identity) {}
  ~CPropertyPage() override = default;

  // Moves values between the page's controls and the objects (|save| true:
  // to the objects). The default edits nothing.
  virtual void DoDataExchange(bool save);

 private:
  static INT_PTR CALLBACK DialogProc(HWND dialog, UINT message, WPARAM wparam, LPARAM lparam);

  PropertyPageIdentity identity_;
  ComPtr<IPropertyPageSite> site_;
  std::vector<ComPtr<IUnknown>> objects_;
  ScopedWindow dialog_;
  bool dirty_ = false;
};

}  // namespace orvanta
