#include "windows/SettingsView.h"

#include <QGuiApplication>
#include <QTabBar>
#include <QTabWidget>
#include <QTimer>
#include <QVBoxLayout>
#include <QWindow>

#include "ui/Palette.h"
#include "ui/SymbolIcon.h"
#include "windows/APIKeysTabView.h"
#include "windows/HistoryView.h"
#include "windows/ModelsTabView.h"
#include "windows/ShortcutsTabView.h"

namespace windows {

namespace {

constexpr int kTabSymbolSize = 14;

}  // namespace

SettingsView::SettingsView(core::Settings& settings, std::shared_ptr<platform::UserDefaults> defaults,
                           QWidget* parent)
    : QWidget(parent, Qt::Window | Qt::WindowStaysOnTopHint),
      historyService_(std::make_unique<core::HistoryService>(defaults)) {
    setWindowTitle(QString::fromLatin1(kTitle));
    setPalette(ui::Palette::windowPalette());
    setAutoFillBackground(true);
    setFixedSize(kWidth, kHeight);

    tabs_ = new QTabWidget(this);
    tabs_->setDocumentMode(true);
    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->addWidget(tabs_);

    const auto addTab = [this](QWidget* page, const char* title, const char* symbol) {
        const int index =
            tabs_->addTab(page, ui::SymbolIcon::icon(symbol, kTabSymbolSize, ui::Palette::color(ui::Colour::White)),
                          QString::fromLatin1(title));
        tabs_->tabBar()->setTabData(index, QString::fromLatin1(symbol));
    };
    addTab(new APIKeysTabView(settings), "API Keys", "key.fill");
    addTab(new ModelsTabView(settings), "Models", "cpu.fill");
    addTab(new ShortcutsTabView(defaults), "Shortcuts", "keyboard.fill");
    addTab(new HistoryView(historyService()), "History", "clock.fill");
    tabs_->setCurrentIndex(0);
}

SettingsView::~SettingsView() {
    // The History tab observes the history store, a member that would die
    // before the child widgets do.
    delete tabs_;
}

void SettingsView::showEvent(QShowEvent* event) {
    QWidget::showEvent(event);
    // The native window is mapped only after this event: raise it once the
    // show has finished.
    QTimer::singleShot(0, this, [] { bringToFront(); });
}

void SettingsView::bringToFront() {
    // The windows in the order the program made them; the first visible
    // "Settings" is raised, made to stay on top and given the focus.
    for (QWindow* window : QGuiApplication::topLevelWindows()) {
        if (window->title() != QLatin1String(kTitle) || !window->isVisible()) continue;
        if (!(window->flags() & Qt::WindowStaysOnTopHint)) window->setFlag(Qt::WindowStaysOnTopHint, true);
        window->raise();
        window->requestActivate();
        return;
    }
}

}  // namespace windows
