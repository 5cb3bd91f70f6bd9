#include "control/orvanta_ctrl.h"

#include <olectl.h>

#include <new>

#include "control/dispatch_table.h"
#include "control/orvanta_idl.h"
#include "control/resources/resource.h"
#include "framework/dispatch.h"
#include "framework/module.h"
#include "framework/scoped_bstr.h"
#include "wmi/wmi_info_cache.h"

namespace orvanta {
namespace {

const ControlIdentity kIdentity = {
    &CLSID_Orvanta, &DIID__DOrvanta, &DIID__DOrvantaEvents, &LIBID_ORVANTALib, 1, 0, kTypeLibraryLocale,
    L"ORVANTA.OrvantaCtrl.1", kOrvantaMiscStatus, IDS_ORVANTA, &CLSID_OrvantaPropPage, L"&Properties...",
};

// Makes the report of one call: a fresh collector fills an empty report.
CString CollectReport(Collector collector) {
  CString report;
  CUserOrvanta user;
  if (collector) (user.*collector)(report);
  return report;
}

// The report as a new automation string of exactly its length, for the
// caller. Throws std::bad_alloc when it cannot be allocated.
BSTR CopyReport(const CString& report) {
  BSTR copy = AllocateResultString(report.data(), static_cast<UINT>(report.size() * sizeof(wchar_t)));
  if (!copy) throw std::bad_alloc();
  return copy;
}

// A byte-exact copy of a cached report for the caller; null when the cache
// holds none. A copy that cannot be allocated fails the call with
// E_OUTOFMEMORY.
BSTR CopyCachedReport(const ScopedBstr& cached) {
  if (!cached.Get()) return nullptr;
  BSTR copy = AllocateResultString(cached.Get(), SysStringByteLen(cached.Get()));
  if (!copy) throw AutomationError(E_OUTOFMEMORY);
  return copy;
}

// Stores |text| in |result|; the type is set only once the value exists.
void StoreText(VARIANT* result, BSTR text) {
  V_BSTR(result) = text;
  V_VT(result) = VT_BSTR;
}

INT_PTR CALLBACK AboutDialogProc(HWND dialog, UINT message, WPARAM wparam, LPARAM) {
  switch (message) {
    case WM_INITDIALOG:
      return TRUE;
    case WM_COMMAND:
      if (LOWORD(wparam) == IDOK || LOWORD(wparam) == IDCANCEL) {
        EndDialog(dialog, LOWORD(wparam));
        return TRUE;
      }
      return FALSE;
    default:
      return FALSE;
  }
}

}  // namespace

COrvantaCtrl::COrvantaCtrl() : CControl(kIdentity) {}

DISPID COrvantaCtrl::FindMethod(const wchar_t* name) const {
  const OrvantaMethod* method = FindByDispatchName(kOrvantaMethods, name);
  return method ? method->id : DISPID_UNKNOWN;
}

bool COrvantaCtrl::HasMethod(DISPID id) const { return FindByDispatchId(kOrvantaMethods, id) != nullptr; }

void COrvantaCtrl::CallMethod(DISPID id, VARIANT* result) {
  switch (id) {
    case DISPID_ABOUTBOX:
      AboutBox();
      return;
    case kDispidIsInstall:
      V_VT(result) = VT_I2;
      V_I2(result) = 1;
      return;
    case kDispidGetOSInfo:
    case kDispidGetSecuritySoftInfo: {
      const WMIInfoCache& cache = GetWMIInfoCache();
      StoreText(result, CopyCachedReport(id == kDispidGetOSInfo ? cache.OSInfo : cache.SecuritySoftInfo));
      return;
    }
    default: {
      const OrvantaMethod* method = FindByDispatchId(kOrvantaMethods, id);
      StoreText(result, CopyReport(CollectReport(method->collector)));
      return;
    }
  }
}

void COrvantaCtrl::AboutBox() {
  // Owned by the container's window while sited, so that the container waits
  // for the box like for any modal dialog of its own.
  ModalSection modal(*this);
  DialogBoxParamW(ModuleState::Handle(), MAKEINTRESOURCEW(IDD_ABOUTBOX), ContainerWindow(), AboutDialogProc, 0);
}

void COrvantaCtrl::OnDraw(HDC dc, const RECT& bounds) { DrawPlaceholder(dc, bounds); }

void DrawPlaceholder(HDC dc, const RECT& bounds) {
  FillRect(dc, &bounds, static_cast<HBRUSH>(GetStockObject(WHITE_BRUSH)));
  Ellipse(dc, bounds.left, bounds.top, bounds.right, bounds.bottom);
}

}  // namespace orvanta
