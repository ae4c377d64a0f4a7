#include "platform/x11/X11SelectionReader.h"

#include <X11/Xatom.h>
#include <X11/Xlib.h>
#include <poll.h>
#include <unistd.h>

#include <algorithm>
#include <array>
#include <string_view>
#include <vector>

#include "platform/Error.h"
#include "platform/x11/X11ClientIdentity.h"
#include "platform/x11/X11Connection.h"
#include "platform/x11/X11ErrorTrap.h"

namespace platform {

namespace {

using Deadline = std::chrono::steady_clock::time_point;

// The selection protocol's own targets, and those that make the owner do
// something (delete the selection, insert into it) instead of handing data.
bool isDataTarget(std::string_view name) {
    static constexpr std::array<std::string_view, 7> kNotData = {
        "TARGETS", "MULTIPLE", "TIMESTAMP", "SAVE_TARGETS", "DELETE", "INSERT_SELECTION", "INSERT_PROPERTY"};
    return !name.empty() && std::find(kNotData.begin(), kNotData.end(), name) == kNotData.end() &&
           !name.starts_with("application/x-qt-");  // Qt's stand-ins, made up from the other targets
}

}  // namespace

struct X11SelectionReader::Reply {
    enum class Outcome { data, refused, unanswered, tooLarge };
    Outcome status = Outcome::refused;
    std::string bytes;
    Atom type = None;
    int format = 0;
};

X11SelectionReader::X11SelectionReader(const char* displayName, std::chrono::milliseconds budget, std::size_t limit)
    : budget_(budget), limit_(limit) {
    display_ = X11Connection::open(displayName);
    if (!display_)
        throw Error("X11", 0, "Cannot connect to the X display to read the selection");
    XSetWindowAttributes attributes{};
    attributes.event_mask = PropertyChangeMask;
    window_ = XCreateWindow(display_, DefaultRootWindow(display_), -10, -10, 1, 1, 0, CopyFromParent, InputOnly,
                            CopyFromParent, CWEventMask, &attributes);
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
}

X11SelectionReader::~X11SelectionReader() {
    XDestroyWindow(display_, window_);
    X11Connection::close(display_);
}

X11SelectionReader::Owner X11SelectionReader::owner(unsigned long selection, unsigned long programWindow) {
    Owner result{XGetSelectionOwner(display_, selection), std::nullopt, false};
    if (result.window == None)
        return result;
    // Both processes in one round trip: the shortcut waits on each.
    const auto processes = x11::clientProcesses(display_, {result.window, programWindow});
    result.process = processes[0];
    if (programWindow == None)
        return result;
    // A program may own a selection from a second connection (an office
    // suite does): its process tells, where the server knows it. A client
    // that is sandboxed or remote has none, and only its connection tells.
    if (result.process && processes[1])
        result.ofProgram = *result.process == *processes[1];
    else
        result.ofProgram = x11::sameClient(display_, result.window, programWindow);
    return result;
}

bool X11SelectionReader::isThisProcess(const Owner& owner) {
    return owner.process && *owner.process == static_cast<int>(getpid());
}

void X11SelectionReader::discardPendingEvents() {
    // Answers to earlier reads that came after their budget.
    while (XPending(display_) > 0) {
        XEvent event;
        XNextEvent(display_, &event);
    }
}

bool X11SelectionReader::waitFor(int type, unsigned long selection, unsigned long target, Deadline deadline,
                                 unsigned long* property) {
    for (;;) {
        while (XPending(display_) > 0) {
            XEvent event;
            XNextEvent(display_, &event);
            if (event.type != type || event.xany.window != window_)
                continue;
            if (type == SelectionNotify && event.xselection.selection == selection &&
                event.xselection.target == target) {
                *property = event.xselection.property;
                return true;
            }
            if (type == PropertyNotify && event.xproperty.atom == property_ &&
                event.xproperty.state == PropertyNewValue)
                return true;
        }
        const auto left = std::chrono::ceil<std::chrono::milliseconds>(deadline - std::chrono::steady_clock::now());
        if (left.count() <= 0)
            return false;
        pollfd fd{ConnectionNumber(display_), POLLIN, 0};
        poll(&fd, 1, static_cast<int>(left.count()));
    }
}

X11SelectionReader::Reply X11SelectionReader::takeProperty(std::size_t room) {
    Reply reply;
    unsigned long count = 0, after = 0;
    unsigned char* data = nullptr;
    const long length = static_cast<long>(room / 4 + 1);
    const int status = XGetWindowProperty(display_, window_, property_, 0, length, True, AnyPropertyType, &reply.type,
                                          &reply.format, &count, &after, &data);
    if (status != Success || reply.type == None) {
        reply.status = Reply::Outcome::refused;
    } else if (after > 0) {
        XDeleteProperty(display_, window_, property_);  // not deleted by the read while bytes remain
        reply.status = Reply::Outcome::tooLarge;
    } else {
        // Xlib hands 32-bit items as longs.
        const std::size_t itemSize = reply.format == 32 ? sizeof(long) : static_cast<std::size_t>(reply.format / 8);
        reply.bytes.assign(reinterpret_cast<const char*>(data), count * itemSize);
        reply.status = reply.format == 8 && reply.bytes.size() > room ? Reply::Outcome::tooLarge : Reply::Outcome::data;
    }
    if (data)
        XFree(data);
    return reply;
}

X11SelectionReader::Reply X11SelectionReader::readIncrementally(Deadline deadline, std::size_t room) {
    // Reading the INCR property deleted it, which asks for the first chunk;
    // deleting each chunk asks for the next, and an empty one ends it.
    Reply whole;
    for (;;) {
        if (!waitFor(PropertyNotify, 0, 0, deadline, nullptr))
            return Reply{Reply::Outcome::unanswered, {}, None, 0};
        Reply chunk = takeProperty(room - whole.bytes.size());
        if (chunk.status != Reply::Outcome::data)
            return chunk;
        if (chunk.bytes.empty()) {
            whole.type = chunk.type;
            whole.format = chunk.format;
            whole.status = Reply::Outcome::data;
            return whole;
        }
        whole.bytes += chunk.bytes;
    }
}

X11SelectionReader::Reply X11SelectionReader::request(unsigned long selection, unsigned long target, Deadline deadline,
                                                      std::size_t room) {
    XDeleteProperty(display_, window_, property_);
    XConvertSelection(display_, selection, target, property_, window_, CurrentTime);
    XFlush(display_);
    unsigned long answered = None;
    if (!waitFor(SelectionNotify, selection, target, deadline, &answered))
        return Reply{Reply::Outcome::unanswered, {}, None, 0};
    if (answered == None)
        return Reply{};  // the owner has no such target
    Reply reply = takeProperty(room);
    if (reply.status == Reply::Outcome::data && reply.type == incr_)
        return readIncrementally(deadline, room);
    return reply;
}

X11SelectionReader::TextRead X11SelectionReader::readText(unsigned long selection) {
    return readText(selection, owner(selection));
}

bool X11SelectionReader::silent(unsigned long selection, const Owner& owner) const {
    return silent_.window == owner.window && silent_.selection == selection &&
           std::chrono::steady_clock::now() < silent_.until;
}

void X11SelectionReader::rememberSilent(unsigned long selection, const Owner& owner) {
    silent_ = {selection, owner.window, std::chrono::steady_clock::now() + kSilentFor};
}

X11SelectionReader::TextRead X11SelectionReader::readText(unsigned long selection, const Owner& owner) {
    if (owner.window == None || isThisProcess(owner))
        return {};
    if (silent(selection, owner))
        return {std::nullopt, false};
    discardPendingEvents();
    const auto deadline = std::chrono::steady_clock::now() + budget_;
    for (const Atom target : {utf8_, utf8Mime_}) {
        Reply reply = request(selection, target, deadline, limit_);
        if (reply.status == Reply::Outcome::unanswered) {
            rememberSilent(selection, owner);
            return {std::nullopt, false};
        }
        if (reply.status == Reply::Outcome::tooLarge)
            return {};
        if (reply.status == Reply::Outcome::data && reply.format == 8)
            return {std::move(reply.bytes), true};
    }
    return {};
}

std::optional<std::string> X11SelectionReader::text() { return readText(clipboard_).text; }

PasteboardSnapshot X11SelectionReader::snapshot(std::size_t limit) {
    PasteboardSnapshot result;
    const Owner who = owner(clipboard_);
    if (who.window == None || isThisProcess(who) || silent(clipboard_, who))
        return result;
    discardPendingEvents();
    const auto deadline = std::chrono::steady_clock::now() + budget_;
    const Reply list = request(clipboard_, targets_, deadline, 64 * 1024);
    if (list.status == Reply::Outcome::unanswered)
        rememberSilent(clipboard_, who);
    if (list.status != Reply::Outcome::data || list.format != 32)
        return result;
    std::vector<Atom> atoms;
    for (std::size_t i = 0; i < list.bytes.size() / sizeof(long); ++i)
        if (const auto atom = reinterpret_cast<const unsigned long*>(list.bytes.data())[i]; atom != None)
            atoms.push_back(atom);
    std::vector<char*> names(atoms.size(), nullptr);
    if (!atoms.empty()) {
        X11ErrorTrap trap(display_);  // an atom that names nothing stays unnamed, and is left out
        XGetAtomNames(display_, atoms.data(), static_cast<int>(atoms.size()), names.data());
    }
    std::size_t total = 0;
    bool stopped = false;
    for (std::size_t i = 0; i < atoms.size(); ++i) {
        const std::string name = names[i] ? names[i] : "";
        if (names[i])
            XFree(names[i]);
        const bool seen = std::any_of(result.formats.begin(), result.formats.end(),
                                      [&](const auto& format) { return format.first == name; });
        if (stopped || seen || !isDataTarget(name))
            continue;
        Reply reply = request(clipboard_, atoms[i], deadline, limit - total);
        if (reply.status == Reply::Outcome::unanswered)
            rememberSilent(clipboard_, who);
        if (reply.status == Reply::Outcome::unanswered || reply.status == Reply::Outcome::tooLarge) {
            stopped = true;
            continue;
        }
        // Data targets are bytes; the few of 16 or 32 bits are the protocol's.
        if (reply.status != Reply::Outcome::data || reply.format != 8)
            continue;
        total += reply.bytes.size();
        result.formats.emplace_back(name, std::move(reply.bytes));
    }
    return result;
}

}  // namespace platform
