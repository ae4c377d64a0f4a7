#include "desktop/TrayMenu.h"

#include <QAction>
#include <QKeyEvent>
#include <QMenu>
#include <QPainter>
#include <QPainterPathStroker>
#include <QSystemTrayIcon>

#include "GlobalShortcuts/ApplicationMenu.h"
#include "platform/Logger.h"
#include "ui/SymbolIcon.h"

namespace desktop {
namespace {

QPixmap trayPixmap(int side) {
    QPixmap pixmap(side, side);
    pixmap.fill(Qt::transparent);
    QPainter painter(&pixmap);
    painter.setRenderHint(QPainter::Antialiasing);
    // The glyph fills 18 of 24 grid units' worth of the icon, leaving room for the rim.
    const qreal scale = side / 24.0 * 0.9;
    painter.translate((side - 24.0 * scale) / 2, (side - 24.0 * scale) / 2);
    painter.scale(scale, scale);
    const QPainterPath glyph = ui::SymbolIcon::path("menubar-icon");
    QPainterPathStroker rim;
    rim.setWidth(3.2);
    rim.setJoinStyle(Qt::RoundJoin);
    rim.setCapStyle(Qt::RoundCap);
    painter.fillPath(rim.createStroke(glyph), QColor(20, 20, 20));
    painter.fillPath(glyph, Qt::white);
    return pixmap;
}

// Whether a key press is the action's key equivalent. Keys that need Shift to
// type ("?" is Shift+/ on most layouts) match with or without it.
bool isKeyEquivalent(const QKeyEvent& event, const QAction& action) {
    if (action.shortcut().isEmpty() || !action.isEnabled()) return false;
    const QKeyCombination wanted = action.shortcut()[0];
    const Qt::KeyboardModifiers modifiers = event.modifiers() & ~Qt::KeypadModifier;
    const auto key = static_cast<Qt::Key>(event.key());
    if (QKeyCombination(modifiers, key) == wanted) return true;
    const bool printable = key >= Qt::Key_Space && key <= Qt::Key_AsciiTilde && !(key >= Qt::Key_A && key <= Qt::Key_Z);
    return printable && modifiers.testFlag(Qt::ShiftModifier) && QKeyCombination(modifiers & ~Qt::ShiftModifier, key) == wanted;
}

}  // namespace

// An open menu takes every key press for its own navigation, and Qt's
// shortcuts do not reach the actions of a popup; this filter gives the
// menu's key equivalents to their actions while it is open.
class TrayMenu::KeyEquivalents final : public QObject {
public:
    explicit KeyEquivalents(QMenu& menu) : QObject(&menu), menu_(menu) { menu.installEventFilter(this); }

protected:
    bool eventFilter(QObject* watched, QEvent* event) override {
        if (watched != &menu_ || (event->type() != QEvent::KeyPress && event->type() != QEvent::ShortcutOverride))
            return false;
        const auto& key = static_cast<const QKeyEvent&>(*event);
        for (QAction* action : menu_.actions()) {
            if (!isKeyEquivalent(key, *action)) continue;
            if (event->type() == QEvent::ShortcutOverride) {
                event->accept();  // ours: no application shortcut takes it first
                return true;
            }
            menu_.hide();
            action->trigger();
            return true;
        }
        return false;
    }

private:
    QMenu& menu_;
};

TrayMenu::TrayMenu(MenuModel model)
    : model_(std::move(model)), menu_(std::make_unique<QMenu>()), icon_(std::make_unique<QSystemTrayIcon>()) {
    for (std::size_t index = 0; index < model_.rows().size(); ++index) {
        const MenuRow& row = model_.rows()[index];
        if (row.kind == MenuRow::Kind::Divider) {
            menu_->addSeparator();
            continue;
        }
        QAction* action = menu_->addAction(QString::fromStdString(row.menuText()));
        if (!row.shortcut.empty()) {
            action->setShortcut(QKeySequence(QString::fromStdString(row.shortcut), QKeySequence::PortableText));
            action->setShortcutVisibleInContextMenu(true);
        }
        // Queued: the menu closes first, and an action that ends the loop or
        // opens a window does not run inside the menu's own event handling.
        QObject::connect(action, &QAction::triggered, menu_.get(), [this, index] { model_.activate(index); },
                         Qt::QueuedConnection);
    }
    icon_->setIcon(icon());
    icon_->setToolTip(QStringLiteral("Quillary"));
    icon_->setContextMenu(menu_.get());
    // A left click opens the same menu as a right click: it is the only menu.
    QObject::connect(icon_.get(), &QSystemTrayIcon::activated, menu_.get(), [this](QSystemTrayIcon::ActivationReason reason) {
        if (reason == QSystemTrayIcon::Trigger) menu_->popup(QCursor::pos());
    });
    new KeyEquivalents(*menu_);
    GlobalShortcuts::setApplicationMainMenu(menu_.get());
}

TrayMenu::~TrayMenu() {
    if (GlobalShortcuts::applicationMainMenu() == menu_.get()) GlobalShortcuts::setApplicationMainMenu(nullptr);
    icon_->hide();
}

bool TrayMenu::show() {
    const bool available = QSystemTrayIcon::isSystemTrayAvailable();
    if (!available) platform::Logger("Quillary", "tray").info(kNoTrayMessage);
    icon_->show();
    return available;
}

QIcon TrayMenu::icon() {
    QIcon icon;
    for (int side : {16, 18, 22, 24, 32, 48}) icon.addPixmap(trayPixmap(side));
    return icon;
}

}  // namespace desktop
