#include "toolkit/Timer.h"

#include "toolkit/Application.h"
#include "toolkit/Form.h"

namespace tk {

void Timer::Load(const LayoutNode& node) {
    interval_ = static_cast<unsigned>(LayoutInt(node, "interval", static_cast<int>(interval_)));
    enabled_ = LayoutBool(node, "enabled", enabled_);
}

void Timer::AttachEvent(const std::string& event, const AnyHandler& handler) {
    if (event != "onTimer" || !std::holds_alternative<NotifyEvent>(handler)) {
        Component::AttachEvent(event, handler);
        return;
    }
    OnTimer = std::get<NotifyEvent>(handler);
}

void Timer::Realize() {
    realized_ = true;
    Update();
}

void Timer::SetEnabled(bool enabled) {
    if (enabled == enabled_) return;
    enabled_ = enabled;
    Update();
}

void Timer::SetInterval(unsigned milliseconds) {
    interval_ = milliseconds;
    Update();
}

// (Re)arms or stops the system timer; re-arming starts a full interval anew.
void Timer::Update() {
    if (!realized_ || !Owner() || !Owner()->Handle()) return;
    ::KillTimer(Owner()->Handle(), id_);
    if (enabled_ && interval_ > 0) ::SetTimer(Owner()->Handle(), id_, interval_, nullptr);
}

void Timer::Tick() {
    if (!enabled_) return;
    Guarded([&] {
        if (OnTimer) OnTimer(this);
    });
}

}  // namespace tk
