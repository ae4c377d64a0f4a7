// The baseline of the program's start-up and memory: a bare Qt Widgets
// program with a tray icon and a menu of the same rows, nothing else.

#include <QApplication>
#include <QMenu>
#include <QPainter>
#include <QSystemTrayIcon>

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
    return QApplication::exec();
}
