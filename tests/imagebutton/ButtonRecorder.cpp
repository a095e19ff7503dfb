#include "imagebutton/ButtonRecorder.h"

#include <gtest/gtest.h>

#include <memory>
#include <sstream>

#include "toolkit/Controls.h"
#include "toolkit/Text.h"

namespace imagebutton_test {

void RecordingButton::DrawButton() {
    TImageButton::DrawButton();
    if (painting_) {
        ++repaints_;
        return;
    }
    static const char* const kStates[] = {"none", "over", "down"};
    std::string look = std::string("draw ") + (DisplayState() <= dsDown ? kStates[DisplayState()] : "?");
    if (!IsEnabled()) look += "+disabled";
    if (HasFocus()) look += "+focus";
    record_.push_back(look);
}

LRESULT RecordingButton::HandleMessage(UINT message, WPARAM wParam, LPARAM lParam) {
    if (message != WM_PAINT) return TImageButton::HandleMessage(message, wParam, lParam);
    painting_ = true;
    const LRESULT result = TImageButton::HandleMessage(message, wParam, lParam);
    painting_ = false;
    return result;
}

tk::Region RecordingButton::MakeRegion(const tk::Bitmap& composite) {
    if (failingBuilds_ > 0) {
        --failingBuilds_;
        throw tk::Error("Cannot create the region of an image button");
    }
    return TImageButton::MakeRegion(composite);
}

void RegisterRecordingButton() {
    tk::RegisterComponentType("ImageButton", [] { return std::make_unique<RecordingButton>(); });
}

TestForm::TestForm(const char* layout) : tk::Form(layout) {
    Handler("ButtonClick", &TestForm::ButtonClick);
    Handler("ButtonDblClick", &TestForm::ButtonDblClick);
    Handler("ButtonEnter", &TestForm::ButtonEnter);
    Handler("ButtonLeave", &TestForm::ButtonLeave);
}

RecordingButton& TestForm::Button(const char* name) const {
    auto* button = dynamic_cast<RecordingButton*>(FindComponent(name));
    if (!button) throw tk::Error(tk::Format("No image button %s", name));
    return *button;
}

void TestForm::ButtonClick(tk::Component* sender) { static_cast<RecordingButton*>(sender)->Record().push_back("click"); }
void TestForm::ButtonDblClick(tk::Component* sender) {
    static_cast<RecordingButton*>(sender)->Record().push_back("dblclick");
}
void TestForm::ButtonEnter(tk::Component* sender) { static_cast<RecordingButton*>(sender)->Record().push_back("enter"); }
void TestForm::ButtonLeave(tk::Component* sender) { static_cast<RecordingButton*>(sender)->Record().push_back("leave"); }

void ExpectRecord(RecordingButton& button, const std::vector<std::string>& expected, const char* file, int line) {
    std::vector<std::string>& actual = button.Record();
    if (actual != expected) {
        auto show = [](const std::vector<std::string>& items) {
            std::ostringstream text;
            for (size_t i = 0; i < items.size(); ++i) text << "\n    " << i << ": " << items[i];
            if (items.empty()) text << "\n    (nothing)";
            return text.str();
        };
        ADD_FAILURE_AT(file, line) << button.Name() << " recorded:" << show(actual) << "\n  expected:" << show(expected);
    }
    actual.clear();
}

}  // namespace imagebutton_test
