#include "platform/x11/X11SelectionReader.h"

#include <X11/Xatom.h>
#include <X11/Xlib.h>
#include <X11/extensions/Xfixes.h>
#include <poll.h>
#include <unistd.h>

#include <algorithm>
#include <array>
#include <string_view>
#include <unordered_set>
#include <vector>

#include "platform/Error.h"
#include "platform/Unicode.h"
#include "platform/x11/X11ClientIdentity.h"
#include "platform/x11/X11Connection.h"
#include "platform/x11/X11ErrorTrap.h"
#include "platform/x11/X11EventPump.h"

namespace platform {

namespace {

// The selection protocol's own targets, and those that make the owner do
// something (delete the selection, insert into it) instead of handing data.
bool isDataTarget(std::string_view name) {
    static constexpr std::array<std::string_view, 7> kNotData = {
        "TARGETS", "MULTIPLE", "TIMESTAMP", "SAVE_TARGETS", "DELETE", "INSERT_SELECTION", "INSERT_PROPERTY"};
    return !name.empty() && std::find(kNotData.begin(), kNotData.end(), name) == kNotData.end() &&
           !name.starts_with("application/x-qt-");  // Qt's stand-ins, made up from the other targets
}

// Idle requestor windows kept for the next requests; more are destroyed.
constexpr std::size_t kPoolSize = 4;

}  // namespace

struct X11SelectionReader::Reply {
    enum class Outcome { data, refused, unanswered, tooLarge };
    Outcome status = Outcome::refused;
    std::string bytes;
    Atom type = None;
    int format = 0;
    // What the server held, counted against the limit: Xlib hands 32-bit
    // items as longs, so `bytes` may be twice as long.
    std::size_t held = 0;
};

// One target asked of a selection's owner, on a requestor window of its own,
// its answer read as its events come: the notification, then for an
// incremental transfer each chunk.
struct X11SelectionReader::Transfer {
    Atom selection = None, target = None;
    std::size_t room = 0;
    bool bytesOnly = true;
    Window window = None;
    bool incremental = false;
    bool settled = false;  // the owner has nothing more to write to `window`
    Reply reply;
    // The request's serial: what the window got before it answers an
    // earlier read (an owner that answered twice, a chunk written late).
    unsigned long serial = 0;
};

// A snapshot of the clipboard on its way: the list of targets, then each
// target in turn, each with its own deadline; done once nothing is asked.
struct X11SelectionReader::Run {
    bool background = false;
    std::size_t limit = 0;
    Owner owner;
    std::vector<std::pair<Atom, std::string>> targets;
    std::size_t unasked = 0;  // formats past kMaxFormats or the limit, never named
    std::size_t next = 0;
    std::optional<Transfer> current;
    std::string currentName;  // empty: the list of targets
    Deadline deadline;
    std::size_t total = 0;
    bool restart = false;  // the clipboard changed: what is read is gone
    PasteboardSnapshot result;
};

X11SelectionReader::X11SelectionReader(const char* displayName, std::chrono::milliseconds budget, std::size_t limit,
                                       std::shared_ptr<MainLoop> loop, std::shared_ptr<MonotonicClock> clock)
    : budget_(budget),
      limit_(limit),
      loop_(loop ? std::move(loop) : MainLoop::main(nullptr)),
      clock_(clock ? std::move(clock) : MonotonicClock::steady()) {
    if (displayName)
        displayName_ = displayName;
    connect();
}

void X11SelectionReader::connect() {
    display_ = X11Connection::open(displayName_ ? displayName_->c_str() : nullptr, true);
    if (!display_)
        throw Error("X11", 0, "Cannot connect to the X display to read the selection");
    idle_.clear();
    busy_.clear();
    window_ = XCreateWindow(display_, DefaultRootWindow(display_), -10, -10, 1, 1, 0, CopyFromParent, InputOnly,
                            CopyFromParent, 0, nullptr);
    char* names[] = {const_cast<char*>("CLIPBOARD"), const_cast<char*>("TARGETS"),
                     const_cast<char*>("UTF8_STRING"), const_cast<char*>("text/plain;charset=utf-8"),
                     const_cast<char*>("INCR"), const_cast<char*>("QUILLARY_SELECTION")};
    std::array<Atom, 6> atoms{};
    XInternAtoms(display_, names, static_cast<int>(atoms.size()), False, atoms.data());
    clipboard_ = atoms[0];
    targets_ = atoms[1];
    utf8_ = atoms[2];
    utf8Mime_ = atoms[3];
    incr_ = atoms[4];
    property_ = atoms[5];
    if (fixesEvent_ >= 0) {  // a keeper hears of the clipboard's changes again
        fixesEvent_ = -1;
        if (int event = 0, error = 0; XFixesQueryExtension(display_, &event, &error)) {
            fixesEvent_ = event;
            filter();
            XFixesSelectSelectionInput(display_, window_, clipboard_, XFixesSetSelectionOwnerNotifyMask);
        }
    }
    filter();
    XFlush(display_);
    if (loop_)
        watch(loop_);
}

void X11SelectionReader::filter() {
    X11Connection::filterEvents(display_, [this](const XEvent& event) {
        if (fixesEvent_ >= 0 && event.type == fixesEvent_ + XFixesSelectionNotify) {
            // Another copy, even by the same window: what was read is gone.
            // The run starts over once the events at hand are seen, however
            // many copies they tell of.
            if (run_ && reinterpret_cast<const XFixesSelectionNotifyEvent&>(event).selection == clipboard_)
                run_->restart = true;
            return false;
        }
        // The answers and chunks of the requests in progress; late ones and
        // whatever else comes are dropped as they are read. Another client
        // can send a request's window notifications and change its
        // properties as fast as the server takes them, and Xlib reads on
        // until the socket is empty: so what cannot be the answer, or after
        // it a chunk, is dropped, and past kMaxQueued events all is. A real
        // answer or chunk dropped in such a flood fails its read as an owner
        // that does not answer would: no text, or the format named as not
        // answering. (The queue's length is a field: no Xlib call.)
        const auto asked = std::find_if(busy_.begin(), busy_.end(),
                                        [&](const Asked& request) { return request.window == event.xany.window; });
        if (asked == busy_.end() || XQLength(event.xany.display) >= kMaxQueued)
            return false;
        if (!asked->answered)
            return event.type == SelectionNotify && event.xselection.selection == asked->selection &&
                   event.xselection.target == asked->target &&
                   (event.xselection.property == property_ || event.xselection.property == None);
        return event.type == PropertyNotify && event.xproperty.atom == property_ &&
               event.xproperty.state == PropertyNewValue;
    });
}

void X11SelectionReader::watch(std::shared_ptr<MainLoop> loop) {
    loop_ = std::move(loop);
    // Between uses it drops what comes: answers given up on, and whatever
    // another client sends its windows.
    pump_ = std::make_unique<X11EventPump>(
        display_, loop_, X11EventPump::Caps{kEventsPerTurn, kTurnTime}, clock_,
        [this](XEvent& event) { feedRun(&event); }, [this] { afterTurn(); });
}

bool X11SelectionReader::usable() {
    if (display_ && !X11Connection::broken(display_))
        return true;
    pump_.reset();
    dropBrokenTransfer();
    X11Connection::close(display_);
    display_ = nullptr;
    try {
        connect();
    } catch (const Error&) {
        return false;
    }
    return true;
}

void X11SelectionReader::dropBrokenTransfer() {
    if (!run_ || !run_->current)
        return;
    forget(run_->current->window);
    run_->current->window = None;  // went with the connection
    run_->current.reset();
    run_->result.lost.push_back("the connection to the display broke");
}

X11SelectionReader::~X11SelectionReader() {
    if (loop_)
        loop_->cancel(timer_);
    pump_.reset();
    // The requestor windows go with the connection.
    X11Connection::close(display_);
}

std::size_t X11SelectionReader::largestReadForTesting() const { return X11Connection::largestRead(display_); }

long X11SelectionReader::droppedEventsForTesting() const { return X11Connection::droppedEvents(display_); }

X11SelectionReader::Owner X11SelectionReader::owner(unsigned long selection, unsigned long programWindow) {
    return usable() ? lookUpOwner(selection, programWindow) : Owner{};
}

X11SelectionReader::Owner X11SelectionReader::lookUpOwner(unsigned long selection, unsigned long programWindow) {
    Owner result{XGetSelectionOwner(display_, selection), std::nullopt, false};
    if (result.window == None)
        return result;
    // Both processes in one round trip: the shortcut waits on each.
    const auto processes = x11::clientProcesses(display_, {result.window, programWindow});
    result.process = processes[0];
    result.ofProgram = x11::sameProgram(display_, result.window, result.process, programWindow, processes[1]);
    return result;
}

bool X11SelectionReader::isThisProcess(const Owner& owner) {
    return owner.process && *owner.process == static_cast<int>(getpid());
}

unsigned long X11SelectionReader::takeWindow() {
    if (!idle_.empty()) {
        const Window window = idle_.back();
        idle_.pop_back();
        return window;
    }
    XSetWindowAttributes attributes{};
    attributes.event_mask = PropertyChangeMask;  // the chunks of incremental transfers
    return XCreateWindow(display_, DefaultRootWindow(display_), -10, -10, 1, 1, 0, CopyFromParent, InputOnly,
                         CopyFromParent, CWEventMask, &attributes);
}

void X11SelectionReader::forget(unsigned long window) {
    std::erase_if(busy_, [window](const Asked& request) { return request.window == window; });
}

void X11SelectionReader::release(Transfer& transfer) {
    if (transfer.window == None)
        return;
    forget(transfer.window);
    if (transfer.settled && idle_.size() < kPoolSize) {
        XDeleteProperty(display_, transfer.window, property_);  // what a refused or too large answer left
        idle_.push_back(transfer.window);
    } else {
        // Given up while its owner may still answer, or write its next
        // chunk: that goes nowhere now. Late events of the window already
        // queued match no request either: its id is never used again.
        XDestroyWindow(display_, transfer.window);
        XFlush(display_);
    }
    transfer.window = None;
}

bool X11SelectionReader::nextEvent(Deadline deadline, void* event) {
    for (;;) {
        // After every event, not only once none is left: a client that
        // floods the reader's windows would stretch the budget without end.
        if (clock_->now() >= deadline || X11Connection::broken(display_))
            return false;
        if (X11Connection::takeEvent(display_, *static_cast<XEvent*>(event)))
            return true;
        const auto left = std::chrono::ceil<std::chrono::milliseconds>(deadline - clock_->now());
        if (left.count() <= 0 || X11Connection::broken(display_))
            return false;
        pollfd fd{ConnectionNumber(display_), POLLIN, 0};
        poll(&fd, 1, static_cast<int>(left.count()));
    }
}

X11SelectionReader::Reply X11SelectionReader::takeProperty(unsigned long window, std::size_t room, bool bytesOnly,
                                                           bool chunk) {
    Reply reply;
    unsigned long count = 0, after = 0;
    unsigned char* data = nullptr;
    // In 32-bit units: one more than the room, so that more is seen as more.
    const long length = static_cast<long>(std::min(room, kLimit) / 4 + 1);
    const int status = XGetWindowProperty(display_, window, property_, 0, length, True, AnyPropertyType, &reply.type,
                                          &reply.format, &count, &after, &data);
    const std::size_t held = count * static_cast<std::size_t>(reply.format / 8);
    if (status != Success || reply.type == None) {
        reply.status = Reply::Outcome::refused;
    } else if (chunk && reply.type == incr_) {
        reply.status = Reply::Outcome::refused;  // a transfer within a transfer
    } else if (bytesOnly && count > 0 && reply.format != 8 && (chunk || reply.type != incr_)) {
        // Text and data targets are bytes, each chunk of them too: Xlib
        // would hand wider items widened, past what the limit counted.
        reply.status = Reply::Outcome::refused;
    } else if (after > 0 || held > room) {
        reply.status = Reply::Outcome::tooLarge;
    } else {
        // Xlib hands 16-bit items as shorts and 32-bit ones as longs.
        const std::size_t itemSize = reply.format == 32   ? sizeof(long)
                                     : reply.format == 16 ? sizeof(short)
                                                          : static_cast<std::size_t>(reply.format / 8);
        reply.bytes.assign(reinterpret_cast<const char*>(data), count * itemSize);
        reply.held = held;
        reply.status = Reply::Outcome::data;
    }
    if (data)
        XFree(data);
    return reply;
}

X11SelectionReader::Transfer X11SelectionReader::begin(unsigned long selection, unsigned long target,
                                                       std::size_t room, bool bytesOnly) {
    Transfer transfer{selection, target, room, bytesOnly, takeWindow(), false, false, {}, NextRequest(display_)};
    busy_.push_back({transfer.window, selection, target});
    XConvertSelection(display_, selection, target, property_, transfer.window, CurrentTime);
    XFlush(display_);
    return transfer;
}

bool X11SelectionReader::step(Transfer& transfer, const void* event) {
    const XEvent& e = *static_cast<const XEvent*>(event);
    if (transfer.window == None || e.xany.window != transfer.window || e.xany.serial < transfer.serial)
        return false;
    if (!transfer.incremental) {
        if (e.type != SelectionNotify || e.xselection.selection != transfer.selection ||
            e.xselection.target != transfer.target)
            return false;
        transfer.settled = true;
        for (Asked& asked : busy_)
            if (asked.window == transfer.window)
                asked.answered = true;  // before the read of the answer, which asks for the first chunk
        if (e.xselection.property == None)
            return true;  // the owner has no such target
        transfer.reply = takeProperty(transfer.window, transfer.room, transfer.bytesOnly, false);
        if (transfer.reply.status != Reply::Outcome::data || transfer.reply.type != incr_)
            return true;
        // Reading the INCR property deleted it, which asks for the first
        // chunk; deleting each chunk asks for the next, and an empty one
        // ends it.
        transfer.incremental = true;
        transfer.settled = false;
        transfer.reply = Reply{Reply::Outcome::data, {}, None, 0, 0};
        return false;
    }
    if (e.type != PropertyNotify || e.xproperty.atom != property_ || e.xproperty.state != PropertyNewValue)
        return false;
    Reply chunk = takeProperty(transfer.window, transfer.room - transfer.reply.held, transfer.bytesOnly, true);
    if (chunk.status != Reply::Outcome::data) {
        transfer.reply = std::move(chunk);
        return true;
    }
    // The text's type is its first chunk's: the empty last one may say
    // anything.
    if (transfer.reply.type == None) {
        transfer.reply.type = chunk.type;
        transfer.reply.format = chunk.format;
    }
    if (chunk.held == 0) {
        transfer.settled = true;
        return true;
    }
    transfer.reply.bytes += chunk.bytes;
    transfer.reply.held += chunk.held;  // at most `room`: takeProperty refuses more
    return false;
}

X11SelectionReader::Reply X11SelectionReader::request(unsigned long selection, unsigned long target,
                                                      Deadline deadline) {
    Transfer transfer = begin(selection, target, limit_, true);
    Reply reply{Reply::Outcome::unanswered, {}, None, 0, 0};
    XEvent event;
    while (nextEvent(deadline, &event)) {
        if (step(transfer, &event)) {
            reply = std::move(transfer.reply);
            break;
        }
    }
    release(transfer);
    return reply;
}

X11SelectionReader::TextRead X11SelectionReader::readText(unsigned long selection) {
    return readText(selection, owner(selection));
}

bool X11SelectionReader::silent(unsigned long selection, const Owner& owner) const {
    return silent_.window == owner.window && silent_.selection == selection && clock_->now() < silent_.until;
}

void X11SelectionReader::rememberSilent(unsigned long selection, const Owner& owner) {
    silent_ = {selection, owner.window, clock_->now() + kSilentFor};
}

X11SelectionReader::TextRead X11SelectionReader::readText(unsigned long selection, const Owner& owner) {
    if (owner.window == None || isThisProcess(owner) || !usable())
        return {};
    if (silent(selection, owner))
        return {std::nullopt, false};
    const auto deadline = clock_->now() + budget_;
    // Old programs offer only STRING, which is Latin-1.
    for (const Atom target : {utf8_, utf8Mime_, Atom{XA_STRING}}) {
        Reply reply = request(selection, target, deadline);
        if (X11Connection::broken(display_))
            return {};  // no fault of the owner's
        if (reply.status == Reply::Outcome::unanswered) {
            rememberSilent(selection, owner);
            return {std::nullopt, false};
        }
        if (reply.status == Reply::Outcome::tooLarge)
            return {};
        if (reply.status == Reply::Outcome::data)
            return {reply.type == XA_STRING ? unicode::latin1ToUtf8(reply.bytes) : std::move(reply.bytes), true};
    }
    return {};
}

std::optional<std::string> X11SelectionReader::text() { return readText(clipboard_).text; }

void X11SelectionReader::startRun(std::size_t limit, bool background) {
    if (run_ && run_->current)
        release(*run_->current);
    run_ = std::make_unique<Run>();
    auto& run = *run_;
    run.background = background;
    run.limit = limit;
    run.owner = lookUpOwner(clipboard_, None);
    const bool asked = run.owner.window != None && !isThisProcess(run.owner);
    if (asked && !background && silent(clipboard_, run.owner)) {
        run.result.lost.push_back("its owner did not answer");
    } else if (asked) {
        run.current = begin(clipboard_, targets_, 64 * 1024, false);
        run.deadline = clock_->now() + kFormatWait;
    }
    armTimer();
}

void X11SelectionReader::restartRun() {
    ++startsOver_;
    startRun(run_->limit, run_->background);
}

void X11SelectionReader::feedRun(const void* event) {
    const XEvent& e = *static_cast<const XEvent*>(event);
    if (!run_)
        return;  // answers that came after their snapshot ended
    if (!run_->restart && run_->current && step(*run_->current, &e))
        finishTransfer(std::move(run_->current->reply));
}

void X11SelectionReader::pumpRun() {
    if (pump_)
        pump_->turn();  // then afterTurn
    else
        afterTurn();
}

void X11SelectionReader::afterTurn() {
    if (!display_ || X11Connection::broken(display_)) {  // none: it could not be opened again
        dropBrokenTransfer();  // the next use reads on a new connection
    } else if (run_ && run_->restart) {
        restartRun();
    } else if (run_ && run_->current && clock_->now() >= run_->deadline) {
        finishTransfer(Reply{Reply::Outcome::unanswered, {}, None, 0, 0});
    }
    armTimer();
}

void X11SelectionReader::finishTransfer(Reply reply) {
    auto& run = *run_;
    const std::string name = std::move(run.currentName);
    release(*run.current);
    run.current.reset();
    if (reply.status == Reply::Outcome::unanswered && !run.background)
        rememberSilent(clipboard_, run.owner);
    if (name.empty()) {  // the list of targets
        if (reply.status != Reply::Outcome::data || reply.format != 32) {
            run.result.lost.push_back(reply.status == Reply::Outcome::unanswered ? "its list of formats did not answer"
                                                                                 : "its list of formats was refused");
            armTimer();
            return;
        }
        // Each format once, by its atom, before any name is asked for: a
        // list may be long, and its names longer.
        const auto* items = reinterpret_cast<const unsigned long*>(reply.bytes.data());
        const std::size_t count = reply.bytes.size() / sizeof(long);
        std::vector<Atom> atoms;
        std::unordered_set<Atom> seen(count);
        for (std::size_t i = 0; i < count; ++i)
            if (items[i] != None && seen.insert(items[i]).second)
                atoms.push_back(items[i]);
        const std::size_t asked = std::min(atoms.size(), kMaxFormats);
        run.unasked = atoms.size() - asked;
        std::vector<char*> names(asked, nullptr);
        if (asked > 0) {
            X11ErrorTrap trap(display_);  // an atom that names nothing stays unnamed, and is left out
            XGetAtomNames(display_, atoms.data(), static_cast<int>(asked), names.data());
        }
        for (std::size_t i = 0; i < asked; ++i) {
            if (!names[i])
                continue;
            const std::string target = names[i];
            XFree(names[i]);
            // The names are read too: they count against the limit.
            if (target.size() > run.limit - run.total) {
                ++run.unasked;
                continue;
            }
            run.total += target.size();
            if (isDataTarget(target))
                run.targets.emplace_back(atoms[i], target);
        }
    } else if (reply.status == Reply::Outcome::data) {
        run.total += reply.held;
        run.result.formats.emplace_back(name, std::move(reply.bytes));
    } else if (reply.status == Reply::Outcome::unanswered) {
        run.result.lost.push_back(name + " did not answer");
    } else if (reply.status == Reply::Outcome::tooLarge) {
        run.result.lost.push_back(name + " is too large");
    }  // refused: no data of that name after all, or the protocol's in
       // 32-bit items (LENGTH, CLIENT_WINDOW), which no program pastes
    askNext();
}

void X11SelectionReader::askNext() {
    auto& run = *run_;
    if (run.next < run.targets.size()) {
        const auto& [atom, name] = run.targets[run.next++];
        run.current = begin(clipboard_, atom, run.limit - run.total, true);
        run.currentName = name;
        run.deadline = clock_->now() + kFormatWait;
    }
    armTimer();
}

PasteboardSnapshot X11SelectionReader::endRun() {
    if (!run_)
        return {};
    auto& run = *run_;
    if (run.current) {
        release(*run.current);
        run.result.lost.push_back(run.currentName.empty() ? "its list of formats did not answer"
                                                          : run.currentName + " did not answer");
        if (!run.background)
            rememberSilent(clipboard_, run.owner);
    }
    for (std::size_t i = run.next; i < run.targets.size(); ++i)
        run.result.lost.push_back(run.targets[i].second + " was not asked in time");
    if (run.unasked > 0)
        run.result.lost.push_back("and " + std::to_string(run.unasked) + " more formats, never asked");
    PasteboardSnapshot result = std::move(run.result);
    run_.reset();
    armTimer();
    return result;
}

void X11SelectionReader::armTimer() {
    if (!loop_)
        return;
    loop_->cancel(timer_);
    timer_ = 0;
    if (!run_ || !run_->background || (!run_->current && !run_->restart))
        return;
    // Events already read off the connection get a turn of the pump's own.
    const auto wait = run_->restart ? std::chrono::milliseconds(0)
                                    : std::chrono::ceil<std::chrono::milliseconds>(run_->deadline - clock_->now());
    timer_ = loop_->addTimer(std::max(wait, std::chrono::milliseconds(1)), false, [this] {
        timer_ = 0;
        pumpRun();
    });
}

PasteboardSnapshot X11SelectionReader::snapshot(std::size_t limit) {
    if (!usable())
        return {{}, {"the X display cannot be reached"}};
    startRun(limit, false);
    // Within the budget, shorter than any one target's wait.
    const auto deadline = clock_->now() + kSnapshotBudget;
    XEvent event;
    while ((run_->current || run_->restart) && nextEvent(deadline, &event)) {
        feedRun(&event);
        if (run_->restart)
            restartRun();
    }
    return endRun();
}

void X11SelectionReader::beginSnapshot(std::size_t limit) {
    if (!usable()) {
        run_ = std::make_unique<Run>();
        run_->background = true;
        run_->result.lost.push_back("the X display cannot be reached");
        return;
    }
    if (!pump_)
        watch(loop_ ? loop_ : MainLoop::main());
    if (int event = 0, error = 0; fixesEvent_ < 0 && XFixesQueryExtension(display_, &event, &error)) {
        fixesEvent_ = event;
        filter();  // XFixes' events, read through its own conversion
        XFixesSelectSelectionInput(display_, window_, clipboard_, XFixesSetSelectionOwnerNotifyMask);
    }
    startRun(limit, true);
}

bool X11SelectionReader::snapshotReady() {
    pumpRun();
    return !run_ || (!run_->current && !run_->restart);
}

PasteboardSnapshot X11SelectionReader::endSnapshot() {
    pumpRun();
    return endRun();
}

}  // namespace platform
