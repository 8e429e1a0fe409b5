#include "ui/qt/qt_program_settings.h"

#include <QCoreApplication>
#include <QLibraryInfo>
#include <QLocale>
#include <QSettings>
#include <cstring>

namespace orba::ui {

namespace {

struct MissingText {
    const char* context;
    const char* source;
    const char* chinese;
};

constexpr MissingText kMissingTexts[] = {
    {"QAbstractFileIconProvider", "Folder", "文件夹"},
    {"QAbstractFileIconProvider", "File", "文件"},
    {"QAbstractFileIconProvider", "%1 File", "%1 文件"},
    {"QAbstractFileIconProvider", "Drive", "驱动器"},
    {"QAbstractFileIconProvider", "Shortcut", "快捷方式"},
};

}  // namespace

QString MissingChineseTexts::translate(const char* context, const char* sourceText,
                                       const char* /*disambiguation*/, int /*n*/) const {
    for (const MissingText& text : kMissingTexts) {
        if (std::strcmp(context, text.context) == 0 && std::strcmp(sourceText, text.source) == 0) {
            return QString::fromUtf8(text.chinese);
        }
    }
    return {};
}

QtProgramSettings::QtProgramSettings() {
    const QLocale chinese(QLocale::Chinese, QLocale::China);
    QLocale::setDefault(chinese);
    if (qtTexts_.load(chinese, QStringLiteral("qtbase"), QStringLiteral("_"),
                      QLibraryInfo::path(QLibraryInfo::TranslationsPath))) {
        QCoreApplication::installTranslator(&qtTexts_);
    }
    QCoreApplication::installTranslator(&missingTexts_);
    if (settingsFolder_.isValid()) {
        QSettings::setPath(QSettings::NativeFormat, QSettings::UserScope, settingsFolder_.path());
        QSettings::setPath(QSettings::IniFormat, QSettings::UserScope, settingsFolder_.path());
    }
}

QtProgramSettings::~QtProgramSettings() {
    QCoreApplication::removeTranslator(&missingTexts_);
    QCoreApplication::removeTranslator(&qtTexts_);
}

}  // namespace orba::ui
