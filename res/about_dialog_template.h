#pragma once

#include "dialog_template.h"

namespace tessaglyph {

// IDD_ABOUTBOX: the About box, 166 x 118 dialog units, with the two link
// statics IDC_WEB_LINK and IDC_MAIL_LINK.
const DialogTemplate& AboutDialogTemplate();

}  // namespace tessaglyph
