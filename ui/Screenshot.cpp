#include "ui/Screenshot.h"

#include <QApplication>
#include <QDir>
#include <QWidget>

#include "ui/Animations.h"
#include "ui/Style.h"

// Fontconfig (which Qt draws text with) and libdbus (which Qt's X11 platform
// connects to the desktop with) keep their caches and connections until the
// process ends, on purpose; the leak checker of sanitizer builds would report
// them. Every widget test program reaches this file, so the suppressions
// live here; the sanitizer runtime asks for the function, other builds never do.
extern "C" const char* __lsan_default_suppressions();
extern "C" const char* __lsan_default_suppressions() { return "leak:libfontconfig.so\nleak:libdbus-1.so\n"; }

namespace ui {

void Screenshot::ensureApplication() {
    if (QApplication::instance()) return;
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) qputenv("QT_QPA_PLATFORM", "offscreen");
    static int argc = 1;
    static char name[] = "quillary_widget_tests";
    static char* argv[] = {name, nullptr};
    new QApplication(argc, argv);  // lives as long as the process
    Style::apply(*qApp);
    Animations::setEnabled(false);
}

QImage Screenshot::grab(QWidget& widget) {
    QApplication::processEvents();
    widget.ensurePolished();
    QImage image(widget.size(), QImage::Format_ARGB32_Premultiplied);
    image.fill(Qt::transparent);
    // A window shows its background; a part of one shows only what it paints.
    const bool background = widget.isWindow() && !widget.testAttribute(Qt::WA_TranslucentBackground);
    widget.render(&image, QPoint(), QRegion(),
                  background ? QWidget::DrawWindowBackground | QWidget::DrawChildren : QWidget::DrawChildren);
    return image;
}

QImage Screenshot::save(QWidget& widget, const QString& folder, const QString& name) {
    if (!QDir().mkpath(folder)) return {};
    QImage image = grab(widget);
    if (!image.save(QDir(folder).filePath(name + QStringLiteral(".png")))) return {};
    return image;
}

}  // namespace ui
