#pragma once

#include <chrono>
#include <optional>
#include <string>

#include "platform/ClipboardReader.h"

struct _XDisplay;

namespace platform {

// Reads X selections (PRIMARY, CLIPBOARD) that other programs own, on a
// display connection and a hidden window of its own. Each read has one
// budget in all, incremental transfers included (a slow owner does not get
// a fresh one per chunk), and one size limit; it asks nothing more of an
// owner once that owner has let a request pass the budget. Targets with
// side effects on the owner (DELETE, INSERT_SELECTION, INSERT_PROPERTY) are
// never asked for, and nothing is asked of an owner in this very process:
// it would be waiting on us. Main thread only.
class X11SelectionReader final : public ClipboardReader {
public:
    static constexpr std::chrono::milliseconds kBudget{500};
    static constexpr std::size_t kLimit = 64 * 1024 * 1024;

    // Connects to `displayName` (null: $DISPLAY); throws platform::Error when
    // there is no display.
    explicit X11SelectionReader(const char* displayName = nullptr, std::chrono::milliseconds budget = kBudget,
                                std::size_t limit = kLimit);
    ~X11SelectionReader() override;
    X11SelectionReader(const X11SelectionReader&) = delete;
    X11SelectionReader& operator=(const X11SelectionReader&) = delete;

    // The UTF-8 text of a selection (an atom such as XA_PRIMARY) and whether
    // its owner answered in time.
    struct TextRead {
        std::optional<std::string> text;
        bool answered = true;
    };
    TextRead readText(unsigned long selection);

    // ClipboardReader, on CLIPBOARD.
    std::optional<std::string> text() override;
    PasteboardSnapshot snapshot(std::size_t limit) override;

    // The window that owns `selection` (0: nobody).
    unsigned long owner(unsigned long selection);

    // Whether two X resources (windows) belong to the same program: the same
    // process when the server knows both processes, else the same X client.
    bool sameProgram(unsigned long a, unsigned long b);

private:
    struct Reply;
    bool ownedHere(unsigned long ownerWindow);
    void discardPendingEvents();
    Reply request(unsigned long selection, unsigned long target, std::chrono::steady_clock::time_point deadline,
                  std::size_t room);
    // Waits for the answer to a request (SelectionNotify, its property
    // into `property`) or for the next chunk (PropertyNotify); false when
    // the deadline passed first.
    bool waitFor(int type, unsigned long selection, unsigned long target,
                 std::chrono::steady_clock::time_point deadline, unsigned long* property);
    Reply takeProperty(std::size_t room);
    Reply readIncrementally(std::chrono::steady_clock::time_point deadline, std::size_t room);

    _XDisplay* display_ = nullptr;
    unsigned long window_ = 0;
    std::chrono::milliseconds budget_;
    std::size_t limit_;
    unsigned long clipboard_ = 0, targets_ = 0, utf8_ = 0, utf8Mime_ = 0, incr_ = 0, property_ = 0;
};

}  // namespace platform
