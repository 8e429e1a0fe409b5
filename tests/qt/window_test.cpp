#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <QApplication>
#include <QDir>
#include <QLabel>
#include <QLineEdit>
#include <QMimeData>
#include <QPushButton>
#include <QTest>
#include <QTextDocument>
#include <QTextEdit>
#include <QTimer>
#include <QUrl>

#include "app/identity.h"
#include "tests/support/fake_desktop.h"
#include "tests/support/test_support.h"
#include "ui/layout_table.h"
#include "ui/qt/qt_main_window.h"
#include "ui/qt/qt_text.h"

namespace orba {
namespace {

using namespace test;  // NOLINT: the fixtures and helpers
using ::testing::ElementsAre;
using ::testing::HasSubstr;
using ::testing::IsEmpty;
using ::testing::Not;
using ui::QtMainWindow;
using ui::ToQString;

class WindowTest : public ::testing::Test {
  protected:
    void SetUp() override {
        desktop.applicationFolder = dir.path();
        WriteBytes(dir / "orba.html", Document("<new>", "TEMPLATE", "</new>"));
        MakeFolder(oldFolder);
        window.tool().Form_Load();
        TXT_OLD_FOLDER()->setText(ToQString(oldFolder));
    }

    template <typename T = QWidget>
    T* Control(const char* name) {
        auto* control = window.findChild<T*>(name);
        EXPECT_NE(control, nullptr) << name;
        return control;
    }
    QLineEdit* TXT_MOD_FILE() { return Control<QLineEdit>("TXT_MOD_FILE"); }
    QLineEdit* TXT_OLD_FOLDER() { return Control<QLineEdit>("TXT_OLD_FOLDER"); }
    QPushButton* Button(const char* name) { return Control<QPushButton>(name); }

    void ShowAndActivate() {
        window.show();
        QApplication::setActiveWindow(&window);
        ASSERT_TRUE(QTest::qWaitForWindowActive(&window));
    }

    TempDir dir;
    std::string oldFolder = dir / "old";
    std::string output = Join(oldFolder, "NewORBA");
    FakeDesktop desktop;
    QtMainWindow window{desktop};
};

TEST_F(WindowTest, EveryControlStandsWhereTheLayoutTableSaysWithItsTextAndFont) {
    EXPECT_EQ(window.windowTitle(), "ORBA批量升级工具");
    EXPECT_EQ(window.size(), QSize(1059, 444));
    EXPECT_EQ(window.minimumSize(), window.maximumSize()) << "the window is not resizable";
    for (const ui::ControlSpec& spec : ui::MainWindowControls()) {
        SCOPED_TRACE(std::string(spec.name));
        QWidget* control = window.findChild<QWidget*>(ToQString(spec.name));
        ASSERT_NE(control, nullptr);
        EXPECT_EQ(control->geometry(),
                  QRect(qRound(spec.left / 15.0), qRound(spec.top / 15.0),
                        qRound(spec.width / 15.0), qRound(spec.height / 15.0)));
        EXPECT_DOUBLE_EQ(control->font().pointSizeF(), spec.pointSize);
        EXPECT_EQ(control->font().bold(), spec.bold);
        EXPECT_TRUE(control->font().families().contains("SimSun"));
        const QString text = ui::ToDisplayText(spec.text);
        if (auto* label = qobject_cast<QLabel*>(control); label && !spec.text.empty()) {
            QTextDocument shown;
            shown.setHtml(label->text());
            const QString plain = shown.toPlainText().replace(QChar::Nbsp, u' ');
            EXPECT_EQ(label->textFormat() == Qt::RichText ? plain : label->text(), text);
            EXPECT_TRUE(label->wordWrap());
            EXPECT_EQ(label->alignment() & Qt::AlignHorizontal_Mask,
                      spec.align == ui::TextAlign::Centre ? Qt::AlignHCenter : Qt::AlignLeft);
        }
        if (auto* button = qobject_cast<QPushButton*>(control)) {
            EXPECT_EQ(button->text(), text);
            EXPECT_FALSE(button->isDefault());
            EXPECT_FALSE(button->autoDefault());
            EXPECT_FALSE(button->text().contains('&')) << "no access keys";
        }
    }
    EXPECT_EQ(Control<QLabel>("Label7")->palette().color(QPalette::Window), QColor(Qt::white));
    EXPECT_THAT(Button("BT_GO")->styleSheet().toStdString(), HasSubstr("#ffc0c0"));
    EXPECT_EQ(Control<QLabel>("IMG_QLX")->toolTip(), "点击访问【青衡书院】网站");
    EXPECT_EQ(Control<QLabel>("Image1")->pixmap().size(), QSize(388, 154));
    EXPECT_EQ(Control<QLabel>("IMG_QLX")->pixmap().size(), QSize(200, 226));
}

TEST_F(WindowTest, OverlappingControlsStackAsLaidOut) {
    const QObjectList& stack = window.children();
    const auto place = [&](const char* name) { return stack.indexOf(Control(name)); };
    EXPECT_LT(place("Label3"), place("Label4"));
    EXPECT_LT(place("Label5"), place("Label6"));
    EXPECT_LT(place("Label10"), place("Label11"));
    EXPECT_LT(place("Label4"), place("TXT_MOD_FILE"));
    EXPECT_LT(place("Label6"), place("TXT_OLD_FOLDER"));
}

TEST_F(WindowTest, FocusStartsOnTheStartButtonAndTabFollowsTheFixedOrder) {
    ShowAndActivate();
    std::vector<std::string> order;
    for (int i = 0; i <= 8; ++i) {
        order.push_back(QApplication::focusWidget()->objectName().toStdString());
        QTest::keyClick(QApplication::focusWidget(), Qt::Key_Tab);
    }
    EXPECT_THAT(order,
                ElementsAre("BT_GO", "BT_BROWSE_OLD_FOLDER", "BT_SELECT_MOD_FILE", "TXT_MOD_FILE",
                            "TXT_OLD_FOLDER", "BT_END", "BT_LINK_WEB", "TXT_PROGRESS", "BT_GO"));
}

TEST_F(WindowTest, FocusShowsOnTheLogBoxAndTheStartButtonLooksAlikeAtStartAndByTab) {
    ShowAndActivate();
    QPushButton* start = Button("BT_GO");
    auto* log = Control<QTextEdit>("TXT_PROGRESS");
    ASSERT_EQ(QApplication::focusWidget(), start);
    const QImage startAtOpening = start->grab().toImage();
    const QImage logWithoutFocus = log->grab().toImage();
    while (QApplication::focusWidget() != log) {
        QTest::keyClick(QApplication::focusWidget(), Qt::Key_Tab);
    }
    EXPECT_NE(log->grab().toImage(), logWithoutFocus) << "the log box shows its focus";
    QTest::keyClick(log, Qt::Key_Tab);
    ASSERT_EQ(QApplication::focusWidget(), start);
    EXPECT_EQ(start->grab().toImage(), startAtOpening);
}

TEST(WindowStartTest, LogReadsReadyBeforeAnyRun) {
    FakeDesktop desktop;
    QtMainWindow window(desktop);
    EXPECT_EQ(window.findChild<QTextEdit*>("TXT_PROGRESS")->toPlainText(), " 准备就绪...\n");
    EXPECT_TRUE(window.findChild<QTextEdit*>("TXT_PROGRESS")->isReadOnly());
}

TEST_F(WindowTest, AClickOnEachButtonReachesItsHandler) {
    desktop.filesToChoose = {"/maps/模板.html"};
    QTest::mouseClick(Button("BT_SELECT_MOD_FILE"), Qt::LeftButton);
    EXPECT_EQ(TXT_MOD_FILE()->text(), "/maps/模板.html");
    desktop.foldersToChoose = {"/maps/旧"};
    QTest::mouseClick(Button("BT_BROWSE_OLD_FOLDER"), Qt::LeftButton);
    EXPECT_EQ(TXT_OLD_FOLDER()->text(), "/maps/旧");
    QTest::mouseClick(Button("BT_LINK_WEB"), Qt::LeftButton);
    EXPECT_THAT(desktop.openedAddresses, ElementsAre(std::string(identity::kMakerWebAddress)));
    window.show();
    QTest::mouseClick(Button("BT_END"), Qt::LeftButton);
    EXPECT_EQ(desktop.endRequests, 1);
    EXPECT_FALSE(window.isVisible());
}

TEST_F(WindowTest, StartButtonRunsTheUpgradeAndTheLogShowsEveryEntry) {
    WriteBytes(Join(oldFolder, "甲.html"), Document("<old>", "{\"a\":1}", "</old>"));
    WriteBytes(Join(oldFolder, "b.HTML"), Document("<old>", "{\"b\":2}", "</old>"));
    QTest::mouseClick(Button("BT_GO"), Qt::LeftButton);

    const std::string expected = " 准备就绪...\r\n" + ExpectedLog({"b.HTML", "甲.html"}, output);
    EXPECT_EQ(Control<QTextEdit>("TXT_PROGRESS")->toPlainText(), ui::ToDisplayText(expected));
    EXPECT_EQ(ReadBytes(Join(output, "甲.html")), Document("<new>", "{\"a\":1}", "</new>"));
    EXPECT_EQ(Control<QTextEdit>("TXT_PROGRESS")->textCursor().position(),
              Control<QTextEdit>("TXT_PROGRESS")->document()->characterCount() - 1)
        << "the caret ends at the newest entry";
    EXPECT_THAT(desktop.messages, IsEmpty());
}

TEST_F(WindowTest, EnterAndSpaceOnTheFocusedStartButtonStartARun) {
    WriteBytes(Join(oldFolder, "a.html"), Document("", "A", ""));
    ShowAndActivate();
    QTest::keyClick(QApplication::focusWidget(), Qt::Key_Return);
    QTRY_COMPARE(Control<QTextEdit>("TXT_PROGRESS")->toPlainText().count("【处理开始】"), 1);
    QTest::keyClick(QApplication::focusWidget(), Qt::Key_Space);
    QTRY_COMPARE(Control<QTextEdit>("TXT_PROGRESS")->toPlainText().count("【处理开始】"), 2);
}

TEST_F(WindowTest, EnterAndEscapeInAPathBoxStartNothing) {
    WriteBytes(Join(oldFolder, "a.html"), Document("", "A", ""));
    ShowAndActivate();
    TXT_MOD_FILE()->setFocus();
    QTest::keyClick(TXT_MOD_FILE(), Qt::Key_Return);
    QTest::keyClick(TXT_MOD_FILE(), Qt::Key_Escape);
    QTest::qWait(50);
    EXPECT_EQ(Control<QTextEdit>("TXT_PROGRESS")->toPlainText(),
              ui::ToDisplayText(" 准备就绪...\r\n"));
    EXPECT_TRUE(window.isVisible());
}

TEST_F(WindowTest, ClosingTheWindowDuringARunStopsIt) {
    WriteBytes(Join(oldFolder, "a.html"), Document("", "A", ""));
    WriteBytes(Join(oldFolder, "b.html"), Document("", "B", ""));
    window.show();
    QTimer::singleShot(0, &window, &QWidget::close);
    QTest::mouseClick(Button("BT_GO"), Qt::LeftButton);
    // The close is seen at the run's first chance to handle events, before b.html at the latest.
    EXPECT_FALSE(test::Exists(Join(output, "b.html")));
    EXPECT_FALSE(Control<QTextEdit>("TXT_PROGRESS")->toPlainText().contains("处理结束"));
}

TEST_F(WindowTest, DroppedFileIsTheTemplateAndDroppedFolderTheOldFolder) {
    const auto drop = [&](const std::string& path) {
        QMimeData data;
        data.setUrls({QUrl::fromLocalFile(ToQString(path))});
        QDragEnterEvent enter(QPoint(500, 200), Qt::CopyAction, &data, Qt::LeftButton,
                              Qt::NoModifier);
        QApplication::sendEvent(&window, &enter);
        EXPECT_TRUE(enter.isAccepted());
        QDropEvent event(QPointF(500, 200), Qt::CopyAction, &data, Qt::LeftButton, Qt::NoModifier);
        QApplication::sendEvent(&window, &event);
    };
    const std::string otherTemplate = Join(oldFolder, "新模板.html");
    WriteBytes(otherTemplate, "x");
    drop(otherTemplate);
    EXPECT_EQ(TXT_MOD_FILE()->text().toStdString(), otherTemplate);
    EXPECT_EQ(TXT_OLD_FOLDER()->text().toStdString(), oldFolder);
    drop(dir.path());
    EXPECT_EQ(TXT_OLD_FOLDER()->text().toStdString(), dir.path());
    EXPECT_EQ(TXT_MOD_FILE()->text().toStdString(), otherTemplate);
}

TEST_F(WindowTest, PictureOfTheWindow) {
    WriteBytes(Join(oldFolder, "项目计划.html"), Document("", "A", ""));
    WriteBytes(Join(oldFolder, "读书笔记.html"), Document("", "B", ""));
    window.show();
    QTest::mouseClick(Button("BT_GO"), Qt::LeftButton);
    QDir().mkpath(ORBA_SCREENSHOT_DIR);
    const QImage picture = window.grab().toImage();
    EXPECT_EQ(picture.size() / picture.devicePixelRatio(), QSize(1059, 444));
    EXPECT_TRUE(picture.save(ORBA_SCREENSHOT_DIR "/main_window.png"));

    Control<QTextEdit>("TXT_PROGRESS")->setFocus(Qt::TabFocusReason);
    EXPECT_TRUE(window.grab().toImage().save(ORBA_SCREENSHOT_DIR "/main_window_log_focus.png"));
}

}  // namespace
}  // namespace orba
