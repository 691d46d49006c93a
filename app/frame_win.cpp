// On Windows the caption without buttons comes from the window's own flags
// (Qt::CustomizeWindowHint with the title hint alone), which Qt hands to
// the system as they are; nothing is left to ask.
#include "frame.h"

namespace orn {

void AskForCaptionOnly(QWidget& /*window*/) {}

} // namespace orn
