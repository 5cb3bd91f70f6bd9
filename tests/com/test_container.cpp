// The control in real containers: Wine's ATL host window sites and activates
// it, containers draw it, save and load it, open its About box and its
// property sheet. Every test releases what it made and leaves the module
// unloadable.
#include <gtest/gtest.h>
#include <olectl.h>
#include <commctrl.h>
#include <objsafe.h>

#include <cstdio>
#include <functional>
#include <map>
#include <string>
#include <vector>

#include "control/orvanta_idl.h"
#include "framework/com_object.h"
#include "framework/scoped_dc.h"
#include "framework/scoped_handle.h"
#include "framework/scoped_library.h"
#include "framework/scoped_task_string.h"
#include "framework/scoped_variant.h"
#include "framework/scoped_window.h"
#include "tests/com/com_test_support.h"
#include "tests/com/scoped_gdi.h"

namespace orvanta::testing {
namespace {

constexpr DWORD kMiscStatus = 0x20591;
constexpr wchar_t kHostClass[] = L"OrvantaTestHost";

using AtlAxWinInitFn = BOOL(WINAPI*)();
using AtlAxCreateControlExFn = HRESULT(WINAPI*)(LPCOLESTR, HWND, IStream*, IUnknown**, IUnknown**, REFIID, IUnknown*);

void PumpMessages() {
  for (int round = 0; round < 5; ++round) {
    MSG message;
    while (PeekMessageW(&message, nullptr, 0, 0, PM_REMOVE)) {
      TranslateMessage(&message);
      DispatchMessageW(&message);
    }
    Sleep(20);
  }
}

// A top-level window in which Wine's ATL hosts the control.
class AtlHost {
 public:
  AtlHost() : atl_(L"atl.dll") {
    if (!atl_) atl_ = ScopedLibrary(L"atl100.dll");
    auto init = atl_.Find<AtlAxWinInitFn>("AtlAxWinInit");
    create_ = atl_.Find<AtlAxCreateControlExFn>("AtlAxCreateControlEx");
    if (!init || !create_) {
      ADD_FAILURE() << "no ATL host library";
      return;
    }
    init();
    WNDCLASSEXW window_class = {};
    window_class.cbSize = sizeof(window_class);
    window_class.lpfnWndProc = DefWindowProcW;
    window_class.hInstance = GetModuleHandleW(nullptr);
    window_class.hbrBackground = static_cast<HBRUSH>(GetStockObject(LTGRAY_BRUSH));
    window_class.lpszClassName = kHostClass;
    RegisterClassExW(&window_class);
    frame_.Reset(CreateWindowExW(0, kHostClass, L"Pelmora Control at design time",
                                 WS_OVERLAPPEDWINDOW | WS_VISIBLE, 40, 40, 360, 240, nullptr, nullptr,
                                 GetModuleHandleW(nullptr), nullptr));
    window_.Reset(CreateWindowExW(0, kHostClass, L"", WS_CHILD | WS_VISIBLE, 24, 24, 280, 140, frame_.Get(),
                                  nullptr, GetModuleHandleW(nullptr), nullptr));
  }
  // The host's window goes first: ATL then closes the control and unsites it.
  ~AtlHost() {
    window_.Reset();
    frame_.Reset();
    control_.Reset();
    container_.Reset();
  }

  // Creates the control by its ProgID in the window and activates it in place.
  void Create() {
    ASSERT_TRUE(window_);
    ASSERT_EQ(create_(L"ORVANTA.OrvantaCtrl.1", window_.Get(), nullptr, container_.Receive(), control_.Receive(),
                      IID_NULL, nullptr),
              S_OK);
    ASSERT_TRUE(control_);
    PumpMessages();
  }

  // The window that ATL hosts the control in, and the top-level window around it.
  HWND window() const { return window_.Get(); }
  HWND frame() const { return frame_.Get(); }
  template <class T>
  ComPtr<T> Control(REFIID iid) const {
    ComPtr<T> out;
    EXPECT_EQ(control_.As(iid, &out), S_OK);
    return out;
  }
  HWND ControlWindow() const {
    HWND window = nullptr;
    EXPECT_EQ(Control<IOleInPlaceObject>(IID_IOleInPlaceObject)->GetWindow(&window), S_OK);
    return window;
  }

 private:
  ScopedLibrary atl_;
  AtlAxCreateControlExFn create_ = nullptr;
  ScopedWindow frame_;
  ScopedWindow window_;
  ComPtr<IUnknown> container_;
  ComPtr<IUnknown> control_;
};

// Wraps a client site and answers the ambient properties a design-mode host
// gives: user mode false until told otherwise. Everything else is the
// wrapped site's.
class AmbientSite : public ComObject<AmbientSite, IOleClientSite, IDispatch> {
 public:
  explicit AmbientSite(IOleClientSite* inner) : inner_(ComPtr<IOleClientSite>::Share(inner)) {}
  static std::span<const InterfaceEntry> InterfaceMap() {
    static constexpr InterfaceEntry kMap[] = {
        {&IID_IUnknown, CastTo<AmbientSite, IOleClientSite>},
        {&IID_IOleClientSite, CastTo<AmbientSite, IOleClientSite>},
        {&IID_IDispatch, CastTo<AmbientSite, IDispatch>},
    };
    return kMap;
  }
  STDMETHODIMP QueryInterface(REFIID iid, void** out) override {
    const HRESULT hr = ComObject::QueryInterface(iid, out);
    return hr == E_NOINTERFACE ? inner_->QueryInterface(iid, out) : hr;
  }
  void set_user_mode(bool user_mode) { user_mode_ = user_mode; }

  STDMETHODIMP SaveObject() override { return inner_->SaveObject(); }
  STDMETHODIMP GetMoniker(DWORD assign, DWORD which, IMoniker** out) override {
    return inner_->GetMoniker(assign, which, out);
  }
  STDMETHODIMP GetContainer(IOleContainer** out) override { return inner_->GetContainer(out); }
  STDMETHODIMP ShowObject() override { return inner_->ShowObject(); }
  STDMETHODIMP OnShowWindow(BOOL show) override { return inner_->OnShowWindow(show); }
  STDMETHODIMP RequestNewObjectLayout() override { return inner_->RequestNewObjectLayout(); }

  STDMETHODIMP GetTypeInfoCount(UINT* count) override {
    *count = 0;
    return S_OK;
  }
  STDMETHODIMP GetTypeInfo(UINT, LCID, ITypeInfo**) override { return E_NOTIMPL; }
  STDMETHODIMP GetIDsOfNames(REFIID, LPOLESTR*, UINT, LCID, DISPID*) override { return E_NOTIMPL; }
  STDMETHODIMP Invoke(DISPID id, REFIID, LCID, WORD, DISPPARAMS*, VARIANT* result, EXCEPINFO*, UINT*) override {
    if (id != DISPID_AMBIENT_USERMODE || !result) return DISP_E_MEMBERNOTFOUND;
    V_VT(result) = VT_BOOL;
    V_BOOL(result) = user_mode_ ? VARIANT_TRUE : VARIANT_FALSE;
    return S_OK;
  }

 private:
  ComPtr<IOleClientSite> inner_;
  bool user_mode_ = false;
};

// A property bag such as a page keeps for an embedded control.
class PropertyBag : public ComObject<PropertyBag, IPropertyBag> {
 public:
  static std::span<const InterfaceEntry> InterfaceMap() {
    static constexpr InterfaceEntry kMap[] = {
        {&IID_IUnknown, CastTo<PropertyBag, IPropertyBag>},
        {&IID_IPropertyBag, CastTo<PropertyBag, IPropertyBag>},
    };
    return kMap;
  }
  PropertyBag() = default;
  ~PropertyBag() override {
    for (auto& [name, value] : values_) VariantClear(&value);
  }
  void Put(const std::wstring& name, const wchar_t* text) {
    VARIANT value;
    V_VT(&value) = VT_BSTR;
    V_BSTR(&value) = SysAllocString(text);
    VariantClear(&values_[name]);
    values_[name] = value;
  }
  const std::map<std::wstring, VARIANT>& values() const { return values_; }

  STDMETHODIMP Read(LPCOLESTR name, VARIANT* value, IErrorLog*) override {
    auto found = values_.find(name);
    if (found == values_.end()) return E_INVALIDARG;
    return VariantCopy(value, &found->second);
  }
  STDMETHODIMP Write(LPCOLESTR name, VARIANT* value) override {
    VARIANT copy;
    VariantInit(&copy);
    const HRESULT hr = VariantCopy(&copy, value);
    if (FAILED(hr)) return hr;
    VariantClear(&values_[name]);
    values_[name] = copy;
    return S_OK;
  }

 private:
  std::map<std::wstring, VARIANT> values_;
};

// Runs |watch| on a thread of its own while the test's thread sits in a modal
// loop, so that it can look at the modal window and close it.
class ModalWatcher {
 public:
  explicit ModalWatcher(std::function<bool(DWORD thread)> watch)
      : watch_(std::move(watch)), thread_id_(GetCurrentThreadId()) {
    thread_ = ScopedHandle(CreateThread(nullptr, 0, Run, this, 0, nullptr));
  }
  // True when |watch| answered true before the time ran out.
  bool Finish() {
    WaitForSingleObject(thread_.Get(), INFINITE);
    return done_;
  }

 private:
  static DWORD WINAPI Run(void* self) {
    auto* watcher = static_cast<ModalWatcher*>(self);
    for (int attempt = 0; attempt < 300 && !watcher->done_; ++attempt) {
      watcher->done_ = watcher->watch_(watcher->thread_id_);
      if (!watcher->done_) Sleep(50);
    }
    return 0;
  }

  std::function<bool(DWORD)> watch_;
  DWORD thread_id_;
  bool done_ = false;
  ScopedHandle thread_;
};

std::wstring WindowText(HWND window) {
  wchar_t text[256] = L"";
  GetWindowTextW(window, text, 256);
  return text;
}

struct WindowSearch {
  const std::function<bool(HWND)>* match;
  HWND found;
};

BOOL CALLBACK CheckThreadWindow(HWND window, LPARAM data) {
  auto* search = reinterpret_cast<WindowSearch*>(data);
  if (!IsWindowVisible(window) || !(*search->match)(window)) return TRUE;
  search->found = window;
  return FALSE;
}

// The first visible top-level window of |thread| that |match| accepts.
HWND FindThreadTopWindow(DWORD thread, const std::function<bool(HWND)>& match) {
  WindowSearch search = {&match, nullptr};
  EnumThreadWindows(thread, CheckThreadWindow, reinterpret_cast<LPARAM>(&search));
  return search.found;
}

// The visible top-level window of |thread| whose caption is |caption|.
HWND FindThreadWindow(DWORD thread, const std::wstring& caption) {
  return FindThreadTopWindow(thread, [&caption](HWND window) { return WindowText(window) == caption; });
}

HWND TabControlOf(HWND window) { return FindWindowExW(window, nullptr, WC_TABCONTROLW, nullptr); }

// The first visible tab control among the top-level windows of |thread|.
HWND FindThreadTabControl(DWORD thread, HWND* top) {
  *top = FindThreadTopWindow(thread, [](HWND window) { return TabControlOf(window) != nullptr; });
  return *top ? TabControlOf(*top) : nullptr;
}

class Container : public ::testing::Test {
 protected:
  void SetUp() override { ASSERT_TRUE(SUCCEEDED(OleInitialize(nullptr))); }
  void TearDown() override {
    PumpMessages();
    CoFreeUnusedLibraries();
    EXPECT_EQ(module_.CanUnloadNow(), S_OK) << "an object of the module is still alive";
    OleUninitialize();
  }

  ComPtr<IUnknown> NewControl() {
    ComPtr<IUnknown> control;
    EXPECT_EQ(CoCreateInstance(CLSID_Orvanta, nullptr, CLSCTX_INPROC_SERVER, IID_IUnknown, control.ReceiveVoid()),
              S_OK);
    return control;
  }

  OcxModule module_;
};

TEST_F(Container, AtlHostActivatesTheControlHiddenInUserMode) {
  AtlHost host;
  ASSERT_NO_FATAL_FAILURE(host.Create());
  DWORD status = 0;
  EXPECT_EQ(host.Control<IOleObject>(IID_IOleObject)->GetMiscStatus(DVASPECT_CONTENT, &status), S_OK);
  EXPECT_EQ(status, kMiscStatus);
  ComPtr<IOleClientSite> site;
  EXPECT_EQ(host.Control<IOleObject>(IID_IOleObject)->GetClientSite(site.Receive()), S_OK);
  EXPECT_TRUE(site);
  ScopedTaskString user_type;
  EXPECT_EQ(host.Control<IOleObject>(IID_IOleObject)->GetUserType(USERCLASSTYPE_FULL, user_type.Receive()), S_OK);
  EXPECT_STREQ(user_type.Get(), L"Pelmora Control");
  ComPtr<IUnknown> safety;
  EXPECT_EQ(host.Control<IUnknown>(IID_IUnknown).As(IID_IObjectSafety, &safety), E_NOINTERFACE)
      << "the control does not declare itself safe for scripting";

  const HWND window = host.ControlWindow();
  ASSERT_TRUE(window);
  EXPECT_EQ(GetParent(window), host.window());
  EXPECT_FALSE(IsWindowVisible(window));
}

// Pictures for the documentation: |variable| in the environment names a BMP
// file to write |rect| of the screen into; without it nothing is written.
void SavePicture(const char* variable, RECT rect) {
  char path[MAX_PATH];
  if (!GetEnvironmentVariableA(variable, path, MAX_PATH)) return;
  const int width = rect.right - rect.left, height = rect.bottom - rect.top;
  BITMAPINFO info = {};
  info.bmiHeader = {sizeof(BITMAPINFOHEADER), width, height, 1, 24, BI_RGB, 0, 0, 0, 0, 0};
  void* bits = nullptr;
  WindowDc screen(nullptr);
  ScopedGdiObject<HBITMAP> bitmap(CreateDIBSection(screen.Get(), &info, DIB_RGB_COLORS, &bits, nullptr, 0));
  ScopedDC memory(CreateCompatibleDC(screen.Get()));
  {
    SelectedObject selected(memory.Get(), bitmap.Get());
    BitBlt(memory.Get(), 0, 0, width, height, screen.Get(), rect.left, rect.top, SRCCOPY);
  }
  GdiFlush();
  const DWORD stride = ((width * 3 + 3) / 4) * 4, size = stride * height;
  constexpr DWORD kHeaders = sizeof(BITMAPFILEHEADER) + sizeof(BITMAPINFOHEADER);
  BITMAPFILEHEADER file = {0x4D42, kHeaders + size, 0, 0, kHeaders};
  if (FILE* out = std::fopen(path, "wb")) {
    std::fwrite(&file, sizeof(file), 1, out);
    std::fwrite(&info.bmiHeader, sizeof(info.bmiHeader), 1, out);
    std::fwrite(bits, size, 1, out);
    std::fclose(out);
  }
}

// The client area of |window|, as for the design-time picture (ORVANTA_DESIGN_PICTURE).
void SaveClientPicture(const char* variable, HWND window) {
  RECT rect;
  GetClientRect(window, &rect);
  MapWindowPoints(window, nullptr, reinterpret_cast<POINT*>(&rect), 2);
  SavePicture(variable, rect);
}

// The whole of a modal window, frame and caption included, as its own thread
// paints it: ORVANTA_ABOUT_PICTURE and ORVANTA_PROPERTIES_PICTURE. Called from
// the watcher while the window's thread sits in the modal loop.
void SaveWindowPicture(const char* variable, HWND window) {
  if (!GetEnvironmentVariableA(variable, nullptr, 0)) return;
  // The watcher may find the window before its first paint is done.
  RedrawWindow(window, nullptr, nullptr, RDW_INVALIDATE | RDW_FRAME | RDW_ERASE | RDW_ALLCHILDREN | RDW_UPDATENOW);
  Sleep(300);
  RECT rect;
  GetWindowRect(window, &rect);
  SavePicture(variable, rect);
}

TEST_F(Container, AtlHostShowsTheControlInDesignMode) {
  AtlHost host;
  ASSERT_NO_FATAL_FAILURE(host.Create());
  auto object = host.Control<IOleObject>(IID_IOleObject);
  ComPtr<IOleClientSite> atl_site;
  ASSERT_EQ(object->GetClientSite(atl_site.Receive()), S_OK);

  // The same ATL site, with the ambient properties of a form designer.
  ComPtr<AmbientSite> design_site(new AmbientSite(atl_site.Get()));
  ASSERT_EQ(host.Control<IOleInPlaceObject>(IID_IOleInPlaceObject)->InPlaceDeactivate(), S_OK);
  ASSERT_EQ(object->SetClientSite(design_site.Get()), S_OK);
  RECT client;
  GetClientRect(host.window(), &client);
  ASSERT_EQ(object->DoVerb(OLEIVERB_INPLACEACTIVATE, nullptr, design_site.Get(), 0, host.window(), &client), S_OK);
  PumpMessages();

  const HWND window = host.ControlWindow();
  ASSERT_TRUE(window);
  EXPECT_TRUE(IsWindowVisible(window));
  SaveClientPicture("ORVANTA_DESIGN_PICTURE", host.frame());

  // The designer switches to run mode: the control hides.
  design_site->set_user_mode(true);
  EXPECT_EQ(host.Control<IOleControl>(IID_IOleControl)->OnAmbientPropertyChange(DISPID_AMBIENT_USERMODE), S_OK);
  EXPECT_FALSE(IsWindowVisible(window));
}

TEST_F(Container, DrawsTheWhiteRectangleAndTheEllipseWithTheSelectedPen) {
  ComPtr<IViewObject> view;
  ASSERT_EQ(NewControl().As(IID_IViewObject, &view), S_OK);

  constexpr int kWidth = 120, kHeight = 80;
  BITMAPINFO info = {};
  info.bmiHeader = {sizeof(BITMAPINFOHEADER), kWidth, -kHeight, 1, 32, BI_RGB, 0, 0, 0, 0, 0};
  void* bits = nullptr;
  ScopedGdiObject<HBITMAP> bitmap(CreateDIBSection(nullptr, &info, DIB_RGB_COLORS, &bits, nullptr, 0));
  ASSERT_TRUE(bitmap);
  ScopedDC dc(CreateCompatibleDC(nullptr));
  SelectedObject selected_bitmap(dc.Get(), bitmap.Get());
  PatBlt(dc.Get(), 0, 0, kWidth, kHeight, BLACKNESS);
  ScopedGdiObject<HPEN> red_pen(CreatePen(PS_SOLID, 1, RGB(255, 0, 0)));
  ScopedGdiObject<HBRUSH> green_brush(CreateSolidBrush(RGB(0, 255, 0)));
  SelectedObject selected_pen(dc.Get(), red_pen.Get());
  SelectedObject selected_brush(dc.Get(), green_brush.Get());

  const RECTL bounds = {10, 10, 110, 70};
  ASSERT_EQ(view->Draw(DVASPECT_CONTENT, -1, nullptr, nullptr, nullptr, dc.Get(), &bounds, nullptr, nullptr, 0),
            S_OK);
  GdiFlush();
  auto pixel = [&](int x, int y) { return static_cast<const DWORD*>(bits)[y * kWidth + x] & 0xFFFFFF; };
  constexpr DWORD kWhite = 0xFFFFFF, kRed = 0xFF0000, kGreen = 0x00FF00, kBlack = 0;
  EXPECT_EQ(pixel(10, 10), kWhite) << "corners of the rectangle";
  EXPECT_EQ(pixel(109, 10), kWhite);
  EXPECT_EQ(pixel(10, 69), kWhite);
  EXPECT_EQ(pixel(109, 69), kWhite);
  EXPECT_EQ(pixel(60, 10), kRed) << "the ellipse's outline";
  EXPECT_EQ(pixel(10, 40), kRed);
  EXPECT_EQ(pixel(60, 40), kGreen) << "the ellipse's inside, with the selected brush";
  EXPECT_EQ(pixel(5, 5), kBlack) << "nothing outside the bounds";
  EXPECT_EQ(pixel(115, 75), kBlack);

  EXPECT_EQ(view->Draw(DVASPECT_ICON, -1, nullptr, nullptr, nullptr, dc.Get(), &bounds, nullptr, nullptr, 0),
            DV_E_DVASPECT);
}

TEST_F(Container, AboutBoxIsOwnedByTheContainerAndReturnsWhenClosed) {
  AtlHost host;
  ASSERT_NO_FATAL_FAILURE(host.Create());
  HWND owner = nullptr, ok = nullptr;
  bool host_disabled = false;
  std::wstring ok_text;
  ModalWatcher watcher([&](DWORD thread) {
    const HWND box = FindThreadWindow(thread, L"About Pelmora Control");
    if (!box) return false;
    owner = GetWindow(box, GW_OWNER);
    host_disabled = !IsWindowEnabled(host.frame());
    ok = GetDlgItem(box, IDOK);
    ok_text = WindowText(ok);
    SaveWindowPicture("ORVANTA_ABOUT_PICTURE", box);
    PostMessageW(box, WM_COMMAND, MAKEWPARAM(IDOK, BN_CLICKED), reinterpret_cast<LPARAM>(ok));
    return true;
  });
  ScopedVariant result;
  EXPECT_EQ(InvokeMethod(host.Control<IDispatch>(IID_IDispatch).Get(), DISPID_ABOUTBOX, result.Receive()), S_OK);
  ASSERT_TRUE(watcher.Finish()) << "no About box";
  EXPECT_EQ(result.Type(), VT_EMPTY);
  EXPECT_EQ(owner, host.frame()) << "a dialog is owned by the top-level window of its owner";
  EXPECT_TRUE(host_disabled);
  EXPECT_EQ(ok_text, L"OK");
  EXPECT_TRUE(IsWindowEnabled(host.frame()));
}

TEST_F(Container, AboutBoxOfAnUnsitedControlHasNoOwner) {
  ComPtr<IDispatch> control;
  ASSERT_EQ(NewControl().As(IID_IDispatch, &control), S_OK);
  HWND owner = reinterpret_cast<HWND>(1);
  ModalWatcher watcher([&](DWORD thread) {
    const HWND box = FindThreadWindow(thread, L"About Pelmora Control");
    if (!box) return false;
    owner = GetWindow(box, GW_OWNER);
    PostMessageW(box, WM_COMMAND, MAKEWPARAM(IDOK, BN_CLICKED), 0);
    return true;
  });
  ScopedVariant result;
  EXPECT_EQ(InvokeMethod(control.Get(), DISPID_ABOUTBOX, result.Receive()), S_OK);
  ASSERT_TRUE(watcher.Finish()) << "no About box";
  EXPECT_EQ(owner, nullptr);
}

TEST_F(Container, PropertiesVerbOpensTheGeneralPage) {
  AtlHost host;
  ASSERT_NO_FATAL_FAILURE(host.Create());
  auto object = host.Control<IOleObject>(IID_IOleObject);

  ComPtr<IEnumOLEVERB> verbs;
  ASSERT_EQ(object->EnumVerbs(verbs.Receive()), S_OK);
  OLEVERB verb = {};
  ASSERT_EQ(verbs->Next(1, &verb, nullptr), S_OK);
  ScopedTaskString verb_name(verb.lpszVerbName);
  EXPECT_EQ(verb.lVerb, OLEIVERB_PROPERTIES);

  std::wstring tab;
  int tab_count = 0;
  ModalWatcher watcher([&](DWORD thread) {
    HWND frame = nullptr;
    const HWND tabs = FindThreadTabControl(thread, &frame);
    if (!tabs) return false;
    tab_count = static_cast<int>(SendMessageW(tabs, TCM_GETITEMCOUNT, 0, 0));
    wchar_t text[64] = L"";
    TCITEMW item = {};
    item.mask = TCIF_TEXT;
    item.pszText = text;
    item.cchTextMax = 64;
    SendMessageW(tabs, TCM_GETITEMW, 0, reinterpret_cast<LPARAM>(&item));
    tab = text;
    SaveWindowPicture("ORVANTA_PROPERTIES_PICTURE", frame);
    PostMessageW(frame, WM_COMMAND, MAKEWPARAM(IDCANCEL, BN_CLICKED), 0);
    return true;
  });
  RECT client;
  GetClientRect(host.window(), &client);
  ComPtr<IOleClientSite> site;
  object->GetClientSite(site.Receive());
  EXPECT_EQ(object->DoVerb(OLEIVERB_PROPERTIES, nullptr, site.Get(), 0, host.window(), &client), S_OK);
  ASSERT_TRUE(watcher.Finish()) << "no property sheet";
  EXPECT_EQ(tab_count, 1);
  EXPECT_EQ(tab, L"General");
}

SIZEL ExtentOf(IUnknown* control) {
  ComPtr<IOleObject> object;
  EXPECT_EQ(ComPtr<IUnknown>::Share(control).As(IID_IOleObject, &object), S_OK);
  SIZEL size = {-1, -1};
  EXPECT_EQ(object->GetExtent(DVASPECT_CONTENT, &size), S_OK);
  return size;
}

void SetExtentOf(IUnknown* control, SIZEL size) {
  ComPtr<IOleObject> object;
  ASSERT_EQ(ComPtr<IUnknown>::Share(control).As(IID_IOleObject, &object), S_OK);
  ASSERT_EQ(object->SetExtent(DVASPECT_CONTENT, &size), S_OK);
}

ComPtr<IStream> StreamOf(const std::vector<BYTE>& bytes) {
  ComPtr<IStream> stream;
  EXPECT_EQ(CreateStreamOnHGlobal(nullptr, TRUE, stream.Receive()), S_OK);
  if (!bytes.empty()) stream->Write(bytes.data(), static_cast<ULONG>(bytes.size()), nullptr);
  const LARGE_INTEGER start = {};
  stream->Seek(start, STREAM_SEEK_SET, nullptr);
  return stream;
}

TEST_F(Container, SavesAndLoadsThroughStreamStorageAndPropertyBag) {
  const SIZEL size = {5000, 3000};
  ComPtr<IUnknown> saved = NewControl();
  SetExtentOf(saved.Get(), size);

  ComPtr<IPersistStreamInit> stream_saver, stream_loader;
  ASSERT_EQ(saved.As(IID_IPersistStreamInit, &stream_saver), S_OK);
  EXPECT_EQ(stream_saver->IsDirty(), S_OK);
  ComPtr<IStream> stream = StreamOf({});
  ASSERT_EQ(stream_saver->Save(stream.Get(), TRUE), S_OK);
  EXPECT_EQ(stream_saver->IsDirty(), S_FALSE);
  const LARGE_INTEGER start = {};
  stream->Seek(start, STREAM_SEEK_SET, nullptr);
  ComPtr<IUnknown> from_stream = NewControl();
  ASSERT_EQ(from_stream.As(IID_IPersistStreamInit, &stream_loader), S_OK);
  EXPECT_EQ(stream_loader->Load(stream.Get()), S_OK);
  EXPECT_EQ(ExtentOf(from_stream.Get()).cx, size.cx);
  EXPECT_EQ(ExtentOf(from_stream.Get()).cy, size.cy);

  ComPtr<IStorage> storage;
  ASSERT_EQ(StgCreateDocfile(nullptr, STGM_CREATE | STGM_READWRITE | STGM_SHARE_EXCLUSIVE | STGM_DELETEONRELEASE,
                             0, storage.Receive()),
            S_OK);
  ComPtr<IPersistStorage> storage_saver, storage_loader;
  ASSERT_EQ(saved.As(IID_IPersistStorage, &storage_saver), S_OK);
  ASSERT_EQ(storage_saver->Save(storage.Get(), FALSE), S_OK);
  ComPtr<IUnknown> from_storage = NewControl();
  ASSERT_EQ(from_storage.As(IID_IPersistStorage, &storage_loader), S_OK);
  EXPECT_EQ(storage_loader->Load(storage.Get()), S_OK);
  EXPECT_EQ(ExtentOf(from_storage.Get()).cx, size.cx);

  ComPtr<PropertyBag> bag(new PropertyBag);
  ComPtr<IPersistPropertyBag> bag_saver, bag_loader;
  ASSERT_EQ(saved.As(IID_IPersistPropertyBag, &bag_saver), S_OK);
  ASSERT_EQ(bag_saver->Save(bag.Get(), TRUE, TRUE), S_OK);
  std::map<std::wstring, LONG> written;
  for (const auto& [name, value] : bag->values()) written[name] = V_VT(&value) == VT_I4 ? V_I4(&value) : -1;
  EXPECT_EQ(written, (std::map<std::wstring, LONG>{
                         {L"_Version", 65536}, {L"_ExtentX", 5000}, {L"_ExtentY", 3000}, {L"_StockProps", 0}}));
  ComPtr<IUnknown> from_bag = NewControl();
  ASSERT_EQ(from_bag.As(IID_IPersistPropertyBag, &bag_loader), S_OK);
  EXPECT_EQ(bag_loader->Load(bag.Get(), nullptr), S_OK);
  EXPECT_EQ(ExtentOf(from_bag.Get()).cy, size.cy);
}

TEST_F(Container, SavesAndLoadsThroughOleSaveToStream) {
  const SIZEL size = {4200, 2100};
  ComPtr<IUnknown> saved = NewControl();
  SetExtentOf(saved.Get(), size);
  ComPtr<IPersistStream> persist;
  ASSERT_EQ(saved.As(IID_IPersistStream, &persist), S_OK);
  ComPtr<IStream> stream = StreamOf({});
  ASSERT_EQ(OleSaveToStream(persist.Get(), stream.Get()), S_OK);
  const LARGE_INTEGER start = {};
  stream->Seek(start, STREAM_SEEK_SET, nullptr);
  ComPtr<IUnknown> loaded;
  ASSERT_EQ(OleLoadFromStream(stream.Get(), IID_IUnknown, loaded.ReceiveVoid()), S_OK);
  EXPECT_EQ(ExtentOf(loaded.Get()).cx, size.cx);
  EXPECT_EQ(ExtentOf(loaded.Get()).cy, size.cy);
}

TEST_F(Container, AnswersEnumAdviseAndDrawOnlyWithWhatTheyNeed) {
  ComPtr<IUnknown> control = NewControl();
  ComPtr<IOleObject> object;
  ASSERT_EQ(control.As(IID_IOleObject, &object), S_OK);
  // Before any Advise: an enumerator with nothing in it.
  ComPtr<IEnumSTATDATA> advises;
  ASSERT_EQ(object->EnumAdvise(advises.Receive()), S_OK);
  ASSERT_NE(advises.Get(), nullptr);
  STATDATA data = {};
  ULONG fetched = 1;
  EXPECT_EQ(advises->Next(1, &data, &fetched), S_FALSE);
  EXPECT_EQ(fetched, 0u);

  // Null bounds, also while the control is active in place with a window.
  AtlHost host;
  ASSERT_NO_FATAL_FAILURE(host.Create());
  ComPtr<IViewObject> view = host.Control<IViewObject>(IID_IViewObject);
  ScopedDC dc(CreateCompatibleDC(nullptr));
  EXPECT_EQ(view->Draw(DVASPECT_CONTENT, -1, nullptr, nullptr, nullptr, dc.Get(), nullptr, nullptr, nullptr, 0),
            E_INVALIDARG);
}

TEST_F(Container, LoadsAPagesPropertyBagText) {
  ComPtr<PropertyBag> bag(new PropertyBag);
  bag->Put(L"_Version", L"65536");
  bag->Put(L"_ExtentX", L"4000");
  bag->Put(L"_ExtentY", L"2000");
  bag->Put(L"_StockProps", L"0");
  ComPtr<IUnknown> control = NewControl();
  ComPtr<IPersistPropertyBag> loader;
  ASSERT_EQ(control.As(IID_IPersistPropertyBag, &loader), S_OK);
  EXPECT_EQ(loader->Load(bag.Get(), nullptr), S_OK);
  EXPECT_EQ(ExtentOf(control.Get()).cx, 4000);
  EXPECT_EQ(ExtentOf(control.Get()).cy, 2000);

  bag->Put(L"_ExtentX", L"wide");
  EXPECT_EQ(loader->Load(bag.Get(), nullptr), E_FAIL);
  EXPECT_EQ(ExtentOf(control.Get()).cx, 4000) << "a failed load changes nothing";
}

}  // namespace
}  // namespace orvanta::testing
