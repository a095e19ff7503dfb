// A timer of a form: ticks arrive as WM_TIMER on the form's window, so the
// handler runs on the UI thread from the message loop.
#pragma once

#include "toolkit/Control.h"

namespace tk {

class Timer : public Component {
public:
    bool Enabled() const { return enabled_; }
    void SetEnabled(bool enabled);
    unsigned Interval() const { return interval_; }
    void SetInterval(unsigned milliseconds);

    void Load(const LayoutNode& node) override;
    void AttachEvent(const std::string& event, const AnyHandler& handler) override;
    void Realize() override;
    void Tick();

    NotifyEvent OnTimer;

private:
    friend class Form;
    void Update();
    UINT_PTR id_ = 0;  // set by the form
    unsigned interval_ = 1000;
    bool enabled_ = true;
    bool realized_ = false;
};

}  // namespace tk
