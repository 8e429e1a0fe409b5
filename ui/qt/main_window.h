#pragma once

#include <QWidget>
#include <string>
#include <string_view>

#include "ui/desktop.h"
#include "ui/handlers.h"
#include "ui/window_runs.h"

class QLabel;
class QLineEdit;
class QPushButton;
class QTextEdit;

namespace orba::ui {

// The one window: the two path boxes and their pickers, the start button, the progress log, the
// exit and web-site buttons. The upgrade run itself is the engine's.
class ORBAUpdateTool : public QWidget, private ProgressLogView {
    Q_OBJECT

  public:
    explicit ORBAUpdateTool(Desktop& desktop, QWidget* parent = nullptr);
    ~ORBAUpdateTool() override;

    void Form_Load();
    void BT_GO_Click();
    void BT_SELECT_MOD_FILE_Click();
    void BT_BROWSE_OLD_FOLDER_Click();
    void BT_END_Click();
    void BT_LINK_WEB_Click();
    void CopyCOMDLG32OCX();

    // The progress log as the runs wrote it, CR LF line breaks included.
    const std::string& ProgressLog() const { return runs_.Log(); }
    bool RunInProgress() const { return runs_.Running(); }

  protected:
    void closeEvent(QCloseEvent* event) override;
    void dragEnterEvent(QDragEnterEvent* event) override;
    void dropEvent(QDropEvent* event) override;

  private:
    void CreateControls();
    std::string BrowseForFolder();
    PathBoxes Boxes() const;
    void SetBoxes(const PathBoxes& boxes);
    void AppendText(std::string_view entry) override;
    void ShowEnd(Paint paint) override;
    void ProcessEvents() override;

    Desktop& desktop_;
    WindowRuns runs_;

    // Owned by the window through Qt's parent links.
    QLineEdit* TXT_MOD_FILE = nullptr;
    QLineEdit* TXT_OLD_FOLDER = nullptr;
    QTextEdit* TXT_PROGRESS = nullptr;
    QPushButton* BT_GO = nullptr;
    QPushButton* BT_SELECT_MOD_FILE = nullptr;
    QPushButton* BT_BROWSE_OLD_FOLDER = nullptr;
    QPushButton* BT_END = nullptr;
    QPushButton* BT_LINK_WEB = nullptr;
};

}  // namespace orba::ui
