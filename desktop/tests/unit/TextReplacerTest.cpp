#include <gtest/gtest.h>

#include <algorithm>
#include <memory>
#include <string>
#include <vector>

#include "testsupport/LogCapture.h"
#include "desktop/TextReplacer.h"
#include "platform/LastActiveApplication.h"
#include "platform/fake/FakeWorkspace.h"
#include "unit/CaptureFakes.h"

namespace {

using namespace std::chrono_literals;
using desktop::TextReplacer;
using platform::SimulatedKey;
using State = platform::AccessibilityClient::FocusedElement::State;
using Journal = std::vector<std::string>;

const platform::RunningApplication kEditor{1001, "Gedit", "gedit", 0x400001};
const platform::RunningApplication kTerminal{1002, "XTerm", "xterm", 0x500001};
const platform::RunningApplication kOurPanel{platform::FakeWorkspace::kOwnProcess, "Quillary", "quillary", 0x900001};
const platform::RunningApplication kOurSettings{platform::FakeWorkspace::kOwnProcess, "Quillary", "quillary", 0x900002};

// One simulated copy: the keys and waits of a single attempt.
// The copy key's four events with nothing between them (the user's typing
// is held for the panel meanwhile), then the settle.
const Journal kCopyAttempt = {"control down", "c down", "c up", "control up", "wait 300ms"};

class TextReplacerTest : public testing::Test, protected desktop::testing::CaptureFakes {
protected:
    void SetUp() override {
        TextReplacer::resetForTesting();
        for (auto* fake : std::initializer_list<platform::EventJournal*>{&workspace->journal, &keyboard->journal,
                                                                         &pasteboard->journal, &sleeper->journal,
                                                                         &selectionOwner->journal})
            *fake = journal;
        // The frontmost program copies its selection when Control+C (or
        // Control+Shift+C in a terminal) goes down.
        keyboard->onPost = [this](SimulatedKey key, bool down) {
            if (key == SimulatedKey::control) controlHeld = down;
            if (key == SimulatedKey::c && down && controlHeld && otherSelection)
                pasteboard->copyFromOtherProgram(*otherSelection);
        };
        workspace->frontmost = kEditor;
        TextReplacer::install(services());
        TextReplacer::setPanelWindowCheck([](platform::WindowId window) { return window == kOurPanel.window; });
    }
    void TearDown() override { TextReplacer::resetForTesting(); }

    // The journal from now on.
    Journal take() {
        Journal out = *journal;
        journal->clear();
        return out;
    }

    // One capture of `selection` over the user's `clipboard`; the journal
    // starts empty after it.
    void capturedOver(std::string clipboard, std::string selection) {
        pasteboard->copyFromOtherProgram(std::move(clipboard));
        otherSelection = std::move(selection);
        TextReplacer::captureSelection();
        take();
    }

    void selectViaAccessibility(std::string text) {
        accessibility->focus = {State::found, 7};
        accessibility->selectedText = std::move(text);
    }

    static Journal repeat(const Journal& part, int times) {
        Journal out;
        for (int i = 0; i < times; ++i) out.insert(out.end(), part.begin(), part.end());
        return out;
    }

    platform::EventJournal journal = platform::makeEventJournal();
    std::optional<std::string> otherSelection;
    bool controlHeld = false;
};

const platform::PasteboardSnapshot kImageAndText{{{"image/png", std::string("\x89PNG\r\n\x1a\n\0\x01", 10)},
                                                  {"text/plain", "user's text"}}};

TEST_F(TextReplacerTest, TheSelectionReadIsKeptWithoutTypingOrTouchingTheClipboardUntilThePasteBack) {
    pasteboard->contents = kImageAndText;
    selectViaAccessibility("selected words");
    TextReplacer::captureSelection();
    EXPECT_EQ(take(), Journal{});
    EXPECT_EQ(TextReplacer::lastActiveApp(), kEditor);
    EXPECT_EQ(TextReplacer::getSelectedText(), "selected words");
    EXPECT_EQ(accessibility->reads, 1);
    const auto remembered = platform::LastActiveApplication::get();
    ASSERT_TRUE(remembered);
    EXPECT_EQ(remembered->localizedName, "Gedit");
    EXPECT_EQ(remembered->bundleIdentifier, "gedit");

    // The paste-back saves the clipboard it changes, and gives it back.
    TextReplacer::replaceSelectedText("new words");
    selectionOwner->fetchByApplication();
    captureLoop->advance(50ms);
    EXPECT_EQ(take(), (Journal{"activate Gedit", "wait 300ms", "release held keys", "offer new words", "control down",
                               "v down", "v up", "control up", "restore"}));
    EXPECT_EQ(pasteboard->contents, kImageAndText);

    // An empty selection is a result: no copy either.
    selectViaAccessibility("");
    TextReplacer::captureSelection();
    EXPECT_EQ(TextReplacer::getSelectedText(), "");
    EXPECT_EQ(take(), Journal{});
    EXPECT_EQ(sleeper->elapsed, 300ms);
}

TEST_F(TextReplacerTest, ASelectionOwnerThatDoesNotAnswerEndsTheCaptureWithNothingTyped) {
    pasteboard->copyFromOtherProgram("user's copy");
    otherSelection = "selected";
    accessibility->focus = {State::found, 7};
    accessibility->unanswered = true;
    TextReplacer::captureSelection();
    EXPECT_EQ(take(), Journal{});
    EXPECT_EQ(TextReplacer::getSelectedText(), std::nullopt);
}

TEST_F(TextReplacerTest, TheSelectionReadFallsBackInTheOrderOfTheAttributes) {
    TextReplacer::captureSelection();  // remembers the editor
    // No selected text: the focused element's whole value.
    accessibility->focus = {State::found, 7};
    accessibility->value = "whole field";
    EXPECT_EQ(TextReplacer::readSelectionViaAccessibility(), "whole field");
    // The focus cannot be asked for: the application's own selected text.
    accessibility->focus = {State::failed, 0};
    accessibility->appSelectedText = "app level";
    EXPECT_EQ(TextReplacer::readSelectionViaAccessibility(), "app level");
    accessibility->appSelectedText.reset();
    EXPECT_EQ(TextReplacer::readSelectionViaAccessibility(), std::nullopt);
    // Asked, but nothing is focused: none, even with text elsewhere.
    accessibility->focus = {State::noElement, 0};
    accessibility->appSelectedText = "app level";
    EXPECT_EQ(TextReplacer::readSelectionViaAccessibility(), std::nullopt);

    // Before any capture there is no application to ask.
    TextReplacer::resetForTesting();
    TextReplacer::install(services());
    EXPECT_EQ(TextReplacer::readSelectionViaAccessibility(), std::nullopt);
}

TEST_F(TextReplacerTest, ACopyThatBringsNewTextTakesOneAttemptOf300Milliseconds) {
    pasteboard->copyFromOtherProgram("before");
    otherSelection = "from the editor";
    TextReplacer::captureSelection();
    EXPECT_EQ(take(), kCopyAttempt);
    EXPECT_EQ(sleeper->elapsed, 300ms);
    EXPECT_EQ(TextReplacer::getSelectedText(), "from the editor");
    EXPECT_EQ(TextReplacer::savedClipboard(), "before");
}

TEST_F(TextReplacerTest, ACopyThatChangesNothingIsTriedThreeTimes) {
    // The clipboard already holds exactly the selection.
    pasteboard->copyFromOtherProgram("same");
    otherSelection = "same";
    TextReplacer::captureSelection();
    EXPECT_EQ(take(), repeat(kCopyAttempt, 3));
    EXPECT_EQ(sleeper->elapsed, 900ms);
    EXPECT_EQ(TextReplacer::getSelectedText(), std::nullopt);

    // Nothing selected and nothing on the clipboard: three attempts, no text.
    pasteboard->contents = {};
    otherSelection.reset();
    TextReplacer::captureSelection();
    EXPECT_EQ(sleeper->elapsed, 1800ms);
    EXPECT_EQ(TextReplacer::savedClipboard(), std::nullopt);
    EXPECT_EQ(TextReplacer::getSelectedText(), std::nullopt);
}

TEST_F(TextReplacerTest, WithAnEmptyClipboardTheFirstCopyThatLeavesTextEndsTheCapture) {
    int copies = 0;
    keyboard->onPost = [&](SimulatedKey key, bool down) {
        // The program is slow: only its second copy arrives.
        if (key == SimulatedKey::c && down && ++copies == 2) pasteboard->copyFromOtherProgram("late");
    };
    TextReplacer::captureSelection();
    EXPECT_EQ(copies, 2);
    EXPECT_EQ(sleeper->elapsed, 600ms);
    EXPECT_EQ(TextReplacer::getSelectedText(), "late");
}

TEST_F(TextReplacerTest, EachCopyKeyWaitsForTheModifiersWithinOneSecondForAllAndReleasesNothing) {
    // A quick tap: the shortcut's modifiers come up 25 ms after the capture
    // began; a letter of the prompt typed at once does not hold the copy up.
    keyboard->keysDown = [] { return true; };
    keyboard->modifiersDown = [&] { return sleeper->elapsed < 25ms; };
    keyboard->onPost = [&](SimulatedKey, bool) { EXPECT_FALSE(keyboard->modifiersDown()); };
    TextReplacer::captureSelection();
    Journal start = take();
    start.resize(4);
    EXPECT_EQ(start, (Journal{"wait 10ms", "wait 10ms", "wait 10ms", "control down"}));

    // Shift held from the second try on: it waits out what is left of the
    // second, and the third, still meeting it, is skipped without a wait.
    int copies = 0;
    keyboard->onPost = [&](SimulatedKey key, bool down) { copies += key == SimulatedKey::c && down; };
    auto start2 = sleeper->elapsed;
    keyboard->modifiersDown = [&] { return sleeper->elapsed - start2 >= 300ms; };
    TextReplacer::captureSelection();
    EXPECT_EQ(copies, 1);
    EXPECT_EQ(sleeper->elapsed - start2, 300ms + 1000ms);
    EXPECT_EQ(keyboard->releases, 0) << "no key of the user's is released before a copy";
}

TEST_F(TextReplacerTest, TheCopiesStopWhenTheFocusLeavesTheWindowOrTheUserCancels) {
    int copies = 0;
    keyboard->onPost = [&](SimulatedKey key, bool down) {
        // Another window is activated while the first copy settles.
        if (key == SimulatedKey::c && down && ++copies == 1) workspace->focusElsewhere = true;
    };
    TextReplacer::captureSelection();
    EXPECT_EQ(copies, 1);
    EXPECT_EQ(sleeper->elapsed, 300ms);

    // Escape typed during the first copy: no further one.
    workspace->focusElsewhere = false;
    copies = 0;
    TextReplacer::setCaptureCancelled([&] { return copies > 0; });
    TextReplacer::captureSelection();
    EXPECT_EQ(copies, 1);
    TextReplacer::setCaptureCancelled(nullptr);
}

TEST_F(TextReplacerTest, InATerminalNoCopyKeyIsSentAndTheCleanedAnswerIsPastedWithShiftInsert) {
    workspace->frontmost = kTerminal;
    pasteboard->copyFromOtherProgram("before");
    TextReplacer::captureSelection();
    EXPECT_EQ(take(), Journal{});
    EXPECT_EQ(TextReplacer::getSelectedText(), std::nullopt);

    // No escape sequence, C1 control, carriage return or final line feed
    // reaches the terminal; tabs and text do.
    TextReplacer::replaceSelectedText("ls\x1b[201~\t-l \xC2\x9B\x7F\xC3\xA9\r\n");
    EXPECT_EQ(take(), (Journal{"activate XTerm", "wait 300ms", "release held keys", "offer ls[201~\t-l \xC3\xA9 on both",
                               "shift down", "insert down", "insert up", "shift up"}));

    // Several lines are not typed: a shell would run each one.
    testsupport::LogCapture log;
    TextReplacer::captureSelection();
    take();
    TextReplacer::replaceSelectedText("rm -rf build\r\nmake");
    EXPECT_EQ(take(), (Journal{"activate XTerm", "wait 300ms", "offer rm -rf build\nmake on primary",
                               "set rm -rf build\nmake"}));
    EXPECT_TRUE(log.contains("more than one line"));

    // Any capitalisation of the class or instance counts.
    keyboard->events.clear();
    for (const char* name : {"URxvt", "Alacritty", "kitty", "gnome-terminal-server", "konsole", "Kgx", "mlterm",
                             "com.mitchellh.ghostty", "cool-retro-term", "Eterm"}) {
        workspace->frontmost = platform::RunningApplication{77, std::nullopt, name, 0x600001};
        TextReplacer::captureSelection();
        EXPECT_TRUE(keyboard->events.empty()) << name;
    }
}

// A window whose process holds a pseudo-terminal master is a terminal's,
// whatever its class, judged at the capture and kept for its paste-back;
// an editor with a terminal pane still gets several lines typed.
TEST_F(TextReplacerTest, AProcessHoldingAPseudoTerminalMakesATerminalAndAnEditorWithAPaneStillTakesSeveralLines) {
    pasteboard->copyFromOtherProgram("before");
    otherSelection = "never copied";
    const platform::RunningApplication scratchpad{1003, "Scratchpad", "scratchpad", 0x700001};
    workspace->frontmost = scratchpad;
    workspace->pseudoTerminalHolders = {1003};
    TextReplacer::captureSelection();
    EXPECT_EQ(take(), Journal{});
    workspace->pseudoTerminalHolders.clear();
    TextReplacer::replaceSelectedText("one\ntwo");
    EXPECT_EQ(take(), (Journal{"activate Scratchpad", "wait 300ms", "offer one\ntwo on primary", "set one\ntwo"}));

    const platform::RunningApplication editor{1004, "Code", "code", 0x800001};
    workspace->frontmost = editor;
    workspace->pseudoTerminalHolders = {1004};
    TextReplacer::captureSelection();
    EXPECT_EQ(take(), Journal{});
    TextReplacer::replaceSelectedText("one\r\ntwo\x1b");
    EXPECT_EQ(take(), (Journal{"activate Code", "wait 300ms", "release held keys", "offer one\ntwo on both",
                               "shift down", "insert down", "insert up", "shift up"}));
}

TEST_F(TextReplacerTest, AKeyThatCannotBeMadeIsLeftOutAndItsWaitsStillRun) {
    // A layout without a "c" key anywhere.
    keyboard->missingKeys = {SimulatedKey::c};
    testsupport::LogCapture log;
    TextReplacer::captureSelection();
    EXPECT_EQ(keyboard->events, repeat({"control down", "control up"}, 3));
    EXPECT_EQ(sleeper->elapsed, 900ms);
    EXPECT_TRUE(log.contains("Cannot type the key control+c"));
}

TEST_F(TextReplacerTest, GetSelectedTextComparesWithTheClipboardSavedBeforeTheCapture) {
    // Invalid UTF-8 from the other program: the decoded text, never the bytes.
    pasteboard->copyFromOtherProgram("before");
    keyboard->onPost = [&](SimulatedKey key, bool down) {
        if (key == SimulatedKey::c && down) pasteboard->copyFromOtherProgram("caf\xC3 bar");
    };
    TextReplacer::captureSelection();
    EXPECT_EQ(TextReplacer::getSelectedText(), "caf\xEF\xBF\xBD bar");

    // Clipboard back to the saved text: nothing was selected.
    pasteboard->copyFromOtherProgram("before");
    EXPECT_EQ(TextReplacer::getSelectedText(), std::nullopt);
    // An image alone: no text, no data.
    pasteboard->contents = {{{"image/png", "png"}}};
    EXPECT_EQ(TextReplacer::getSelectedText(), std::nullopt);

    // A 10 MB selection comes through whole.
    const std::string big(10 * 1024 * 1024, 'x');
    selectViaAccessibility(big);
    TextReplacer::captureSelection();
    EXPECT_EQ(TextReplacer::getSelectedText()->size(), big.size());
}

TEST_F(TextReplacerTest, PasteBackServesTheAnswerAndGivesEveryFormatBackOnceTheApplicationFetchedIt) {
    pasteboard->contents = kImageAndText;
    otherSelection = "old words";
    TextReplacer::captureSelection();
    take();
    // The activation takes the keyboard from the panel, which closes: that
    // is no close without a paste-back.
    sleeper->onSleep = [&](auto) { TextReplacer::panelClosedWithoutPasteBack(); };
    TextReplacer::replaceSelectedText("new words");
    EXPECT_EQ(take(), (Journal{"activate Gedit", "wait 300ms", "release held keys", "offer new words", "control down",
                               "v down", "v up", "control up"}));
    EXPECT_EQ(selectionOwner->pasteInto, kEditor);
    captureLoop->advance(1999ms);
    EXPECT_EQ(take(), Journal{});
    selectionOwner->fetchByApplication();
    captureLoop->advance(50ms);
    EXPECT_EQ(take(), Journal{"restore"});
    EXPECT_EQ(pasteboard->contents, kImageAndText);
    selectionOwner->fetchByApplication();
    captureLoop->advance(5s);
    EXPECT_EQ(take(), Journal{});  // once

    // An application that never asks: the clipboard goes back after 2 s.
    sleeper->onSleep = {};
    TextReplacer::replaceSelectedText("again");
    take();
    captureLoop->advance(1999ms);
    EXPECT_EQ(take(), Journal{});
    captureLoop->advance(51ms);
    EXPECT_EQ(take(), Journal{"restore"});

    // A copy the user makes meanwhile stays.
    TextReplacer::replaceSelectedText("third");
    selectionOwner->takenByOther();
    take();
    captureLoop->advance(2s);
    EXPECT_EQ(take(), Journal{});
}

TEST_F(TextReplacerTest, ThePasteBacksWaitIsMeasuredOnTheClockHoweverLongEachPollRuns) {
    selectViaAccessibility("selected words");
    TextReplacer::captureSelection();
    TextReplacer::keepClipboardForPasteBack();
    pasteboard->backgroundReady = false;
    // Another program keeps each turn of the wait busy for 100 ms.
    sleeper->onSleep = [&](auto) { clock->advance(90ms); };
    take();
    TextReplacer::replaceSelectedText("new words");
    const auto waits = take();
    EXPECT_EQ(std::count(waits.begin(), waits.end(), "wait 10ms"), 20) << "two seconds, not two hundred polls";
}

// After a capture from PRIMARY the clipboard is read in the background from
// the prompt on; the paste-back waits for it at most 2 s beyond its own
// waits, then takes what came and names what did not.
TEST_F(TextReplacerTest, APrimaryCapturesClipboardIsReadBesideTheRequestAndWaitedForAtMostTwoSeconds) {
    testsupport::LogCapture log;
    pasteboard->contents = kImageAndText;
    selectViaAccessibility("selected words");
    TextReplacer::captureSelection();
    TextReplacer::keepClipboardForPasteBack();
    EXPECT_EQ(take(), Journal{"snapshot begun"});
    pasteboard->backgroundReady = false;
    sleeper->onSleep = [&](auto) { pasteboard->backgroundReady = sleeper->elapsed >= 900ms; };
    TextReplacer::replaceSelectedText("new words");
    EXPECT_EQ(sleeper->elapsed, 900ms);
    const auto pasted = take();
    EXPECT_EQ(std::count(pasted.begin(), pasted.end(), "wait 10ms"), 60);
    EXPECT_EQ(std::vector(pasted.end() - 7, pasted.end()),
              (Journal{"release held keys", "snapshot ended", "offer new words", "control down", "v down", "v up",
                       "control up"}));
    selectionOwner->fetchByApplication();
    captureLoop->advance(50ms);
    EXPECT_EQ(pasteboard->contents, kImageAndText);
    EXPECT_FALSE(log.contains("could not be kept"));

    // An image that never comes: the text comes back, the image is named.
    pasteboard->silentFormats = {"image/png"};
    TextReplacer::captureSelection();
    TextReplacer::keepClipboardForPasteBack();
    sleeper->onSleep = {};
    sleeper->elapsed = 0ms;
    pasteboard->backgroundReady = false;
    TextReplacer::replaceSelectedText("new words");
    EXPECT_EQ(sleeper->elapsed, 2300ms);
    EXPECT_TRUE(log.contains("The clipboard could not be kept whole: image/png did not answer"));
    selectionOwner->fetchByApplication();
    captureLoop->advance(50ms);
    EXPECT_EQ(pasteboard->string(), "user's text");

    // Nothing of it came: the answer stays, and the log says so.
    pasteboard->contents = kImageAndText;
    pasteboard->silentFormats = {"image/png", "text/plain"};
    TextReplacer::captureSelection();
    TextReplacer::keepClipboardForPasteBack();
    TextReplacer::replaceSelectedText("new words");
    selectionOwner->fetchByApplication();
    captureLoop->advance(50ms);
    pasteboard->silentFormats.clear();
    EXPECT_EQ(pasteboard->string(), "new words");
    EXPECT_TRUE(log.contains("nothing of it could be read, the answer is left in its place"));

    // A format named by a hostile owner: escaped and cut, the sentence whole.
    const std::string hostile = "\x1b]0;owned\x07" + std::string(100000, 'x');
    pasteboard->contents = {{{hostile, "?"}}};
    pasteboard->silentFormats = {hostile};
    TextReplacer::captureSelection();
    TextReplacer::keepClipboardForPasteBack();
    TextReplacer::replaceSelectedText("new words");
    pasteboard->silentFormats.clear();
    const std::string line = log.messages().back();
    EXPECT_EQ(line.find('\x1b'), std::string::npos);
    EXPECT_LT(line.size(), 1000u);
    EXPECT_TRUE(line.ends_with("the answer is left in its place")) << line;

    // Nor is a copy capture's selection replaced by an empty clipboard when
    // the panel closes.
    accessibility->focus = {State::noElement, 0};
    pasteboard->silentFormats = {"text/plain"};
    sleeper->onSleep = [&](auto) { pasteboard->silentFormats.clear(); };  // it answers the copy
    capturedOver("mine", "copied words");
    EXPECT_EQ(TextReplacer::getSelectedText(), "copied words");
    TextReplacer::panelClosedWithoutPasteBack();
    EXPECT_EQ(pasteboard->string(), "copied words");
    EXPECT_TRUE(log.contains("nothing of it could be read, the copied selection is left in its place"));
}

TEST_F(TextReplacerTest, AClipboardTheToolkitCouldNotTakeBackIsTriedAgainThenLetGo) {
    testsupport::LogCapture log;
    capturedOver("mine", "old");
    int refusals = 2;
    pasteboard->onWrite = [&] {
        if (--refusals < 0) selectionOwner->takenByOther();
    };
    TextReplacer::replaceSelectedText("answer");
    selectionOwner->fetchByApplication();
    take();
    captureLoop->advance(500ms);
    EXPECT_EQ(take(), (Journal{"restore", "restore", "restore"}));

    // Never taken: the answer's owner lets go, so no read waits on it.
    refusals = 100;
    TextReplacer::replaceSelectedText("answer");
    selectionOwner->fetchByApplication();
    take();
    captureLoop->advance(1s);
    EXPECT_EQ(take(), (Journal{"restore", "restore", "restore", "restore", "restore", "restore", "release clipboard"}));
    EXPECT_TRUE(log.contains("could not be given back"));
}

TEST_F(TextReplacerTest, ANewCaptureOrAQuitGivesThePastedAnswersClipboardBackFirst) {
    capturedOver("mine", "old");
    TextReplacer::replaceSelectedText("answer");
    take();
    TextReplacer::captureSelection();
    EXPECT_EQ(take().front(), "restore");

    TextReplacer::replaceSelectedText("answer");
    take();
    TextReplacer::giveBackBeforeQuit();
    EXPECT_EQ(take(), Journal{"restore"});
    captureLoop->advance(2s);
    EXPECT_EQ(take(), Journal{});
}

TEST_F(TextReplacerTest, AWindowThatDoesNotHaveTheKeyboardWhenThePasteIsDueGetsNoPasteAndTheClipboardGoesBack) {
    testsupport::LogCapture log;
    capturedOver("mine", "old");
    workspace->focusElsewhere = true;
    TextReplacer::replaceSelectedText("answer");
    EXPECT_EQ(take(), (Journal{"activate Gedit", "wait 300ms", "release held keys", "restore"}));
    EXPECT_TRUE(log.contains("does not have the keyboard"));

    // The activation took, but while the paste waits for the user's keys to
    // come up, the user clicks into another window.
    workspace->focusElsewhere = false;
    capturedOver("mine", "old");
    keyboard->keysDown = [&] { return !workspace->focusElsewhere; };
    sleeper->onSleep = [&](auto wait) { workspace->focusElsewhere = wait == 10ms; };
    TextReplacer::replaceSelectedText("answer");
    const Journal pasted = take();
    EXPECT_EQ(std::count(pasted.begin(), pasted.end(), "control down"), 0);
    EXPECT_EQ(pasted.back(), "restore");
    EXPECT_EQ(pasteboard->string(), "mine");
}

TEST_F(TextReplacerTest, PasteBackWithNothingSavedLeavesTheAnswerAndBeforeACaptureDoesNothing) {
    TextReplacer::replaceSelectedText("too early");
    EXPECT_EQ(take(), Journal{});

    otherSelection = "old";
    TextReplacer::captureSelection();
    TextReplacer::replaceSelectedText("answer");
    selectionOwner->fetchByApplication();
    captureLoop->advance(50ms);
    EXPECT_EQ(pasteboard->string(), "answer");
    TextReplacer::panelClosedWithoutPasteBack();
    EXPECT_EQ(pasteboard->string(), "answer");
}

TEST_F(TextReplacerTest, AClosedWindowGetsNoKeystrokeAndTheAnswerStaysOnTheClipboard) {
    testsupport::LogCapture log;
    capturedOver("mine", "old");
    workspace->closedWindows = {kEditor.window};
    TextReplacer::replaceSelectedText("answer");
    EXPECT_EQ(take(), (Journal{"activate Gedit", "set answer"}));
    EXPECT_TRUE(log.contains("is gone: the answer stays on the clipboard"));

    // Gone during the wait after the activation.
    workspace->closedWindows.clear();
    sleeper->onSleep = [&](auto) { workspace->closedWindows = {kEditor.window}; };
    TextReplacer::replaceSelectedText("second");
    EXPECT_EQ(take(), (Journal{"activate Gedit", "wait 300ms", "set second"}));
    EXPECT_EQ(pasteboard->string(), "second");
}

TEST_F(TextReplacerTest, OverOurOwnPanelTheEarlierCaptureStaysAndNoKeysAreSent) {
    capturedOver("user's copy", "selected");

    workspace->frontmost = kOurPanel;
    TextReplacer::captureSelection();
    EXPECT_EQ(take(), Journal{});
    EXPECT_EQ(TextReplacer::lastActiveApp(), kEditor);
    EXPECT_EQ(TextReplacer::savedClipboard(), "user's copy");
    EXPECT_EQ(TextReplacer::getSelectedText(), "selected");
    EXPECT_EQ(platform::LastActiveApplication::get()->localizedName, "Gedit");
}

TEST_F(TextReplacerTest, OverAnotherWindowOfOursNothingIsRememberedToPasteInto) {
    capturedOver("user's copy", "selected");

    // The settings window is frontmost: the earlier selection goes back off
    // the clipboard, no keys are sent and no answer is pasted anywhere.
    workspace->frontmost = kOurSettings;
    TextReplacer::captureSelection();
    EXPECT_EQ(take(), Journal{"restore"});
    EXPECT_EQ(TextReplacer::lastActiveApp(), std::nullopt);
    EXPECT_EQ(platform::LastActiveApplication::get(), std::nullopt);
    EXPECT_EQ(TextReplacer::getSelectedText(), std::nullopt);
    TextReplacer::replaceSelectedText("answer");
    EXPECT_EQ(take(), Journal{});
    EXPECT_EQ(pasteboard->string(), "user's copy");
}

TEST_F(TextReplacerTest, ClosingThePanelWithoutPasteBackGivesTheClipboardBackUnlessTheUserCopiedMeanwhile) {
    pasteboard->contents = kImageAndText;
    otherSelection = "selected";
    TextReplacer::captureSelection();
    EXPECT_EQ(pasteboard->string(), "selected");
    TextReplacer::panelClosedWithoutPasteBack();
    EXPECT_EQ(pasteboard->contents, kImageAndText);
    pasteboard->writes = 0;
    TextReplacer::panelClosedWithoutPasteBack();  // only once
    EXPECT_EQ(pasteboard->writes, 0);

    // The user copies something while the panel is open: theirs stays.
    TextReplacer::captureSelection();
    pasteboard->copyFromOtherProgram("copied in chat");
    TextReplacer::panelClosedWithoutPasteBack();
    EXPECT_EQ(pasteboard->string(), "copied in chat");

    // An empty clipboard before the capture is empty again after it.
    pasteboard->contents = {};
    TextReplacer::captureSelection();
    TextReplacer::panelClosedWithoutPasteBack();
    EXPECT_TRUE(pasteboard->contents.empty());

    // A capture that found nothing still gives back what its copies replaced.
    pasteboard->contents = kImageAndText;
    otherSelection = "user's text";  // the copy brings the same plain text
    TextReplacer::captureSelection();
    EXPECT_EQ(pasteboard->contents.formats.size(), 1u);
    TextReplacer::panelClosedWithoutPasteBack();
    EXPECT_EQ(pasteboard->contents, kImageAndText);
}

TEST_F(TextReplacerTest, ANewCaptureFirstGivesBackWhatAnEarlierOneLeft) {
    pasteboard->copyFromOtherProgram("user's copy");
    otherSelection = "first";
    TextReplacer::captureSelection();
    // No close was reported (say the program was busy); the next capture
    // must not take the first selection for the user's clipboard.
    otherSelection = "second";
    TextReplacer::captureSelection();
    EXPECT_EQ(TextReplacer::savedClipboard(), "user's copy");
    EXPECT_EQ(TextReplacer::getSelectedText(), "second");
}

TEST_F(TextReplacerTest, WithoutDesktopServicesEveryOperationDoesNothing) {
    TextReplacer::resetForTesting();
    TextReplacer::captureSelection();
    TextReplacer::replaceSelectedText("x");
    TextReplacer::panelClosedWithoutPasteBack();
    EXPECT_EQ(TextReplacer::getSelectedText(), std::nullopt);
    EXPECT_EQ(TextReplacer::lastActiveApp(), std::nullopt);
    EXPECT_EQ(take(), Journal{});
}

}  // namespace
