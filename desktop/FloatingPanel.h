#pragma once

#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <set>
#include <vector>

#include <QTimer>
#include <QWidget>

#include "desktop/HeldKeys.h"
#include "desktop/PanelWindow.h"
#include "platform/PanelWindowSystem.h"

class QWindow;

namespace platform {
class PanelWindowSystem;
}

namespace desktop {

// The prompt panel's window: frameless, above every other window, off the
// task bar, transparent around the view's rounded background, moved by
// dragging that background. It is only hidden when closed, never deleted:
// its controller owns it.
class FloatingPanel final : public QWidget, public PanelWindow {
public:
    static constexpr int kInitialWidth = 400;
    static constexpr int kInitialHeight = 48;
    // The view's background corners; without a compositor the window is cut
    // to this shape, since its transparent corners would show black.
    static constexpr int kCornerRadius = 24;

    // Hosts `content` (none: an empty 400 x 48 area); the window takes the
    // content's size and follows it when it changes, moving up when told to
    // keep inside a screen area. Without a window
    // system (an offscreen test), Qt's own activation is used.
    explicit FloatingPanel(std::unique_ptr<QWidget> content,
                           std::shared_ptr<platform::PanelWindowSystem> windowSystem = {});
    ~FloatingPanel() override;

    // The window system the program runs on: X11 when Qt runs on it (with
    // the time of the last hot-key press for activation), none otherwise.
    static std::shared_ptr<platform::PanelWindowSystem> defaultWindowSystem();
    // Whether the native window `window` is a panel or one of its popups.
    static bool isPanelWindow(std::uint64_t window);
    // Something is about to be typed into another window, or that window
    // activated: a panel that has the keyboard closes (as that activation
    // would close it), and every panel lets go of its keyboard and pointer
    // grabs and takes them no more while it stays open.
    static void yieldToAnotherWindow();
    // Asks for the keyboard for the window of `widget`, unless that window
    // is a panel over a fullscreen window: the window manager gives such a
    // panel the keyboard itself, and the request would end the other
    // window's fullscreen.
    static void activateWindowOf(QWidget* widget);

    QWidget* content() const { return content_; }
    // Hosts `content` in place of what the panel held.
    void setContent(std::unique_ptr<QWidget> content);
    // A closed panel made ready to serve another showing as a new one would:
    // its view let go, its state as made, its native window kept (making
    // one is most of what showing a panel costs).
    void recycle();

    int panelHeight() const override;
    void moveTo(QPoint topLeft) override;
    void keepInside(QRect visibleFrame) override { keptInside_ = visibleFrame; }
    // Makes the window transient for `window` through Qt (which writes
    // WM_TRANSIENT_FOR itself at every show, over a value set by hand); 0
    // clears it. No activation is asked for while it is set.
    void setFullscreenOwner(std::uint64_t window) override;
    void showPanel() override;
    void closePanel() override;
    bool isPanelVisible() const override { return isVisible(); }
    void setOnDeactivate(std::function<void()> onDeactivate) override { onDeactivate_ = std::move(onDeactivate); }
    void setOnReadyForKeys(std::function<void()> onReady) override { onReadyForKeys_ = std::move(onReady); }
    // Composed as typed keys are: a dead key still open at the end takes the
    // next key typed into the panel.
    void typeHeldKeys(std::span<const platform::HeldKeyEvent> keys) override;

    // Whether the panel holds the keyboard and pointer grabs now.
    bool holdsInput() const { return grabbed_; }

    // A key event read off the X connection, before the toolkit's input
    // method (which composes) has seen it: while a panel holds the keyboard,
    // a key of a global shortcut does what the shortcut does, and true is
    // answered (the event goes no further).
    static bool takeShortcutKey(bool press, std::uint32_t keyCode, std::uint32_t state, std::uint32_t time);

protected:
    void changeEvent(QEvent* event) override;
    void closeEvent(QCloseEvent* event) override;
    void hideEvent(QHideEvent* event) override;
    void mousePressEvent(QMouseEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;
    // While the grabs hold: global shortcuts arrive as ordinary keys, and
    // hiding popups of the program end the grabs.
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    // While shown focused the panel holds an active keyboard and pointer
    // grab, as X11 launchers do: a window manager whose focus follows the
    // pointer then sees no crossing and cannot take the keyboard away.
    void takeInput();
    // Something of ours (a popup, a system move) ended the grabs.
    void retakeInput();
    void tryGrab();
    void releaseInput();

    // Whether the window that has the keyboard now is one of this panel's
    // own popups (the model picker).
    bool ownPopupActive() const;
    void deactivated();
    // Without a compositor the window is cut to the content's rounded shape;
    // with one it is not cut.
    void updateMask();
    bool ownWidget(QObject* object) const;
    bool promptHasFocus() const;
    // The prompt has the keyboard: tells the owner on the next turn, once
    // the focus change is over.
    void becameReady();
    // A key typed into the panel that ends a sequence the held keys opened.
    bool composeTypedKey(QObject* target, QKeyEvent* event);
    bool grabbedShortcutKey(bool press, std::uint32_t keyCode, std::uint32_t state, std::uint32_t time);
    // A shortcut acted: the sequence open goes, ours and the toolkit's (left
    // open, it would compose the next key typed into the prompt).
    void dropComposing();

    std::shared_ptr<platform::PanelWindowSystem> windowSystem_;
    QWidget* content_ = nullptr;
    std::function<void()> onDeactivate_;
    std::function<void()> onReadyForKeys_;
    std::optional<QRect> keptInside_;
    // No compositor ran at the last showing.
    bool useMask_ = false;
    // Key loss counts only once the panel had the keyboard.
    bool wasActive_ = false;
    bool hiding_ = false;
    // The panel wants its grabs (from its first activation until it closes
    // or lets go for good), holds them, or is taking them again (after a
    // popup or a system move ended them; focus changes are not losses then).
    bool grabWanted_ = false;
    bool grabbed_ = false;
    bool regrabbing_ = false;
    int grabAttemptsLeft_ = 0;
    QTimer grabRetry_;
    bool readyTold_ = false;
    bool shownBefore_ = false;
    bool replaying_ = false;
    held_keys::Composer composer_;
    // The keys down as the grab brought them, and the last one let go of: a
    // press of a key down (detectable auto-repeat), or at the very time it
    // was let go of (a repeat's release and press), repeats.
    std::set<std::uint32_t> keysDown_;
    std::uint32_t lastReleasedKey_ = 0;
    std::uint32_t lastReleaseTime_ = 0;
    // The other program's fullscreen window this panel is transient for.
    std::unique_ptr<QWindow> fullscreenOwner_;
};

}  // namespace desktop
