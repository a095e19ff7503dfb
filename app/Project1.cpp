// Program entry: the application's title, its windows in order, the loop.
#include <windows.h>

#include "app/Startup.h"
#include "toolkit/Application.h"
#include "toolkit/Com.h"

int WINAPI WinMain(HINSTANCE, HINSTANCE, LPSTR, int) {
    const tk::OleApartment ole;
    tk::Application& app = tk::Application::Get();
    app.Initialize();
    app.SetTitle(kApplicationTitle);
    try {
        CreateApplicationForms();
    } catch (...) {
        app.HandleException();
        return 1;
    }
    app.Run();
    return 0;
}
