// What the tests of the image button watch: a TImageButton that records each
// look it draws, forms whose handlers record the buttons' events into the
// same record, and the comparison that prints the whole record on a mismatch.
#pragma once

#include <windows.h>

#include <string>
#include <vector>

#include "skin/ImageButton3.h"
#include "toolkit/Form.h"

namespace imagebutton_test {

// Records every draw outside the paint cycle as "draw none|over|down", with
// "+disabled" and "+focus" for the overlays that apply; draws inside the
// paint cycle (repaints of the same look) are only counted.
class RecordingButton : public TImageButton {
public:
    void DrawButton() override;
    std::vector<std::string>& Record() { return record_; }
    int Repaints() const { return repaints_; }
    // The next `count` region builds fail as a refusing system makes them fail.
    void FailRegionBuilds(int count) { failingBuilds_ = count; }

protected:
    LRESULT HandleMessage(UINT message, WPARAM wParam, LPARAM lParam) override;
    tk::Region MakeRegion(const tk::Bitmap& composite) override;

private:
    int failingBuilds_ = 0;
    std::vector<std::string> record_;
    bool painting_ = false;
    int repaints_ = 0;
};

// Makes the layouts' "ImageButton" a RecordingButton.
void RegisterRecordingButton();

// A form of a test layout. Its handlers add "click", "dblclick", "enter" and
// "leave" to the record of the button that raised them.
class TestForm : public tk::Form {
public:
    explicit TestForm(const char* layout);
    RecordingButton& Button(const char* name) const;

private:
    void ButtonClick(tk::Component* sender);
    void ButtonDblClick(tk::Component* sender);
    void ButtonEnter(tk::Component* sender);
    void ButtonLeave(tk::Component* sender);
};

// The main window's buttons over its background (timagebuttondemo.json).
class DemoForm : public TestForm {
public:
    DemoForm() : TestForm("timagebuttondemo.json") {}
};

// Buttons 1 to 3 in group 1, button 4 in group 2, button 5 in none.
class GroupForm : public TestForm {
public:
    GroupForm() : TestForm("timagebuttongroups.json") {}
};

// Four plain buttons in a row, then an edit field.
class KeysForm : public TestForm {
public:
    KeysForm() : TestForm("timagebuttonkeys.json") {}
};

// Compares the button's record with the expected one and empties it; on a
// mismatch the failure shows both whole sequences, at the caller's line.
void ExpectRecord(RecordingButton& button, const std::vector<std::string>& expected, const char* file, int line);
#define EXPECT_RECORD(button, ...) \
    ::imagebutton_test::ExpectRecord(button, std::vector<std::string> __VA_ARGS__, __FILE__, __LINE__)

}  // namespace imagebutton_test
