#include "toolkit/Application.h"

#include <commctrl.h>

#include <algorithm>
#include <condition_variable>
#include <deque>
#include <exception>
#include <mutex>

#include "toolkit/Form.h"
#include "toolkit/Text.h"

namespace tk {

Application& Application::Get() {
    // Never destroyed: a worker thread that outlives the forms (it frees
    // itself when its tool ends) may still ask for a step at process exit,
    // and must find an application that says no, not a destroyed one.
    static Application* app = new Application();
    return *app;
}

// Steps queued by other threads for the UI thread. A step's slot says when it
// has run; the worker waits on the condition until then.
struct Application::SyncQueue {
    struct Step {
        const std::function<void()>* run;
        bool done = false;
    };
    std::mutex lock;
    std::condition_variable ran;
    std::deque<Step*> waiting;
    bool accepting = true;
};

constexpr UINT kRunSteps = WM_APP + 1;

void Application::Initialize() {
    if (initialized_) return;
    INITCOMMONCONTROLSEX controls{sizeof controls, ICC_STANDARD_CLASSES | ICC_LISTVIEW_CLASSES | ICC_BAR_CLASSES};
    ::InitCommonControlsEx(&controls);
    uiThread_ = ::GetCurrentThreadId();
    sync_ = new SyncQueue();  // never freed: workers may still hold it at exit

    WNDCLASSEXA wc{};
    wc.cbSize = sizeof wc;
    wc.hInstance = ::GetModuleHandleA(nullptr);
    wc.lpszClassName = "TkSynchronize";
    wc.lpfnWndProc = &Application::SyncWindowProc;
    ::RegisterClassExA(&wc);
    syncWindow_ = ::CreateWindowExA(0, wc.lpszClassName, "", 0, 0, 0, 0, 0, HWND_MESSAGE, nullptr, wc.hInstance,
                                    nullptr);
    initialized_ = true;
}

LRESULT CALLBACK Application::SyncWindowProc(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam) {
    if (message == kRunSteps) {
        Get().RunQueuedSteps();
        return 0;
    }
    return ::DefWindowProcA(hwnd, message, wParam, lParam);
}

bool Application::Synchronize(const std::function<void()>& step) {
    if (::GetCurrentThreadId() == uiThread_) {
        Guarded(step);
        return true;
    }
    SyncQueue::Step slot{&step};
    std::unique_lock<std::mutex> hold(sync_->lock);
    if (!sync_->accepting) return false;
    sync_->waiting.push_back(&slot);
    ::PostMessageA(syncWindow_, kRunSteps, 0, 0);
    sync_->ran.wait(hold, [&] { return slot.done || !sync_->accepting; });
    if (!slot.done) {
        // Given up at shutdown: take the step back so nobody runs it later.
        for (auto it = sync_->waiting.begin(); it != sync_->waiting.end(); ++it)
            if (*it == &slot) {
                sync_->waiting.erase(it);
                break;
            }
    }
    return slot.done;
}

void Application::RunQueuedSteps() {
    for (;;) {
        SyncQueue::Step* slot = nullptr;
        {
            std::lock_guard<std::mutex> hold(sync_->lock);
            if (sync_->waiting.empty() || !sync_->accepting) return;
            slot = sync_->waiting.front();
            sync_->waiting.pop_front();
        }
        Guarded(*slot->run);
        {
            std::lock_guard<std::mutex> hold(sync_->lock);
            slot->done = true;
        }
        sync_->ran.notify_all();
    }
}

void Application::StopTakingSteps() {
    if (!sync_) return;
    {
        std::lock_guard<std::mutex> hold(sync_->lock);
        sync_->accepting = false;
    }
    sync_->ran.notify_all();
}

void Application::Build(Form* form) { form->Create(); }

void Application::Run() {
    running_ = true;
    if (mainForm_ && !terminated_) mainForm_->Show();
    while (!terminated_) HandleMessage();
    running_ = false;
    StopTakingSteps();
    DestroyForms();
}

void Application::Terminate() { ::PostQuitMessage(0); }

bool Application::HandleMessage() {
    MSG msg;
    const BOOL got = ::GetMessageA(&msg, nullptr, 0, 0);
    if (got == 0 || got == -1) {
        terminated_ = true;
        return false;
    }
    Form* form = FormFromWindow(msg.hwnd);
    NoteInput(form, msg);
    if (form && (msg.message == WM_KEYDOWN || msg.message == WM_SYSKEYDOWN)) {
        bool taken = false;
        Guarded([&] { taken = form->PreviewKey(msg); });
        if (taken) return true;
    }
    if (form && ::IsDialogMessageA(form->Handle(), &msg)) return true;
    ::TranslateMessage(&msg);
    ::DispatchMessageA(&msg);
    return true;
}

void Application::NoteInput(Form* form, const MSG& msg) {
    switch (msg.message) {
    case WM_KEYDOWN:
    case WM_SYSKEYDOWN:
        lastInputKeyboard_ = true;
        break;
    case WM_LBUTTONDOWN:
    case WM_RBUTTONDOWN:
    case WM_MBUTTONDOWN:
    case WM_NCLBUTTONDOWN:
    case WM_NCRBUTTONDOWN:
        lastInputKeyboard_ = false;
        return;
    default:
        return;
    }
    if (!form) return;
    WORD cues = 0;
    switch (msg.wParam) {
    case VK_TAB:
    case VK_LEFT:
    case VK_RIGHT:
    case VK_UP:
    case VK_DOWN:
        if (msg.message == WM_KEYDOWN) cues = UISF_HIDEFOCUS;
        break;
    case VK_MENU:
        cues = UISF_HIDEACCEL;
        break;
    default:
        break;
    }
    if (cues) ::SendMessageA(form->Handle(), WM_CHANGEUISTATE, MAKEWPARAM(UIS_CLEAR, cues), 0);
}

void Application::ProcessMessages() {
    MSG msg;
    while (!terminated_ && ::PeekMessageA(&msg, nullptr, 0, 0, PM_NOREMOVE)) HandleMessage();
}

void Application::HandleException() {
    std::string text;
    try {
        throw;
    } catch (const std::exception& e) {
        text = e.what();
    } catch (...) {
        text = "Unknown error";
    }
    ShowError(text);
}

void Application::ShowError(const std::string& text) {
    const std::string shown = WithFullStop(text);
    if (errorSink_) {
        errorSink_(shown);
        return;
    }
    ::MessageBoxA(Handle(), shown.c_str(), title_.c_str(), MB_OK | MB_ICONERROR | MB_TASKMODAL);
}

void Application::Minimize(Form* keep) {
    if (!keep) keep = FormFromWindow(::GetActiveWindow());
    if (keep && !keep->Visible()) keep = nullptr;
    for (const auto& form : forms_)
        if (!keep && form->Visible()) keep = form.get();
    if (!keep) return;
    for (const auto& form : forms_)
        if (form.get() != keep && form->Visible()) {
            form->Hide();
            hiddenByMinimize_.push_back(form.get());
        }
    minimized_ = keep;
    ::ShowWindow(keep->Handle(), SW_MINIMIZE);
}

void Application::FormRestored(Form* form) {
    if (form != minimized_) return;
    minimized_ = nullptr;
    std::vector<Form*> hidden = std::move(hiddenByMinimize_);
    hiddenByMinimize_.clear();
    for (Form* f : hidden) f->Show();
    form->BringToFront();
}

HWND Application::Handle() const {
    if (HWND active = ::GetActiveWindow(); active && FormFromWindow(active)) return active;
    return mainForm_ ? mainForm_->Handle() : nullptr;
}

Form* Application::FormFromWindow(HWND hwnd) const {
    if (!hwnd) return nullptr;
    HWND top = ::GetAncestor(hwnd, GA_ROOT);
    for (const auto& form : forms_)
        if (form->Handle() && form->Handle() == top) return form.get();
    return nullptr;
}

void Application::DestroyForms() {
    while (!forms_.empty()) {
        std::unique_ptr<Form> last = std::move(forms_.back());
        forms_.pop_back();
        if (last.get() == mainForm_) mainForm_ = nullptr;
        if (last.get() == minimized_) minimized_ = nullptr;
        hiddenByMinimize_.erase(std::remove(hiddenByMinimize_.begin(), hiddenByMinimize_.end(), last.get()),
                                hiddenByMinimize_.end());
        last.reset();
    }
}

void Application::ResetForTesting() {
    StopTakingSteps();
    DestroyForms();
    MSG msg;
    while (::PeekMessageA(&msg, nullptr, 0, 0, PM_REMOVE)) {
        if (msg.message != WM_QUIT) ::DispatchMessageA(&msg);
    }
    terminated_ = false;
    running_ = false;
    lastInputKeyboard_ = false;
    if (sync_) {
        std::lock_guard<std::mutex> hold(sync_->lock);
        sync_->accepting = true;
    }
}

void ShowMessage(const std::string& text, HWND owner) { ShowMessage(Widen(text), owner); }

void ShowMessage(const std::wstring& text, HWND owner) {
    Application& app = Application::Get();
    ::MessageBoxW(owner ? owner : app.Handle(), text.c_str(), Widen(app.Title()).c_str(), MB_OK | MB_TASKMODAL);
}

}  // namespace tk
