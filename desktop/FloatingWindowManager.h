#pragma once

#include <chrono>
#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include <QPoint>
#include <QRect>
#include <QWidget>

#include "desktop/PanelHistory.h"
#include "desktop/PanelWindow.h"


namespace core {
class Settings;
}
namespace platform {
class MainLoop;
class PanelWindowSystem;
}

namespace desktop {

class FloatingPanel;
class FloatingWindowController;

// Everything the view inside a panel gets from the manager that shows it.
// The callbacks are bound to that one panel: once it has been replaced or
// closed they do nothing to any other panel.
struct PanelViewContext {
    core::Settings& settings;
    // This showing's own history store (made, and so loaded, on first use).
    std::shared_ptr<PanelHistory> history;
    bool startWithVoiceInput = false;
    bool startWithChat = false;
    // Identifies the showing; grows with every showing.
    std::uint64_t generation = 0;
    // To call after a one-shot answer was pasted back: closes this panel.
    std::function<void(const std::string& text)> onSubmit;
    // Closes this panel without a paste-back.
    std::function<void()> close;
};

// Opens, replaces and closes the prompt panel; at most one panel controller
// at a time. The shortcut actions call it on the main thread.
class FloatingWindowManager {
public:
    // Builds the view hosted in a panel. The program plugs in the panel's
    // own view; without one, the panel holds an empty 400 x 48 widget.
    using ViewFactory = std::function<std::unique_ptr<QWidget>(PanelViewContext context)>;

    enum class State { noController, panelVisible, panelClosedControllerKept };

    // The platform services the manager uses: the loop is required, each
    // other member left empty takes the panel window's own (a FloatingPanel,
    // the pointer and screens as Qt sees them, a history store over the
    // standard settings store, the text replacer's clipboard give-back).
    struct Environment {
        // The window system of the real panels (the program's: the one Qt
        // runs on, FloatingPanel::defaultWindowSystem()); none without one.
        std::shared_ptr<platform::PanelWindowSystem> windowSystem;
        // The window around a view (real: a FloatingPanel).
        std::function<std::unique_ptr<PanelWindow>(std::unique_ptr<QWidget> view)> makeWindow;
        // Where the mouse pointer is, in global coordinates.
        std::function<QPoint()> pointerPosition;
        // The usable area of the screen that holds the frontmost window (the
        // one the capture remembered; the primary screen when it is not
        // known), or none when there is no screen.
        std::function<std::optional<QRect>()> visibleFrame;
        // The history store of each showing.
        PanelHistory::Factory makeHistory;
        // Where released controllers are dropped (after the current event).
        std::shared_ptr<platform::MainLoop> loop;
        // Called once for every panel that closes without having pasted an
        // answer back, so the clipboard the capture used can be restored
        // (default: the text replacer's). A panel closed because a new one
        // replaces it does not count: the clipboard holds the new one's
        // selection.
        std::function<void()> panelClosedWithoutPasteBack;
    };

    // Also tells the text replacer which windows are panels, and to let go
    // of their grabs (closing one that has the keyboard) before it types.
    FloatingWindowManager(core::Settings& settings, Environment environment);
    ~FloatingWindowManager();
    FloatingWindowManager(const FloatingWindowManager&) = delete;
    FloatingWindowManager& operator=(const FloatingWindowManager&) = delete;

    void setViewFactory(ViewFactory factory) { viewFactory_ = std::move(factory); }
    void setPanelClosedWithoutPasteBack(std::function<void()> hook) {
        environment_.panelClosedWithoutPasteBack = std::move(hook);
    }
    // Called when the current panel's text field first has the keyboard.
    void setOnPanelReadyForKeys(std::function<void()> onReady) { onPanelReadyForKeys_ = std::move(onReady); }

    // Opens a new panel near the pointer in the given modes. An earlier panel,
    // shown or not, is closed and let go first, so two are never on screen.
    void showWindow(bool startWithVoiceInput, bool startWithChat);
    // Closes the panel when it is on screen; otherwise opens a new one in the
    // plain mode.
    void toggleWindow();
    // A one-shot answer of the panel of `generation` was pasted back: closes
    // that panel, if it is still the current one.
    void onSubmit(std::uint64_t generation, const std::string& text);

    State state() const;
    FloatingWindowController* windowController() const { return controller_.get(); }
    // The generation of the current controller, or 0 without one.
    std::uint64_t currentGeneration() const { return controller_ ? generation_ : 0; }

private:
    // Closes the panel of `generation` if it is the current one; the
    // controller is kept, as when the panel closes by itself.
    void closePanel(std::uint64_t generation);
    // Drops the (closed) current controller; it is destroyed after the
    // current event, or with the manager if that comes first.
    void releaseCurrent();
    void panelClosed(std::uint64_t generation);
    platform::MainLoop& loop();
    std::optional<QRect> frontmostScreenFrame();
    // The window the capture remembered, when it is fullscreen; else 0.
    std::uint64_t fullscreenFrontmostWindow();
    std::shared_ptr<platform::PanelWindowSystem> windowSystem();
    // The program's own panels: the window of the next showing is ready
    // before the shortcut (made a while after the start, then the window of
    // the panel let go last), so that showing one makes no native window.
    std::unique_ptr<PanelWindow> takePanel(std::unique_ptr<QWidget> view);
    void makeSpareLater();

    core::Settings& settings_;
    Environment environment_;
    ViewFactory viewFactory_;
    std::function<void()> onPanelReadyForKeys_;
    std::unique_ptr<FloatingWindowController> controller_;
    // Let go of, waiting for the loop's next turn to be destroyed.
    std::vector<std::unique_ptr<FloatingWindowController>> released_;
    std::uint64_t generation_ = 0;
    std::uint64_t lastGeneration_ = 0;
    // Whether the current panel's answer was pasted back.
    bool pastedBack_ = false;
    bool ownPanels_ = false;
    std::unique_ptr<FloatingPanel> spare_;
    std::uint64_t spareTimer_ = 0;
    // Lets the callbacks handed out know whether this manager still exists.
    std::shared_ptr<FloatingWindowManager*> self_;
};

}  // namespace desktop
