// A stand-in for "any other program" in tests under X11: a window with a
// line edit and a text edit. With --paste-delay MS it is a busy program:
// Control+V in the line edit reads the clipboard MS milliseconds later.
// --class NAME gives its window that class in place of "OtherApp", and
// --pseudo-terminal makes it hold a pseudo-terminal's master side, as an
// editor with a terminal pane does. It
// prints what happens to it on standard output, one event a line, and takes
// commands on standard input, one a line:
//
//   select-line START LENGTH        select in the line edit and own PRIMARY,
//   select-text START LENGTH        as a mouse selection does (the text edit);
//   select-line-quietly START LENGTH  select without touching PRIMARY;
//   primary-fill COUNT              own PRIMARY with COUNT letters "q";
//   primary-silent                  own PRIMARY from a second X connection
//                                   that never answers;
//   silent-requests                 print "requests N", the requests it got;
//   own-latin1 TEXT                 own PRIMARY from a second connection, as an
//                                   old program: TEXT as Latin-1 STRING only;
//   own-numbers CHUNKS ITEMS [TYPE] own CLIPBOARD from there with x-numbers,
//                                   sent in CHUNKS chunks of ITEMS 32-bit items
//                                   of TYPE (INTEGER);
//   served-chunks                   print "chunks N", the chunks sent so far;
//   own-slow SELECTION MS TEXT      own SELECTION from there with TEXT as
//                                   UTF8_STRING, answered MS ms after it is
//                                   asked for; prints "owned";
//   own-behind-events SELECTION COUNT REPEATS TEXT
//                                   own SELECTION from there with TEXT as
//                                   text/plain;charset=utf-8 only: UTF8_STRING
//                                   is refused REPEATS times over, right
//                                   behind COUNT notifications at the
//                                   requestor's window for another target;
//                                   prints "owned", then "refused" after each
//                                   refusal and "answered" after each answer;
//   own-twice SELECTION TEXT        own SELECTION from there with TEXT as
//                                   UTF8_STRING, each answer sent twice;
//                                   prints "owned";
//   own-split-utf8 TEXT             own PRIMARY from there with TEXT as
//                                   UTF8_STRING in chunks of 2 bytes, the
//                                   empty last one typed STRING;
//   own-many-formats COUNT SIZE     own CLIPBOARD from there with COUNT formats
//                                   whose names are SIZE bytes long; prints "owned";
//   claim-again COUNT               set the owner of what it owns from there
//                                   again COUNT times, then print "claimed";
//   flood WINDOW COUNT              send the X window WINDOW COUNT client
//                                   messages from there, then print "flooded";
//   own-slow-image MS               own CLIPBOARD from there with a text and a
//                                   PNG that comes MS ms after it is asked for;
//                                   prints "format image/png SIZE MD5";
//   set-line TEXT / set-text TEXT   replace the contents;
//   focus line|text                 move the keyboard focus;
//   copy-text TEXT / copy-image     put text / a PNG with a caption and a password
//                                   manager's hint on the clipboard;
//   activate                        raise the window and ask for the keyboard;
//   dump                            print "line ...", "text ...", "focus ..." and "end";
//   dump-clipboard                  print "format TYPE SIZE MD5" per format, "end";
//   fetch-clipboard                 read the clipboard's text, as a clipboard
//                                   manager does: print "clipboard TEXT";
//   quit
//
// Events: "ready WINDOW-ID" once the window is shown, "key press|release
// NAME MODIFIERS repeat=0|1" for every key its window gets, and "pasted"
// after a delayed paste. Texts are printed with "\n" for line breaks.

#include <QApplication>
#include <QBuffer>
#include <QClipboard>
#include <QCryptographicHash>
#include <QImage>
#include <QKeyEvent>
#include <QKeySequence>
#include <QLineEdit>
#include <QMimeData>
#include <QSocketNotifier>
#include <QTextCursor>
#include <QTextEdit>
#include <QTimer>
#include <QVBoxLayout>
#include <QWidget>

#include <fcntl.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

#include "ScriptedOwner.h"
#include "SilentOwner.h"

namespace {

void emitLine(const QString& line) {
    const QByteArray bytes = line.toUtf8() + '\n';
    std::fwrite(bytes.constData(), 1, static_cast<std::size_t>(bytes.size()), stdout);
    std::fflush(stdout);
}

QString escaped(QString text) { return text.replace(QLatin1Char('\n'), QLatin1String("\\n")); }

QString modifierNames(Qt::KeyboardModifiers modifiers) {
    QStringList names;
    if (modifiers & Qt::ControlModifier) names << QStringLiteral("ctrl");
    if (modifiers & Qt::ShiftModifier) names << QStringLiteral("shift");
    if (modifiers & Qt::AltModifier) names << QStringLiteral("alt");
    if (modifiers & Qt::MetaModifier) names << QStringLiteral("super");
    return names.isEmpty() ? QStringLiteral("none") : names.join(QLatin1Char('+'));
}

QString keyName(const QKeyEvent* event) {
    const QString name = QKeySequence(event->key()).toString(QKeySequence::PortableText);
    return name.isEmpty() ? QString::number(event->nativeScanCode()) : name;
}

// Prints every key event that reaches a window of the program, once.
class KeyReporter : public QObject {
protected:
    bool eventFilter(QObject* watched, QEvent* event) override {
        if (watched->isWindowType() && (event->type() == QEvent::KeyPress || event->type() == QEvent::KeyRelease)) {
            const auto* key = static_cast<QKeyEvent*>(event);
            emitLine(QStringLiteral("key %1 %2 %3 repeat=%4")
                         .arg(event->type() == QEvent::KeyPress ? QStringLiteral("press") : QStringLiteral("release"),
                              keyName(key), modifierNames(key->modifiers()), key->isAutoRepeat() ? "1" : "0"));
        }
        return false;
    }
};

// Pastes into the line edit a while after Control+V, as a busy program does.
class DelayedPaste : public QObject {
public:
    DelayedPaste(QLineEdit* line, int delayMs) : line_(line), delayMs_(delayMs) {}

protected:
    bool eventFilter(QObject* watched, QEvent* event) override {
        if (event->type() != QEvent::KeyPress || !static_cast<QKeyEvent*>(event)->matches(QKeySequence::Paste))
            return false;
        QTimer::singleShot(delayMs_, line_, [line = line_] {
            line->insert(QGuiApplication::clipboard()->text());
            emitLine(QStringLiteral("pasted"));
        });
        return watched == line_;
    }

private:
    QLineEdit* line_;
    int delayMs_;
};

QByteArray smallPng() {
    QImage image(4, 4, QImage::Format_RGB32);
    image.fill(QColor(200, 40, 90));
    image.setPixelColor(1, 2, QColor(10, 220, 30));
    QByteArray bytes;
    QBuffer buffer(&bytes);
    buffer.open(QIODevice::WriteOnly);
    image.save(&buffer, "PNG");
    return bytes;
}

}  // namespace

int main(int argc, char** argv) {
    int pasteDelay = -1;
    QString windowClass = QStringLiteral("OtherApp");
    for (int i = 1; i < argc; ++i) {
        const std::string option = argv[i];
        if (option == "--pseudo-terminal" && posix_openpt(O_RDWR | O_NOCTTY) < 0) return 2;  // held until the end
        if (i + 1 == argc) break;
        if (option == "--paste-delay") pasteDelay = std::atoi(argv[i + 1]);
        if (option == "--class") windowClass = QString::fromLocal8Bit(argv[i + 1]);
    }
    // WM_CLASS: instance from RESOURCE_NAME, class from the application name.
    qputenv("RESOURCE_NAME", "otherapp");
    QApplication app(argc, argv);
    QApplication::setApplicationName(windowClass);

    KeyReporter reporter;
    app.installEventFilter(&reporter);

    QWidget window;
    window.setWindowTitle(QStringLiteral("Other application"));
    auto* layout = new QVBoxLayout(&window);
    auto* line = new QLineEdit;
    line->setObjectName(QStringLiteral("line"));
    auto* text = new QTextEdit;
    text->setObjectName(QStringLiteral("text"));
    layout->addWidget(line);
    layout->addWidget(text);
    DelayedPaste delayedPaste(line, pasteDelay);
    if (pasteDelay >= 0) line->installEventFilter(&delayedPaste);
    window.resize(360, 200);
    window.show();
    window.activateWindow();
    line->setFocus();

    auto select = [&](const QStringList& words, bool inText, bool primary) {
        const int start = words.value(1).toInt();
        const int length = words.value(2).toInt();
        QString selected;
        if (inText) {
            QTextCursor cursor(text->document());
            cursor.setPosition(start);
            cursor.setPosition(start + length, QTextCursor::KeepAnchor);
            text->setTextCursor(cursor);
            text->setFocus();
            selected = cursor.selectedText().replace(QChar::ParagraphSeparator, QLatin1Char('\n'));
        } else {
            line->setSelection(start, length);
            line->setFocus();
            selected = line->selectedText();
        }
        if (primary) QGuiApplication::clipboard()->setText(selected, QClipboard::Selection);
        emitLine(QStringLiteral("selected"));
    };

    auto handle = [&](const QString& input) {
        const QString command = input.section(QLatin1Char(' '), 0, 0);
        const QString rest = input.section(QLatin1Char(' '), 1);
        const QStringList words = input.split(QLatin1Char(' '));
        if (command == QLatin1String("select-line")) select(words, false, true);
        else if (command == QLatin1String("select-line-quietly")) select(words, false, false);
        else if (command == QLatin1String("select-text")) select(words, true, true);
        else if (command == QLatin1String("primary-fill")) {
            QGuiApplication::clipboard()->setText(QString(rest.toInt(), QLatin1Char('q')), QClipboard::Selection);
            emitLine(QStringLiteral("selected"));
        } else if (command == QLatin1String("primary-silent")) {
            takePrimaryAndNeverAnswer();
            emitLine(QStringLiteral("selected"));
        } else if (command == QLatin1String("silent-requests")) {
            emitLine(QStringLiteral("requests %1").arg(unansweredRequests()));
        } else if (command == QLatin1String("own-latin1")) {
            serveSelection("PRIMARY", {{"STRING", "STRING", 8, rest.toLatin1()}});
            emitLine(QStringLiteral("selected"));
        } else if (command == QLatin1String("own-numbers")) {
            const int chunks = words.value(1).toInt(), items = words.value(2).toInt();
            const std::vector<long> numbers(static_cast<std::size_t>(chunks) * static_cast<std::size_t>(items), 7);
            const QByteArray data(reinterpret_cast<const char*>(numbers.data()),
                                  static_cast<qsizetype>(numbers.size() * sizeof(long)));
            const QByteArray type = words.size() > 3 ? words[3].toLatin1() : QByteArray("INTEGER");
            serveSelection("CLIPBOARD", {{"x-numbers", type, 32, data, 0, items * static_cast<int>(sizeof(long))}});
            emitLine(QStringLiteral("owned"));
        } else if (command == QLatin1String("served-chunks")) {
            emitLine(QStringLiteral("chunks %1").arg(servedChunks()));
        } else if (command == QLatin1String("own-slow")) {
            serveSelection(words.value(1).toLatin1().constData(),
                           {{"UTF8_STRING", "UTF8_STRING", 8, input.section(QLatin1Char(' '), 3).toUtf8(),
                             words.value(2).toInt()}});
            emitLine(QStringLiteral("owned"));
        } else if (command == QLatin1String("own-behind-events")) {
            serveSelection(words.value(1).toLatin1().constData(),
                           {{.name = "UTF8_STRING",
                             .type = "UTF8_STRING",
                             .eventsFirst = words.value(2).toInt(),
                             .answered = [] { emitLine(QStringLiteral("refused")); },
                             .answers = words.value(3).toInt(),
                             .refused = true},
                            {.name = "text/plain;charset=utf-8",
                             .type = "text/plain;charset=utf-8",
                             .data = input.section(QLatin1Char(' '), 4).toUtf8(),
                             .answered = [] { emitLine(QStringLiteral("answered")); }}});
            emitLine(QStringLiteral("owned"));
        } else if (command == QLatin1String("own-twice")) {
            serveSelection(words.value(1).toLatin1().constData(),
                           {{.name = "UTF8_STRING",
                             .type = "UTF8_STRING",
                             .data = input.section(QLatin1Char(' '), 2).toUtf8(),
                             .answers = 2}});
            emitLine(QStringLiteral("owned"));
        } else if (command == QLatin1String("own-split-utf8")) {
            serveSelection("PRIMARY", {{"UTF8_STRING", "UTF8_STRING", 8, rest.toUtf8(), 0, 2, "STRING"}});
            emitLine(QStringLiteral("selected"));
        } else if (command == QLatin1String("own-many-formats")) {
            std::vector<ServedTarget> formats;
            // Names that differ only at their end, as the hardest to tell apart.
            for (int i = 0; i < words.value(1).toInt(); ++i) {
                const QByteArray number = QByteArray::number(i);
                const QByteArray name = QByteArray("x-format-").leftJustified(words.value(2).toInt() - number.size(), 'f');
                formats.push_back({name + number, "x-filler", 8, "f"});
            }
            serveSelection("CLIPBOARD", std::move(formats));
            emitLine(QStringLiteral("owned"));
        } else if (command == QLatin1String("claim-again")) {
            claimAgain(words.value(1).toInt(), [] { emitLine(QStringLiteral("claimed")); });
        } else if (command == QLatin1String("flood")) {
            flood(words.value(1).toULong(), words.value(2).toInt());
            emitLine(QStringLiteral("flooded"));

        } else if (command == QLatin1String("own-slow-image")) {
            const QByteArray png = smallPng();
            serveSelection("CLIPBOARD", {{"UTF8_STRING", "UTF8_STRING", 8, "a slow picture"},
                                         {"image/png", "image/png", 8, png, words.value(1).toInt()}});
            emitLine(QStringLiteral("format image/png %1 %2")
                         .arg(png.size())
                         .arg(QString::fromLatin1(QCryptographicHash::hash(png, QCryptographicHash::Md5).toHex())));
        } else if (command == QLatin1String("set-line")) line->setText(rest);
        else if (command == QLatin1String("set-text")) text->setPlainText(rest);
        else if (command == QLatin1String("focus")) {
            if (rest == QLatin1String("text")) text->setFocus();
            else line->setFocus();
        } else if (command == QLatin1String("copy-text")) {
            QGuiApplication::clipboard()->setText(rest);
        } else if (command == QLatin1String("copy-image")) {
            auto* mime = new QMimeData;
            mime->setData(QStringLiteral("image/png"), smallPng());
            mime->setText(QStringLiteral("a small picture"));
            // What a password manager adds so that clipboard managers keep
            // no record of the copy.
            mime->setData(QStringLiteral("x-kde-passwordManagerHint"), QByteArrayLiteral("secret"));
            QGuiApplication::clipboard()->setMimeData(mime);
        } else if (command == QLatin1String("activate")) {
            window.raise();
            window.activateWindow();
        } else if (command == QLatin1String("dump")) {
            emitLine(QStringLiteral("line ") + escaped(line->text()));
            emitLine(QStringLiteral("text ") + escaped(text->toPlainText()));
            const QWidget* focus = QApplication::focusWidget();
            emitLine(QStringLiteral("focus ") + (focus ? focus->objectName() : QStringLiteral("none")));
            emitLine(QStringLiteral("end"));
        } else if (command == QLatin1String("dump-clipboard")) {
            const QMimeData* mime = QGuiApplication::clipboard()->mimeData();
            for (const QString& type : mime ? mime->formats() : QStringList()) {
                const QByteArray bytes = mime->data(type);
                emitLine(QStringLiteral("format %1 %2 %3")
                             .arg(type)
                             .arg(bytes.size())
                             .arg(QString::fromLatin1(QCryptographicHash::hash(bytes, QCryptographicHash::Md5).toHex())));
            }
            emitLine(QStringLiteral("end"));
        } else if (command == QLatin1String("fetch-clipboard")) {
            emitLine(QStringLiteral("clipboard ") + escaped(QGuiApplication::clipboard()->text()));
        } else if (command == QLatin1String("quit")) {
            QApplication::quit();
        }
    };

    QByteArray pending;
    QSocketNotifier input(STDIN_FILENO, QSocketNotifier::Read);
    QObject::connect(&input, &QSocketNotifier::activated, &app, [&] {
        char chunk[4096];
        const ssize_t count = ::read(STDIN_FILENO, chunk, sizeof chunk);
        if (count <= 0) {
            input.setEnabled(false);
            QApplication::quit();  // the test went away
            return;
        }
        pending.append(chunk, count);
        for (qsizetype end; (end = pending.indexOf('\n')) >= 0;) {
            handle(QString::fromUtf8(pending.left(end)));
            pending.remove(0, end + 1);
        }
    });

    emitLine(QStringLiteral("ready ") + QString::number(window.winId()));
    return app.exec();
}
