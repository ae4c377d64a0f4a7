#include <gtest/gtest.h>

#include <QApplication>
#include <QElapsedTimer>
#include <QTimer>

#include <X11/Xatom.h>
#include <X11/Xlib.h>

#include <algorithm>
#include <chrono>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <utility>

#include "OtherApplicationProcess.h"
#include "platform/fake/ManualMainLoop.h"
#include "platform/fake/ManualMonotonicClock.h"
#include "platform/x11/X11SelectionReader.h"
#include "testsupport/QtEvents.h"
#include "testsupport/X11HotKeySession.h"
#include "testsupport/X11Test.h"

namespace {

using namespace std::chrono_literals;
using Reader = platform::X11SelectionReader;

// Owners that answer late, claim the clipboard again and again, send their
// chunks in the wrong shape or offer thousands of formats: each is another
// process of the test program, read by the real reader on the test display.
class SelectionReaderOnX11 : public testing::Test {
protected:
    void SetUp() override {
        QUILLARY_SKIP_WITHOUT_X11_KEYS();
        session.emplace(testsupport::X11HotKeySession::make<QApplication>());
    }
    void TearDown() override { session.reset(); }

    static std::unique_ptr<OtherApplicationProcess> startOwner() {
        auto owner = std::make_unique<OtherApplicationProcess>(QStringLiteral(QUILLARY_OTHER_APP));
        EXPECT_NE(owner->waitReady(), 0u) << "the other application did not start";
        return owner;
    }

    static std::optional<std::string> format(const platform::PasteboardSnapshot& snapshot, const std::string& name) {
        const auto found = std::find_if(snapshot.formats.begin(), snapshot.formats.end(),
                                        [&](const auto& format) { return format.first == name; });
        return found == snapshot.formats.end() ? std::nullopt : std::optional(found->second);
    }

    std::optional<testsupport::X11HotKeySession> session;
};

// The turns of the test's event loop: how many, the longest, and the most
// of `counted` that one turn saw.
struct Turns {
    explicit Turns(std::function<int()> counted = [] { return 0; }) : counted(std::move(counted)) {
        QObject::connect(&ticker, &QTimer::timeout, [this] {
            ++count;
            longest = std::max(longest, clock.restart());
            const int now = this->counted();
            mostInOne = std::max(mostInOne, now - last);
            last = now;
        });
        ticker.start(0);
        clock.start();
    }
    std::function<int()> counted;
    QTimer ticker;
    QElapsedTimer clock;
    int count = 0, last = 0, mostInOne = 0;
    qint64 longest = 0;  // ms
};

// Time for a read kept busy: each look at the clock finds a sixth of the
// read's budget gone, as if every event it reads took that long. Its
// second look (the first is the read's start, before anything is asked)
// waits for `answered` first.
class BusyClock final : public platform::MonotonicClock {
public:
    explicit BusyClock(std::function<void()> answered) : answered_(std::move(answered)) {}
    TimePoint now() const override {
        if (answered_ && looks_++ > 0)
            std::exchange(answered_, nullptr)();
        clock_.advance(Reader::kBudget / 6);
        return clock_.now();
    }
    bool waitUntil(std::condition_variable_any& cv, std::unique_lock<std::mutex>& lock, std::stop_token stop,
                   TimePoint deadline, const std::function<bool()>& ready) const override {
        return clock_.waitUntil(cv, lock, stop, deadline, ready);
    }

private:
    mutable std::function<void()> answered_;
    mutable int looks_ = 0;
    mutable platform::ManualMonotonicClock clock_;
};

// A capture gave up on a slow owner; its answer comes while the next
// capture waits on the new owner's.
TEST_F(SelectionReaderOnX11, ACaptureAfterAnAbandonedSlowReadGetsTheNewOwnersText) {
    const auto older = startOwner();
    const auto newer = startOwner();
    older->send("own-slow PRIMARY 1400 older");
    ASSERT_FALSE(older->waitFor("owned").empty());
    Reader reader(nullptr, 1000ms);
    ASSERT_FALSE(reader.readText(XA_PRIMARY).answered);
    newer->send("own-slow PRIMARY 700 newer");
    ASSERT_FALSE(newer->waitFor("owned").empty());
    EXPECT_EQ(reader.readText(XA_PRIMARY).text, "newer");
}

// The background read starts over on another copy while the old owner's
// text is on its way: the new owner's comes back.
TEST_F(SelectionReaderOnX11, ASnapshotStartedOverKeepsTheNewOwnersDataNotTheOldOnesLateAnswer) {
    const auto older = startOwner();
    const auto newer = startOwner();
    older->send("own-slow CLIPBOARD 800 older");
    ASSERT_FALSE(older->waitFor("owned").empty());
    Reader keeper(nullptr, Reader::kBudget, Reader::kLimit, session->loop);
    keeper.beginSnapshot(Reader::kLimit);
    testsupport::runEventsFor(200ms);
    newer->send("own-slow CLIPBOARD 1000 newer");
    ASSERT_FALSE(newer->waitFor("owned").empty());
    ASSERT_TRUE(testsupport::runEventsUntil([&] { return keeper.snapshotReady(); }));
    const auto snapshot = keeper.endSnapshot();
    EXPECT_EQ(format(snapshot, "UTF8_STRING"), "newer");
    EXPECT_TRUE(snapshot.lost.empty()) << snapshot.lost.front();
}

// An owner claims the clipboard again and again during the background
// read: the read starts over a few times a turn of the loop at most, and
// ends once the claims stop.
TEST_F(SelectionReaderOnX11, AnOwnerClaimingTheClipboardInALoopHoldsNoTurnOfTheLoop) {
    const auto owner = startOwner();
    owner->send("own-slow CLIPBOARD 0 claimed");
    ASSERT_FALSE(owner->waitFor("owned").empty());
    Reader keeper(nullptr, Reader::kBudget, Reader::kLimit, session->loop);
    Turns turns([&] { return keeper.startsOver(); });
    keeper.beginSnapshot(Reader::kLimit);
    owner->send("claim-again 100000");
    ASSERT_FALSE(owner->waitFor("claimed", 60s).empty());
    RecordProperty("longest_turn_ms", std::to_string(turns.longest));
    // The claims that one read of the connection brings make one start over.
    EXPECT_GE(keeper.startsOver(), 1);
    // Once a pump at most; a pass of the loop pumps on the reader's input
    // and on its timer, and the ticks may be two passes apart.
    EXPECT_LE(turns.mostInOne, 4) << keeper.startsOver() << " starts over in " << turns.count << " turns";
    ASSERT_TRUE(testsupport::runEventsUntil([&] { return keeper.snapshotReady(); }));
    EXPECT_EQ(format(keeper.endSnapshot(), "UTF8_STRING"), "claimed");
}

// Another client floods the reader's window between captures: what it
// sends is dropped as it is read, whoever reads it (the main loop's turns
// or the capture's own wait), so Xlib's queue holds no more of a long flood
// than of a short one, and the PRIMARY read after it gets its text.
TEST_F(SelectionReaderOnX11, AFloodAtTheReadersWindowIsDroppedAsItIsRead) {
    const auto owner = startOwner();
    owner->send("set-line flooded text");
    owner->send("select-line 0 7");
    ASSERT_FALSE(owner->waitFor("selected").empty());
    Reader reader(nullptr, Reader::kBudget, Reader::kLimit, session->loop);
    constexpr long kFlood = 1'000'000;
    owner->send("flood " + std::to_string(reader.windowForTesting()) + " " + std::to_string(kFlood));
    ASSERT_FALSE(owner->waitFor("flooded", 60s).empty());
    EXPECT_EQ(reader.readText(XA_PRIMARY).text, "flooded");
    RecordProperty("largest_read", std::to_string(reader.largestReadForTesting()));
    EXPECT_GE(reader.droppedEventsForTesting(), kFlood);  // and the read's own notices that answer nothing
    EXPECT_LE(reader.largestReadForTesting(), 4u) << "the answer and its requestor window's events at most";
}

// The owner refuses UTF8_STRING behind 200 notifications at the request's
// window for a target nobody asked for, and sends its refusal 20 times
// over, all before the read looks for any. The notifications for another
// target are dropped as they are read, and of the refusals, each of which
// could be the answer, only what fits in Xlib's queue is kept. The first
// refusal sends the read on to text/plain;charset=utf-8, which the owner
// answers; but the copies still queued ahead of that answer take more than
// the read's budget (each event a sixth of it), and the read ends amid
// them, with no answer, rather than reading through them to the text.
TEST_F(SelectionReaderOnX11, AReadWhoseBudgetRunsOutAmidEventsForItsWindowEndsThere) {
    const auto owner = startOwner();
    owner->send("own-behind-events PRIMARY 200 20 behind the flood");
    ASSERT_FALSE(owner->waitFor("owned").empty());
    // A loop of its own that never runs: while the clock waits on the
    // owner, nothing reads the reader's connection.
    Reader busy(nullptr, Reader::kBudget, Reader::kLimit, std::make_shared<platform::ManualMainLoop>(),
                std::make_shared<BusyClock>([&] { EXPECT_FALSE(owner->waitFor("refused").empty()); }));
    const auto read = busy.readText(XA_PRIMARY);
    EXPECT_FALSE(read.answered);
    EXPECT_EQ(read.text, std::nullopt);
    EXPECT_LE(busy.largestReadForTesting(), static_cast<std::size_t>(Reader::kMaxQueued));
    EXPECT_FALSE(owner->waitFor("answered").empty()) << "the refusal did not get through";
}

// An owner that sends each answer twice: the copy still on its way when the
// window serves the next read answers nothing of that read.
TEST_F(SelectionReaderOnX11, AnAnswerSentTwiceIsNoAnswerToTheNextRead) {
    const auto owner = startOwner();
    owner->send("own-twice PRIMARY twice");
    ASSERT_FALSE(owner->waitFor("owned").empty());
    Reader reader(nullptr);
    for (int read = 0; read < 3; ++read)
        EXPECT_EQ(reader.readText(XA_PRIMARY).text, "twice") << "read " << read;
}

// A 32-bit chunk counts as half its size in Xlib's hands: it is refused,
// and nothing past the limit is read.
TEST_F(SelectionReaderOnX11, IncrementalChunksOf32BitItemsStopAtTheLimit) {
    const auto owner = startOwner();
    owner->send("own-numbers 4 256 INCR");  // 1 KiB on the server a chunk, 4 KiB in all
    ASSERT_FALSE(owner->waitFor("owned").empty());
    Reader reader;
    const auto snapshot = reader.snapshot(4096);
    std::size_t total = 0;
    for (const auto& [name, bytes] : snapshot.formats) total += bytes.size();
    EXPECT_LE(total, 4096u);
    owner->send("served-chunks");
    const auto chunks = owner->waitFor("chunks ");
    ASSERT_FALSE(chunks.empty());
    EXPECT_LE(std::stoi(chunks.substr(7)), 2);
}

TEST_F(SelectionReaderOnX11, UTF8ChunksEndedByAnEmptyStringChunkStayUTF8) {
    const auto owner = startOwner();
    owner->send("own-split-utf8 na\u00efve caf\u00e9");
    ASSERT_FALSE(owner->waitFor("selected").empty());
    Reader reader;
    EXPECT_EQ(reader.readText(XA_PRIMARY).text, "na\u00efve caf\u00e9");
}

// 16,000 formats with names of 6,000 bytes (96 MB of names): the first
// distinct ones are read, the rest named in one entry.
TEST_F(SelectionReaderOnX11, AListOfThousandsOfLongFormatNamesIsReadUpToTheCap) {
    const auto owner = startOwner();
    owner->send("own-many-formats 16000 6000");
    ASSERT_FALSE(owner->waitFor("owned", 60s).empty());
    Reader keeper(nullptr, Reader::kBudget, Reader::kLimit, session->loop);
    Turns turns;
    keeper.beginSnapshot(Reader::kLimit);
    ASSERT_TRUE(testsupport::runEventsUntil([&] { return keeper.snapshotReady(); }, 60s));
    RecordProperty("longest_turn_ms", std::to_string(turns.longest));
    const auto snapshot = keeper.endSnapshot();
    EXPECT_EQ(snapshot.formats.size(), 499u);  // of the first 500, the list of targets is no data
    const std::vector<std::string> lost{"and 15501 more formats, never asked"};
    EXPECT_EQ(snapshot.lost, lost);
}

}  // namespace
