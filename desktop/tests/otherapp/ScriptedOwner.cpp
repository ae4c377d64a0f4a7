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
    std::vector<ServedTarget> targets;
    std::vector<Transfer> transfers;
    int chunks = 0;
    std::unique_ptr<QSocketNotifier> notifier;

    Atom atom(const QByteArray& name) const { return XInternAtom(display, name.constData(), False); }
};

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

void answer(const XSelectionRequestEvent& request) {
    auto& o = owner();
    const Atom property = request.property == None ? request.target : request.property;
    if (request.target == o.atom("TARGETS")) {
        std::vector<long> list{static_cast<long>(o.atom("TARGETS"))};
        for (const auto& target : o.targets) list.push_back(static_cast<long>(o.atom(target.name)));
        XChangeProperty(o.display, request.requestor, property, XA_ATOM, 32, PropModeReplace,
                        reinterpret_cast<const unsigned char*>(list.data()), static_cast<int>(list.size()));
        return notify(request, property);
    }
    const auto found = std::find_if(o.targets.begin(), o.targets.end(),
                                    [&](const ServedTarget& target) { return o.atom(target.name) == request.target; });
    if (found == o.targets.end()) return notify(request, None);
    const ServedTarget& target = *found;
    if (target.chunkBytes > 0) {
        XSelectInput(o.display, request.requestor, PropertyChangeMask);
        const long size = target.data.size();
        XChangeProperty(o.display, request.requestor, property, o.atom("INCR"), 32, PropModeReplace,
                        reinterpret_cast<const unsigned char*>(&size), 1);
        o.transfers.push_back({request.requestor, property, static_cast<std::size_t>(found - o.targets.begin()), 0});
    } else {
        XChangeProperty(o.display, request.requestor, property, o.atom(target.type), target.format, PropModeReplace,
                        reinterpret_cast<const unsigned char*>(target.data.constData()),
                        itemsOf(target.format, static_cast<int>(target.data.size())));
    }
    notify(request, property);
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
    XChangeProperty(o.display, event.window, event.atom, o.atom(target.type), target.format, PropModeReplace,
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
            const auto found = std::find_if(o.targets.begin(), o.targets.end(), [&](const ServedTarget& target) {
                return o.atom(target.name) == request.target;
            });
            if (found != o.targets.end() && found->delayMs > 0)
                QTimer::singleShot(found->delayMs, [request] {
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
        o.window = XCreateSimpleWindow(o.display, DefaultRootWindow(o.display), 0, 0, 1, 1, 0, 0, 0);
        o.notifier = std::make_unique<QSocketNotifier>(ConnectionNumber(o.display), QSocketNotifier::Read);
        QObject::connect(o.notifier.get(), &QSocketNotifier::activated, [] { drain(); });
    }
    o.targets = std::move(targets);
    o.transfers.clear();
    XSetSelectionOwner(o.display, XInternAtom(o.display, selection, False), o.window, CurrentTime);
    XSync(o.display, False);
    drain();
}

int servedChunks() { return owner().chunks; }
