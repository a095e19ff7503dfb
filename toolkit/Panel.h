// A panel: a plain area of one colour under the controls placed on it, with
// an optional raised or lowered bevel around it. The controls that sit on a
// panel follow it in the layout and are placed in the form's coordinates.
#pragma once

#include <string>

#include "toolkit/Control.h"

namespace tk {

class Panel : public GraphicControl {
public:
    void Paint(HDC dc) override;
    void Load(const LayoutNode& node) override;
    COLORREF Colour() const;

private:
    std::string bevel_ = "none";  // "none", "raised" or "lowered"
    COLORREF colour_ = CLR_INVALID;  // CLR_INVALID: the form's
};

}  // namespace tk
