// The page control: OnChange only when the user switches, disabled tabs, focus.
#include "errors.h"
#include "page_control.h"
#include "recording_dialogs.h"
#include "widget_test_helpers.h"

#include <QLineEdit>
#include <QTabBar>
#include <QTest>
#include <QVBoxLayout>
#include <gtest/gtest.h>

namespace {

class PageControlTest : public ::testing::Test {
protected:
    void SetUp() override {
        window = new QWidget;
        window->resize(500, 300);
        auto *layout = new QVBoxLayout(window);
        pages = new TPageControl(window);
        layout->addWidget(pages);
        for (int i = 0; i < 3; ++i) {
            auto *page = new QWidget;
            auto *l = new QVBoxLayout(page);
            first[i] = new QLineEdit(page);
            second[i] = new QLineEdit(page);
            first[i]->setObjectName(QString("first%1").arg(i));
            second[i]->setObjectName(QString("second%1").arg(i));
            l->addWidget(first[i]);
            l->addWidget(second[i]);
            page_[i] = page;
            pages->addPage(page, QString("Página %1").arg(i + 1));
        }
        pages->OnChange = [this] {
            ++changes;
            activeAtChange = pages->ActivePage();
        };
        ASSERT_TRUE(ShowActive(window));
    }
    void TearDown() override { delete window; }

    void clickTab(int i) {
        QTabBar *bar = pages->tabBar();
        QTest::mouseClick(bar, Qt::LeftButton, Qt::NoModifier, bar->tabRect(i).center());
    }

    RecordingDialogs dialogs;
    QWidget *window = nullptr;
    TPageControl *pages = nullptr;
    QWidget *page_[3] = {};
    QLineEdit *first[3] = {};
    QLineEdit *second[3] = {};
    int changes = 0;
    QWidget *activeAtChange = nullptr;
};

}  // namespace

TEST_F(PageControlTest, ChoosingThePageInCodeDoesNotFireOnChange) {
    pages->SetActivePage(page_[2]);
    EXPECT_EQ(pages->ActivePage(), page_[2]);
    pages->setCurrentIndex(1);
    EXPECT_EQ(changes, 0);
}

TEST_F(PageControlTest, AClickOnATabFiresOnChangeOnceWithTheNewPageActive) {
    clickTab(1);
    EXPECT_EQ(changes, 1);
    EXPECT_EQ(activeAtChange, page_[1]);
    clickTab(1);  // the page already shown
    EXPECT_EQ(changes, 1);
}

TEST_F(PageControlTest, ADisabledTabCannotBeChosenAndItsPageStaysUsable) {
    pages->setPageEnabled(page_[1], false);
    EXPECT_FALSE(pages->pageEnabled(page_[1]));
    EXPECT_TRUE(pages->pageEnabled(page_[2]));
    clickTab(1);
    EXPECT_EQ(pages->ActivePage(), page_[0]);
    EXPECT_EQ(changes, 0);
    EXPECT_TRUE(page_[1]->isEnabled());  // only the tab is disabled
    pages->setPageEnabled(page_[1], true);
    clickTab(1);
    EXPECT_EQ(pages->ActivePage(), page_[1]);
    EXPECT_EQ(changes, 1);
}

TEST_F(PageControlTest, TheKeyboardSwitchSkipsDisabledTabsAndFocusesTheFirstControl) {
    pages->setPageEnabled(page_[1], false);
    // The last control focused on page 3 is its second edit; the switch back
    // must still land on the first control of the page.
    pages->SetActivePage(page_[2]);
    second[2]->setFocus();
    pages->SetActivePage(page_[0]);
    second[0]->setFocus();
    ASSERT_TRUE(second[0]->hasFocus());
    QTest::keyClick(second[0], Qt::Key_Tab, Qt::ControlModifier);
    EXPECT_EQ(pages->ActivePage(), page_[2]);
    EXPECT_EQ(changes, 1);
    EXPECT_TRUE(first[2]->hasFocus());
}

TEST_F(PageControlTest, FocusOutsideTheOldPageStaysWhereItIs) {
    pages->tabBar()->setFocus();
    clickTab(2);
    EXPECT_EQ(changes, 1);
    EXPECT_FALSE(first[2]->hasFocus());
}

TEST_F(PageControlTest, AnErrorInOnChangeIsShownAndTheSwitchStands) {
    pages->OnChange = [] { throw EAppError("Falha ao carregar a página."); };
    clickTab(2);
    EXPECT_EQ(pages->ActivePage(), page_[2]);
    EXPECT_EQ(dialogs.texts(), QStringList{"Falha ao carregar a página."});
}
