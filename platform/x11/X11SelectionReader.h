#pragma once

#include <chrono>
#include <optional>
#include <string>

#include "platform/ClipboardReader.h"

struct _XDisplay;

namespace platform {

// Reads X selections (PRIMARY, CLIPBOARD) that other programs own, on a
// display connection and a hidden window of its own. Each read (a text, a
// whole snapshot) has one budget in all, incremental transfers included (a
// slow owner does not get a fresh one per chunk), and one size limit. An
// owner that lets a request pass the budget is asked nothing more for a
// while: the rest of a capture (its clipboard reads between copy attempts)
// would otherwise wait on it again and again. Targets with side effects on the owner (DELETE, INSERT_SELECTION,
// INSERT_PROPERTY) are never asked for, and nothing is asked of an owner in
// this very process: it would be waiting on us. Main thread only.
class X11SelectionReader final : public ClipboardReader {
public:
    static constexpr std::chrono::milliseconds kBudget{500};
    static constexpr std::size_t kLimit = 64 * 1024 * 1024;
    // How long an owner that did not answer is taken as still silent.
    static constexpr std::chrono::seconds kSilentFor{2};

    // Connects to `displayName` (null: $DISPLAY); throws platform::Error when
    // there is no display.
    explicit X11SelectionReader(const char* displayName = nullptr, std::chrono::milliseconds budget = kBudget,
                                std::size_t limit = kLimit);
    ~X11SelectionReader() override;
    X11SelectionReader(const X11SelectionReader&) = delete;
    X11SelectionReader& operator=(const X11SelectionReader&) = delete;

    // Who owns a selection (an atom such as XA_PRIMARY): its window (0:
    // nobody), that window's process where the server knows it, and whether
    // it belongs to the program of `programWindow`: the same process when
    // the server knows both, else the same X client.
    struct Owner {
        unsigned long window = 0;
        std::optional<int> process;
        bool ofProgram = false;
    };
    Owner owner(unsigned long selection, unsigned long programWindow = 0);

    // The UTF-8 text of a selection and whether its owner answered in time.
    // `owner` as just looked up, saving the look-up.
    struct TextRead {
        std::optional<std::string> text;
        bool answered = true;
    };
    TextRead readText(unsigned long selection);
    TextRead readText(unsigned long selection, const Owner& owner);

    // ClipboardReader, on CLIPBOARD.
    std::optional<std::string> text() override;
    PasteboardSnapshot snapshot(std::size_t limit) override;

private:
    struct Reply;
    static bool isThisProcess(const Owner& owner);
    bool silent(unsigned long selection, const Owner& owner) const;
    void rememberSilent(unsigned long selection, const Owner& owner);
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
    struct Silent {
        unsigned long selection = 0, window = 0;
        std::chrono::steady_clock::time_point until;
    } silent_;
    unsigned long clipboard_ = 0, targets_ = 0, utf8_ = 0, utf8Mime_ = 0, incr_ = 0, property_ = 0;
};

}  // namespace platform
