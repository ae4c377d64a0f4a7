#include <gtest/gtest.h>

#include <QApplication>
#include <QClipboard>

#include <X11/Xatom.h>
#include <X11/Xlib.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstdlib>
#include <memory>
#include <optional>
#include <string>

#include "GlobalShortcuts/CarbonGlobalShortcuts.h"
#include "GlobalShortcuts/GlobalShortcuts.h"
#include "GlobalShortcuts/ModifierFlags.h"
#include "OtherApplicationProcess.h"
#include "desktop/SystemTextReplacerPlatform.h"
#include "desktop/TextReplacer.h"
#include "platform/fake/InMemoryUserDefaults.h"
#include "platform/qt/QtMainLoop.h"
#include "platform/qt/QtPasteboard.h"
#include "platform/x11/X11HotKeyBackend.h"
#include "platform/x11/X11PrimarySelection.h"
#include "platform/x11/X11SelectionReader.h"
#include "platform/x11/X11Workspace.h"
#include "platform/x11/XTestKeyboardEventPoster.h"
#include "testsupport/QtEvents.h"
#include "testsupport/X11HotKeySession.h"
#include "testsupport/X11Test.h"

namespace {

using namespace std::chrono_literals;
using desktop::TextReplacer;

bool contains(const std::vector<std::string>& lines, const std::string& fragment) {
    return std::any_of(lines.begin(), lines.end(),
                       [&](const std::string& line) { return line.find(fragment) != std::string::npos; });
}

// The capture and paste-back with the real backings, against the test
// program as the other application, on the test display (Xvfb + jwm).
class CaptureOnX11 : public testing::Test {
protected:
    void SetUp() override {
        QUILLARY_SKIP_WITHOUT_X11_KEYS();
        session.emplace(testsupport::X11HotKeySession::make<QApplication>());
        loop = session->loop;
        TextReplacer::resetForTesting();
        TextReplacer::install(desktop::makeSystemTextReplacerPlatform());
        // Nothing of an earlier test on the selections.
        QGuiApplication::clipboard()->setText(QStringLiteral("before"));
        QGuiApplication::clipboard()->clear(QClipboard::Selection);
    }

    void TearDown() override {
        other.reset();
        TextReplacer::resetForTesting();
        session.reset();
    }

    // Starts the other application and waits until it has the keyboard.
    void startOther(const QStringList& arguments = {}) {
        other = std::make_unique<OtherApplicationProcess>(QStringLiteral(QUILLARY_OTHER_APP), arguments);
        const auto window = other->waitReady();
        ASSERT_NE(window, 0u) << "the other application did not start";
        const bool front = other->bringToFront(workspace, window);
        ASSERT_TRUE(front) << "the other application never came to the front";
    }

    std::string clipboardText() { return platform::QtPasteboard(reader).string().value_or("<none>"); }

    static void xdotool(const std::string& arguments) {
        ASSERT_EQ(std::system(("xdotool " + arguments).c_str()), 0) << arguments;
    }

    std::optional<testsupport::X11HotKeySession> session;
    std::shared_ptr<platform::QtMainLoop> loop;
    platform::X11Workspace workspace;
    std::shared_ptr<platform::X11SelectionReader> reader = std::make_shared<platform::X11SelectionReader>();
    std::unique_ptr<OtherApplicationProcess> other;
};

TEST_F(CaptureOnX11, TheFrontmostProgramsPrimarySelectionIsTakenWithoutTypingOrTouchingTheClipboard) {
    startOther();
    other->send("copy-text user's own copy");
    other->send("set-line Hello world");
    other->send("select-line 6 5");
    ASSERT_FALSE(other->waitFor("selected").empty());
    ASSERT_TRUE(testsupport::runEventsUntil([&] { return clipboardText() == "user's own copy"; }));

    TextReplacer::captureSelection();
    EXPECT_EQ(TextReplacer::getSelectedText(), "world");
    EXPECT_FALSE(QGuiApplication::clipboard()->ownsClipboard());
    EXPECT_EQ(clipboardText(), "user's own copy");
    ASSERT_TRUE(TextReplacer::lastActiveApp());
    EXPECT_EQ(TextReplacer::lastActiveApp()->localizedName, "OtherApp");
    EXPECT_EQ(TextReplacer::lastActiveApp()->bundleIdentifier, "otherapp");
    EXPECT_EQ(TextReplacer::lastActiveApp()->processIdentifier, other->processId());
    testsupport::runEventsFor(200ms);
    EXPECT_TRUE(other->keyLines().empty()) << other->keyLines().front();
}

// A program that owns PRIMARY from a second connection (an office suite
// does) and never answers: its selection counts as the frontmost program's,
// so no copy key goes there either, and the capture ends with nothing. A
// second press at once does not ask it again.
TEST_F(CaptureOnX11, APrimaryOwnerThatNeverAnswersEndsTheCaptureWithNothingTyped) {
    startOther();
    other->send("primary-silent");
    ASSERT_FALSE(other->waitFor("selected").empty());
    TextReplacer::captureSelection();
    EXPECT_EQ(TextReplacer::getSelectedText(), std::nullopt);
    TextReplacer::captureSelection();
    EXPECT_EQ(TextReplacer::getSelectedText(), std::nullopt);
    testsupport::runEventsFor(200ms);
    EXPECT_TRUE(other->keyLines().empty()) << other->keyLines().front();
    other->send("silent-requests");
    EXPECT_EQ(other->waitFor("requests "), "requests 1");
}

TEST_F(CaptureOnX11, WhenAnotherProgramOwnsPrimaryTheSimulatedCopyFetchesTheSelection) {
    startOther();
    // PRIMARY belongs to this process, not to the frontmost program.
    QGuiApplication::clipboard()->setText(QStringLiteral("stale elsewhere"), QClipboard::Selection);
    other->send("set-line Hello world");
    other->send("select-line-quietly 0 5");
    ASSERT_FALSE(other->waitFor("selected").empty());

    TextReplacer::captureSelection();
    EXPECT_EQ(TextReplacer::getSelectedText(), "Hello");
    EXPECT_TRUE(contains(other->keyLines(), "key press C ctrl repeat=0"));
    EXPECT_FALSE(contains(other->keyLines(), "shift"));
}

// The other program is busy: it reads the clipboard a second after Control+V.
// A clipboard manager that fetches each new clipboard at once must not make
// the old clipboard come back before that.
TEST_F(CaptureOnX11, ThePasteBackWaitsForTheProgramsOwnFetchThenPutsBackEveryFormatAnImageAndAHintIncluded) {
    OtherApplicationProcess manager(QStringLiteral(QUILLARY_OTHER_APP));
    ASSERT_NE(manager.waitReady(), 0u);
    startOther({QStringLiteral("--paste-delay"), QStringLiteral("1000")});
    other->send("copy-image");
    other->send("set-line Hello world");
    other->send("select-line 6 5");
    ASSERT_FALSE(other->waitFor("selected").empty());
    const auto before = other->clipboardFormats();
    ASSERT_TRUE(contains(before, "image/png"));

    TextReplacer::captureSelection();
    ASSERT_EQ(TextReplacer::getSelectedText(), "world");
    TextReplacer::replaceSelectedText("there");
    manager.send("fetch-clipboard");
    EXPECT_EQ(manager.waitFor("clipboard "), "clipboard there");
    ASSERT_FALSE(other->waitFor("pasted").empty());
    EXPECT_EQ(other->dump()["line"], "Hello there");
    EXPECT_TRUE(contains(other->keyLines(), "key press V ctrl repeat=0"));

    // Then every format is back, as the other program sees it.
    const auto find = [](const std::vector<std::string>& lines, const std::string& type) {
        const auto it = std::find_if(lines.begin(), lines.end(),
                                     [&](const std::string& line) { return line.rfind(type, 0) == 0; });
        return it == lines.end() ? std::string() : *it;
    };
    std::vector<std::string> after;
    testsupport::runEventsUntil([&] {
        after = other->clipboardFormats();
        return !find(after, "format image/png ").empty();
    });
    for (const char* type : {"format image/png ", "format text/plain ", "format x-kde-passwordManagerHint "}) {
        EXPECT_FALSE(find(before, type).empty()) << type;
        EXPECT_EQ(find(after, type), find(before, type)) << type;
    }
}

// An editor whose process holds a pseudo-terminal (for its terminal pane)
// counts as a terminal, nothing selected gets it no copy key, but an
// answer of several lines is still pasted, with Shift+Insert.
TEST_F(CaptureOnX11, AnEditorHoldingAPseudoTerminalGetsNoCopyKeyAndSeveralLinesPasted) {
    startOther({QStringLiteral("--class"), QStringLiteral("Code"), QStringLiteral("--pseudo-terminal")});
    other->send("focus text");
    TextReplacer::captureSelection();
    ASSERT_EQ(TextReplacer::lastActiveApp()->localizedName, "Code");
    EXPECT_EQ(TextReplacer::getSelectedText(), std::nullopt);

    TextReplacer::replaceSelectedText("first line\nsecond line");
    EXPECT_TRUE(testsupport::runEventsUntil([&] { return other->dump()["text"] == "first line\\nsecond line"; }))
        << other->dump()["text"];
    EXPECT_TRUE(contains(other->keyLines(), "key press Ins shift repeat=0"));
    EXPECT_FALSE(contains(other->keyLines(), "ctrl"));
}

// The user's clipboard holds an image its owner needs 600 ms to make: it is
// read while the provider answers, and comes back after the paste.
TEST_F(CaptureOnX11, ASlowImageOnTheClipboardComesBackAfterThePasteBack) {
    startOther();
    other->send("own-slow-image 600");
    const auto served = other->waitFor("format image/png ");
    ASSERT_FALSE(served.empty());
    other->send("set-line Hello world");
    other->send("select-line 6 5");
    ASSERT_FALSE(other->waitFor("selected").empty());

    TextReplacer::captureSelection();
    ASSERT_EQ(TextReplacer::getSelectedText(), "world");
    TextReplacer::keepClipboardForPasteBack();
    TextReplacer::replaceSelectedText("there");
    EXPECT_TRUE(testsupport::runEventsUntil([&] { return other->dump()["line"] == "Hello there"; }));
    std::vector<std::string> after;
    EXPECT_TRUE(testsupport::runEventsUntil([&] {
        after = other->clipboardFormats();
        return contains(after, served);
    })) << served;
}

// Another program copies while the clipboard is read in the background: the
// read starts over on the new copy instead of mixing the two.
TEST_F(CaptureOnX11, ACopyByAnotherProgramDuringTheBackgroundReadStartsItOver) {
    OtherApplicationProcess copier(QStringLiteral(QUILLARY_OTHER_APP));
    ASSERT_NE(copier.waitReady(), 0u);
    startOther();
    other->send("own-slow-image 1500");
    ASSERT_FALSE(other->waitFor("format image/png ").empty());
    using Reader = platform::X11SelectionReader;
    Reader keeper(nullptr, Reader::kBudget, Reader::kLimit, loop);
    keeper.beginSnapshot(Reader::kLimit);
    testsupport::runEventsFor(100ms);
    copier.send("copy-text newer");
    const std::unique_ptr<Display, int (*)(Display*)> display(XOpenDisplay(nullptr), XCloseDisplay);
    const unsigned long clipboard = XInternAtom(display.get(), "CLIPBOARD", False);
    ASSERT_TRUE(testsupport::runEventsUntil(
        [&] { return reader->owner(clipboard).process == static_cast<int>(copier.processId()); }));
    ASSERT_TRUE(testsupport::runEventsUntil([&] { return keeper.snapshotReady(); }));
    const auto snapshot = keeper.endSnapshot();
    const auto text = std::find_if(snapshot.formats.begin(), snapshot.formats.end(),
                                   [](const auto& format) { return format.first == "UTF8_STRING"; });
    ASSERT_NE(text, snapshot.formats.end());
    EXPECT_EQ(text->second, "newer");
    EXPECT_TRUE(snapshot.lost.empty()) << snapshot.lost.front();
}

// The clipboard is this program's own when the prompt is sent (an earlier
// give-back left it so), and another program copies while the provider
// answers: that newer copy is what comes back after the paste.
TEST_F(CaptureOnX11, ACopyMadeWhileTheProviderAnswersComesBackAfterThePasteBack) {
    OtherApplicationProcess copier(QStringLiteral(QUILLARY_OTHER_APP));
    ASSERT_NE(copier.waitReady(), 0u);
    startOther();
    other->send("set-line Hello world");
    other->send("select-line 6 5");
    ASSERT_FALSE(other->waitFor("selected").empty());
    ASSERT_TRUE(QGuiApplication::clipboard()->ownsClipboard());

    TextReplacer::captureSelection();
    ASSERT_EQ(TextReplacer::getSelectedText(), "world");
    TextReplacer::keepClipboardForPasteBack();
    copier.send("copy-text newer");
    ASSERT_TRUE(testsupport::runEventsUntil([&] { return clipboardText() == "newer"; }));
    TextReplacer::replaceSelectedText("there");
    EXPECT_TRUE(testsupport::runEventsUntil([&] { return other->dump()["line"] == "Hello there"; }));
    std::string given;
    EXPECT_TRUE(testsupport::runEventsUntil([&] {
        given = clipboardText();
        return given == "newer" || given == "before";
    }));
    EXPECT_EQ(given, "newer");
}

TEST_F(CaptureOnX11, WithTheHotKeyStillHeldTheCopyReachesTheProgramAndNothingRepeatsIntoIt) {
    startOther();
    QGuiApplication::clipboard()->setText(QStringLiteral("stale elsewhere"), QClipboard::Selection);
    other->send("set-line Hello world");
    other->send("select-line-quietly 0 5");
    ASSERT_FALSE(other->waitFor("selected").empty());

    namespace Flags = GlobalShortcuts::ModifierFlags;
    const GlobalShortcuts::Name name("x11_capture",
                                     GlobalShortcuts::Shortcut(GlobalShortcuts::Key::space, Flags::command | Flags::shift));
    int presses = 0, captures = 0;
    const auto backend = CarbonGlobalShortcuts::backend();
    GlobalShortcuts::onKeyDown(name, [&] {
        ++presses;
        backend->holdKeyboard();  // as the program's shortcuts do
        loop->post([&] {
            TextReplacer::captureSelection();
            backend->endKeyboardHold();
            ++captures;
        });
    });

    // The modifiers come up at once (the copy key waits for them), the
    // shortcut's own key stays down past the server's auto-repeat delay.
    xdotool("keydown super+shift+space keyup super+shift");
    ASSERT_TRUE(testsupport::runEventsUntil([&] { return captures == 1; }));
    testsupport::runEventsFor(800ms);
    xdotool("keyup space");
    testsupport::runEventsFor(200ms);

    EXPECT_EQ(presses, 1);
    EXPECT_EQ(TextReplacer::getSelectedText(), "Hello");
    EXPECT_TRUE(contains(other->keyLines(), "key press C ctrl repeat=0"));
    EXPECT_FALSE(contains(other->keyLines(), "key press Space"));
    EXPECT_FALSE(contains(other->keyLines(), "repeat=1"));

    // The grab given up is taken again by the next press: one action each.
    xdotool("key super+shift+space");
    EXPECT_TRUE(testsupport::runEventsUntil([&] { return captures == 2; }));
    testsupport::runEventsFor(300ms);
    EXPECT_EQ(presses, 2);
}

// A window that says nothing of itself is still its client's (this
// process, named as /proc names it); one that vanishes gives none, never a
// hang.
TEST_F(CaptureOnX11, WindowsWithoutHintsAreTheirClientsAndGoneOnesGiveNone) {
    const std::unique_ptr<Display, int (*)(Display*)> display(XOpenDisplay(nullptr), XCloseDisplay);
    ASSERT_TRUE(display);
    const Window bare = XCreateSimpleWindow(display.get(), DefaultRootWindow(display.get()), 0, 0, 50, 50, 0, 0, 0);
    XSync(display.get(), False);
    const auto app = workspace.applicationOf(bare);
    ASSERT_TRUE(app);
    EXPECT_EQ(app->processIdentifier, static_cast<int>(getpid()));
    EXPECT_NE(app->localizedName, std::nullopt);

    XDestroyWindow(display.get(), bare);
    XSync(display.get(), False);
    EXPECT_FALSE(workspace.isAlive(*app));
    EXPECT_FALSE(workspace.activate(*app));
    EXPECT_EQ(workspace.applicationOf(bare), std::nullopt);

    // PRIMARY of this process is not another program's: not even asked.
    const Window owner = XCreateSimpleWindow(display.get(), DefaultRootWindow(display.get()), 0, 0, 1, 1, 0, 0, 0);
    XSetSelectionOwner(display.get(), XA_PRIMARY, owner, CurrentTime);
    XSync(display.get(), False);
    platform::X11PrimarySelection primary(reader);
    EXPECT_EQ(primary.focusedElement(platform::RunningApplication{1, {}, {}, 0x12345678}).state,
              platform::AccessibilityClient::FocusedElement::State::noElement);
}

// Large enough to come in several incremental chunks, small enough for the
// reader's budget on a busy machine.
TEST_F(CaptureOnX11, AnIncrementalSelectionComesThroughWhole) {
    startOther();
    other->send("primary-fill 2097152");
    ASSERT_FALSE(other->waitFor("selected").empty());
    TextReplacer::captureSelection();
    const auto text = TextReplacer::getSelectedText();
    ASSERT_TRUE(text);
    EXPECT_EQ(text->size(), 2097152u);
    EXPECT_EQ(text->find_first_not_of('q'), std::string::npos);
}

// An old program offers its selection only as Latin-1 STRING.
TEST_F(CaptureOnX11, AnOldProgramsLatin1SelectionIsRead) {
    startOther();
    other->send("own-latin1 caf\u00e9");
    ASSERT_FALSE(other->waitFor("selected").empty());
    TextReplacer::captureSelection();
    EXPECT_EQ(TextReplacer::getSelectedText(), "caf\u00e9");

    // Kept from such a clipboard, it comes back as text, and its compound
    // text as it was (the toolkit does not make that from the text).
    platform::QtPasteboard pasteboard(reader);
    ASSERT_TRUE(
        pasteboard.restore(platform::PasteboardSnapshot{{{"STRING", "caf\xe9"}, {"COMPOUND_TEXT", "caf\xe9"}}}));
    EXPECT_EQ(pasteboard.string(), "caf\u00e9");
    EXPECT_TRUE(
        testsupport::runEventsUntil([&] { return contains(other->clipboardFormats(), "format COMPOUND_TEXT "); }));
}

// Data targets are bytes: one of 32-bit items, sent incrementally, is left
// out at its first chunk, and the reads after it are not fed the rest of it.
TEST_F(CaptureOnX11, AnIncrementalTargetOf32BitItemsIsLeftOutAtItsFirstChunk) {
    startOther();
    other->send("own-numbers 16 1024");  // 4 KiB a chunk, 64 KiB in all
    ASSERT_FALSE(other->waitFor("owned").empty());
    const auto snapshot = reader->snapshot(platform::X11SelectionReader::kLimit);
    EXPECT_TRUE(snapshot.empty());
    EXPECT_EQ(reader->text(), std::nullopt);
    other->send("served-chunks");
    const auto chunks = other->waitFor("chunks ");
    ASSERT_FALSE(chunks.empty());
    EXPECT_LE(std::stoi(chunks.substr(7)), 2);
}

TEST_F(CaptureOnX11, ALayoutWithoutLatinLettersStillHasKeysForCopyAndPaste) {
    if (std::system("command -v setxkbmap >/dev/null 2>&1") != 0) GTEST_SKIP() << "no setxkbmap";
    platform::XTestKeyboardEventPoster keyboard({});
    const unsigned usC = keyboard.keyCode(platform::SimulatedKey::c);
    ASSERT_EQ(std::system("setxkbmap ru"), 0);
    testsupport::runEventsFor(100ms);
    // A fresh connection sees only the Cyrillic map: "c" is found by position.
    platform::XTestKeyboardEventPoster cyrillic({});
    const unsigned c = cyrillic.keyCode(platform::SimulatedKey::c);
    const unsigned v = cyrillic.keyCode(platform::SimulatedKey::v);
    const unsigned control = cyrillic.keyCode(platform::SimulatedKey::control);
    ASSERT_EQ(std::system("setxkbmap us"), 0);
    EXPECT_EQ(c, usC);
    EXPECT_EQ(c, 54u);  // KEY_C + 8
    EXPECT_EQ(v, 55u);
    EXPECT_NE(control, 0u);
}

}  // namespace

