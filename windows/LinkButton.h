#pragma once

// A text link of the settings tabs (blue, subheadline) that opens its
// address in the user's browser through QDesktopServices.
//
//   auto* link = new LinkButton("Download Ollama from ollama.com", QUrl("https://ollama.com"), panel);
//
// Tests catch the opened address with QDesktopServices::setUrlHandler("https", ...).

#include <QAbstractButton>
#include <QUrl>

namespace windows {

class LinkButton : public QAbstractButton {
public:
    LinkButton(const QString& text, const QUrl& url, QWidget* parent = nullptr);

    QUrl url() const { return url_; }
    QSize sizeHint() const override;

protected:
    void paintEvent(QPaintEvent* event) override;

private:
    QUrl url_;
};

}  // namespace windows
