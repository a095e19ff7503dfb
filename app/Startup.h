// The program's windows, made once in their fixed order.
#pragma once

inline constexpr char kApplicationTitle[] = "Quendrix Ombrelo 1.0";

// Registers the program's own component types and makes every window, hidden:
// the main window, the progress window, the codec prompt, the elevation hint
// and the About box.
void CreateApplicationForms();
