// The About box: product name, version, the maker's site and support address.
#pragma once

#include "toolkit/Controls.h"
#include "toolkit/Form.h"

class TAboutForm : public tk::Form {
public:
    TAboutForm();
};

extern TAboutForm* AboutForm;
