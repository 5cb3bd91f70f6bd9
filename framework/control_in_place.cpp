// CControl: in-place activation and the control's window. The control is
// windowed: it is never windowless. Its window is hidden while the container
// runs in user mode, since the control is invisible at run time.
#include "framework/callback_failure.h"
#include "framework/control.h"
#include "framework/module.h"
#include "framework/scoped_dc.h"

namespace orvanta {
namespace {

constexpr wchar_t kWindowClass[] = L"OrvantaControlWindow";

bool RegisterWindowClass(WNDPROC procedure) {
  WNDCLASSEXW existing = {};
  existing.cbSize = sizeof(existing);
  if (GetClassInfoExW(ModuleState::Handle(), kWindowClass, &existing)) return true;
  WNDCLASSEXW window_class = {};
  window_class.cbSize = sizeof(window_class);
  window_class.style = CS_HREDRAW | CS_VREDRAW | CS_DBLCLKS;
  window_class.lpfnWndProc = procedure;
  window_class.hInstance = ModuleState::Handle();
  window_class.hCursor = LoadCursorW(nullptr, IDC_ARROW);
  window_class.lpszClassName = kWindowClass;
  return RegisterClassExW(&window_class) != 0;
}

}  // namespace

LRESULT CALLBACK CControl::WindowProc(HWND window, UINT message, WPARAM wparam, LPARAM lparam) {
  if (message == WM_NCCREATE) {
    const auto* create = reinterpret_cast<const CREATESTRUCTW*>(lparam);
    SetWindowLongPtrW(window, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(create->lpCreateParams));
  }
  auto* control = reinterpret_cast<CControl*>(GetWindowLongPtrW(window, GWLP_USERDATA));
  switch (message) {
    case WM_PAINT:
      if (control) {
        PaintDc paint(window);
        RECT client;
        GetClientRect(window, &client);
        SavedDcState saved(paint.Get());
        IntersectClipRect(paint.Get(), client.left, client.top, client.right, client.bottom);
        // The window manager called: a drawing that fails stays unpainted.
        CallbackFailure failure;
        failure.Run(0, [&] {
          control->OnDraw(paint.Get(), client);
          return 0;
        });
        return 0;
      }
      break;
    case WM_ERASEBKGND:
      return 1;  // the drawing fills the whole window
    case WM_NCDESTROY:
      SetWindowLongPtrW(window, GWLP_USERDATA, 0);
      break;
    default:
      break;
  }
  return DefWindowProcW(window, message, wparam, lparam);
}

HRESULT CControl::CreateControlWindow(HWND parent, const RECT& position) {
  if (!RegisterWindowClass(WindowProc)) return HRESULT_FROM_WIN32(GetLastError());
  const DWORD style = WS_CHILD | WS_CLIPSIBLINGS | WS_CLIPCHILDREN | (user_mode_ ? 0 : WS_VISIBLE);
  window_.Reset(CreateWindowExW(0, kWindowClass, L"", style, position.left, position.top,
                                position.right - position.left, position.bottom - position.top, parent, nullptr,
                                ModuleState::Handle(), this));
  return window_ ? S_OK : HRESULT_FROM_WIN32(GetLastError());
}

HRESULT CControl::InPlaceActivate(bool ui, HWND parent, LPCRECT position) {
  if (!client_site_) return E_UNEXPECTED;
  if (!in_place_site_) {
    ComPtr<IOleInPlaceSite> site;
    if (FAILED(client_site_.As(IID_IOleInPlaceSite, &site))) return E_NOINTERFACE;
    if (site->CanInPlaceActivate() != S_OK) return E_FAIL;
    HRESULT hr = site->OnInPlaceActivate();
    if (FAILED(hr)) return hr;
    in_place_site_ = std::move(site);

    RECT site_position = {0, 0, 0, 0}, clip = {0, 0, 0, 0};
    OLEINPLACEFRAMEINFO frame_info = {};
    frame_info.cb = sizeof(frame_info);
    frame_.Reset();
    ui_window_.Reset();
    in_place_site_->GetWindowContext(frame_.Receive(), ui_window_.Receive(), &site_position, &clip, &frame_info);
    if (!parent) in_place_site_->GetWindow(&parent);
    position_ = position ? *position : site_position;
    hr = CreateControlWindow(parent, position_);
    if (FAILED(hr)) {
      InPlaceDeactivate();
      return hr;
    }
  } else if (position) {
    SetObjectRects(position, position);
  }
  if (ui && !ui_active_) {
    ui_active_ = true;
    in_place_site_->OnUIActivate();
    if (frame_) frame_->SetActiveObject(static_cast<IOleInPlaceActiveObject*>(this), nullptr);
    if (ui_window_) ui_window_->SetActiveObject(static_cast<IOleInPlaceActiveObject*>(this), nullptr);
    if (frame_) frame_->SetBorderSpace(nullptr);
  }
  ShowWindowForMode();
  return S_OK;
}

void CControl::ShowWindowForMode() {
  if (window_) ShowWindow(window_.Get(), user_mode_ ? SW_HIDE : SW_SHOWNA);
}

STDMETHODIMP CControl::GetWindow(HWND* window) {
  if (!window) return E_POINTER;
  *window = window_.Get();
  return window_ ? S_OK : E_FAIL;
}

STDMETHODIMP CControl::ContextSensitiveHelp(BOOL) { return E_NOTIMPL; }

STDMETHODIMP CControl::InPlaceDeactivate() {
  if (!in_place_site_) return S_OK;
  UIDeactivate();
  window_.Reset();
  UnregisterClassW(kWindowClass, ModuleState::Handle());  // fails while other controls keep windows
  frame_.Reset();
  ui_window_.Reset();
  ComPtr<IOleInPlaceSite> site = std::move(in_place_site_);
  site->OnInPlaceDeactivate();
  return S_OK;
}

STDMETHODIMP CControl::UIDeactivate() {
  if (!ui_active_) return S_OK;
  ui_active_ = false;
  if (ui_window_) ui_window_->SetActiveObject(nullptr, nullptr);
  if (frame_) frame_->SetActiveObject(nullptr, nullptr);
  if (in_place_site_) in_place_site_->OnUIDeactivate(FALSE);
  return S_OK;
}

STDMETHODIMP CControl::SetObjectRects(LPCRECT position, LPCRECT) {
  if (!position) return E_POINTER;
  position_ = *position;
  if (window_)
    MoveWindow(window_.Get(), position->left, position->top, position->right - position->left,
               position->bottom - position->top, TRUE);
  return S_OK;
}

CControl::ModalSection::ModalSection(const CControl& control)
    : frame_(ComPtr<IOleInPlaceFrame>::Share(control.frame_.Get())) {
  if (frame_) frame_->EnableModeless(FALSE);
}

CControl::ModalSection::~ModalSection() {
  if (frame_) frame_->EnableModeless(TRUE);
}

STDMETHODIMP CControl::ReactivateAndUndo() { return E_NOTIMPL; }
STDMETHODIMP CControl::TranslateAccelerator(LPMSG) { return S_FALSE; }
STDMETHODIMP CControl::OnFrameWindowActivate(BOOL) { return S_OK; }
STDMETHODIMP CControl::OnDocWindowActivate(BOOL) { return S_OK; }
STDMETHODIMP CControl::ResizeBorder(LPCRECT, IOleInPlaceUIWindow*, BOOL) { return S_OK; }
STDMETHODIMP CControl::EnableModeless(BOOL) { return S_OK; }

}  // namespace orvanta
