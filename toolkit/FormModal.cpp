// Closing a form and running it modally.
#include "toolkit/Form.h"

#include "toolkit/Application.h"
#include "toolkit/Modal.h"

namespace tk {

bool Form::CloseQuery() {
    bool canClose = true;
    if (OnCloseQuery) OnCloseQuery(this, canClose);
    return canClose;
}

void Form::Close() {
    if (modal_) {
        modalResult_ = mrCancel;
        return;
    }
    if (!CloseQuery()) return;
    CloseAction action = CloseAction::Hide;
    if (OnClose) OnClose(this, action);
    if (action == CloseAction::None) return;
    if (Application::Get().MainForm() == this) {
        Application::Get().Terminate();
    } else if (action == CloseAction::Minimize) {
        ::ShowWindow(hwnd_, SW_MINIMIZE);
    } else {
        Hide();
    }
}

void Form::CloseModal() {
    CloseAction action = CloseAction::None;
    bool canClose = false;
    Guarded([&] { canClose = CloseQuery(); });
    if (canClose) {
        action = CloseAction::Hide;
        Guarded([&] {
            if (OnClose) OnClose(this, action);
        });
    }
    if (action == CloseAction::None) modalResult_ = mrNone;
}

int Form::ShowModal() {
    if (modal_ || Visible()) throw Error("Cannot make a visible window modal");
    Application& app = Application::Get();

    {
        // Every other visible, enabled window of this thread waits for us.
        DisabledWindows others(hwnd_);
        modal_ = true;
        modalResult_ = mrNone;
        Show();
        ::SetForegroundWindow(hwnd_);
        while (modalResult_ == mrNone) {
            if (!app.HandleMessage() || app.Terminated()) modalResult_ = mrCancel;
            if (modalResult_ != mrNone) CloseModal();
        }
    }
    Hide();
    modal_ = false;
    return modalResult_;
}

}  // namespace tk
