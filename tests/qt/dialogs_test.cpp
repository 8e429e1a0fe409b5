#include <gtest/gtest.h>

#include <QApplication>
#include <QComboBox>
#include <QDir>
#include <QFile>
#include <QFileDialog>
#include <QFileSystemModel>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>

#include "ui/path_boxes.h"
#include "ui/qt/qt_desktop.h"

namespace orba {
namespace {

TEST(QtNameFiltersTest, ShowTheDescriptionsAndMatchBothEndings) {
    QFileDialog dialog;
    dialog.setOptions(QFileDialog::DontUseNativeDialog | QFileDialog::HideNameFilterDetails);
    dialog.setNameFilters(ui::QtNameFilters(ui::kTemplateFilter));

    auto* types = dialog.findChild<QComboBox*>("fileTypeCombo");
    ASSERT_NE(types, nullptr);
    ASSERT_EQ(types->count(), 2);
    EXPECT_EQ(types->itemText(0), "HTML Files (*.htm; *.html)");
    EXPECT_EQ(types->itemText(1), "All Files (*.*)");

    auto* model = dialog.findChild<QFileSystemModel*>();
    ASSERT_NE(model, nullptr);
    EXPECT_EQ(model->nameFilters(), QStringList({"*.htm", "*.html"}));
    dialog.selectNameFilter(dialog.nameFilters().at(1));
    EXPECT_EQ(model->nameFilters(), QStringList({"*"}));
}

// A folder with a subfolder, shown in the open-file dialog as the program shows it.
class FileDialogTest : public ::testing::Test {
  protected:
    void SetUp() override {
        ASSERT_TRUE(folder.isValid());
        ASSERT_TRUE(QDir(folder.path()).mkdir(QStringLiteral("旧版")));
        dialog.setOptions(QFileDialog::DontUseNativeDialog | QFileDialog::HideNameFilterDetails);
        dialog.setViewMode(QFileDialog::Detail);
        dialog.setDirectory(folder.path());
        dialog.show();
    }

    QTemporaryDir folder;
    QFileDialog dialog;
};

TEST_F(FileDialogTest, ColumnsAndTypesAreInChinese) {
    auto* model = dialog.findChild<QFileSystemModel*>();
    ASSERT_NE(model, nullptr);
    const QModelIndex root = model->index(folder.path());
    QTRY_COMPARE(model->rowCount(root), 1);
    const QModelIndex subfolder = model->index(0, 2, root);
    EXPECT_EQ(subfolder.data().toString(), QStringLiteral("文件夹"));
    const QStringList expected = {"名称", "体积", "类型", "修改日期"};
    for (int column = 0; column < expected.size(); ++column) {
        EXPECT_EQ(model->headerData(column, Qt::Horizontal).toString(), expected[column]);
    }
}

TEST_F(FileDialogTest, LeavesNoSettingsFileBehind) {
    const QString settingsFile =
        QStandardPaths::writableLocation(QStandardPaths::GenericConfigLocation) +
        QStringLiteral("/QtProject.conf");
    QFile::remove(settingsFile);
    {
        QFileDialog another;
        another.setOptions(QFileDialog::DontUseNativeDialog);
        another.setDirectory(folder.path());
        another.show();
    }  // Qt's file dialog saves its state when it goes
    EXPECT_FALSE(QFile::exists(settingsFile)) << settingsFile.toStdString();
}

TEST(OpenFileDialogTest, AnyNameGivenIsTheChoice) {
    QTemporaryDir folder;
    ASSERT_TRUE(folder.isValid());
    const QString missing = folder.path() + QStringLiteral("/还没有的模板.html");
    // Once the dialog is up, a name that does not exist is typed and confirmed. Should the dialog
    // refuse it (with a box saying the file is missing), whatever is open is cancelled.
    QTimer::singleShot(0, [&] {
        auto* dialog = qobject_cast<QFileDialog*>(QApplication::activeModalWidget());
        ASSERT_NE(dialog, nullptr);
        dialog->selectFile(missing);
        static_cast<QDialog*>(dialog)->accept();  // QFileDialog::accept, which checks the name
    });
    QTimer closer;
    QObject::connect(&closer, &QTimer::timeout, [] {
        if (auto* open = qobject_cast<QDialog*>(QApplication::activeModalWidget())) {
            open->reject();
        }
    });
    closer.start(300);
    ui::QtDesktop desktop;
    EXPECT_EQ(desktop.ChooseFileToOpen(ui::kTemplateFilter), missing.toStdString());
}

}  // namespace
}  // namespace orba
