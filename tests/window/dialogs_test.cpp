#include <gtest/gtest.h>

#include <QComboBox>
#include <QFileDialog>
#include <QFileSystemModel>

#include "ui/handlers.h"
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

}  // namespace
}  // namespace orba
