// Event types of the toolkit's components. A form names its handlers, and
// its layout attaches them to the components' events by those names.
#pragma once

#include <functional>
#include <string>
#include <variant>

namespace tk {

class Component;

enum class MouseButton { Left, Right, Middle };

// Keys and buttons held during a mouse or key event.
using ShiftState = unsigned;
constexpr ShiftState kShift = 1, kAlt = 2, kCtrl = 4, kLeft = 8, kRight = 16, kMiddle = 32, kDouble = 64;

enum class CloseAction { None, Hide, Free, Minimize };

using NotifyEvent = std::function<void(Component* sender)>;
using MouseEvent = std::function<void(Component* sender, MouseButton button, ShiftState shift, int x, int y)>;
using MouseMoveEvent = std::function<void(Component* sender, ShiftState shift, int x, int y)>;
using CloseQueryEvent = std::function<void(Component* sender, bool& canClose)>;
using CloseEvent = std::function<void(Component* sender, CloseAction& action)>;

// A handler as a form registers it under its name.
using AnyHandler = std::variant<NotifyEvent, MouseEvent, MouseMoveEvent, CloseQueryEvent, CloseEvent>;

// Modal results.
constexpr int mrNone = 0, mrOk = 1, mrCancel = 2;

}  // namespace tk
