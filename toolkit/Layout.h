// Window layouts are JSON documents compiled into the executable. A layout
// names the form's class, its frame, size, caption and font, and lists its
// components with their places, texts, pictures and the names of the
// handlers their events call.
#pragma once

#include <windows.h>

#include <nlohmann/json.hpp>

#include <string>

namespace tk {

using LayoutNode = nlohmann::json;

// The layout data file (for example "tform1.json") parsed; throws tk::Error.
LayoutNode LoadLayout(const std::string& file);

// Typed reads with defaults; a value of the wrong type throws tk::Error
// naming the property.
int LayoutInt(const LayoutNode& node, const char* key, int fallback);
bool LayoutBool(const LayoutNode& node, const char* key, bool fallback);
std::string LayoutText(const LayoutNode& node, const char* key, const std::string& fallback = {});
// Colours are written "#RRGGBB" or as a system colour name ("clBtnFace",
// "clWindowText", "clWindow", "clRed", "clBlue", "clWhite", "clBlack").
COLORREF LayoutColour(const LayoutNode& node, const char* key, COLORREF fallback);
COLORREF ParseColour(const std::string& text);

// A font as a layout describes it; missing parts come from the parent font.
struct FontSpec {
    std::string name = "MS Sans Serif";
    int height = -11;  // negative: character height in pixels
    bool bold = false;
    bool italic = false;
    bool underline = false;
    COLORREF colour = ::GetSysColor(COLOR_WINDOWTEXT);

    bool operator<(const FontSpec& o) const;
};
FontSpec LayoutFont(const LayoutNode& node, const FontSpec& parent);

}  // namespace tk
