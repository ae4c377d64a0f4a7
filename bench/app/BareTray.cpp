// The baseline of the program's start-up, memory and hot-key reaction: a
// bare Qt Widgets program with a tray icon and a menu of the same rows, that
// grabs the same key (Super+Shift+Space) on the root window and toggles a
// frameless tool window with a line edit, closed again by Escape. Nothing
// else: no selection capture, no history, no provider.

#include <QAbstractNativeEventFilter>
#include <QApplication>
#include <QKeyEvent>
#include <QLineEdit>
#include <QMenu>
#include <QPainter>
#include <QSystemTrayIcon>
#include <QVBoxLayout>

#include <X11/Xlib.h>
#include <X11/keysym.h>
#include <xcb/xcb.h>

namespace {

class Panel : public QWidget {
public:
    Panel() : QWidget(nullptr, Qt::Tool | Qt::FramelessWindowHint | Qt::WindowStaysOnTopHint) {
        setFixedSize(500, 120);
        auto* layout = new QVBoxLayout(this);
        layout->addWidget(&field_);
    }
    void toggle() {
        if (isVisible()) return hide();
        show();
        raise();
        activateWindow();
        field_.setFocus();
    }

protected:
    void keyPressEvent(QKeyEvent* event) override {
        if (event->key() == Qt::Key_Escape) hide();
    }

private:
    QLineEdit field_;
};

// The key press of a passive grab on the root window, read from Qt's own
// connection to the X server.
class HotKey : public QAbstractNativeEventFilter {
public:
    explicit HotKey(Panel& panel) : panel_(panel) {
        auto* x11 = qApp->nativeInterface<QNativeInterface::QX11Application>();
        Display* display = x11 ? x11->display() : nullptr;
        if (!display) return;
        keycode_ = XKeysymToKeycode(display, XK_space);
        for (unsigned lock : {0u, unsigned(Mod2Mask), unsigned(LockMask), unsigned(Mod2Mask | LockMask)})
            XGrabKey(display, keycode_, Mod4Mask | ShiftMask | lock, DefaultRootWindow(display), False, GrabModeAsync,
                     GrabModeAsync);
        XFlush(display);
    }

    bool nativeEventFilter(const QByteArray&, void* message, qintptr*) override {
        const auto* event = static_cast<const xcb_generic_event_t*>(message);
        if ((event->response_type & 0x7f) != XCB_KEY_PRESS) return false;
        if (reinterpret_cast<const xcb_key_press_event_t*>(event)->detail != keycode_) return false;
        panel_.toggle();
        return true;
    }

private:
    Panel& panel_;
    unsigned keycode_ = 0;
};

}  // namespace

int main(int argc, char** argv) {
    qputenv("QT_QPA_PLATFORM", "xcb");
    QApplication application(argc, argv);
    QApplication::setQuitOnLastWindowClosed(false);
    QMenu menu;
    menu.addAction(QStringLiteral("Preferences..."))->setShortcut(QKeySequence(QStringLiteral("Ctrl+,")));
    menu.addSeparator();
    menu.addAction(QStringLiteral("Check Accessibility Permissions"));
    menu.addAction(QStringLiteral("Help && FAQs"))->setShortcut(QKeySequence(QStringLiteral("Ctrl+?")));
    menu.addSeparator();
    QObject::connect(menu.addAction(QStringLiteral("Quit Quillary")), &QAction::triggered, &application, &QApplication::quit);
    QPixmap pixmap(18, 18);
    pixmap.fill(Qt::transparent);
    {
        QPainter painter(&pixmap);
        painter.setBrush(Qt::white);
        painter.drawEllipse(2, 2, 14, 14);
    }
    QSystemTrayIcon icon{QIcon(pixmap)};
    icon.setContextMenu(&menu);
    icon.show();
    Panel panel;
    HotKey hotKey(panel);
    application.installNativeEventFilter(&hotKey);
    return QApplication::exec();
}
