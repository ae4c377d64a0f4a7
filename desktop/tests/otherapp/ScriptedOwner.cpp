#include "ScriptedOwner.h"

#include <QSocketNotifier>
#include <QTimer>

#include <X11/Xatom.h>
#include <X11/Xlib.h>

#include <algorithm>
#include <memory>

namespace {

struct Transfer {
    Window requestor;
    Atom property;
    std::size_t target;
    int offset;
};

struct Owner {
    Display* display = XOpenDisplay(nullptr);
    Window window = None;
    Atom selection = None;
    std::vector<ServedTarget> targets;
    std::vector<Atom> names, types, endTypes;  // the targets' atoms, looked up once
    std::vector<Transfer> transfers;
    int chunks = 0;
    std::unique_ptr<QSocketNotifier> notifier;

    Atom atom(const QByteArray& name) const { return XInternAtom(display, name.constData(), False); }
    std::ptrdiff_t find(Atom target) const {
        const auto found = std::find(names.begin(), names.end(), target);
        return found == names.end() ? -1 : found - names.begin();
    }
};

// A late answer to a requestor that gave up and destroyed its window fails
// here: no reason to end the program.
int ignoreErrors(Display*, XErrorEvent*) { return 0; }

std::vector<Atom> atomsOf(Display* display, const std::vector<QByteArray>& names) {
    std::vector<char*> pointers;
    for (const auto& name : names) pointers.push_back(const_cast<char*>(name.constData()));
    std::vector<Atom> atoms(names.size(), None);
    if (!names.empty()) XInternAtoms(display, pointers.data(), static_cast<int>(pointers.size()), False, atoms.data());
    return atoms;
}

Owner& owner() {
    static Owner instance;
    return instance;
}

int itemsOf(int format, int bytes) {
    return bytes / (format == 32 ? static_cast<int>(sizeof(long)) : format == 16 ? static_cast<int>(sizeof(short)) : 1);
}

void notify(const XSelectionRequestEvent& request, Atom property) {
    XEvent reply{};
    reply.xselection.type = SelectionNotify;
    reply.xselection.requestor = request.requestor;
    reply.xselection.selection = request.selection;
    reply.xselection.target = request.target;
    reply.xselection.property = property;
    reply.xselection.time = request.time;
    XSendEvent(owner().display, request.requestor, False, NoEventMask, &reply);
    XFlush(owner().display);
}

void drain();

// `count` notifications at the requestor's window for a target it did not
// ask for, left in Xlib's buffer: they go out in one write with the answer.
void sendNonAnswers(const XSelectionRequestEvent& request, int count) {
    XEvent event{};
    event.xselection.type = SelectionNotify;
    event.xselection.requestor = request.requestor;
    event.xselection.selection = request.selection;
    event.xselection.target = owner().atom("QUILLARY_TEST_NOT_ASKED");
    event.xselection.property = None;
    event.xselection.time = request.time;
    for (int i = 0; i < count; ++i) XSendEvent(owner().display, request.requestor, False, NoEventMask, &event);
}

void answer(const XSelectionRequestEvent& request) {
    auto& o = owner();
    const Atom property = request.property == None ? request.target : request.property;
    if (request.target == o.atom("TARGETS")) {
        std::vector<long> list{static_cast<long>(o.atom("TARGETS"))};
        for (const Atom name : o.names) list.push_back(static_cast<long>(name));
        XChangeProperty(o.display, request.requestor, property, XA_ATOM, 32, PropModeReplace,
                        reinterpret_cast<const unsigned char*>(list.data()), static_cast<int>(list.size()));
        return notify(request, property);
    }
    const auto index = o.find(request.target);
    if (index < 0) return notify(request, None);
    const ServedTarget& target = o.targets[static_cast<std::size_t>(index)];
    sendNonAnswers(request, target.eventsFirst);
    if (target.refused) {
        // Its notification alone says so.
    } else if (target.chunkBytes > 0) {
        XSelectInput(o.display, request.requestor, PropertyChangeMask);
        const long size = target.data.size();
        XChangeProperty(o.display, request.requestor, property, o.atom("INCR"), 32, PropModeReplace,
                        reinterpret_cast<const unsigned char*>(&size), 1);
        o.transfers.push_back({request.requestor, property, static_cast<std::size_t>(index), 0});
    } else {
        XChangeProperty(o.display, request.requestor, property, o.types[static_cast<std::size_t>(index)], target.format,
                        PropModeReplace,
                        reinterpret_cast<const unsigned char*>(target.data.constData()),
                        itemsOf(target.format, static_cast<int>(target.data.size())));
    }
    for (int i = 0; i < target.answers; ++i) notify(request, target.refused ? None : property);
    if (target.answered) {
        // The server may write its answer to this connection before the
        // events to the requestor: it reads the second round trip only once
        // it has written out both.
        XSync(o.display, False);
        XSync(o.display, False);
        target.answered();
    }
}

// The requestor deleted the last chunk: the next one, or the empty end.
void sendChunk(const XPropertyEvent& event) {
    auto& o = owner();
    const auto transfer = std::find_if(o.transfers.begin(), o.transfers.end(), [&](const Transfer& t) {
        return t.requestor == event.window && t.property == event.atom;
    });
    if (transfer == o.transfers.end() || event.state != PropertyDelete) return;
    const ServedTarget& target = o.targets[transfer->target];
    const int size = std::min(target.chunkBytes, static_cast<int>(target.data.size()) - transfer->offset);
    const Atom type = size > 0 ? o.types[transfer->target] : o.endTypes[transfer->target];
    XChangeProperty(o.display, event.window, event.atom, type, target.format, PropModeReplace,
                    reinterpret_cast<const unsigned char*>(target.data.constData() + transfer->offset),
                    itemsOf(target.format, size));
    XFlush(o.display);
    transfer->offset += size;
    if (size > 0)
        ++o.chunks;
    else
        o.transfers.erase(transfer);
}

void drain() {
    auto& o = owner();
    while (XPending(o.display) > 0) {
        XEvent event;
        XNextEvent(o.display, &event);
        if (event.type == PropertyNotify) {
            sendChunk(event.xproperty);
        } else if (event.type == SelectionRequest) {
            const XSelectionRequestEvent request = event.xselectionrequest;
            const auto index = o.find(request.target);
            if (index >= 0 && o.targets[static_cast<std::size_t>(index)].delayMs > 0)
                QTimer::singleShot(o.targets[static_cast<std::size_t>(index)].delayMs, [request] {
                    answer(request);
                    drain();
                });
            else
                answer(request);
        }
    }
}

}  // namespace

void serveSelection(const char* selection, std::vector<ServedTarget> targets) {
    auto& o = owner();
    if (!o.display) return;
    if (o.window == None) {
        XSetErrorHandler(ignoreErrors);
        o.window = XCreateSimpleWindow(o.display, DefaultRootWindow(o.display), 0, 0, 1, 1, 0, 0, 0);
        o.notifier = std::make_unique<QSocketNotifier>(ConnectionNumber(o.display), QSocketNotifier::Read);
        QObject::connect(o.notifier.get(), &QSocketNotifier::activated, [] { drain(); });
    }
    o.targets = std::move(targets);
    std::vector<QByteArray> names, types, endTypes;
    for (const auto& target : o.targets) {
        names.push_back(target.name);
        types.push_back(target.type);
        endTypes.push_back(target.endType.isEmpty() ? target.type : target.endType);
    }
    o.names = atomsOf(o.display, names);
    o.types = atomsOf(o.display, types);
    o.endTypes = atomsOf(o.display, endTypes);
    o.transfers.clear();
    o.selection = XInternAtom(o.display, selection, False);
    XSetSelectionOwner(o.display, o.selection, o.window, CurrentTime);
    XSync(o.display, False);
    drain();
}

void claimAgain(int times, std::function<void()> done) {
    auto& o = owner();
    if (!o.display || o.window == None) return done();
    auto* timer = new QTimer;
    QObject::connect(timer, &QTimer::timeout, [timer, left = times, done = std::move(done)]() mutable {
        auto& o = owner();
        for (int i = 0; i < 10 && left > 0; ++i, --left) XSetSelectionOwner(o.display, o.selection, o.window, CurrentTime);
        XFlush(o.display);
        drain();
        if (left > 0) return;
        timer->deleteLater();
        timer->stop();
        done();
    });
    timer->start(0);
}

int servedChunks() { return owner().chunks; }

void flood(unsigned long window, int count) {
    auto& o = owner();
    if (!o.display) return;
    XEvent event{};
    event.xclient.type = ClientMessage;
    event.xclient.window = window;
    event.xclient.format = 32;
    event.xclient.message_type = XInternAtom(o.display, "QUILLARY_TEST_FLOOD", False);
    for (int i = 0; i < count; ++i) XSendEvent(o.display, window, False, NoEventMask, &event);
    XSync(o.display, False);
    drain();
}
