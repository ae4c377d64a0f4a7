#include <gtest/gtest.h>

#include <unicode/locid.h>
#include <unicode/timezone.h>

#include <QAbstractButton>
#include <QLineEdit>
#include <QListView>
#include <QPushButton>
#include <QScrollArea>
#include <QScrollBar>
#include <QTabWidget>
#include <QTest>
#include <QTextEdit>
#include <memory>

#include "fakes/HistoryFixture.h"
#include "fakes/SettingsHarness.h"
#include "testsupport/QtEvents.h"
#include "ui/PlainLabel.h"
#include "ui/Screenshot.h"
#include "ui/SymbolIcon.h"
#include "windows/HistoryDetailView.h"
#include "windows/HistoryRowDelegate.h"
#include "windows/HistoryView.h"
#include "windows/RoundedTextBox.h"
#include "windows/SettingsView.h"

namespace windows {
namespace {

using testing::historyEntry;
using testing::HistoryFixture;

// 2025-01-05 15:04:00 UTC, in seconds since 2001.
constexpr double kJan5At1504 = 757782240.0;

class FixedClock final : public platform::Clock {
public:
    explicit FixedClock(double sinceReferenceDate) : now_(sinceReferenceDate + platform::kReferenceDateOffset) {}
    double now() const override { return now_; }

private:
    double now_;
};

class HistoryViewTest : public ::testing::Test {
protected:
    void SetUp() override {
        ui::Screenshot::ensureApplication();
        UErrorCode status = U_ZERO_ERROR;
        savedLocale_ = icu::Locale::getDefault();
        icu::Locale::setDefault(icu::Locale("en_US"), status);
        icu::TimeZone::adoptDefault(icu::TimeZone::createTimeZone("UTC"));
    }
    void TearDown() override {
        UErrorCode status = U_ZERO_ERROR;
        icu::Locale::setDefault(savedLocale_, status);
        icu::TimeZone::adoptDefault(icu::TimeZone::detectHostTimeZone());
    }

    static std::shared_ptr<platform::Clock> clock() { return std::make_shared<FixedClock>(kJan5At1504 + 3 * 3600); }

    static std::vector<core::HistoryEntry> sample() {
        return {
            historyEntry("Fix the grammar in this paragraph please", "Here is the corrected paragraph.", "Teh cat sat",
                         "GPT-4o", "Text Editor", kJan5At1504 + 3 * 3600 - 30),
            historyEntry("Summarise\nthe meeting notes\nin three bullet points", "- one\n- two\n- three", "",
                         "Claude 3.5 Sonnet", "Mail", kJan5At1504 + 3 * 3600 - 25 * 60),
            historyEntry("What is a monad?", "A monoid in the category of endofunctors.", std::nullopt,
                         "Gemini 1.5 Pro", "Terminal", kJan5At1504),
            historyEntry("Translate to French: good morning", "Bonjour", std::nullopt, "llama3", "Web Browser",
                         kJan5At1504 - 3 * 86400),
        };
    }

    static void clickRow(HistoryView& view, int row) {
        const QRect rect = view.list()->visualRect(view.list()->model()->index(row, 0));
        QTest::mouseClick(view.list()->viewport(), Qt::LeftButton, {}, rect.center() + QPoint(rect.width() / 4, 0));
    }

    icu::Locale savedLocale_;
};

TEST_F(HistoryViewTest, SearchingClearingTheSearchAndClearingTheHistoryWhileSearching) {
    HistoryFixture f(sample());
    HistoryView view(*f.store, clock());
    view.resize(600, 460);
    view.show();
    EXPECT_EQ(view.searchField()->placeholderText(), "Search history...");
    EXPECT_EQ(ui::SymbolIcon::nameOf(*view.clearSearchButton()), "xmark.circle.fill");
    EXPECT_FALSE(view.clearSearchButton()->isVisible());
    EXPECT_EQ(view.list()->model()->rowCount(), 4);
    ui::Screenshot::save(view, QUILLARY_SCREENSHOT_DIR, "history-list");

    QTest::keyClicks(view.searchField(), "monad");
    EXPECT_EQ(view.list()->model()->rowCount(), 1);
    QTest::keyClick(view.searchField(), Qt::Key_Return);  // Return does nothing more
    EXPECT_EQ(view.list()->model()->rowCount(), 1);
    EXPECT_EQ(view.detailSheet(), nullptr);
    QTest::mouseClick(view.clearSearchButton(), Qt::LeftButton);
    EXPECT_EQ(view.list()->model()->rowCount(), 4);

    QTest::keyClicks(view.searchField(), "THE");
    EXPECT_TRUE(view.clearSearchButton()->isVisible());
    ASSERT_EQ(view.list()->model()->rowCount(), 3);  // in an input or an output; not "Translate"
    ui::Screenshot::save(view, QUILLARY_SCREENSHOT_DIR, "history-searching");

    QTest::mouseClick(view.clearHistoryButton(), Qt::LeftButton);
    EXPECT_EQ(view.list()->model()->rowCount(), 0);
    EXPECT_EQ(view.searchField()->text(), "THE");
    EXPECT_TRUE(view.clearSearchButton()->isVisible());
    EXPECT_EQ(f.stored(), "[]");
    EXPECT_TRUE(f.store->entries().empty());
    ui::Screenshot::save(view, QUILLARY_SCREENSHOT_DIR, "history-cleared-while-searching");

    QTest::mouseClick(view.clearSearchButton(), Qt::LeftButton);
    EXPECT_EQ(view.searchField()->text(), "");
    EXPECT_FALSE(view.clearSearchButton()->isVisible());
}

TEST_F(HistoryViewTest, RowsShowTwoInputLinesTheQuoteBadgeOnlyWithASelectionAndTheAge) {
    const double now = kJan5At1504 + 3 * 3600;
    const int width = 580;
    const auto withEmptySelection = historyEntry("one line", "out", "");
    const auto withoutSelection = historyEntry("one line", "out", std::nullopt);
    EXPECT_TRUE(HistoryRowDelegate::layout(withEmptySelection, width, now).quoteBadge);
    EXPECT_FALSE(HistoryRowDelegate::layout(withoutSelection, width, now).quoteBadge);

    const auto threeLines = HistoryRowDelegate::layout(historyEntry("first\nsecond\nthird"), width, now);
    EXPECT_EQ(threeLines.inputLines, (QStringList{"first", QString("second") + QChar(0x2026)}));
    const auto oneLine = HistoryRowDelegate::layout(withoutSelection, width, now);
    EXPECT_EQ(oneLine.inputLines, QStringList{"one line"});
    EXPECT_GT(threeLines.height, oneLine.height);

    const QStringList wrapped = HistoryRowDelegate::inputLines(QString(2000, QLatin1Char('w')), width);
    ASSERT_EQ(wrapped.size(), 2);
    EXPECT_TRUE(wrapped[1].endsWith(QChar(0x2026)));
    EXPECT_EQ(HistoryRowDelegate::inputLines("two\nlines", width), (QStringList{"two", "lines"}));

    const auto row = HistoryRowDelegate::layout(historyEntry("x", "y", std::nullopt, "GPT-4o", "Mail", now - 25 * 60),
                                                width, now);
    EXPECT_EQ(row.ageText, "25m ago");
    EXPECT_EQ(row.appName, "Mail");
    EXPECT_EQ(row.modelName, "GPT-4o");
    EXPECT_LT(row.appSymbol.right(), row.appBadge.left());  // the symbol stands outside the badge
    EXPECT_LT(row.appBadge.right(), row.modelBadge.left());
    EXPECT_TRUE(row.modelBadge.contains(row.modelIcon));
    EXPECT_NEAR(row.age.right(), width - HistoryRowDelegate::kHorizontalInset, 0.5);

    // The list's rows take the height of their own input.
    HistoryFixture f({historyEntry("first\nsecond\nthird"), historyEntry("short")});
    HistoryView view(*f.store, clock());
    view.resize(600, 300);
    view.show();
    const int tall = view.list()->visualRect(view.list()->model()->index(0, 0)).height();
    const int low = view.list()->visualRect(view.list()->model()->index(1, 0)).height();
    EXPECT_GT(tall, low);
    ui::Screenshot::save(view, QUILLARY_SCREENSHOT_DIR, "history-two-line-input");
}

TEST_F(HistoryViewTest, TheSheetShowsTheEntryAndOpensAgainFromTheSameRow) {
    HistoryFixture f(sample());
    HistoryView view(*f.store, clock());
    view.resize(600, 460);
    view.show();

    clickRow(view, 1);  // an empty selected text
    QPointer<HistoryDetailView> sheet = view.detailSheet();
    ASSERT_TRUE(sheet);
    EXPECT_TRUE(sheet->isVisible());
    EXPECT_EQ(sheet->windowModality(), Qt::WindowModal);
    EXPECT_EQ(sheet->size(), QSize(600, 400));
    EXPECT_EQ(sheet->minimumSize(), sheet->maximumSize());
    ASSERT_TRUE(view.model().selectedEntry());
    EXPECT_EQ(view.model().selectedEntry()->applicationName, "Mail");

    ASSERT_EQ(sheet->sections().size(), 3u);
    EXPECT_EQ(sheet->sections()[0].title, "Input");
    EXPECT_EQ(sheet->sections()[0].symbol, "arrow.up.circle.fill");
    EXPECT_EQ(sheet->sections()[1].title, "Selected Text");
    EXPECT_EQ(sheet->sections()[1].symbol, "text.quote.rtl");
    EXPECT_EQ(sheet->sections()[1].body->text(), "");
    EXPECT_EQ(sheet->sections()[2].title, "Output");
    EXPECT_EQ(sheet->sections()[2].symbol, "arrow.down.circle.fill");
    EXPECT_EQ(sheet->sections()[0].body->text(), "Summarise\nthe meeting notes\nin three bullet points");
    EXPECT_EQ(sheet->sections()[2].body->text(), "- one\n- two\n- three");
    EXPECT_TRUE(sheet->sections()[2].body->textView()->textInteractionFlags() & Qt::TextSelectableByMouse);
    EXPECT_FALSE(sheet->dateLabel()->textInteractionFlags() & Qt::TextSelectableByMouse);
    EXPECT_EQ(sheet->dateLabel()->text(), QString::fromUtf8("Jan 5, 2025, 5:39\u202FPM"));
    EXPECT_FALSE(sheet->scrollArea()->isAncestorOf(sheet->header()));
    ui::Screenshot::save(*sheet, QUILLARY_SCREENSHOT_DIR, "history-sheet-empty-selection");

    QTest::mouseClick(sheet->closeButton(), Qt::LeftButton);
    ASSERT_TRUE(testsupport::runEventsUntil([&] { return sheet.isNull(); }));
    EXPECT_FALSE(view.model().selectedEntry());

    clickRow(view, 1);  // the same row again
    ASSERT_NE(view.detailSheet(), nullptr);
    EXPECT_TRUE(view.detailSheet()->isVisible());
    EXPECT_EQ(view.detailSheet()->entry().id, f.store->entries()[1].id);
    view.detailSheet()->reject();
}

TEST_F(HistoryViewTest, TheSheetDatesItsEntryAndScrollsALongOutputUnderAFixedHeader) {
    std::string longOutput;
    for (int i = 0; i < 80; ++i) longOutput += "Line " + std::to_string(i) + " of a long answer <b>not bold</b>\n";
    longOutput += "https://example.com/" + std::string(400, 'a');  // one word wider than the sheet
    HistoryFixture f({historyEntry("Explain", longOutput, std::nullopt, "GPT-4o", "Text Editor", kJan5At1504)});
    HistoryView view(*f.store, clock());
    view.show();
    view.openRow(0);
    HistoryDetailView* sheet = view.detailSheet();
    ASSERT_NE(sheet, nullptr);
    ASSERT_TRUE(testsupport::runEventsUntil([&] { return sheet->scrollArea()->verticalScrollBar()->maximum() > 0; }));
    EXPECT_EQ(sheet->dateLabel()->text(), QString::fromUtf8("Jan 5, 2025, 3:04\u202FPM"));
    ASSERT_EQ(sheet->sections().size(), 2u);  // no selected text: no middle section
    EXPECT_TRUE(sheet->sections()[1].body->text().contains("<b>not bold</b>"));
    EXPECT_LE(sheet->sections()[1].body->geometry().right(), sheet->scrollArea()->viewport()->width());
    ui::Screenshot::save(*sheet, QUILLARY_SCREENSHOT_DIR, "history-sheet-long-output");

    const QPoint headerAt = sheet->header()->mapTo(sheet, QPoint(0, 0));
    sheet->scrollArea()->verticalScrollBar()->setValue(sheet->scrollArea()->verticalScrollBar()->maximum());
    EXPECT_EQ(sheet->header()->mapTo(sheet, QPoint(0, 0)), headerAt);
    EXPECT_EQ(sheet->header()->width(), 600);
    ui::Screenshot::save(*sheet, QUILLARY_SCREENSHOT_DIR, "history-sheet-scrolled");
    sheet->reject();
}

TEST_F(HistoryViewTest, TheSettingsWindowsHistoryTabShowsWhatIsStoredAndWhatIsRecordedLater) {
    testing::SettingsHarness h;
    {
        core::HistoryService writer(h.defaults);
        writer.addEntry("GPT-4o", "stored before", std::nullopt, "out", "App");
    }
    SettingsView window(h.settings, h.defaults);
    auto* tab = dynamic_cast<HistoryView*>(window.tabs()->widget(3));
    ASSERT_NE(tab, nullptr);
    EXPECT_EQ(tab->list()->model()->rowCount(), 1);
    window.tabs()->setCurrentIndex(3);
    window.show();
    ui::Screenshot::save(window, QUILLARY_SCREENSHOT_DIR, "settings-history-tab");
    window.hide();

    // A panel's own store records an answer while the window is closed.
    core::HistoryService panel(h.defaults);
    panel.addEntry("GPT-4o", "asked later", std::nullopt, "out", "App");
    window.show();
    ASSERT_EQ(tab->list()->model()->rowCount(), 2);
    EXPECT_EQ(tab->model().entryAt(0).input, "asked later");

    // Also when the tab comes to the front again with the window open.
    window.tabs()->setCurrentIndex(0);
    panel.addEntry("GPT-4o", "asked meanwhile", std::nullopt, "out", "App");
    window.tabs()->setCurrentIndex(3);
    ASSERT_EQ(tab->list()->model()->rowCount(), 3);
    EXPECT_EQ(tab->model().entryAt(0).input, "asked meanwhile");

    QTest::mouseClick(tab->clearHistoryButton(), Qt::LeftButton);
    EXPECT_TRUE(window.historyService().entries().empty());
}

}  // namespace
}  // namespace windows
