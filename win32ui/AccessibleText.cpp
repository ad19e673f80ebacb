#include "AccessibleText.h"

#include <oleacc.h>

#include <memory>
#include <new>
#include <utility>

namespace ovaro {
namespace {

// The interface IDs, our own: MinGW's IID_IAccessible linked after oleacc resolves to an
// import thunk, and QueryInterface then fails with E_NOINTERFACE.
constexpr GUID kIidUnknown = {0x00000000, 0x0000, 0x0000, {0xC0, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x46}};
constexpr GUID kIidDispatch = {0x00020400, 0x0000, 0x0000, {0xC0, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x46}};
constexpr GUID kIidAccessible = {0x618736e0, 0x3c3d, 0x11cf, {0x81, 0x0c, 0x00, 0xaa, 0x00, 0x38, 0x9b, 0x71}};

bool IsSelf(const VARIANT& child) { return child.vt == VT_I4 && child.lVal == CHILDID_SELF; }

// What the answer needs of oleacc, ole32 and oleaut32, loaded from the system folder on
// the first question: a session without a screen reader asking pays nothing for them.
struct AccessibilityApi {
    decltype(&CreateStdAccessibleObject) createStandard = nullptr;
    decltype(&LresultFromObject) resultFromObject = nullptr;
    decltype(&CoInitializeEx) startCom = nullptr;
    decltype(&SysAllocStringLen) allocString = nullptr;
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
        return a;
    }();
    const bool complete = api.createStandard && api.resultFromObject && api.startCom && api.allocString;
    return complete ? &api : nullptr;
}

// The platform's client object with our name, description and role for the object
// itself; its items (none for our controls) and everything else are the platform's.
class AnnotatedAccessible final : public IAccessible {
public:
    AnnotatedAccessible(IAccessible* inner, const AccessibleText& text) : inner_(inner), text_(text) {}

    // IUnknown. Other interfaces (the children's enumeration, the window handle) are
    // the platform object's own.
    HRESULT STDMETHODCALLTYPE QueryInterface(REFIID iid, void** out) override {
        if (out == nullptr) return E_POINTER;
        if (iid == kIidUnknown || iid == kIidDispatch || iid == kIidAccessible) {
            *out = static_cast<IAccessible*>(this);
            AddRef();
            return S_OK;
        }
        return inner_->QueryInterface(iid, out);
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

private:
    ~AnnotatedAccessible() { inner_->Release(); }

    static HRESULT Give(const std::wstring& text, BSTR* out) {
        if (out == nullptr) return E_POINTER;
        *out = Api()->allocString(text.data(), static_cast<UINT>(text.size()));  // complete: this object exists
        return *out != nullptr ? S_OK : E_OUTOFMEMORY;
    }

    LONG references_ = 1;
    IAccessible* inner_;  // owned: one reference
    const AccessibleText text_;
};

// A control's texts and the procedure it had, kept in its GWLP_USERDATA. Replacing the
// procedure, not SetWindowSubclass: under Wine that looks a window property up on every
// message, a server round trip.
struct Annotation {
    WNDPROC original;
    AccessibleText text;
};

LRESULT CALLBACK AnnotatedProc(HWND control, UINT message, WPARAM wParam, LPARAM lParam) {
    auto* annotation = reinterpret_cast<Annotation*>(GetWindowLongPtrW(control, GWLP_USERDATA));
    const WNDPROC original = annotation->original;
    if (message == WM_GETOBJECT) {
        if (const LRESULT answer = AnswerGetObject(control, wParam, lParam, annotation->text)) return answer;
    } else if (message == WM_NCDESTROY) {
        const LRESULT result = CallWindowProcW(original, control, message, wParam, lParam);
        SetWindowLongPtrW(control, GWLP_USERDATA, 0);
        delete annotation;
        return result;
    }
    return CallWindowProcW(original, control, message, wParam, lParam);
}

}  // namespace

LRESULT AnswerGetObject(HWND window, WPARAM wParam, LPARAM lParam, const AccessibleText& text) {
    if (static_cast<DWORD>(lParam) != static_cast<DWORD>(OBJID_CLIENT)) return 0;
    const AccessibilityApi* api = Api();
    if (api == nullptr) return 0;
    // The answer is marshalled through COM, which this thread needs for it; it stays on
    // for the thread's life (an apartment a thread entered before is fine as well).
    thread_local const bool comReady = [api] {
        const HRESULT hr = api->startCom(nullptr, COINIT_APARTMENTTHREADED);
        return SUCCEEDED(hr) || hr == RPC_E_CHANGED_MODE;
    }();
    if (!comReady) return 0;
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
    const LRESULT result = api->resultFromObject(kIidAccessible, wParam, annotated);
    annotated->Release();
    return result > 0 ? result : 0;
}

bool SetAccessibleText(HWND control, AccessibleText text) {
    if (!IsWindow(control) || GetWindowLongPtrW(control, GWLP_USERDATA) != 0) return false;
    auto annotation = std::make_unique<Annotation>(
        Annotation{reinterpret_cast<WNDPROC>(GetWindowLongPtrW(control, GWLP_WNDPROC)), std::move(text)});
    if (annotation->original == nullptr) return false;
    SetWindowLongPtrW(control, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(annotation.release()));
    SetWindowLongPtrW(control, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(&AnnotatedProc));
    return true;
}

}  // namespace ovaro
