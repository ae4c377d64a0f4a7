#pragma once

#include <functional>
#include <string>

#include "platform/Workspace.h"

namespace platform {

// Puts the program's own text on the desktop's selections and serves it to
// other programs itself, so it sees every request and who made it (a toolkit
// clipboard answers others on its own and never says who asked). Main
// thread only; the requests are answered from the main loop.
class SelectionOwner {
public:
    enum class Selections { clipboard, primary, both };

    virtual ~SelectionOwner() = default;

    // Takes the given selections (CLIPBOARD, PRIMARY) with `text`.
    // Until the next offer, `onFetched` runs for each request of the text
    // itself (not of the list of formats, nor of the time stamp) made by a
    // window of `pasteInto`'s process; where a process cannot be told, by
    // the same X client as its window. False when the selections could not
    // be taken.
    virtual bool offer(std::string text, Selections selections, const RunningApplication& pasteInto,
                       std::function<void()> onFetched) = 0;

    // Whether the clipboard still holds the last offer: no other program
    // (nor this one's toolkit clipboard) took it since.
    virtual bool ownsClipboard() = 0;

    // Lets go of the clipboard, if it still holds the last offer.
    virtual void releaseClipboard() = 0;
};

}  // namespace platform
