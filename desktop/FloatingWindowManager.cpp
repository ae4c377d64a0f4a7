#include "desktop/FloatingWindowManager.h"

#include <QCursor>
#include <QGuiApplication>
#include <QScreen>
#include <QWidget>

#include "desktop/FloatingPanel.h"
#include "desktop/FloatingWindowController.h"
#include "desktop/TextReplacer.h"
#include "platform/MainLoop.h"
#include "platform/PanelWindowSystem.h"
#include "platform/Required.h"

namespace desktop {

FloatingWindowManager::FloatingWindowManager(core::Settings& settings, Environment environment)
    : settings_(settings), environment_(std::move(environment)), self_(std::make_shared<FloatingWindowManager*>(this)) {
    platform::required(environment_.loop, "FloatingWindowManager: the main loop");
    if (!environment_.makeWindow) {
        environment_.makeWindow = [this](std::unique_ptr<QWidget> view) { return takePanel(std::move(view)); };
        ownPanels_ = true;
        makeSpareLater();
    }
    if (!environment_.pointerPosition) environment_.pointerPosition = [] { return QCursor::pos(); };
    if (!environment_.visibleFrame) environment_.visibleFrame = [this] { return frontmostScreenFrame(); };
    if (!environment_.panelClosedWithoutPasteBack)
        environment_.panelClosedWithoutPasteBack = &TextReplacer::panelClosedWithoutPasteBack;
    TextReplacer::setPanelWindowCheck(&FloatingPanel::isPanelWindow);
    TextReplacer::setBeforeTyping(&FloatingPanel::yieldToAnotherWindow);
}

FloatingWindowManager::~FloatingWindowManager() {
    loop().cancel(spareTimer_);
    // Callbacks still held by views and panels now do nothing.
    self_.reset();
    controller_.reset();
    // Panels let go of just before a quit go now, not with the loop's queue
    // (which may outlive the program's own objects).
    released_.clear();
}

void FloatingWindowManager::showWindow(bool startWithVoiceInput, bool startWithChat) {
    const std::uint64_t generation = ++lastGeneration_;
    const std::weak_ptr<FloatingWindowManager*> weak = self_;

    PanelViewContext context{
        settings_,
        std::make_shared<PanelHistory>(environment_.makeHistory),
        startWithVoiceInput,
        startWithChat,
        generation,
        [weak, generation](const std::string& text) {
            if (auto self = weak.lock()) (*self)->onSubmit(generation, text);
        },
        [weak, generation] {
            if (auto self = weak.lock()) (*self)->closePanel(generation);
        },
    };
    std::unique_ptr<QWidget> view = viewFactory_ ? viewFactory_(std::move(context)) : nullptr;

    // Built and placed while the old panel is still there, so that it is
    // placed for the same pointer and screen.
    std::unique_ptr<PanelWindow> window = environment_.makeWindow(std::move(view));
    window->setFullscreenOwner(fullscreenFrontmostWindow());
    auto controller = std::make_unique<FloatingWindowController>(std::move(window), environment_.pointerPosition(),
                                                                 environment_.visibleFrame());
    controller->setOnClosed([weak, generation] {
        if (auto self = weak.lock()) (*self)->panelClosed(generation);
    });
    if (auto* window = controller->window())
        window->setOnReadyForKeys([weak, generation] {
            const auto self = weak.lock();
            if (self && (*self)->generation_ == generation && (*self)->onPanelReadyForKeys_)
                (*self)->onPanelReadyForKeys_();
        });

    // The new showing is current before the old panel closes: that close is
    // no panel closing without a paste-back, since the capture just made
    // for the new panel left its selection on the clipboard for it to read.
    generation_ = generation;
    if (controller_) {
        controller_->close();
        releaseCurrent();
    }
    controller_ = std::move(controller);
    pastedBack_ = false;
    controller_->showWindow();
}

void FloatingWindowManager::toggleWindow() {
    if (controller_ && controller_->window() && controller_->window()->isPanelVisible()) {
        controller_->close();
        releaseCurrent();
        return;
    }
    showWindow(false, false);
}

void FloatingWindowManager::onSubmit(std::uint64_t generation, const std::string& /*text*/) {
    // An answer of a panel that was replaced meanwhile must not close the
    // panel the user now works in.
    if (!controller_ || generation != generation_) return;
    pastedBack_ = true;
    controller_->close();
    releaseCurrent();
}

FloatingWindowManager::State FloatingWindowManager::state() const {
    if (!controller_) return State::noController;
    return controller_->window() && controller_->window()->isPanelVisible() ? State::panelVisible
                                                                            : State::panelClosedControllerKept;
}

void FloatingWindowManager::closePanel(std::uint64_t generation) {
    if (controller_ && generation == generation_) controller_->close();
}

void FloatingWindowManager::releaseCurrent() {
    // The release may be asked for from inside the panel (its view's submit),
    // so the controller is destroyed once the current event is over, never
    // under a call still running on it. It is already closed.
    FloatingWindowController* released = controller_.get();
    released_.push_back(std::move(controller_));
    loop().post(std::weak_ptr<FloatingWindowManager*>(self_), [this, released] {
        // Its window serves the next showing: making one is most of what
        // showing a panel costs.
        if (ownPanels_ && !spare_) {
            auto window = released->takeWindow();
            if (auto* panel = dynamic_cast<FloatingPanel*>(window.get()); panel && !panel->isVisible()) {
                window.release();
                spare_.reset(panel);
                spare_->recycle();
            }
        }
        std::erase_if(released_, [released](const auto& kept) { return kept.get() == released; });
    });
}

void FloatingWindowManager::panelClosed(std::uint64_t generation) {
    if (generation != generation_ || pastedBack_) return;
    if (environment_.panelClosedWithoutPasteBack) environment_.panelClosedWithoutPasteBack();
}

std::optional<QRect> FloatingWindowManager::frontmostScreenFrame() {
    QScreen* screen = nullptr;
    const auto app = TextReplacer::lastActiveApp();
    // With one screen there is nothing to ask the window system.
    if (app && app->window && windowSystem() && QGuiApplication::screens().size() > 1) {
        if (const auto frame = windowSystem()->windowGeometry(app->window))
            screen = QGuiApplication::screenAt(QRect(frame->x, frame->y, frame->width, frame->height).center());
    }
    if (!screen) screen = QGuiApplication::primaryScreen();
    if (!screen) return std::nullopt;
    return screen->availableGeometry();
}

std::uint64_t FloatingWindowManager::fullscreenFrontmostWindow() {
    // As the capture read it, on the way to the panel anyway.
    const auto app = TextReplacer::lastActiveApp();
    return app && app->window && app->fullscreen ? app->window : 0;
}

std::shared_ptr<platform::PanelWindowSystem> FloatingWindowManager::windowSystem() { return environment_.windowSystem; }

std::unique_ptr<PanelWindow> FloatingWindowManager::takePanel(std::unique_ptr<QWidget> view) {
    std::unique_ptr<FloatingPanel> panel = std::move(spare_);
    if (panel)
        panel->setContent(std::move(view));
    else
        panel = std::make_unique<FloatingPanel>(std::move(view), windowSystem());
    return panel;
}

void FloatingWindowManager::makeSpareLater() {
    // Not in the start-up's way.
    constexpr std::chrono::milliseconds delay{500};
    loop().cancel(spareTimer_);
    spareTimer_ = loop().addTimer(delay, false, [this] {
        spareTimer_ = 0;
        if (!spare_) spare_ = std::make_unique<FloatingPanel>(nullptr, windowSystem());
    });
}

platform::MainLoop& FloatingWindowManager::loop() { return *environment_.loop; }

}  // namespace desktop
