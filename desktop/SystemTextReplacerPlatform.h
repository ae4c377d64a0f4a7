#pragma once

#include "desktop/TextReplacer.h"

namespace desktop {

// The capture's services on this desktop: X11 for the windows, the PRIMARY
// selection, reads of other programs' clipboard (a second connection for the
// one read in the background), typed keys (after the
// shortcut library's hot-key grab is let go) and serving the pasted answer,
// Qt for our own clipboard and the waits. Needs the QApplication; throws platform::Error when there is no
// X display.
TextReplacerPlatform makeSystemTextReplacerPlatform();

}  // namespace desktop
