#include "toolkit/Panel.h"

#include "toolkit/Form.h"
#include "toolkit/Handles.h"
#include "toolkit/Text.h"

namespace tk {

void Panel::Load(const LayoutNode& node) {
    Control::Load(node);
    colour_ = LayoutColour(node, "color", CLR_INVALID);
    bevel_ = LayoutText(node, "bevel", bevel_);
    if (bevel_ != "none" && bevel_ != "raised" && bevel_ != "lowered")
        throw Error(Format("Unknown panel bevel %s", bevel_.c_str()));
}

COLORREF Panel::Colour() const { return colour_ == CLR_INVALID ? Owner()->Colour() : colour_; }

void Panel::Paint(HDC dc) {
    RECT r = BoundsRect();
    Brush brush(::CreateSolidBrush(Colour()));
    ::FillRect(dc, &r, brush.Get());
    if (bevel_ == "raised") ::DrawEdge(dc, &r, BDR_RAISEDINNER, BF_RECT);
    else if (bevel_ == "lowered") ::DrawEdge(dc, &r, BDR_SUNKENOUTER, BF_RECT);
}

}  // namespace tk
