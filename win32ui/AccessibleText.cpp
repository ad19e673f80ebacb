#include "AccessibleText.h"

#include <oleacc.h>

#include <atomic>
#include <memory>
#include <new>
#include <utility>

#include "WindowProcedure.h"

namespace ovaro {
namespace {

// The interface IDs, our own: MinGW's IID_IAccessible linked after oleacc resolves to an
// import thunk, and QueryInterface then fails with E_NOINTERFACE.
constexpr GUID kIidUnknown = {0x00000000, 0x0000, 0x0000, {0xC0, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x46}};
constexpr GUID kIidDispatch = {0x00020400, 0x0000, 0x0000, {0xC0, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x46}};
constexpr GUID kIidAccessible = {0x618736e0, 0x3c3d, 0x11cf, {0x81, 0x0c, 0x00, 0xaa, 0x00, 0x38, 0x9b, 0x71}};
constexpr GUID kIidOleWindow = {0x00000114, 0x0000, 0x0000, {0xC0, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x46}};
constexpr GUID kIidEnumVariant = {0x00020404, 0x0000, 0x0000, {0xC0, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x46}};
constexpr GUID kIidAccPropServices = {0x6e26e776, 0x04f0, 0x495d, {0x80, 0xe4, 0x33, 0x30, 0x35, 0x2e, 0x31, 0x69}};
constexpr GUID kClsidAccPropServices = {0xb5f8350b, 0x0548, 0x48b1, {0xa6, 0xee, 0x88, 0xbd, 0x00, 0xb4, 0xa5, 0xe7}};
constexpr GUID kPropName = {0x608d3df8, 0x8128, 0x4aa7, {0xa4, 0x28, 0xf5, 0x5e, 0x49, 0x26, 0x72, 0x91}};
constexpr GUID kPropDescription = {0x4d48dfe4, 0xbd3f, 0x491f, {0xa6, 0x48, 0x49, 0x2d, 0x6f, 0x20, 0xc5, 0x88}};
constexpr GUID kPropHelp = {0xc831e11f, 0x44db, 0x4a99, {0x97, 0x68, 0xcb, 0x8f, 0x97, 0x8b, 0x72, 0x31}};
constexpr GUID kPropRole = {0xcb905ff2, 0x7bd1, 0x4c05, {0xb3, 0xc8, 0xe6, 0xc2, 0x41, 0x36, 0x4d, 0x70}};
// Marks a window annotated already.
constexpr wchar_t kAnnotatedMark[] = L"OvaroAnnotated";

bool IsSelf(const VARIANT& child) { return child.vt == VT_I4 && child.lVal == CHILDID_SELF; }

// What the answer needs of oleacc, ole32 and oleaut32, loaded from the system folder on
// the first question: a session without a screen reader asking pays nothing for them.
struct AccessibilityApi {
    decltype(&CreateStdAccessibleObject) createStandard = nullptr;
    decltype(&LresultFromObject) resultFromObject = nullptr;
    decltype(&CoInitializeEx) startCom = nullptr;
    decltype(&SysAllocStringLen) allocString = nullptr;
    decltype(&CoCreateInstance) createInstance = nullptr;
};

template <class F>
void Bind(F& function, const wchar_t* dll, const char* name) {
    const HMODULE module = LoadLibraryExW(dll, nullptr, LOAD_LIBRARY_SEARCH_SYSTEM32);
    // Through a plain function pointer type, as GetProcAddress's own type fits none.
    if (module != nullptr) function = reinterpret_cast<F>(reinterpret_cast<void (*)()>(GetProcAddress(module, name)));
}

// Null when the system lacks any of them.
const AccessibilityApi* Api() {
    static const AccessibilityApi api = [] {
        AccessibilityApi a;
        Bind(a.createStandard, L"oleacc.dll", "CreateStdAccessibleObject");
        Bind(a.resultFromObject, L"oleacc.dll", "LresultFromObject");
        Bind(a.startCom, L"ole32.dll", "CoInitializeEx");
        Bind(a.allocString, L"oleaut32.dll", "SysAllocStringLen");
        Bind(a.createInstance, L"ole32.dll", "CoCreateInstance");
        return a;
    }();
    const bool complete =
        api.createStandard && api.resultFromObject && api.startCom && api.allocString && api.createInstance;
    return complete ? &api : nullptr;
}

// The platform's client object with our name, description and role for the object
// itself; its items (none for our controls) and everything else are the platform's.
// One COM object: every interface it gives leads back to it, so the platform's window
// handle and enumeration of children are passed on through interfaces of its own, and
// what else the platform's object has is not offered.
class AnnotatedAccessible final : public IAccessible, public IOleWindow, public IEnumVARIANT {
public:
    AnnotatedAccessible(IAccessible* inner, const AccessibleText& text) : inner_(inner), text_(text) {
        if (FAILED(inner_->QueryInterface(kIidOleWindow, reinterpret_cast<void**>(&window_)))) window_ = nullptr;
        if (FAILED(inner_->QueryInterface(kIidEnumVariant, reinterpret_cast<void**>(&children_)))) children_ = nullptr;
    }

    // IUnknown
    HRESULT STDMETHODCALLTYPE QueryInterface(REFIID iid, void** out) override {
        if (out == nullptr) return E_POINTER;
        *out = nullptr;
        if (iid == kIidUnknown || iid == kIidDispatch || iid == kIidAccessible)
            *out = static_cast<IAccessible*>(this);
        else if (iid == kIidOleWindow && window_ != nullptr)
            *out = static_cast<IOleWindow*>(this);
        else if (iid == kIidEnumVariant && children_ != nullptr)
            *out = static_cast<IEnumVARIANT*>(this);
        else
            return E_NOINTERFACE;
        AddRef();
        return S_OK;
    }
    ULONG STDMETHODCALLTYPE AddRef() override { return static_cast<ULONG>(InterlockedIncrement(&references_)); }
    ULONG STDMETHODCALLTYPE Release() override {
        const LONG left = InterlockedDecrement(&references_);
        if (left == 0) delete this;
        return static_cast<ULONG>(left);
    }

    // IDispatch
    HRESULT STDMETHODCALLTYPE GetTypeInfoCount(UINT* count) override { return inner_->GetTypeInfoCount(count); }
    HRESULT STDMETHODCALLTYPE GetTypeInfo(UINT index, LCID lcid, ITypeInfo** info) override {
        return inner_->GetTypeInfo(index, lcid, info);
    }
    HRESULT STDMETHODCALLTYPE GetIDsOfNames(REFIID iid, LPOLESTR* names, UINT count, LCID lcid, DISPID* ids) override {
        return inner_->GetIDsOfNames(iid, names, count, lcid, ids);
    }
    HRESULT STDMETHODCALLTYPE Invoke(DISPID id, REFIID iid, LCID lcid, WORD flags, DISPPARAMS* params, VARIANT* result,
                                     EXCEPINFO* exception, UINT* argument) override {
        return inner_->Invoke(id, iid, lcid, flags, params, result, exception, argument);
    }

    // IAccessible: what we answer ourselves
    HRESULT STDMETHODCALLTYPE get_accName(VARIANT child, BSTR* name) override {
        if (IsSelf(child) && !text_.name.empty()) return Give(text_.name, name);
        return inner_->get_accName(child, name);
    }
    HRESULT STDMETHODCALLTYPE get_accDescription(VARIANT child, BSTR* description) override {
        if (IsSelf(child) && !text_.description.empty()) return Give(text_.description, description);
        return inner_->get_accDescription(child, description);
    }
    // UI Automation's proxy reads the help as HelpText, which Narrator reads where NVDA and
    // JAWS read the description; its own button proxy would give the tool tip there.
    HRESULT STDMETHODCALLTYPE get_accHelp(VARIANT child, BSTR* help) override {
        if (IsSelf(child) && !text_.description.empty()) return Give(text_.description, help);
        return inner_->get_accHelp(child, help);
    }
    HRESULT STDMETHODCALLTYPE get_accRole(VARIANT child, VARIANT* role) override {
        if (!IsSelf(child) || text_.role == 0) return inner_->get_accRole(child, role);
        if (role == nullptr) return E_POINTER;
        role->vt = VT_I4;
        role->lVal = text_.role;
        return S_OK;
    }

    // IAccessible: the platform's
    HRESULT STDMETHODCALLTYPE get_accParent(IDispatch** parent) override { return inner_->get_accParent(parent); }
    HRESULT STDMETHODCALLTYPE get_accChildCount(long* count) override { return inner_->get_accChildCount(count); }
    HRESULT STDMETHODCALLTYPE get_accChild(VARIANT child, IDispatch** out) override {
        return inner_->get_accChild(child, out);
    }
    HRESULT STDMETHODCALLTYPE get_accValue(VARIANT child, BSTR* value) override {
        return inner_->get_accValue(child, value);
    }
    HRESULT STDMETHODCALLTYPE get_accState(VARIANT child, VARIANT* state) override {
        return inner_->get_accState(child, state);
    }
    HRESULT STDMETHODCALLTYPE get_accHelpTopic(BSTR* file, VARIANT child, long* topic) override {
        return inner_->get_accHelpTopic(file, child, topic);
    }
    HRESULT STDMETHODCALLTYPE get_accKeyboardShortcut(VARIANT child, BSTR* shortcut) override {
        return inner_->get_accKeyboardShortcut(child, shortcut);
    }
    HRESULT STDMETHODCALLTYPE get_accFocus(VARIANT* focus) override { return inner_->get_accFocus(focus); }
    HRESULT STDMETHODCALLTYPE get_accSelection(VARIANT* selection) override {
        return inner_->get_accSelection(selection);
    }
    HRESULT STDMETHODCALLTYPE get_accDefaultAction(VARIANT child, BSTR* action) override {
        return inner_->get_accDefaultAction(child, action);
    }
    HRESULT STDMETHODCALLTYPE accSelect(long flags, VARIANT child) override { return inner_->accSelect(flags, child); }
    HRESULT STDMETHODCALLTYPE accLocation(long* left, long* top, long* width, long* height, VARIANT child) override {
        return inner_->accLocation(left, top, width, height, child);
    }
    HRESULT STDMETHODCALLTYPE accNavigate(long direction, VARIANT start, VARIANT* end) override {
        return inner_->accNavigate(direction, start, end);
    }
    HRESULT STDMETHODCALLTYPE accHitTest(long x, long y, VARIANT* child) override {
        return inner_->accHitTest(x, y, child);
    }
    HRESULT STDMETHODCALLTYPE accDoDefaultAction(VARIANT child) override { return inner_->accDoDefaultAction(child); }
    HRESULT STDMETHODCALLTYPE put_accName(VARIANT child, BSTR name) override {
        return inner_->put_accName(child, name);
    }
    HRESULT STDMETHODCALLTYPE put_accValue(VARIANT child, BSTR value) override {
        return inner_->put_accValue(child, value);
    }

    // IOleWindow: the platform's
    HRESULT STDMETHODCALLTYPE GetWindow(HWND* window) override { return window_->GetWindow(window); }
    HRESULT STDMETHODCALLTYPE ContextSensitiveHelp(BOOL enter) override { return window_->ContextSensitiveHelp(enter); }

    // IEnumVARIANT: the platform's; a clone is an enumeration of its own.
    HRESULT STDMETHODCALLTYPE Next(ULONG count, VARIANT* items, ULONG* fetched) override {
        return children_->Next(count, items, fetched);
    }
    HRESULT STDMETHODCALLTYPE Skip(ULONG count) override { return children_->Skip(count); }
    HRESULT STDMETHODCALLTYPE Reset() override { return children_->Reset(); }
    HRESULT STDMETHODCALLTYPE Clone(IEnumVARIANT** out) override { return children_->Clone(out); }

private:
    ~AnnotatedAccessible() {
        if (window_ != nullptr) window_->Release();
        if (children_ != nullptr) children_->Release();
        inner_->Release();
    }

    static HRESULT Give(const std::wstring& text, BSTR* out) {
        if (out == nullptr) return E_POINTER;
        *out = Api()->allocString(text.data(), static_cast<UINT>(text.size()));  // complete: this object exists
        return *out != nullptr ? S_OK : E_OUTOFMEMORY;
    }

    LONG references_ = 1;
    IAccessible* inner_;  // owned: one reference
    IOleWindow* window_ = nullptr;      // owned; null when the platform's object has none
    IEnumVARIANT* children_ = nullptr;  // owned; null when the platform's object has none
    const AccessibleText text_;
};

// How windows get their texts, chosen once for the process by the first annotation.
enum class Way : int { Undecided, Annotation, Wrapper };
std::atomic<Way> way{Way::Undecided};
std::atomic<IAccPropServices*> injected{nullptr};

thread_local bool comStarted = false;

bool StartCom(const AccessibilityApi& api) {
    // Stays on for the thread's life (an apartment a thread entered before is fine as well).
    thread_local const bool ready = [&api] {
        comStarted = true;
        const HRESULT hr = api.startCom(nullptr, COINIT_APARTMENTTHREADED);
        return SUCCEEDED(hr) || hr == RPC_E_CHANGED_MODE;
    }();
    return ready;
}

// The system's annotation service of this thread's apartment; null when there is none.
IAccPropServices* Service(const AccessibilityApi& api) {
    if (IAccPropServices* fake = injected.load()) return fake;
    thread_local IAccPropServices* const service = [&api]() -> IAccPropServices* {
        IAccPropServices* s = nullptr;
        if (FAILED(api.createInstance(kClsidAccPropServices, nullptr, CLSCTX_INPROC_SERVER, kIidAccPropServices,
                                      reinterpret_cast<void**>(&s))))
            return nullptr;
        return s;  // kept for the thread's life
    }();
    return service;
}

// Puts text on the window's client object through the annotation service; false when the
// way is the wrapper, decided here by the first annotation's answer.
bool Annotate(HWND window, const AccessibleText& text) {
    if (way.load() == Way::Wrapper) return false;
    if (GetPropW(window, kAnnotatedMark) != nullptr) return true;
    const AccessibilityApi* api = Api();
    IAccPropServices* service = api != nullptr && StartCom(*api) ? Service(*api) : nullptr;
    HRESULT hr = service != nullptr ? S_OK : E_NOTIMPL;
    const auto put = [&](const GUID& property, const std::wstring& value) {
        if (SUCCEEDED(hr) && !value.empty())
            hr = service->SetHwndPropStr(window, static_cast<DWORD>(OBJID_CLIENT), CHILDID_SELF, property,
                                         value.c_str());
    };
    put(kPropName, text.name);
    put(kPropDescription, text.description);
    // UI Automation reads the help as HelpText, which Narrator reads where other screen
    // readers read the description; its own button proxy would give the tool tip there.
    put(kPropHelp, text.description);
    if (SUCCEEDED(hr) && text.role != 0) {
        VARIANT role{};
        role.vt = VT_I4;
        role.lVal = text.role;
        hr = service->SetHwndProp(window, static_cast<DWORD>(OBJID_CLIENT), CHILDID_SELF, kPropRole, role);
    }
    if (FAILED(hr)) {
        Way expected = Way::Undecided;
        way.compare_exchange_strong(expected, Way::Wrapper);
        return way.load() == Way::Annotation;  // decided before by another window: keep it
    }
    Way expected = Way::Undecided;
    way.compare_exchange_strong(expected, Way::Annotation);
    SetPropW(window, kAnnotatedMark, reinterpret_cast<HANDLE>(static_cast<INT_PTR>(1)));
    return true;
}

// A control's texts, the data of its replaced procedure.
LRESULT CALLBACK AnnotatedProc(HWND control, UINT message, WPARAM wParam, LPARAM lParam) {
    auto* text = static_cast<AccessibleText*>(ReplacedOf(control)->data);
    if (message == WM_GETOBJECT) {
        if (const LRESULT answer = AnswerGetObject(control, wParam, lParam, *text)) return answer;
    } else if (message == WM_NCDESTROY) {
        const LRESULT result = CallOriginalProcedure(control, message, wParam, lParam);
        if (GetPropW(control, kAnnotatedMark) != nullptr) RemovePropW(control, kAnnotatedMark);
        delete text;
        return result;
    }
    return CallOriginalProcedure(control, message, wParam, lParam);
}

}  // namespace

LRESULT AnswerGetObject(HWND window, WPARAM wParam, LPARAM lParam, const AccessibleText& text) {
    if (text.name.empty() && text.description.empty() && text.role == 0) return 0;
    // Any first question annotates: UI Automation asks for its own object before the client.
    if (Annotate(window, text)) return 0;
    if (static_cast<DWORD>(lParam) != static_cast<DWORD>(OBJID_CLIENT)) return 0;
    const AccessibilityApi* api = Api();
    // The answer is marshalled through COM, which this thread needs for it.
    if (api == nullptr || !StartCom(*api)) return 0;
    IAccessible* standard = nullptr;
    if (FAILED(api->createStandard(window, OBJID_CLIENT, kIidAccessible, reinterpret_cast<void**>(&standard))) ||
        standard == nullptr)
        return 0;
    auto* annotated = new (std::nothrow) AnnotatedAccessible(standard, text);
    if (annotated == nullptr) {
        standard->Release();
        return 0;
    }
    // The result holds its own reference; a failure (negative) tells the asker no object.
    const LRESULT result = api->resultFromObject(kIidAccessible, wParam, static_cast<IAccessible*>(annotated));
    annotated->Release();
    return result > 0 ? result : 0;
}

bool SetAccessibleText(HWND control, AccessibleText text) {
    auto owned = std::make_unique<AccessibleText>(std::move(text));
    if (!ReplaceProcedure(control, &AnnotatedProc, owned.get())) return false;
    owned.release();  // freed after WM_NCDESTROY
    return true;
}

HWND ComCallWindow() {
    // Looked up once it exists (COM makes it with the apartment or for the first object it
    // hands out), then kept: it lasts as long as the thread's apartment, which we never end.
    thread_local HWND found = nullptr;
    if (found != nullptr || !comStarted) return found;
    const DWORD thread = GetCurrentThreadId();
    for (HWND w = FindWindowExW(HWND_MESSAGE, nullptr, L"OleMainThreadWndClass", nullptr); w != nullptr;
         w = FindWindowExW(HWND_MESSAGE, w, L"OleMainThreadWndClass", nullptr))
        if (GetWindowThreadProcessId(w, nullptr) == thread) return found = w;
    return nullptr;
}

void UseAnnotationServiceForTesting(IAccPropServices* service) {
    injected.store(service);
    way.store(Way::Undecided);
}

IAccessible* WrapAccessibleForTesting(IAccessible* inner, const AccessibleText& text) {
    return static_cast<IAccessible*>(new AnnotatedAccessible(inner, text));
}

}  // namespace ovaro
