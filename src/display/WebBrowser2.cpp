#include "display/WebBrowser2.h"

#include <exdisp.h>

#include "common/DebugTrace.h"
#include "win/Ole.h"

// The container side of the control: one object serving as its client site, in-place
// site and in-place frame. It has no menus, tool space or accelerators to offer.
class CWebBrowser2::Site final : public IOleClientSite, public IOleInPlaceSite, public IOleInPlaceFrame {
 public:
  explicit Site(CWebBrowser2* host) : host_(host) {}
  // The host is going: later calls from the control find no window.
  void Forget() { host_ = nullptr; }

  // IUnknown
  HRESULT STDMETHODCALLTYPE QueryInterface(REFIID riid, void** out) override {
    if (!out) return E_POINTER;
    if (riid == IID_IUnknown || riid == IID_IOleClientSite)
      *out = static_cast<IOleClientSite*>(this);
    else if (riid == IID_IOleWindow || riid == IID_IOleInPlaceSite)
      *out = static_cast<IOleInPlaceSite*>(this);
    else if (riid == IID_IOleInPlaceUIWindow || riid == IID_IOleInPlaceFrame)
      *out = static_cast<IOleInPlaceFrame*>(this);
    else {
      *out = nullptr;
      return E_NOINTERFACE;
    }
    AddRef();
    return S_OK;
  }
  ULONG STDMETHODCALLTYPE AddRef() override { return static_cast<ULONG>(::InterlockedIncrement(&refs_)); }
  ULONG STDMETHODCALLTYPE Release() override {
    const LONG left = ::InterlockedDecrement(&refs_);
    if (left == 0) delete this;
    return static_cast<ULONG>(left);
  }

  // IOleClientSite
  HRESULT STDMETHODCALLTYPE SaveObject() override { return E_NOTIMPL; }
  HRESULT STDMETHODCALLTYPE GetMoniker(DWORD, DWORD, IMoniker** moniker) override {
    if (moniker) *moniker = nullptr;
    return E_NOTIMPL;
  }
  HRESULT STDMETHODCALLTYPE GetContainer(IOleContainer** container) override {
    if (container) *container = nullptr;
    return E_NOINTERFACE;
  }
  HRESULT STDMETHODCALLTYPE ShowObject() override { return S_OK; }
  HRESULT STDMETHODCALLTYPE OnShowWindow(BOOL) override { return S_OK; }
  HRESULT STDMETHODCALLTYPE RequestNewObjectLayout() override { return E_NOTIMPL; }

  // IOleWindow (shared by the in-place site and frame)
  HRESULT STDMETHODCALLTYPE GetWindow(HWND* window) override {
    if (!window) return E_POINTER;
    *window = host_ ? host_->Hwnd() : nullptr;
    return *window ? S_OK : E_FAIL;
  }
  HRESULT STDMETHODCALLTYPE ContextSensitiveHelp(BOOL) override { return E_NOTIMPL; }

  // IOleInPlaceSite
  HRESULT STDMETHODCALLTYPE CanInPlaceActivate() override { return host_ ? S_OK : S_FALSE; }
  HRESULT STDMETHODCALLTYPE OnInPlaceActivate() override { return S_OK; }
  HRESULT STDMETHODCALLTYPE OnUIActivate() override { return S_OK; }
  HRESULT STDMETHODCALLTYPE GetWindowContext(IOleInPlaceFrame** frame, IOleInPlaceUIWindow** document,
                                             LPRECT position, LPRECT clip, LPOLEINPLACEFRAMEINFO info) override {
    if (!frame || !document || !position || !clip || !info) return E_POINTER;
    if (!host_) return E_FAIL;
    *frame = static_cast<IOleInPlaceFrame*>(this);
    AddRef();
    *document = nullptr;
    *position = win::ClientRect(host_->Hwnd());
    *clip = *position;
    info->fMDIApp = FALSE;
    info->hwndFrame = ::GetAncestor(host_->Hwnd(), GA_ROOT);
    info->haccel = nullptr;
    info->cAccelEntries = 0;
    return S_OK;
  }
  HRESULT STDMETHODCALLTYPE Scroll(SIZE) override { return E_NOTIMPL; }
  HRESULT STDMETHODCALLTYPE OnUIDeactivate(BOOL) override { return S_OK; }
  HRESULT STDMETHODCALLTYPE OnInPlaceDeactivate() override { return S_OK; }
  HRESULT STDMETHODCALLTYPE DiscardUndoState() override { return E_NOTIMPL; }
  HRESULT STDMETHODCALLTYPE DeactivateAndUndo() override { return E_NOTIMPL; }
  HRESULT STDMETHODCALLTYPE OnPosRectChange(LPCRECT rect) override {
    if (host_ && host_->inPlace_ && rect) host_->inPlace_->SetObjectRects(rect, rect);
    return S_OK;
  }

  // IOleInPlaceUIWindow / IOleInPlaceFrame: no tool space, menus or accelerators.
  HRESULT STDMETHODCALLTYPE GetBorder(LPRECT) override { return INPLACE_E_NOTOOLSPACE; }
  HRESULT STDMETHODCALLTYPE RequestBorderSpace(LPCBORDERWIDTHS) override { return INPLACE_E_NOTOOLSPACE; }
  HRESULT STDMETHODCALLTYPE SetBorderSpace(LPCBORDERWIDTHS widths) override {
    return widths ? INPLACE_E_NOTOOLSPACE : S_OK;
  }
  HRESULT STDMETHODCALLTYPE SetActiveObject(IOleInPlaceActiveObject*, LPCOLESTR) override { return S_OK; }
  HRESULT STDMETHODCALLTYPE InsertMenus(HMENU, LPOLEMENUGROUPWIDTHS) override { return E_NOTIMPL; }
  HRESULT STDMETHODCALLTYPE SetMenu(HMENU, HOLEMENU, HWND) override { return S_OK; }
  HRESULT STDMETHODCALLTYPE RemoveMenus(HMENU) override { return E_NOTIMPL; }
  HRESULT STDMETHODCALLTYPE SetStatusText(LPCOLESTR) override { return S_OK; }
  HRESULT STDMETHODCALLTYPE EnableModeless(BOOL) override { return S_OK; }
  HRESULT STDMETHODCALLTYPE TranslateAccelerator(LPMSG, WORD) override { return S_FALSE; }

 private:
  ~Site() = default;
  LONG refs_ = 1;
  CWebBrowser2* host_;
};

namespace {
constexpr wchar_t kClassName[] = L"pellora.BrowserHost";

// Clears the texts an IDispatch call may leave in its exception record.
void ClearException(EXCEPINFO& e) {
  ::SysFreeString(e.bstrSource);
  ::SysFreeString(e.bstrDescription);
  ::SysFreeString(e.bstrHelpFile);
  e = EXCEPINFO{};
}
}  // namespace

CWebBrowser2::CWebBrowser2() = default;

CWebBrowser2::~CWebBrowser2() {
  Destroy();
  DetachControl();
}

bool CWebBrowser2::Create(HWND parent, const RECT& rect, DWORD style, UINT id) {
  // White where the control draws nothing (no control, or no page yet).
  if (!RegisterWindowClass(kClassName, 0, ::LoadCursorW(nullptr, IDC_ARROW),
                           reinterpret_cast<HBRUSH>(COLOR_WINDOW + 1)))
    return false;
  if (!CreateEx(0, kClassName, nullptr, style | WS_CHILD | WS_CLIPCHILDREN, rect.left, rect.top,
                rect.right - rect.left, rect.bottom - rect.top, parent,
                reinterpret_cast<HMENU>(static_cast<UINT_PTR>(id))))
    return false;
  AttachControl();
  return true;
}

void CWebBrowser2::AttachControl() {
  // The control is an ActiveX control: the window's thread must be an OLE apartment.
  if (!win::EnsureOle()) {
    DebugTrace(L"OLE not started\n");
    return;
  }
  HRESULT hr = ::CoCreateInstance(CLSID_WebBrowser, nullptr, CLSCTX_INPROC_SERVER, IID_IOleObject,
                                  reinterpret_cast<void**>(object_.Put()));
  if (FAILED(hr)) {
    DebugTrace(L"web browser control not created : 0x%08lx\n", static_cast<unsigned long>(hr));
    return;
  }
  site_ = new Site(this);
  object_->SetClientSite(static_cast<IOleClientSite*>(site_));
  RECT client = win::ClientRect(Hwnd());
  hr = object_->DoVerb(OLEIVERB_INPLACEACTIVATE, nullptr, static_cast<IOleClientSite*>(site_), 0, Hwnd(), &client);
  if (FAILED(hr)) {
    DebugTrace(L"web browser control not activated : 0x%08lx\n", static_cast<unsigned long>(hr));
    DetachControl();
    return;
  }
  object_->QueryInterface(IID_IOleInPlaceObject, reinterpret_cast<void**>(inPlace_.Put()));
  object_->QueryInterface(IID_IDispatch, reinterpret_cast<void**>(dispatch_.Put()));
  if (inPlace_) inPlace_->SetObjectRects(&client, &client);
}

void CWebBrowser2::DetachControl() {
  dispatch_.Reset();
  if (inPlace_) {
    inPlace_->InPlaceDeactivate();
    inPlace_.Reset();
  }
  if (object_) {
    object_->Close(OLECLOSE_NOSAVE);
    object_->SetClientSite(nullptr);
    object_.Reset();
  }
  if (site_) {
    site_->Forget();
    site_->Release();
    site_ = nullptr;
  }
}

HRESULT CWebBrowser2::Invoke(DISPID id, WORD flags, DISPPARAMS& params, VARIANT* result) const {
  if (!dispatch_) return E_NOINTERFACE;
  EXCEPINFO exception{};
  UINT badArgument = 0;
  HRESULT hr = dispatch_->Invoke(id, IID_NULL, LOCALE_USER_DEFAULT, flags, &params, result, &exception, &badArgument);
  ClearException(exception);
  return hr;
}

void CWebBrowser2::Navigate(const std::wstring& url) {
  lastUrl_ = url;
  // Arguments go in reverse order: the address last, the four optional ones empty.
  VARIANT args[5];
  for (VARIANT& v : args) ::VariantInit(&v);
  args[4].vt = VT_BSTR;
  args[4].bstrVal = ::SysAllocStringLen(url.data(), static_cast<UINT>(url.size()));
  DISPPARAMS params{args, nullptr, 5, 0};
  lastResult_ = Invoke(kNavigate, DISPATCH_METHOD, params, nullptr);
  if (FAILED(lastResult_) && dispatch_)
    DebugTrace(L"navigate failed : 0x%08lx %ls\n", static_cast<unsigned long>(lastResult_), url.c_str());
  ::VariantClear(&args[4]);
}

void CWebBrowser2::Stop() {
  ++stopCount_;
  DISPPARAMS none{nullptr, nullptr, 0, 0};
  Invoke(kStop, DISPATCH_METHOD, none, nullptr);
}

std::wstring CWebBrowser2::LocationUrl() const {
  DISPPARAMS none{nullptr, nullptr, 0, 0};
  VARIANT result;
  ::VariantInit(&result);
  std::wstring url;
  if (SUCCEEDED(Invoke(kLocationUrl, DISPATCH_PROPERTYGET, none, &result)) && result.vt == VT_BSTR && result.bstrVal)
    url.assign(result.bstrVal, ::SysStringLen(result.bstrVal));
  ::VariantClear(&result);
  return url;
}

HWND CWebBrowser2::ControlWindow() const {
  HWND window = nullptr;
  if (inPlace_ && SUCCEEDED(inPlace_->GetWindow(&window))) return window;
  return nullptr;
}

void CWebBrowser2::Focus() {
  if (HWND control = ControlWindow())
    ::SetFocus(control);
  else if (Hwnd())
    ::SetFocus(Hwnd());
}

bool CWebBrowser2::TranslateAccelerator(MSG& msg) {
  if (!object_ || msg.message < WM_KEYFIRST || msg.message > WM_KEYLAST) return false;
  win::ComPtr<IOleInPlaceActiveObject> active;
  if (FAILED(object_->QueryInterface(IID_IOleInPlaceActiveObject, reinterpret_cast<void**>(active.Put())))) return false;
  return active->TranslateAccelerator(&msg) == S_OK;
}

void CWebBrowser2::OnSize(UINT, int, int) {
  if (inPlace_) {
    RECT client = win::ClientRect(Hwnd());
    inPlace_->SetObjectRects(&client, &client);
  }
}

void CWebBrowser2::OnSetFocus() {
  if (HWND control = ControlWindow()) ::SetFocus(control);
}

// The control's windows are children of ours: it lets go while they still exist.
void CWebBrowser2::OnDestroy() { DetachControl(); }
