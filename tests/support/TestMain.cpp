// The tests' entry: the application object is made ready once, as the
// program's own entry does, before any test makes a window.
#include <gtest/gtest.h>

#include "toolkit/Application.h"
#include "toolkit/Com.h"

int main(int argc, char** argv) {
    ::testing::InitGoogleTest(&argc, argv);
    const tk::OleApartment ole;
    tk::Application& app = tk::Application::Get();
    app.Initialize();
    app.SetTitle("Quendrix Ombrelo 1.0");
    return RUN_ALL_TESTS();
}
