#pragma once

// What the window program sets for all of Qt before its window exists: Chinese texts in Qt's own
// dialogs and message boxes (Qt's translation, and the few texts it lacks), and no settings file
// left behind: Qt's file dialog keeps its state in the user's QtProject.conf, which the tool must
// not write, so Qt's settings go to a private folder that is removed when the program ends.

#include <QTemporaryDir>
#include <QTranslator>

namespace orba::ui {

// Qt's own texts that its Chinese translation lacks, such as "Folder" in the file dialog's type
// column.
class MissingChineseTexts final : public QTranslator {
  public:
    QString translate(const char* context, const char* sourceText, const char* disambiguation,
                      int n) const override;
    bool isEmpty() const override { return false; }
};

class QtProgramSettings {
  public:
    QtProgramSettings();  // needs the QApplication
    QtProgramSettings(const QtProgramSettings&) = delete;
    QtProgramSettings& operator=(const QtProgramSettings&) = delete;
    ~QtProgramSettings();

  private:
    QTranslator qtTexts_;
    MissingChineseTexts missingTexts_;
    QTemporaryDir settingsFolder_;
};

}  // namespace orba::ui
