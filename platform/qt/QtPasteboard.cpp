#include "platform/qt/QtPasteboard.h"

#include <QClipboard>
#include <QGuiApplication>
#include <QMimeData>

#include <utility>

#include "platform/Unicode.h"

namespace platform {

namespace {

QClipboard* clipboard() { return QGuiApplication::clipboard(); }

std::string bytesOf(const QByteArray& bytes) { return std::string(bytes.constData(), static_cast<std::size_t>(bytes.size())); }

// Targets that Qt serves from its "text/plain" format (COMPOUND_TEXT is not
// one of them: it goes back as the owner's bytes).
bool isTextTarget(const std::string& target) {
    return target == "UTF8_STRING" || target == "STRING" || target == "TEXT";
}

}  // namespace

QtPasteboard::QtPasteboard(std::shared_ptr<ClipboardReader> reader, std::shared_ptr<ClipboardReader> keeper)
    : reader_(std::move(reader)), keeper_(std::move(keeper)) {}

// What this program owns is copied here: asking over X would wait on
// ourselves.
std::optional<std::string> QtPasteboard::data() {
    if (!clipboard()->ownsClipboard())
        return reader_ ? reader_->text() : std::nullopt;
    const QMimeData* mime = clipboard()->mimeData(QClipboard::Clipboard);
    if (!mime || !mime->hasText())
        return std::nullopt;
    return bytesOf(mime->text().toUtf8());
}

std::optional<std::string> QtPasteboard::string() {
    auto bytes = data();
    if (!bytes)
        return std::nullopt;
    return unicode::sanitizeUtf8(*bytes);
}

bool QtPasteboard::setString(std::string_view text) {
    const QString value = QString::fromUtf8(text.data(), static_cast<qsizetype>(text.size()));
    clipboard()->setText(value, QClipboard::Clipboard);
    // Another program may take the clipboard back at once (a clipboard
    // manager does): say whether the text is really there.
    return clipboard()->ownsClipboard() && clipboard()->text(QClipboard::Clipboard) == value;
}

PasteboardSnapshot QtPasteboard::snapshot(std::size_t limit) {
    if (!clipboard()->ownsClipboard())
        return reader_ ? reader_->snapshot(limit) : PasteboardSnapshot{};
    return ownSnapshot(limit);
}

void QtPasteboard::beginSnapshot() {
    // Also while this program owns the clipboard (an earlier give-back left
    // it so): the keeper hears another program's copy meanwhile, which a
    // local copy taken now would miss and later write over.
    keeping_ = keeper_ != nullptr;
    if (keeping_)
        keeper_->beginSnapshot(kSnapshotLimit);
    else
        taken_ = snapshot();
}

bool QtPasteboard::snapshotReady() { return !keeping_ || keeper_->snapshotReady(); }

PasteboardSnapshot QtPasteboard::endSnapshot() {
    if (!keeping_)
        return std::exchange(taken_, {});
    keeping_ = false;
    PasteboardSnapshot result = keeper_->endSnapshot();
    // The keeper asks nothing of this process: what this program holds (an
    // earlier give-back, the chat's Copy button) is copied locally.
    if (result.empty() && result.lost.empty() && clipboard()->ownsClipboard())
        return ownSnapshot(kSnapshotLimit);
    return result;
}

PasteboardSnapshot QtPasteboard::ownSnapshot(std::size_t limit) {
    PasteboardSnapshot result;
    const QMimeData* mime = clipboard()->mimeData(QClipboard::Clipboard);
    if (!mime)
        return result;
    std::size_t total = 0;
    const auto add = [&](std::string target, std::string bytes) {
        if (bytes.size() > limit - total) {
            result.lost.push_back(target + " is too large");
            return;
        }
        total += bytes.size();
        result.formats.emplace_back(std::move(target), std::move(bytes));
    };
    for (const QString& type : mime->formats()) {
        if (type.startsWith(QLatin1String("application/x-qt-")))
            continue;
        std::string bytes = bytesOf(mime->data(type));
        // Qt serves its text as UTF8_STRING too; say so, for whoever serves
        // the snapshot again.
        if (type == QLatin1String("text/plain"))
            add("UTF8_STRING", bytes);
        add(type.toStdString(), std::move(bytes));
    }
    return result;
}

bool QtPasteboard::restore(const PasteboardSnapshot& snapshot) {
    if (snapshot.empty()) {
        clipboard()->clear(QClipboard::Clipboard);
        return true;
    }
    auto* mime = new QMimeData;
    QByteArray utf8Text;
    for (const auto& [target, bytes] : snapshot.formats) {
        const QByteArray value(bytes.data(), static_cast<qsizetype>(bytes.size()));
        if (target == "UTF8_STRING")
            utf8Text = value;
        else if (target == "STRING" && utf8Text.isNull())  // an old program's Latin-1
            utf8Text = QByteArray::fromStdString(unicode::latin1ToUtf8(bytes));
        if (!isTextTarget(target))
            mime->setData(QString::fromStdString(target), value);
    }
    // Qt answers UTF8_STRING, STRING and TEXT from "text/plain": the owner's
    // UTF-8 text is what those readers expect.
    if (!utf8Text.isNull())
        mime->setData(QStringLiteral("text/plain"), utf8Text);
    clipboard()->setMimeData(mime, QClipboard::Clipboard);  // the clipboard owns it now
    return clipboard()->ownsClipboard();
}

}  // namespace platform
