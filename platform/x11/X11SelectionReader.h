#pragma once

#include <chrono>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "platform/ClipboardReader.h"
#include "platform/MainLoop.h"
#include "platform/MonotonicClock.h"

struct _XDisplay;

namespace platform {

class X11EventPump;


// Reads X selections (PRIMARY, CLIPBOARD) that other programs own, on a
// display connection of its own. Each request goes to a hidden window of its
// own, taken from a small pool and destroyed when the request is given up:
// an owner that answers late, or refuses late, writes to a window that is
// gone, and its answer is never taken for a later request's. A text read has one
// budget in all, incremental transfers included (a slow owner does not get a
// fresh one per chunk), and one size limit, counted as the server holds the
// data. An owner that lets a request pass the budget is asked nothing more
// for a while: the rest of a capture (its clipboard reads between copy
// attempts) would otherwise wait on it again and again. Targets with side
// effects on the owner (DELETE, INSERT_SELECTION, INSERT_PROPERTY) are never
// asked for, and nothing is asked of an owner in this very process: it would
// be waiting on us. Main thread only.
//
// The clipboard's snapshot is read target by target; `snapshot` waits for it
// (kSnapshotBudget in all), while `beginSnapshot` reads it from the main
// loop's watch of the connection, each target kFormatWait, started over when
// any client sets the clipboard's owner meanwhile (XFixes); there every
// target gets its time, also after one that did not answer, and each turn of
// the loop does a bounded share of the work (kEventsPerTurn events, one start
// over at most), so an owner that claims the clipboard again and again cannot
// hold the loop. Of a long list of formats the first kMaxFormats distinct
// ones are read, their names counted against the limit; the rest are named
// as lost in one entry. A reader that does both would mix their answers: the
// program gives the background its own reader.
//
// Another client may send the reader's windows events without end. Every
// budget is looked at after each event, not only when none is left, and the
// main loop reads the connection between uses too (kEventsPerTurn events a
// turn at most, kTurnTime at most), dropping what belongs to no request, so
// no backlog waits on the server for the next capture to read whole. Of
// what comes for a request in progress, only what could be its answer or
// its next chunk is kept, kMaxQueued events at most, however fast another
// client sends it. A connection that broke is opened again at the next use.
class X11SelectionReader final : public ClipboardReader {
public:
    static constexpr std::chrono::milliseconds kBudget{500};
    static constexpr std::chrono::milliseconds kSnapshotBudget{1000};
    static constexpr std::chrono::milliseconds kFormatWait{2000};
    static constexpr std::size_t kLimit = 64 * 1024 * 1024;
    // How long an owner that did not answer is taken as still silent.
    static constexpr std::chrono::seconds kSilentFor{2};
    static constexpr std::size_t kMaxFormats = 500;
    static constexpr int kEventsPerTurn = 64;
    static constexpr std::chrono::milliseconds kTurnTime{5};
    // Events Xlib's queue may hold for the requests in progress: two at
    // most, each with its answer and a chunk's notice, and room to spare.
    static constexpr int kMaxQueued = 8;

    // Connects to `displayName` (null: $DISPLAY); throws platform::Error when
    // there is no display. `loop` reads the connection between uses and
    // drives background snapshots; null: the program's main loop, where
    // there is one already, else at the first background snapshot. Budgets
    // run on `clock` (null: the steady clock).
    explicit X11SelectionReader(const char* displayName = nullptr, std::chrono::milliseconds budget = kBudget,
                                std::size_t limit = kLimit, std::shared_ptr<MainLoop> loop = nullptr,
                                std::shared_ptr<MonotonicClock> clock = nullptr);
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

    // The UTF-8 text of a selection (UTF8_STRING, else Latin-1 STRING made
    // UTF-8) and whether its owner answered in time. `owner` as just looked
    // up, saving the look-up.
    struct TextRead {
        std::optional<std::string> text;
        bool answered = true;
    };
    TextRead readText(unsigned long selection);
    TextRead readText(unsigned long selection, const Owner& owner);

    // ClipboardReader, on CLIPBOARD.
    std::optional<std::string> text() override;
    PasteboardSnapshot snapshot(std::size_t limit) override;
    void beginSnapshot(std::size_t limit) override;
    bool snapshotReady() override;
    PasteboardSnapshot endSnapshot() override;

    // How many times snapshots started over on another copy, for a look at
    // what an owner that claims the clipboard in a loop costs.
    int startsOver() const { return startsOver_; }

    // For a look at a flood: the most events Xlib's queue held after one
    // read of the socket, and the events dropped as they were read.
    std::size_t largestReadForTesting() const;
    long droppedEventsForTesting() const;
    // The reader's own window, which hears of the clipboard's changes.
    unsigned long windowForTesting() const { return window_; }

private:
    struct Reply;
    struct Transfer;
    struct Run;
    using Deadline = MonotonicClock::TimePoint;

    // Opens the connection and its window; throws platform::Error when it
    // cannot. `usable` opens it again when it broke; false: it cannot.
    void connect();
    bool usable();
    void watch(std::shared_ptr<MainLoop> loop);
    // The run's target asked on a connection that broke: no answer comes.
    void dropBrokenTransfer();
    // Keeps, of what Xlib reads, only what the requests in progress wait
    // for; another copy of the clipboard marks the run to start over.
    void filter();
    Owner lookUpOwner(unsigned long selection, unsigned long programWindow);
    static bool isThisProcess(const Owner& owner);
    bool silent(unsigned long selection, const Owner& owner) const;
    void rememberSilent(unsigned long selection, const Owner& owner);
    // A requestor window for one request, and its end: back to the pool when
    // the owner is done with it, else destroyed.
    unsigned long takeWindow();
    void release(Transfer& transfer);
    void forget(unsigned long window);
    // The next event of the connection, waiting for it until `deadline`;
    // false when none came by then.
    bool nextEvent(Deadline deadline, void* event);
    // Asks for a text target, waiting until `deadline`.
    Reply request(unsigned long selection, unsigned long target, Deadline deadline);
    Transfer begin(unsigned long selection, unsigned long target, std::size_t room, bool bytesOnly);
    // Feeds an event to a transfer; true once it is over.
    bool step(Transfer& transfer, const void* event);
    // The property a request's answer was put in; `chunk`: one chunk of an
    // incremental transfer.
    Reply takeProperty(unsigned long window, std::size_t room, bool bytesOnly, bool chunk);

    // The snapshot's steps, the waiting and background alike.
    void startRun(std::size_t limit, bool background);
    void feedRun(const void* event);
    void restartRun();
    // Feeds the run the events that have come, kEventsPerTurn at most, then
    // (afterTurn) starts it over if the clipboard changed meanwhile, and ends
    // a target past its wait.
    void pumpRun();
    void afterTurn();
    void finishTransfer(Reply reply);
    void askNext();
    PasteboardSnapshot endRun();
    void armTimer();

    std::optional<std::string> displayName_;
    _XDisplay* display_ = nullptr;
    std::unique_ptr<X11EventPump> pump_;
    unsigned long window_ = 0;  // hears of the clipboard's changes; never a requestor
    std::vector<unsigned long> idle_;  // requestor windows free for the next request
    // The requests in progress (two at most): their windows, what each
    // asked for, which its answer names, and whether that answer came (only
    // then may chunks follow).
    struct Asked {
        unsigned long window = 0, selection = 0, target = 0;
        bool answered = false;
    };
    std::vector<Asked> busy_;
    std::chrono::milliseconds budget_;
    std::size_t limit_;
    std::shared_ptr<MainLoop> loop_;
    std::shared_ptr<MonotonicClock> clock_;
    MainLoop::Id timer_ = 0;
    int fixesEvent_ = -1;  // XFixes' first event number, once selected
    int startsOver_ = 0;
    std::unique_ptr<Run> run_;
    struct Silent {
        unsigned long selection = 0, window = 0;
        Deadline until;
    } silent_;
    unsigned long clipboard_ = 0, targets_ = 0, utf8_ = 0, utf8Mime_ = 0, incr_ = 0, property_ = 0;
};

}  // namespace platform
