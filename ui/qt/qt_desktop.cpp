#include "ui/qt/qt_desktop.h"

#include <QCoreApplication>
#include <QDesktopServices>
#include <QFileDialog>
#include <QMessageBox>
#include <QUrl>

#include "app/identity.h"
#include "ui/qt/qt_text.h"

namespace orba::ui {

QStringList QtNameFilters(std::span<const FileFilter> filters) {
    QStringList result;
    for (const FileFilter& filter : filters) {
        QStringList patterns = ToQString(filter.patterns).split(u';', Qt::SkipEmptyParts);
        patterns.replaceInStrings(QStringLiteral("*.*"), QStringLiteral("*"));
        result << ToQString(filter.description) + QStringLiteral(" (") + patterns.join(u' ') +
                      QStringLiteral(")");
    }
    return result;
}

std::string QtDesktop::ApplicationFolder() {
    return QCoreApplication::applicationDirPath().toStdString();
}

std::string QtDesktop::ChooseFileToOpen(std::span<const FileFilter> filters) {
    // Any name the user gives is the choice: the run checks it, as it checks a typed path.
    QFileDialog dialog(owner_);
    dialog.setFileMode(QFileDialog::AnyFile);
    dialog.setAcceptMode(QFileDialog::AcceptOpen);
    dialog.setOptions(QFileDialog::DontUseNativeDialog | QFileDialog::HideNameFilterDetails);
    dialog.setNameFilters(QtNameFilters(filters));
    if (dialog.exec() != QDialog::Accepted || dialog.selectedFiles().isEmpty()) {
        return {};
    }
    return dialog.selectedFiles().front().toStdString();
}

std::string QtDesktop::ChooseFolder(std::string_view title) {
    return QFileDialog::getExistingDirectory(
               owner_, ToQString(title), QString(),
               QFileDialog::ShowDirsOnly | QFileDialog::DontUseNativeDialog)
        .toStdString();
}

void QtDesktop::OpenWebAddress(std::string_view address) {
    QDesktopServices::openUrl(QUrl(ToQString(address)));
}

void QtDesktop::ShowMessage(std::string_view text) {
    QMessageBox box(QMessageBox::Critical, ToQString(identity::kProductName), ToDisplayText(text),
                    QMessageBox::Ok, owner_);
    box.exec();
}

void QtDesktop::EndProgram() {
    QCoreApplication::quit();
}

}  // namespace orba::ui
