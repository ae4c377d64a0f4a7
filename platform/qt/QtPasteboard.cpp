#include "platform/qt/QtPasteboard.h"

#include <QClipboard>
#include <QGuiApplication>
#include <QMimeData>

namespace platform {

namespace {

QClipboard* clipboard() { return QGuiApplication::clipboard(); }

// The owner's own clipboard text, never what Qt made of it.
constexpr const char* kUtf8TextTypes[] = {"text/plain;charset=utf-8", "text/plain"};

// Qt's own stand-ins for foreign formats, which it makes up from others.
bool isSynthesised(const QString& type) { return type.startsWith(QLatin1String("application/x-qt-")); }

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
        if (isSynthesised(type))
            continue;
        // An owner that stops answering gives empty data after Qt's
        // clipboard time-out: asking for its other formats would only wait
        // that long again.
        const QByteArray bytes = mime->data(type);
        if (bytes.isEmpty())
            break;
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
