#pragma once

#include <QByteArray>

#include <functional>
#include <vector>

// Owns a selection from a second X connection of this process, with plain
// Xlib, and serves exactly the targets it is given: what a toolkit's
// clipboard will not do (offer STRING alone, answer late, send 32-bit
// chunks). Served from the event loop of the program.
struct ServedTarget {
    QByteArray name;
    QByteArray type;
    int format = 8;
    QByteArray data{};    // 32-bit items as longs, as Xlib takes them
    int delayMs = 0;      // the answer comes this much later
    int chunkBytes = 0;   // more than 0: sent incrementally, in chunks of this many bytes of `data`
    QByteArray endType{};  // the type of the empty last chunk; empty: `type`
    int eventsFirst = 0;  // events at the requestor's window that answer nothing, sent just before the answer
    std::function<void()> answered{};  // called once an answer is sent and the server has sent it on
    int answers = 1;      // copies of the answer sent, one behind the other
    bool refused = false;  // the answer is "no such target"; `type` and `data` unused
};

void serveSelection(const char* selection, std::vector<ServedTarget> targets);

// Sets the owner of the selection served again, `times` times, a few each
// turn of the event loop, then calls `done`.
void claimAgain(int times, std::function<void()> done);

// Chunks of incremental transfers sent so far (the empty last one not counted).
int servedChunks();

// Sends `window` `count` client messages, as fast as the server takes them,
// from the scripted owner's connection (another client to the program
// under test).
void flood(unsigned long window, int count);
