#include "shell/CellBase.h"

CellBase::CellBase() {
    // "Fixed Sys" names no installed face: the font mapper picks a bold
    // Shift-JIS face of height 14.
    headFont_.CreateFont(14, 0, 0, 0, FW_BOLD, FALSE, FALSE, FALSE, SHIFTJIS_CHARSET, OUT_DEFAULT_PRECIS,
                         CLIP_DEFAULT_PRECIS, DEFAULT_QUALITY, DEFAULT_PITCH, "Fixed Sys");
}
