// The User Interface page's "Password ..." button, drawn by the page so that it carries an
// icon telling whether a password is set.
#pragma once

#include <windows.h>

namespace qly {

void DrawPasswordButton(const DRAWITEMSTRUCT& item, bool password_set);

}  // namespace qly
