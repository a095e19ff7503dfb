// The application object: title, forms in creation order, the message loop,
// and the standard error box for failures that escape a handler.
#pragma once

#include <windows.h>

#include <functional>
#include <memory>
#include <string>
#include <vector>

namespace tk {

class Form;

class Application {
public:
    static Application& Get();

    // Common controls, window classes. Call once before the first form.
    void Initialize();

    const std::string& Title() const { return title_; }
    void SetTitle(const std::string& title) { title_ = title; }

    // Makes a form, stores it in the caller's reference before it is built
    // (its OnCreate may already see the global), builds it from its layout.
    // The first form made is the main form.
    template <typename T>
    T* CreateForm(T*& reference) {
        auto form = std::make_unique<T>();
        reference = form.get();
        Form* base = form.get();
        forms_.push_back(std::move(form));
        if (!mainForm_) mainForm_ = base;
        Build(base);
        return reference;
    }

    // Shows the main form and runs the message loop until Terminate; then
    // destroys the forms, the last made first.
    void Run();
    // Posts the quit message: the loop (and any modal loop) ends.
    void Terminate();
    bool Terminated() const { return terminated_; }
    // True once Run has started its loop, that is when every form exists.
    bool Running() const { return running_; }

    // Waits for one message and handles it. Returns false at the quit message.
    // Keys that move the focus around a form (Tab, the arrows) show its
    // keyboard cues, Alt its access keys (Form::FocusCuesShown).
    bool HandleMessage();
    // Whether the last key or mouse button pressed in the application's
    // windows was a key: a form being shown starts with its keyboard cues
    // shown then.
    bool LastInputWasKeyboard() const { return lastInputKeyboard_; }
    // Handles every message waiting, without waiting for more.
    void ProcessMessages();

    // Runs a step on the UI thread and returns when it has run there. The UI
    // thread runs queued steps from its message loop (modal loops included);
    // called on the UI thread itself, the step runs at once. Returns false,
    // without running the step, once the application has stopped taking
    // steps (the forms are being destroyed), so a worker never waits forever.
    bool Synchronize(const std::function<void()>& step);
    DWORD UiThreadId() const { return uiThread_; }

    // For use inside a catch block: shows the standard error box for the
    // exception being handled.
    void HandleException();
    // The standard error box: application title, error icon, OK.
    void ShowError(const std::string& text);
    // Tests in the program's own process record error texts instead of
    // showing boxes; an empty function restores the box.
    void SetErrorSink(std::function<void(const std::string&)> sink) { errorSink_ = std::move(sink); }

    // Minimises the whole application: the given form (by default the
    // active one, or else the first visible one) goes to the task bar, where
    // it keeps the one button; every other visible form is hidden until that
    // form is restored.
    void Minimize(Form* keep = nullptr);
    // Called by a form whose window was restored from the task bar.
    void FormRestored(Form* form);

    Form* MainForm() const { return mainForm_; }
    // The window that owns the application's message boxes and shell calls.
    HWND Handle() const;
    Form* FormFromWindow(HWND hwnd) const;
    const std::vector<std::unique_ptr<Form>>& Forms() const { return forms_; }
    // Destroys every form, the last made first.
    void DestroyForms();
    // Tests that make the forms again and again: forms destroyed, the quit
    // message and any stop flag cleared, steps taken again.
    void ResetForTesting();
    void SetRunningForTesting(bool running) { running_ = running; }

private:
    Application() = default;
    void Build(Form* form);
    // Remembers whether a key or the mouse came last, and shows a form's
    // keyboard cues when a key moves around it.
    void NoteInput(Form* form, const MSG& msg);

    std::string title_;
    std::vector<std::unique_ptr<Form>> forms_;
    Form* mainForm_ = nullptr;
    bool terminated_ = false;
    bool running_ = false;
    bool initialized_ = false;
    bool lastInputKeyboard_ = false;
    std::function<void(const std::string&)> errorSink_;
    Form* minimized_ = nullptr;          // the form standing for the minimised application
    std::vector<Form*> hiddenByMinimize_;  // to show again when it is restored
    DWORD uiThread_ = 0;
    HWND syncWindow_ = nullptr;  // message-only window; ours
    struct SyncQueue;
    SyncQueue* sync_ = nullptr;  // lives as long as the process
    void RunQueuedSteps();
    void StopTakingSteps();
    static LRESULT CALLBACK SyncWindowProc(HWND, UINT, WPARAM, LPARAM);
};

// Runs a handler; whatever escapes it reaches the standard error box.
template <typename F>
void Guarded(F&& handler) {
    try {
        handler();
    } catch (...) {
        Application::Get().HandleException();
    }
}

// The plain message dialog: application title, no icon, one OK button; over
// the given window, or the active one of ours.
void ShowMessage(const std::string& text, HWND owner = nullptr);
// The same for a text that may hold characters outside the ANSI code page.
void ShowMessage(const std::wstring& text, HWND owner = nullptr);

}  // namespace tk
