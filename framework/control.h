// CControl: the standard behaviour of an ActiveX control, which a concrete
// control completes with its identity and its methods.
#pragma once

#include <windows.h>
#include <olectl.h>

#include <span>

#include "framework/com_object.h"
#include "framework/com_ptr.h"
#include "framework/connection_point.h"
#include "framework/control_state.h"
#include "framework/scoped_window.h"

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
  DWORD misc_status;      // the OLEMISC bits for DVASPECT_CONTENT
  UINT user_type;         // string resource: the control's name for users
  const CLSID* property_page;      // the one page of the property sheet
  const wchar_t* properties_verb;  // the Properties verb's menu text
};

// The interfaces that containers use to site, activate, draw, save and load a
// control and to open its property sheet, over the control's dispatch
// interface. Each family is implemented in its own file: control_ole_object
// (IOleObject, IOleControl, ISpecifyPropertyPages), control_in_place (the
// in-place interfaces and the control's window), control_view (IViewObject2),
// control_persist (the three persistence interfaces).
class CControl
    : public ComObject<CControl, IDispatch, IProvideClassInfo2, IConnectionPointContainer, IOleObject,
                       IOleInPlaceObject, IOleInPlaceActiveObject, IOleControl, IViewObject2, IPersistStreamInit,
                       IPersistStorage, IPersistPropertyBag, ISpecifyPropertyPages> {
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

  // IOleObject. The client site comes first (OLEMISC_SETCLIENTSITEFIRST).
  STDMETHODIMP SetClientSite(IOleClientSite* site) override;
  STDMETHODIMP GetClientSite(IOleClientSite** out) override;
  STDMETHODIMP SetHostNames(LPCOLESTR container_app, LPCOLESTR container_object) override;
  STDMETHODIMP Close(DWORD save_option) override;
  STDMETHODIMP SetMoniker(DWORD which, IMoniker* moniker) override;
  STDMETHODIMP GetMoniker(DWORD assign, DWORD which, IMoniker** out) override;
  STDMETHODIMP InitFromData(IDataObject* data, BOOL creation, DWORD reserved) override;
  STDMETHODIMP GetClipboardData(DWORD reserved, IDataObject** out) override;
  STDMETHODIMP DoVerb(LONG verb, LPMSG message, IOleClientSite* site, LONG index, HWND parent,
                      LPCRECT position) override;
  STDMETHODIMP EnumVerbs(IEnumOLEVERB** out) override;
  STDMETHODIMP Update() override;
  STDMETHODIMP IsUpToDate() override;
  STDMETHODIMP GetUserClassID(CLSID* clsid) override;
  STDMETHODIMP GetUserType(DWORD form, LPOLESTR* out) override;
  STDMETHODIMP SetExtent(DWORD aspect, SIZEL* size) override;
  STDMETHODIMP GetExtent(DWORD aspect, SIZEL* size) override;
  STDMETHODIMP Advise(IAdviseSink* sink, DWORD* connection) override;
  STDMETHODIMP Unadvise(DWORD connection) override;
  STDMETHODIMP EnumAdvise(IEnumSTATDATA** out) override;
  STDMETHODIMP GetMiscStatus(DWORD aspect, DWORD* status) override;
  STDMETHODIMP SetColorScheme(LOGPALETTE* palette) override;

  // IOleWindow, for IOleInPlaceObject and IOleInPlaceActiveObject.
  STDMETHODIMP GetWindow(HWND* window) override;
  STDMETHODIMP ContextSensitiveHelp(BOOL enter) override;
  // IOleInPlaceObject
  STDMETHODIMP InPlaceDeactivate() override;
  STDMETHODIMP UIDeactivate() override;
  STDMETHODIMP SetObjectRects(LPCRECT position, LPCRECT clip) override;
  STDMETHODIMP ReactivateAndUndo() override;
  // IOleInPlaceActiveObject
  STDMETHODIMP TranslateAccelerator(LPMSG message) override;
  STDMETHODIMP OnFrameWindowActivate(BOOL activate) override;
  STDMETHODIMP OnDocWindowActivate(BOOL activate) override;
  STDMETHODIMP ResizeBorder(LPCRECT border, IOleInPlaceUIWindow* window, BOOL frame_window) override;
  STDMETHODIMP EnableModeless(BOOL enable) override;

  // IOleControl. A change of the ambient user mode shows or hides the window.
  STDMETHODIMP GetControlInfo(CONTROLINFO* info) override;
  STDMETHODIMP OnMnemonic(MSG* message) override;
  STDMETHODIMP OnAmbientPropertyChange(DISPID id) override;
  STDMETHODIMP FreezeEvents(BOOL freeze) override;

  // IViewObject2: DVASPECT_CONTENT only, always within the given bounds.
  STDMETHODIMP Draw(DWORD aspect, LONG index, void* aspect_info, DVTARGETDEVICE* device, HDC target_dc, HDC dc,
                    LPCRECTL bounds, LPCRECTL window_bounds, BOOL(STDMETHODCALLTYPE* keep_going)(ULONG_PTR),
                    ULONG_PTR keep_going_argument) override;
  STDMETHODIMP GetColorSet(DWORD aspect, LONG index, void* aspect_info, DVTARGETDEVICE* device, HDC target_dc,
                           LOGPALETTE** out) override;
  STDMETHODIMP Freeze(DWORD aspect, LONG index, void* aspect_info, DWORD* freeze) override;
  STDMETHODIMP Unfreeze(DWORD freeze) override;
  STDMETHODIMP SetAdvise(DWORD aspects, DWORD flags, IAdviseSink* sink) override;
  STDMETHODIMP GetAdvise(DWORD* aspects, DWORD* flags, IAdviseSink** out) override;
  STDMETHODIMP GetExtent(DWORD aspect, LONG index, DVTARGETDEVICE* device, LPSIZEL size) override;

  // IPersist, for all three persistence interfaces.
  STDMETHODIMP GetClassID(CLSID* clsid) override;
  // IPersistStreamInit and IPersistStorage. A state of an older format loads
  // and is saved in the current one; a damaged or truncated one fails with an
  // error code and leaves the control as it was.
  STDMETHODIMP IsDirty() override;
  STDMETHODIMP Load(IStream* stream) override;
  STDMETHODIMP Save(IStream* stream, BOOL clear_dirty) override;
  STDMETHODIMP GetSizeMax(ULARGE_INTEGER* size) override;
  STDMETHODIMP InitNew() override;  // also IPersistPropertyBag
  STDMETHODIMP InitNew(IStorage* storage) override;
  STDMETHODIMP Load(IStorage* storage) override;
  STDMETHODIMP Save(IStorage* storage, BOOL same_as_load) override;
  STDMETHODIMP SaveCompleted(IStorage* storage) override;
  STDMETHODIMP HandsOffStorage() override;
  // IPersistPropertyBag: "_Version", "_ExtentX", "_ExtentY", "_StockProps".
  STDMETHODIMP Load(IPropertyBag* bag, IErrorLog* log) override;
  STDMETHODIMP Save(IPropertyBag* bag, BOOL clear_dirty, BOOL save_all) override;

  // ISpecifyPropertyPages
  STDMETHODIMP GetPages(CAUUID* pages) override;

 protected:
  explicit CControl(const ControlIdentity& identity);
  ~CControl() override;

  // Paints the control into |dc| within |bounds|. The device context is clipped
  // to |bounds| and restored afterwards.
  virtual void OnDraw(HDC dc, const RECT& bounds) = 0;

  // The container's window while the control is sited, for windows the control
  // owns (the About box); null when unsited.
  HWND ContainerWindow() const;

  // For the life of the object, tells the frame of an in-place active control
  // that a modal window of the control is open (IOleInPlaceFrame::
  // EnableModeless), so that the container holds its own modeless windows.
  class ModalSection {
   public:
    explicit ModalSection(const CControl& control);
    ModalSection(const ModalSection&) = delete;
    ModalSection& operator=(const ModalSection&) = delete;
    ~ModalSection();

   private:
    ComPtr<IOleInPlaceFrame> frame_;
  };

  // The dispatch table. Methods take no arguments.
  // The identifier that the table gives |name|, or DISPID_UNKNOWN.
  virtual DISPID FindMethod(const wchar_t* name) const = 0;
  virtual bool HasMethod(DISPID id) const = 0;
  // Runs method |id| and stores its value, if it has one, in |result|, which
  // arrives empty; a value is stored whole or not at all (its type set only
  // once the value exists). May throw AutomationError or std::bad_alloc.
  virtual void CallMethod(DISPID id, VARIANT* result) = 0;

  // Type information for |guid| from the registered type library.
  HRESULT LoadTypeInfo(const GUID& guid, LCID lcid, ITypeInfo** out) const;

 private:
  static LRESULT CALLBACK WindowProc(HWND window, UINT message, WPARAM wparam, LPARAM lparam);

  // In-place activation in |parent| at |position| (the site's when null), with
  // the user interface when |ui| says so.
  HRESULT InPlaceActivate(bool ui, HWND parent, LPCRECT position);
  HRESULT CreateControlWindow(HWND parent, const RECT& position);
  // The ambient user mode of the site: true (run mode) when the site does not say.
  bool ReadAmbientUserMode() const;
  void ShowWindowForMode();
  HRESULT ShowPropertySheet(HWND owner);
  // Creates the OLE advise holder on first use.
  HRESULT EnsureAdviseHolder();
  void StateChanged();

  ControlIdentity identity_;
  ConnectionPoint events_;
  ConnectionPoint property_notify_;

  ComPtr<IOleClientSite> client_site_;
  ComPtr<IOleAdviseHolder> advise_holder_;
  ComPtr<IAdviseSink> view_sink_;
  DWORD view_aspects_ = 0;
  DWORD view_flags_ = 0;
  bool user_mode_ = true;

  ComPtr<IOleInPlaceSite> in_place_site_;
  ComPtr<IOleInPlaceFrame> frame_;
  ComPtr<IOleInPlaceUIWindow> ui_window_;
  ScopedWindow window_;
  RECT position_ = {0, 0, 0, 0};
  bool ui_active_ = false;

  ControlState state_;
  bool dirty_ = false;
};

}  // namespace orvanta
