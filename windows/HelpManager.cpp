#include "windows/HelpManager.h"

#include <QGuiApplication>
#include <QMouseEvent>
#include <QScreen>
#include <QVBoxLayout>
#include <QWindow>

#include "Telemetry/TelemetrySDK.h"
#include "ui/Palette.h"
#include "windows/HelpView.h"

namespace windows {

namespace {

// The window's frame: moved by dragging its background, like a window whose
// content reaches under a transparent title bar.
class HelpFrame final : public QWidget {
public:
    HelpFrame() : QWidget(nullptr, Qt::Window | Qt::WindowStaysOnTopHint) {}

protected:
    void mousePressEvent(QMouseEvent* event) override {
        if (event->button() == Qt::LeftButton && windowHandle() && windowHandle()->startSystemMove())
            return;
        QWidget::mousePressEvent(event);
    }
};

}  // namespace

HelpManager::HelpManager(std::shared_ptr<platform::AnalyticsSink> analytics)
    : analytics_(analytics ? std::move(analytics) : telemetry::TelemetrySDK::sharedPointer()),
      self_(std::make_shared<HelpManager*>(this)) {}

HelpManager::~HelpManager() {
    self_.reset();
    delete window_.data();
}

void HelpManager::showHelp() {
    if (window_) {
        window_->show();
        window_->raise();
        window_->activateWindow();
        return;
    }
    analytics_->capture("help_window_opened", {});

    auto* frame = new HelpFrame;
    frame->setWindowTitle(QStringLiteral("Quillary Help"));
    frame->setAttribute(Qt::WA_DeleteOnClose, false);
    frame->setAutoFillBackground(true);
    QPalette palette = ui::Palette::windowPalette();
    palette.setColor(QPalette::Window, ui::Palette::color(ui::Colour::Surface12));
    frame->setPalette(palette);

    std::weak_ptr<HelpManager*> weak = self_;
    auto onClose = [weak] {
        if (const auto manager = weak.lock())
            (*manager)->closeHelp();
    };
    auto* layout = new QVBoxLayout(frame);
    layout->setContentsMargins(0, 0, 0, 0);
    view_ = new HelpView(std::move(onClose), analytics_, frame);
    layout->addWidget(view_);

    frame->resize(width, height);
    if (const QScreen* screen = QGuiApplication::primaryScreen()) {
        QRect area(QPoint(), frame->size());
        area.moveCenter(screen->availableGeometry().center());
        frame->move(area.topLeft());
    }
    window_ = frame;
    frame->show();
    frame->raise();
    frame->activateWindow();
}

void HelpManager::closeHelp() {
    analytics_->capture("help_window_dismissed", {});
    if (QWidget* window = window_.data()) {
        window_ = nullptr;
        window->close();
        // The close may come from inside the window: delete it once that
        // event is over.
        window->deleteLater();
    }
}

}  // namespace windows
