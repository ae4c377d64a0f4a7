#include "platform/qt/QtPasteboard.h"

#include <QClipboard>
#include <QGuiApplication>
#include <QElapsedTimer>
#include <QMimeData>

#include <chrono>

namespace platform {

namespace {

QClipboard* clipboard() { return QGuiApplication::clipboard(); }

// The owner's own clipboard text, never what Qt made of it.
constexpr const char* kUtf8TextTypes[] = {"text/plain;charset=utf-8", "text/plain"};

// MIME types only: not Qt's own stand-ins (made up from other formats),
// nor the selection protocol's own targets (TARGETS, MULTIPLE, TIMESTAMP).
bool isDataFormat(const QString& type) {
    return type.contains(QLatin1Char('/')) && !type.startsWith(QLatin1String("application/x-qt-"));
}

// A read that took this long and gave nothing was the owner not answering.
constexpr std::chrono::milliseconds kNoAnswer{1000};

}  // namespace

std::optional<std::string> QtPasteboard::string() {
    const QMimeData* mime = clipboard()->mimeData(QClipboard::Clipboard);
    if (!mime || !mime->hasText())
        return std::nullopt;
    return mime->text().toStdString();
}

std::optional<std::string> QtPasteboard::data() {
    const QMimeData* mime = clipboard()->mimeData(QClipboard::Clipboard);
    if (!mime)
        return std::nullopt;
    for (const char* type : kUtf8TextTypes) {
        if (mime->hasFormat(QLatin1String(type))) {
            const QByteArray bytes = mime->data(QLatin1String(type));
            return std::string(bytes.constData(), static_cast<std::size_t>(bytes.size()));
        }
    }
    return std::nullopt;
}

bool QtPasteboard::setString(std::string_view text) {
    const QString value = QString::fromUtf8(text.data(), static_cast<qsizetype>(text.size()));
    clipboard()->setText(value, QClipboard::Clipboard);
    // Another program may take the clipboard back at once (a clipboard
    // manager does): say whether the text is really there.
    return clipboard()->ownsClipboard() && clipboard()->text(QClipboard::Clipboard) == value;
}

PasteboardSnapshot QtPasteboard::snapshot(std::size_t limit) {
    PasteboardSnapshot result;
    const QMimeData* mime = clipboard()->mimeData(QClipboard::Clipboard);
    if (!mime)
        return result;
    std::size_t total = 0;
    for (const QString& type : mime->formats()) {
        if (!isDataFormat(type))
            continue;
        QElapsedTimer timer;
        timer.start();
        QByteArray bytes = mime->data(type);
        // An owner that stops answering gives empty data after Qt's
        // clipboard time-out: asking for its other formats would only wait
        // that long again. A quick empty answer is asked once more.
        if (bytes.isEmpty() && timer.elapsed() >= kNoAnswer.count())
            break;
        if (bytes.isEmpty())
            bytes = mime->data(type);
        if (bytes.isEmpty())
            continue;
        total += static_cast<std::size_t>(bytes.size());
        if (total > limit)
            break;
        result.formats.emplace_back(type.toStdString(),
                                    std::string(bytes.constData(), static_cast<std::size_t>(bytes.size())));
    }
    return result;
}

bool QtPasteboard::restore(const PasteboardSnapshot& snapshot) {
    if (snapshot.empty()) {
        clipboard()->clear(QClipboard::Clipboard);
        return true;
    }
    auto* mime = new QMimeData;
    for (const auto& [type, bytes] : snapshot.formats)
        mime->setData(QString::fromStdString(type), QByteArray(bytes.data(), static_cast<qsizetype>(bytes.size())));
    clipboard()->setMimeData(mime, QClipboard::Clipboard);  // the clipboard owns it now
    return clipboard()->ownsClipboard();
}

}  // namespace platform
