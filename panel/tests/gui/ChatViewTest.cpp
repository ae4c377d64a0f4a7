#include <gtest/gtest.h>

#include <QAbstractButton>
#include <QApplication>
#include <QPainter>
#include <QScrollArea>
#include <QScrollBar>
#include <QTest>
#include <QVBoxLayout>

#include <memory>

#include "core/ChatMessage.h"
#include "panel/ChatView.h"
#include "panel/ContextMessageView.h"
#include "panel/CustomScrollbar.h"
#include "panel/LegacyRotatingBorder.h"
#include "panel/MessageBubble.h"
#include "panel/ModernRotatingBorder.h"
#include "platform/fake/FakePasteboard.h"
#include "platform/fake/ManualMainLoop.h"
#include "ui/Palette.h"
#include "ui/PlainLabel.h"
#include "ui/Screenshot.h"
#include "ui/SymbolIcon.h"
#include "ui/SymbolView.h"

namespace {

using core::ChatMessage;
using core::MessageRole;

ChatMessage message(const std::string& text, MessageRole role) { return ChatMessage::make(text, role); }

std::string paragraph(int sentences) {
    std::string text;
    for (int i = 0; i < sentences; ++i)
        text += "The quick brown fox jumps over the lazy dog, sentence " + std::to_string(i + 1) + ". ";
    return text;
}

class Transcript : public ::testing::Test {
protected:
    void SetUp() override {
        ui::Screenshot::ensureApplication();
        loop = std::make_shared<platform::ManualMainLoop>();
        platform::MainLoop::setMain(loop);
        pasteboard = std::make_shared<platform::FakePasteboard>();
    }
    void TearDown() override { platform::MainLoop::setMain(nullptr); }

    // Layout requests travel one level up per turn of the loop.
    static void settle() {
        for (int i = 0; i < 5; ++i)
            QApplication::processEvents();
    }

    // A dark 500-wide host like the panel's, holding the transcript.
    std::unique_ptr<QWidget> host(panel::ChatView*& view) {
        auto window = std::make_unique<QWidget>();
        window->setPalette(ui::Palette::windowPalette());
        window->setAutoFillBackground(true);
        auto* column = new QVBoxLayout(window.get());
        column->setContentsMargins(0, 0, 0, 0);
        view = new panel::ChatView(pasteboard, window.get());
        column->addWidget(view);
        column->addStretch();
        window->resize(500, 460);
        return window;
    }

    std::shared_ptr<platform::ManualMainLoop> loop;
    std::shared_ptr<platform::FakePasteboard> pasteboard;
};

TEST_F(Transcript, UserBubblesSitTrailingInBlueAssistantBubblesLeadingInGreyWithACopyButton) {
    panel::ChatView* view = nullptr;
    auto window = host(view);
    view->setMessages({message("Where is <b>this</b> from? <img src=\"x.png\">", MessageRole::user),
                       message(paragraph(8), MessageRole::assistant)});
    window->show();
    settle();
    ASSERT_EQ(view->rows().size(), 2u);
    auto* user = dynamic_cast<panel::MessageBubble*>(view->rows()[0]);
    auto* assistant = dynamic_cast<panel::MessageBubble*>(view->rows()[1]);
    ASSERT_TRUE(user && assistant);

    EXPECT_EQ(user->bubbleColour(), ui::Palette::color(ui::Colour::Blue, 0.3));
    EXPECT_EQ(assistant->bubbleColour(), ui::Palette::grey(0.2));
    EXPECT_EQ(user->copyButton(), nullptr);
    ASSERT_NE(assistant->copyButton(), nullptr);
    // Trailing and leading, 12 in from the sides.
    EXPECT_EQ(user->bubble()->geometry().right(), user->width() - 12 - 1);
    EXPECT_EQ(assistant->bubble()->geometry().left(), 12);
    // Long text wraps inside the 400-wide bubble; markup stays text.
    EXPECT_LE(assistant->bubble()->width(), panel::MessageBubble::kMaxBubbleWidth);
    EXPECT_GT(assistant->bubble()->height(), 3 * assistant->bubble()->fontMetrics().height());
    EXPECT_EQ(user->bubble()->textFormat(), Qt::PlainText);
    EXPECT_EQ(user->bubble()->text(), QStringLiteral("Where is <b>this</b> from? <img src=\"x.png\">"));
    ui::Screenshot::save(*window, QUILLARY_SCREENSHOT_DIR, "chat-bubbles");
}

TEST_F(Transcript, CopyShowsCopiedForOneAndAHalfSecondsPerPress) {
    pasteboard->copyFromOtherProgram("what the user had");
    auto bubble = std::make_unique<panel::MessageBubble>(message("the answer", MessageRole::assistant), pasteboard);
    bubble->show();
    QTest::mouseClick(bubble->copyButton(), Qt::LeftButton);
    EXPECT_EQ(pasteboard->string(), "the answer");
    EXPECT_EQ(pasteboard->contents.formats.size(), 1u);  // nothing else is left on it
    EXPECT_TRUE(bubble->showsCopied());
    EXPECT_EQ(ui::SymbolIcon::nameOf(*bubble->copySymbol()), QStringLiteral("checkmark"));

    loop->advance(std::chrono::milliseconds(1000));
    bubble->copyToPasteboard();  // again, a second later
    loop->advance(std::chrono::milliseconds(500));
    EXPECT_FALSE(bubble->showsCopied());  // the first press's reset was not cancelled
    loop->advance(std::chrono::milliseconds(1000));
    EXPECT_FALSE(bubble->showsCopied());

    // Nothing is said copied that the clipboard did not keep.
    bubble->copyToPasteboard();
    pasteboard->takenBack = true;
    bubble->copyToPasteboard();
    EXPECT_FALSE(bubble->showsCopied());
    EXPECT_EQ(ui::SymbolIcon::nameOf(*bubble->copySymbol()), QStringLiteral("doc.on.doc"));

    // A reset due after its row is gone touches nothing.
    pasteboard->takenBack = false;
    bubble->copyToPasteboard();
    bubble.reset();
    loop->advance(std::chrono::milliseconds(2000));
}

TEST_F(Transcript, GrowsToItsMaximumThenScrollsTheAnchorIntoViewWhenTheCountChanges) {
    panel::ChatView* view = nullptr;
    auto window = host(view);
    // Empty: the anchor between the paddings, and the track still drawn.
    view->setMessages({});
    window->show();
    settle();
    EXPECT_EQ(view->heightForWidth(500), 2 * panel::ChatView::kSpacing + 1);
    EXPECT_TRUE(view->track()->isVisible());
    EXPECT_EQ(view->track()->geometry(), panel::CustomScrollbar::trackRect(view->size()));

    std::vector<ChatMessage> messages{message(paragraph(6), MessageRole::system)};
    for (int i = 0; i < 8; ++i) {
        messages.push_back(message("Question " + std::to_string(i), MessageRole::user));
        messages.push_back(message(paragraph(3), MessageRole::assistant));
    }
    view->setMessages(messages);
    settle();
    EXPECT_EQ(view->heightForWidth(500), view->maxHeight());
    EXPECT_EQ(view->height(), view->maxHeight());
    // The anchor at the bottom edge (the padding under it stays below).
    QScrollBar* bar = view->scrollArea()->verticalScrollBar();
    EXPECT_EQ(bar->value(), bar->maximum() - panel::ChatView::kSpacing);

    // The same count again (a message changed in place): no scroll.
    bar->setValue(0);
    messages.back().content += " More.";
    view->setMessages(messages);
    settle();
    EXPECT_EQ(bar->value(), 0);
    // One more message: the anchor comes to the bottom of the view.
    messages.push_back(message("And one more?", MessageRole::user));
    view->setMessages(messages);
    settle();
    const QRect anchor = view->anchor()->geometry().translated(0, -bar->value());
    EXPECT_EQ(anchor.bottom() + 1, view->scrollArea()->viewport()->height());
    ui::Screenshot::save(*window, QUILLARY_SCREENSHOT_DIR, "chat-long");
}

TEST_F(Transcript, TheFirstShowingDoesNotScroll) {
    panel::ChatView* view = nullptr;
    auto window = host(view);
    std::vector<ChatMessage> messages;
    for (int i = 0; i < 10; ++i)
        messages.push_back(message(paragraph(2), i % 2 ? MessageRole::assistant : MessageRole::user));
    view->setMessages(messages);
    window->show();
    settle();
    EXPECT_EQ(view->scrollArea()->verticalScrollBar()->value(), 0);
}

TEST_F(Transcript, ContextRowUnfoldsFromItsHeader) {
    panel::ChatView* view = nullptr;
    auto window = host(view);
    view->setMessages({message(paragraph(5), MessageRole::system), message("Summarise it", MessageRole::user)});
    window->show();
    settle();
    auto* context = dynamic_cast<panel::ContextMessageView*>(view->rows()[0]);
    ASSERT_NE(context, nullptr);
    EXPECT_TRUE(context->textLabel()->text().endsWith(QStringLiteral("...")));
    EXPECT_EQ(context->chevron()->symbol(), QStringLiteral("chevron.down"));
    const int folded = context->height();
    QTest::mouseClick(context->header(), Qt::LeftButton);
    settle();
    EXPECT_EQ(context->textLabel()->text().toStdString(), paragraph(5));
    EXPECT_EQ(context->chevron()->symbol(), QStringLiteral("chevron.up"));
    EXPECT_GT(context->height(), folded);
    // The transcript grew with it: the last row is whole.
    EXPECT_EQ(view->height(), view->heightForWidth(view->width()));
    ui::Screenshot::save(*window, QUILLARY_SCREENSHOT_DIR, "chat-context-expanded");
}

// Pixels of the drawn border: colours turn clockwise as the phase grows, and
// 0 and 360 degrees look alike.
TEST_F(Transcript, TheModernBorderTurnsClockwiseWithoutAJumpAtTheTurn) {
    const auto render = [](double phase) {
        panel::ModernRotatingBorder border;
        border.resize(200, 200);
        border.setPhase(phase);
        QImage image(200, 200, QImage::Format_ARGB32_Premultiplied);
        image.fill(Qt::transparent);
        border.render(&image, QPoint(), QRegion(), QWidget::RenderFlags());
        return image.convertToFormat(QImage::Format_ARGB32);
    };
    // The line's pixels half a pixel inside each edge's middle.
    const QPoint right(199, 100), down(100, 199), left(0, 100), up(100, 0);
    const QImage start = render(0);
    // A quarter turn clockwise from the right (straight down) is a quarter of
    // the way round the palette, between violet and cyan: green shows; a
    // quarter before the end (straight up), between pink and violet: red
    // outweighs green.
    EXPECT_GT(start.pixelColor(down).green(), start.pixelColor(right).green());
    EXPECT_GT(start.pixelColor(up).red(), start.pixelColor(up).green());
    // A phase of 90 brings the colour that was at the right down.
    const auto near = [](QColor a, QColor b) {
        return std::abs(a.red() - b.red()) <= 8 && std::abs(a.green() - b.green()) <= 8 &&
               std::abs(a.blue() - b.blue()) <= 8;
    };
    EXPECT_TRUE(near(render(90).pixelColor(down), start.pixelColor(right)));
    const QImage wrapped = render(359.9);
    for (const QPoint p : {right, down, left, up})
        EXPECT_TRUE(near(wrapped.pixelColor(p), start.pixelColor(p))) << p.x() << "," << p.y();
}

TEST_F(Transcript, BorderPictures) {
    for (const double phase : {0.0, 90.0, 180.0, 270.0}) {
        QWidget panelBody;
        panelBody.resize(500, 48);
        panelBody.setPalette(ui::Palette::windowPalette());
        panelBody.setAutoFillBackground(true);
        auto* border = new panel::ModernRotatingBorder(&panelBody);
        border->setGeometry(panelBody.rect());
        border->setPhase(phase);
        ui::Screenshot::save(panelBody, QUILLARY_SCREENSHOT_DIR,
                             QStringLiteral("border-modern-%1").arg(static_cast<int>(phase)));
    }
    QWidget panelBody;
    panelBody.resize(500, 48);
    panelBody.setPalette(ui::Palette::windowPalette());
    panelBody.setAutoFillBackground(true);
    auto* legacy = new panel::LegacyRotatingBorder(&panelBody);
    legacy->setGeometry(panelBody.rect());
    legacy->setPhase(0.5);
    ui::Screenshot::save(panelBody, QUILLARY_SCREENSHOT_DIR, "border-legacy-0.5");
}

}  // namespace
