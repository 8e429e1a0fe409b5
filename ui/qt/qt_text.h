#pragma once

// Conversions between the engine's UTF-8 text and Qt's strings, and the window's font.

#include <QFont>
#include <QString>
#include <string_view>

#include "ui/layout_table.h"

namespace orba::ui {

inline QString ToQString(std::string_view text) {
    return QString::fromUtf8(text.data(), static_cast<qsizetype>(text.size()));
}

// Text for display: CR LF line breaks become Qt's line feeds.
inline QString ToDisplayText(std::string_view text) {
    return ToQString(text).replace(QStringLiteral("\r\n"), QStringLiteral("\n"));
}

// The Song typeface the window was laid out for: 宋体 (SimSun) where it is installed, else AR PL
// UMing CN, a Song face with its metrics (Latin letters half as wide as a Chinese character, lines
// as tall as the point size), else Noto Serif CJK SC, which is wider and taller.
inline QFont SongFont(double pointSize, bool bold) {
    QFont font;
    font.setFamilies({ToQString(kFontName), QStringLiteral("SimSun"),
                      QStringLiteral("AR PL UMing CN"), QStringLiteral("Noto Serif CJK SC"),
                      QStringLiteral("Noto Sans CJK SC")});
    font.setPointSizeF(pointSize);
    font.setWeight(bold ? QFont::Bold : QFont::Normal);
    return font;
}

}  // namespace orba::ui
