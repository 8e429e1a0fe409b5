#pragma once

#include <QStringList>

#include "ui/desktop.h"

class QWidget;

namespace orba::ui {

// The desktop as Qt offers it: Qt's own file and folder dialogs (the same on every desktop, and in
// Chinese with Qt's translation), the default browser, a critical message box.
class QtDesktop final : public Desktop {
  public:
    // Dialogs and message boxes are modal to `owner`, set once the window exists.
    void SetOwner(QWidget* owner) { owner_ = owner; }

    std::string ApplicationFolder() override;
    std::string ChooseFileToOpen(std::span<const FileFilter> filters) override;
    std::string ChooseFolder(std::string_view title) override;
    void OpenWebAddress(std::string_view address) override;
    void ShowMessage(std::string_view text) override;
    void EndProgram() override;

  private:
    QWidget* owner_ = nullptr;
};

// Qt name filters for `filters`. Qt reads a filter's patterns from its last parentheses, split at
// spaces, and with the details hidden shows what stands in front of them; so each entry shows its
// description exactly and matches its patterns ("*.*" matching every name, as on Windows).
QStringList QtNameFilters(std::span<const FileFilter> filters);

}  // namespace orba::ui
