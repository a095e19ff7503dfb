#include "app/Startup.h"

#include "app/Unit1.h"
#include "conversion/Unit2.h"
#include "dialogs/AboutUnit.h"
#include "dialogs/Unit3.h"
#include "dialogs/Unit5.h"
#include "skin/ImageButton3.h"
#include "toolkit/Application.h"

void CreateApplicationForms() {
    RegisterImageButton();
    tk::Application& app = tk::Application::Get();
    app.CreateForm(Form1);
    app.CreateForm(Form2);
    app.CreateForm(Form3);
    app.CreateForm(Form5);
    app.CreateForm(AboutForm);
}
