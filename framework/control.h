// CControl: the standard behaviour of an ActiveX control, which a concrete
// control completes with its identity and its methods.
#pragma once

#include <windows.h>
#include <olectl.h>

#include <span>

#include "framework/com_object.h"
#include "framework/connection_point.h"

namespace orvanta {

// What the framework must know of a control to describe it to clients.
struct ControlIdentity {
  const CLSID* clsid;
  const IID* dispatch_iid;  // the primary dispatch interface
  const IID* events_iid;    // the default source (event) interface
  const GUID* libid;        // the registered type library that describes both
  WORD major;
  WORD minor;
  LCID library_lcid;  // the locale that the type library is registered for
  const wchar_t* source;  // names the control in exception information
};

class CControl : public ComObject<CControl, IDispatch, IProvideClassInfo2, IConnectionPointContainer> {
 public:
  static std::span<const InterfaceEntry> InterfaceMap();

  // IUnknown: also answers the primary dispatch interface.
  STDMETHODIMP QueryInterface(REFIID iid, void** out) override;

  // IDispatch. Name lookup with a non-zero locale is answered by the registered
  // type library when it loads, otherwise by the control's dispatch table.
  STDMETHODIMP GetTypeInfoCount(UINT* count) override;
  STDMETHODIMP GetTypeInfo(UINT index, LCID lcid, ITypeInfo** out) override;
  STDMETHODIMP GetIDsOfNames(REFIID iid, LPOLESTR* names, UINT count, LCID lcid, DISPID* ids) override;
  STDMETHODIMP Invoke(DISPID id, REFIID iid, LCID lcid, WORD flags, DISPPARAMS* params, VARIANT* result,
                      EXCEPINFO* info, UINT* arg_error) override;

  // IProvideClassInfo2
  STDMETHODIMP GetClassInfo(ITypeInfo** out) override;
  STDMETHODIMP GetGUID(DWORD kind, GUID* guid) override;

  // IConnectionPointContainer
  STDMETHODIMP EnumConnectionPoints(IEnumConnectionPoints** out) override;
  STDMETHODIMP FindConnectionPoint(REFIID iid, IConnectionPoint** out) override;

 protected:
  explicit CControl(const ControlIdentity& identity);
  ~CControl() override = default;

  // The dispatch table. Methods take no arguments.
  // The identifier that the table gives |name|, or DISPID_UNKNOWN.
  virtual DISPID FindMethod(const wchar_t* name) const = 0;
  virtual bool HasMethod(DISPID id) const = 0;
  // Runs method |id| and stores its value, if it has one, in |result|, which
  // arrives empty. May throw AutomationError or std::bad_alloc.
  virtual void CallMethod(DISPID id, VARIANT* result) = 0;

  // Type information for |guid| from the registered type library.
  HRESULT LoadTypeInfo(const GUID& guid, LCID lcid, ITypeInfo** out) const;

 private:
  ControlIdentity identity_;
  ConnectionPoint events_;
};

}  // namespace orvanta
