// Pictures drawn in code: the program icon and the write buttons' glyph.
#pragma once

#include <QImage>

namespace orn {

// The 100 x 100 program icon, 32 bits per pixel.
QImage ProgramIcon();
// The 16 x 16 glyph of the write buttons: two curved green arrows, the upper
// pointing right, the lower pointing left, on a transparent background.
QImage WriteGlyph();

} // namespace orn
