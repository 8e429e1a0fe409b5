#pragma once

#include <QWidget>
#include <string>
#include <string_view>

#include "ui/desktop.h"
#include "ui/main_window_view.h"
#include "ui/orba_update_tool.h"

class QLineEdit;
class QTextEdit;

namespace orba::ui {

// The main window drawn with Qt: its controls made from the layout table, each event handed to
// the window's logic (ORBAUpdateTool), which it shows.
class QtMainWindow : public QWidget, private MainWindowView {
    Q_OBJECT

  public:
    explicit QtMainWindow(Desktop& desktop, QWidget* parent = nullptr);
    ~QtMainWindow() override;

    ORBAUpdateTool& tool() { return tool_; }
    const ORBAUpdateTool& tool() const { return tool_; }

  protected:
    void changeEvent(QEvent* event) override;
    void closeEvent(QCloseEvent* event) override;
    void dragEnterEvent(QDragEnterEvent* event) override;
    void dropEvent(QDropEvent* event) override;

  private:
    void CreateControls();
    void MakeAccessible(const ControlSpec& spec);
    QLineEdit* Box(PathBox box) const;

    std::string BoxText(PathBox box) const override;
    void SetBoxText(PathBox box, std::string_view text) override;
    void Hide() override;
    void AppendText(std::string_view entry) override;
    void ShowEnd(Paint paint) override;
    void ProcessEvents() override;
    void WaitForEvents(std::chrono::milliseconds timeout) override;
    void ShowRunProgress(const RunProgress& progress) override;

    ORBAUpdateTool tool_;

    // Owned by the window through Qt's parent links.
    QLineEdit* TXT_MOD_FILE = nullptr;
    QLineEdit* TXT_OLD_FOLDER = nullptr;
    QTextEdit* TXT_PROGRESS = nullptr;
};

}  // namespace orba::ui
