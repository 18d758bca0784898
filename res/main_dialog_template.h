#pragma once

#include "dialog_template.h"

namespace tessaglyph {

// IDD_MAIN: the converter window, 178 x 173 dialog units.
const DialogTemplate& MainDialogTemplate();

}  // namespace tessaglyph
