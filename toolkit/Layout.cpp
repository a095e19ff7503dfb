#include "toolkit/Layout.h"

#include <tuple>

#include "toolkit/Resources.h"
#include "toolkit/Text.h"

namespace tk {

LayoutNode LoadLayout(const std::string& file) {
    const std::string_view text = DataFile(file);
    try {
        return LayoutNode::parse(text.begin(), text.end());
    } catch (const nlohmann::json::exception& e) {
        throw Error(Format("Layout %s: %s", file.c_str(), e.what()));
    }
}

namespace {

template <typename T, typename Check>
T Read(const LayoutNode& node, const char* key, T fallback, Check isRightType, const char* typeName) {
    auto it = node.find(key);
    if (it == node.end()) return fallback;
    if (!isRightType(*it)) throw Error(Format("Property %s must be %s", key, typeName));
    return it->template get<T>();
}

}  // namespace

int LayoutInt(const LayoutNode& node, const char* key, int fallback) {
    return Read<int>(node, key, fallback, [](const LayoutNode& v) { return v.is_number_integer(); }, "a whole number");
}

bool LayoutBool(const LayoutNode& node, const char* key, bool fallback) {
    return Read<bool>(node, key, fallback, [](const LayoutNode& v) { return v.is_boolean(); }, "true or false");
}

std::string LayoutText(const LayoutNode& node, const char* key, const std::string& fallback) {
    return Read<std::string>(node, key, fallback, [](const LayoutNode& v) { return v.is_string(); }, "a text");
}

COLORREF ParseColour(const std::string& text) {
    if (text.size() == 7 && text[0] == '#') {
        const unsigned long rgb = std::stoul(text.substr(1), nullptr, 16);
        return RGB((rgb >> 16) & 0xFF, (rgb >> 8) & 0xFF, rgb & 0xFF);
    }
    struct Named {
        const char* name;
        COLORREF value;
    };
    static const Named kNames[] = {
        {"clBlack", RGB(0, 0, 0)},   {"clWhite", RGB(255, 255, 255)}, {"clRed", RGB(255, 0, 0)},
        {"clBlue", RGB(0, 0, 255)},  {"clNavy", RGB(0, 0, 128)},      {"clMaroon", RGB(128, 0, 0)},
    };
    for (const Named& n : kNames)
        if (text == n.name) return n.value;
    if (text == "clBtnFace") return ::GetSysColor(COLOR_BTNFACE);
    if (text == "clWindow") return ::GetSysColor(COLOR_WINDOW);
    if (text == "clWindowText") return ::GetSysColor(COLOR_WINDOWTEXT);
    throw Error(Format("Unknown colour %s", text.c_str()));
}

COLORREF LayoutColour(const LayoutNode& node, const char* key, COLORREF fallback) {
    auto it = node.find(key);
    if (it == node.end()) return fallback;
    if (!it->is_string()) throw Error(Format("Property %s must be a colour text", key));
    return ParseColour(it->get<std::string>());
}

bool FontSpec::operator<(const FontSpec& o) const {
    return std::tie(name, height, bold, italic, underline) < std::tie(o.name, o.height, o.bold, o.italic, o.underline);
}

FontSpec LayoutFont(const LayoutNode& node, const FontSpec& parent) {
    FontSpec font = parent;
    auto it = node.find("font");
    if (it == node.end()) return font;
    const LayoutNode& f = *it;
    font.name = LayoutText(f, "name", font.name);
    font.height = LayoutInt(f, "height", font.height);
    font.colour = LayoutColour(f, "color", font.colour);
    if (auto style = f.find("style"); style != f.end()) {
        font.bold = font.italic = font.underline = false;
        for (const auto& s : *style) {
            const std::string word = s.get<std::string>();
            if (word == "bold") font.bold = true;
            else if (word == "italic") font.italic = true;
            else if (word == "underline") font.underline = true;
            else throw Error(Format("Unknown font style %s", word.c_str()));
        }
    }
    return font;
}

}  // namespace tk
