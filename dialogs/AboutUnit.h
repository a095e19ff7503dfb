// The About box: product name, version, the maker's notice, a link to the
// product's web page and one that starts a mail to the support address.
// Made hidden at start-up; the Help menu shows it modally (ShowModal).
#pragma once

#include "toolkit/Controls.h"
#include "toolkit/Form.h"
#include "toolkit/Panel.h"

// The product's page on the maker's web site, shown and opened by the About
// box and opened by the main window's Help menu.
inline constexpr char kWebSite[] = "http://www.quendrix.example/ombrelo/";
// The maker's support address; the mail link hands "MailTo:" and it to the shell.
inline constexpr char kSupportMail[] = "support@quendrix.example";

class TAboutForm : public tk::Form {
public:
    TAboutForm();

    tk::Panel* Panel1 = nullptr;
    tk::Label* Label1 = nullptr;   // product name
    tk::Label* Label2 = nullptr;   // version
    tk::Bevel* Bevel1 = nullptr;
    tk::Label* Label5 = nullptr;   // the maker's notice
    tk::Label* Label3 = nullptr;   // web site link
    tk::Label* Label4 = nullptr;   // support mail link
    tk::Button* Button3 = nullptr; // "OK"

    void FormShow(tk::Component* sender);
    void Label3Click(tk::Component* sender);
    void Label4Click(tk::Component* sender);
    void Button3Click(tk::Component* sender);
};

extern TAboutForm* AboutForm;
