#include "toolkit/Accessibility.h"

#include <oleacc.h>

#include <map>

#include "toolkit/Text.h"

namespace tk {

namespace {

// The interface's identifier is taken from its declaration, not from the
// import library: the 64-bit oleacc library also exports IID_IAccessible as
// a function, and a link that picks that one passes code bytes as the IID.
const IID& kIAccessible = __uuidof(IAccessible);

// The live providers, by window. Only the UI thread reads or writes it.
std::map<HWND, AccessibleProvider*>& Providers() {
    static std::map<HWND, AccessibleProvider*> providers;
    return providers;
}

AccessibleProvider* ProviderOf(HWND window) {
    auto it = Providers().find(window);
    return it == Providers().end() ? nullptr : it->second;
}

// A BSTR of a text; S_FALSE with no string for an empty one.
HRESULT ToBstr(const std::wstring& text, BSTR* out) {
    *out = nullptr;
    if (text.empty()) return S_FALSE;
    *out = ::SysAllocStringLen(text.data(), static_cast<UINT>(text.size()));
    return *out ? S_OK : E_OUTOFMEMORY;
}

// The client area of a window with a provider. Child 0 is the window itself,
// children 1 to n the provider's items, and the child windows follow under
// the numbers the system's proxy gives them, shifted by n.
class ClientAccessible : public IAccessible {
public:
    explicit ClientAccessible(HWND window) : window_(window) {
        void* proxy = nullptr;
        if (SUCCEEDED(::CreateStdAccessibleObject(window, OBJID_CLIENT, kIAccessible, &proxy)))
            proxy_ = static_cast<IAccessible*>(proxy);
    }
    virtual ~ClientAccessible() {
        if (proxy_) proxy_->Release();
    }
    ClientAccessible(const ClientAccessible&) = delete;
    ClientAccessible& operator=(const ClientAccessible&) = delete;

    // IUnknown
    HRESULT STDMETHODCALLTYPE QueryInterface(REFIID riid, void** object) override {
        if (!object) return E_POINTER;
        if (IsEqualIID(riid, IID_IUnknown) || IsEqualIID(riid, IID_IDispatch) || IsEqualIID(riid, kIAccessible)) {
            *object = static_cast<IAccessible*>(this);
            AddRef();
            return S_OK;
        }
        *object = nullptr;
        return E_NOINTERFACE;
    }
    ULONG STDMETHODCALLTYPE AddRef() override { return static_cast<ULONG>(::InterlockedIncrement(&references_)); }
    ULONG STDMETHODCALLTYPE Release() override {
        const LONG left = ::InterlockedDecrement(&references_);
        if (left == 0) delete this;
        return static_cast<ULONG>(left);
    }

    // IDispatch: no type information; clients call the methods directly.
    HRESULT STDMETHODCALLTYPE GetTypeInfoCount(UINT* count) override {
        if (!count) return E_POINTER;
        *count = 0;
        return S_OK;
    }
    HRESULT STDMETHODCALLTYPE GetTypeInfo(UINT, LCID, ITypeInfo**) override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE GetIDsOfNames(REFIID, LPOLESTR*, UINT, LCID, DISPID*) override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE Invoke(DISPID, REFIID, LCID, WORD, DISPPARAMS*, VARIANT*, EXCEPINFO*, UINT*) override {
        return E_NOTIMPL;
    }

    // IAccessible
    HRESULT STDMETHODCALLTYPE get_accParent(IDispatch** parent) override {
        if (!proxy_) return E_FAIL;
        return proxy_->get_accParent(parent);
    }
    HRESULT STDMETHODCALLTYPE get_accChildCount(LONG* count) override {
        if (!count) return E_POINTER;
        LONG windows = 0;
        for (HWND child = ::GetWindow(window_, GW_CHILD); child; child = ::GetWindow(child, GW_HWNDNEXT)) ++windows;
        *count = static_cast<LONG>(Items().size()) + windows;
        return S_OK;
    }
    HRESULT STDMETHODCALLTYPE get_accChild(VARIANT child, IDispatch** dispatch) override {
        if (!dispatch) return E_POINTER;
        *dispatch = nullptr;
        Target target = Resolve(child);
        if (target.kind == Target::Item) return S_FALSE;  // a simple element: asked of this object
        if (target.kind != Target::Window) return E_INVALIDARG;
        return proxy_ ? proxy_->get_accChild(target.proxyChild, dispatch) : E_FAIL;
    }
    HRESULT STDMETHODCALLTYPE get_accName(VARIANT child, BSTR* name) override {
        return Text(child, name, &AccessibleItem::name, &AccessibleProvider::AccessibleName, &IAccessible::get_accName);
    }
    HRESULT STDMETHODCALLTYPE get_accValue(VARIANT child, BSTR* value) override {
        return Text(child, value, &AccessibleItem::value, &AccessibleProvider::AccessibleValue,
                    &IAccessible::get_accValue);
    }
    HRESULT STDMETHODCALLTYPE get_accDescription(VARIANT child, BSTR* description) override {
        if (!description) return E_POINTER;
        *description = nullptr;
        Target target = Resolve(child);
        if (target.kind == Target::Item) return S_FALSE;
        return Delegate(target, [&](VARIANT id) { return proxy_->get_accDescription(id, description); });
    }
    HRESULT STDMETHODCALLTYPE get_accRole(VARIANT child, VARIANT* role) override {
        if (!role) return E_POINTER;
        ::VariantInit(role);
        Target target = Resolve(child);
        if (target.kind == Target::Item) return I4(target.item.role, role);
        if (target.kind == Target::Self) {
            if (AccessibleProvider* provider = ProviderOf(window_); provider && provider->AccessibleRole() != 0)
                return I4(provider->AccessibleRole(), role);
        }
        return Delegate(target, [&](VARIANT id) { return proxy_->get_accRole(id, role); });
    }
    HRESULT STDMETHODCALLTYPE get_accState(VARIANT child, VARIANT* state) override {
        if (!state) return E_POINTER;
        ::VariantInit(state);
        Target target = Resolve(child);
        if (target.kind == Target::Item) return I4(STATE_SYSTEM_READONLY, state);
        return Delegate(target, [&](VARIANT id) { return proxy_->get_accState(id, state); });
    }
    HRESULT STDMETHODCALLTYPE get_accHelp(VARIANT child, BSTR* help) override {
        if (!help) return E_POINTER;
        *help = nullptr;
        return S_FALSE;
    }
    HRESULT STDMETHODCALLTYPE get_accHelpTopic(BSTR* file, VARIANT, LONG* topic) override {
        if (file) *file = nullptr;
        if (topic) *topic = -1;
        return S_FALSE;
    }
    HRESULT STDMETHODCALLTYPE get_accKeyboardShortcut(VARIANT child, BSTR* shortcut) override {
        if (!shortcut) return E_POINTER;
        *shortcut = nullptr;
        Target target = Resolve(child);
        if (target.kind == Target::Item) return S_FALSE;
        return Delegate(target, [&](VARIANT id) { return proxy_->get_accKeyboardShortcut(id, shortcut); });
    }
    HRESULT STDMETHODCALLTYPE get_accFocus(VARIANT* focus) override {
        if (!focus) return E_POINTER;
        ::VariantInit(focus);
        if (::GetFocus() == window_) return I4(CHILDID_SELF, focus);
        return proxy_ ? proxy_->get_accFocus(focus) : S_FALSE;
    }
    HRESULT STDMETHODCALLTYPE get_accSelection(VARIANT* selection) override {
        if (!selection) return E_POINTER;
        ::VariantInit(selection);
        return S_FALSE;
    }
    HRESULT STDMETHODCALLTYPE get_accDefaultAction(VARIANT child, BSTR* action) override {
        if (!action) return E_POINTER;
        *action = nullptr;
        Target target = Resolve(child);
        if (target.kind == Target::Item) return S_FALSE;
        if (target.kind == Target::Self) {
            AccessibleProvider* provider = ProviderOf(window_);
            return provider ? ToBstr(provider->AccessibleDefaultAction(), action) : S_FALSE;
        }
        return Delegate(target, [&](VARIANT id) { return proxy_->get_accDefaultAction(id, action); });
    }
    HRESULT STDMETHODCALLTYPE accSelect(LONG, VARIANT) override { return DISP_E_MEMBERNOTFOUND; }
    HRESULT STDMETHODCALLTYPE accLocation(LONG* left, LONG* top, LONG* width, LONG* height, VARIANT child) override {
        if (!left || !top || !width || !height) return E_POINTER;
        Target target = Resolve(child);
        RECT r{};
        if (target.kind == Target::Item) r = target.item.bounds;
        else if (target.kind == Target::Self) ::GetClientRect(window_, &r);
        else return Delegate(target, [&](VARIANT id) { return proxy_->accLocation(left, top, width, height, id); });
        ::MapWindowPoints(window_, nullptr, reinterpret_cast<POINT*>(&r), 2);
        *left = r.left;
        *top = r.top;
        *width = r.right - r.left;
        *height = r.bottom - r.top;
        return S_OK;
    }
    HRESULT STDMETHODCALLTYPE accNavigate(LONG direction, VARIANT start, VARIANT* end) override {
        if (!end) return E_POINTER;
        ::VariantInit(end);
        const Target target = Resolve(start);
        if (target.kind == Target::Invalid) return E_INVALIDARG;
        LONG count = 0;
        get_accChildCount(&count);
        if (start.lVal != CHILDID_SELF && start.lVal > count) return E_INVALIDARG;
        // The proxy numbers the child windows without our items: its numbers
        // would land on the wrong child.
        const LONG to = NavigateChildren(direction, start.lVal, count);
        if (to > 0) return I4(to, end);
        if (to == 0 || target.kind == Target::Item || !proxy_) return S_FALSE;
        const HRESULT result = proxy_->accNavigate(direction, target.proxyChild, end);
        if (target.kind == Target::Window && end->vt == VT_I4 && end->lVal > 0)
            end->lVal += static_cast<LONG>(Items().size());
        return result;
    }
    HRESULT STDMETHODCALLTYPE accHitTest(LONG x, LONG y, VARIANT* child) override {
        if (!child) return E_POINTER;
        ::VariantInit(child);
        POINT p{x, y};
        ::ScreenToClient(window_, &p);
        const std::vector<AccessibleItem> items = Items();
        for (size_t i = 0; i < items.size(); ++i)
            if (::PtInRect(&items[i].bounds, p)) return I4(static_cast<LONG>(i + 1), child);
        return proxy_ ? proxy_->accHitTest(x, y, child) : S_FALSE;
    }
    HRESULT STDMETHODCALLTYPE accDoDefaultAction(VARIANT child) override {
        Target target = Resolve(child);
        if (target.kind == Target::Self) {
            AccessibleProvider* provider = ProviderOf(window_);
            return provider && provider->DoAccessibleDefaultAction() ? S_OK : DISP_E_MEMBERNOTFOUND;
        }
        if (target.kind == Target::Item) return DISP_E_MEMBERNOTFOUND;
        return Delegate(target, [&](VARIANT id) { return proxy_->accDoDefaultAction(id); });
    }
    HRESULT STDMETHODCALLTYPE put_accName(VARIANT, BSTR) override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE put_accValue(VARIANT, BSTR) override { return E_NOTIMPL; }

private:
    struct Target {
        enum Kind { Invalid, Self, Item, Window } kind = Invalid;
        AccessibleItem item;
        VARIANT proxyChild{};  // VT_I4: the child as the proxy numbers it
    };

    std::vector<AccessibleItem> Items() const {
        AccessibleProvider* provider = ProviderOf(window_);
        return provider ? provider->AccessibleItems() : std::vector<AccessibleItem>{};
    }

    Target Resolve(const VARIANT& child) const {
        Target target;
        if (child.vt != VT_I4 || !::IsWindow(window_)) return target;
        const LONG id = child.lVal;
        if (id == CHILDID_SELF) {
            target.kind = Target::Self;
            target.proxyChild.vt = VT_I4;
            target.proxyChild.lVal = CHILDID_SELF;
            return target;
        }
        const std::vector<AccessibleItem> items = Items();
        if (id > 0 && static_cast<size_t>(id) <= items.size()) {
            target.kind = Target::Item;
            target.item = items[id - 1];
            return target;
        }
        if (id > static_cast<LONG>(items.size())) {
            target.kind = Target::Window;
            target.proxyChild.vt = VT_I4;
            target.proxyChild.lVal = id - static_cast<LONG>(items.size());
        }
        return target;
    }

    // A name or value: the item's, the provider's for the window itself, or
    // else the proxy's.
    HRESULT Text(const VARIANT& child, BSTR* out, std::wstring AccessibleItem::*itemText,
                 std::wstring (AccessibleProvider::*ownText)() const,
                 HRESULT (STDMETHODCALLTYPE IAccessible::*proxyText)(VARIANT, BSTR*)) {
        if (!out) return E_POINTER;
        *out = nullptr;
        Target target = Resolve(child);
        if (target.kind == Target::Item) return ToBstr(target.item.*itemText, out);
        if (target.kind == Target::Self) {
            if (AccessibleProvider* provider = ProviderOf(window_)) {
                const std::wstring text = (provider->*ownText)();
                if (!text.empty()) return ToBstr(text, out);
            }
        }
        return Delegate(target, [&](VARIANT id) { return (proxy_->*proxyText)(id, out); });
    }

    template <typename Call>
    HRESULT Delegate(const Target& target, Call call) {
        if (target.kind == Target::Invalid) return E_INVALIDARG;
        if (!proxy_) return E_FAIL;
        return call(target.proxyChild);
    }

    static HRESULT I4(LONG value, VARIANT* out) {
        out->vt = VT_I4;
        out->lVal = value;
        return S_OK;
    }

    HWND window_;                  // we don't own it; it may be gone before we are
    IAccessible* proxy_ = nullptr;  // the system's proxy for the same client area; ours
    LONG references_ = 1;
};

}  // namespace

void RegisterAccessible(HWND window, AccessibleProvider* provider) {
    if (window) Providers()[window] = provider;
}

void UnregisterAccessible(HWND window) { Providers().erase(window); }

LRESULT AnswerGetObject(HWND window, WPARAM wParam, LPARAM lParam) {
    if (static_cast<LONG>(lParam) != static_cast<LONG>(OBJID_CLIENT) || !ProviderOf(window)) return 0;
    auto* object = new ClientAccessible(window);
    const LRESULT result = ::LresultFromObject(kIAccessible, wParam, static_cast<IAccessible*>(object));
    object->Release();  // the result holds its own reference
    return result > 0 ? result : 0;
}

void NotifyItemChanged(HWND window, DWORD event, size_t item) {
    if (window) ::NotifyWinEvent(event, window, OBJID_CLIENT, static_cast<LONG>(item + 1));
}

LONG NavigateChildren(LONG direction, LONG start, LONG childCount) {
    switch (direction) {
    case NAVDIR_FIRSTCHILD: return start == CHILDID_SELF && childCount > 0 ? 1 : 0;
    case NAVDIR_LASTCHILD: return start == CHILDID_SELF && childCount > 0 ? childCount : 0;
    case NAVDIR_NEXT:
        if (start == CHILDID_SELF) return kNotAChildMove;
        return start >= 1 && start < childCount ? start + 1 : 0;
    case NAVDIR_PREVIOUS:
        if (start == CHILDID_SELF) return kNotAChildMove;
        return start > 1 && start <= childCount ? start - 1 : 0;
    default: return kNotAChildMove;
    }
}

std::string AccessibleNameFromHint(const std::string& hint) {
    size_t end = hint.size();
    while (end > 0 && (hint[end - 1] == '.' || hint[end - 1] == ' ')) --end;
    size_t begin = 0;
    while (begin < end && hint[begin] == ' ') ++begin;
    return hint.substr(begin, end - begin);
}

LONG AccessibleRoleNamed(const std::string& name) {
    if (name == "pushButton") return ROLE_SYSTEM_PUSHBUTTON;
    if (name == "staticText") return ROLE_SYSTEM_STATICTEXT;
    if (name == "progressBar") return ROLE_SYSTEM_PROGRESSBAR;
    throw Error(Format("Unknown accessible role %s", name.c_str()));
}

}  // namespace tk
