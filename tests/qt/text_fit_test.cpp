// Every text of the window is whole: each label's and button's text, laid out in the font the
// control really uses with its wrapping and alignment, has all its ink inside the control, and no
// control lying in front of it covers any of that ink. CTest runs it at the screen's scale and at
// twice it.

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <QImage>
#include <QLabel>
#include <QPainter>
#include <QPushButton>
#include <QStyleOptionButton>
#include <QTextEdit>
#include <algorithm>
#include <cmath>
#include <cstdio>

#include "tests/support/fake_desktop.h"
#include "ui/layout_table.h"
#include "ui/qt/qt_main_window.h"
#include "ui/qt/qt_text.h"

namespace orba {
namespace {

using ui::ControlKind;
using ui::ControlSpec;
using ui::ToDisplayText;
using ui::ToQString;

// The ink of `text` drawn as a control draws it into `box` (window coordinates) but unclipped:
// every pixel that is not background, as a one-pixel rectangle in window coordinates.
std::vector<QRect> InkOf(const QString& text, const QFont& font, const QRect& box, int flags,
                         double scale) {
    constexpr int kMargin = 64;
    const QSize logical = box.size() + QSize(2 * kMargin, 2 * kMargin);
    QImage image(logical * scale, QImage::Format_ARGB32);
    image.setDevicePixelRatio(scale);
    image.fill(Qt::transparent);
    {
        QPainter painter(&image);
        painter.setFont(font);
        painter.setPen(Qt::black);
        painter.drawText(QRect(QPoint(kMargin, kMargin), box.size()), flags | Qt::TextDontClip,
                         text);
    }
    std::vector<QRect> ink;
    for (int y = 0; y < image.height(); ++y) {
        for (int x = 0; x < image.width(); ++x) {
            if (qAlpha(image.pixel(x, y)) > 64) {
                const QPointF at =
                    QPointF(x, y) / scale - QPointF(kMargin, kMargin) + QPointF(box.topLeft());
                ink.emplace_back(QPoint(static_cast<int>(std::floor(at.x())),
                                        static_cast<int>(std::floor(at.y()))),
                                 QSize(1, 1));
            }
        }
    }
    return ink;
}

QRect Bounds(const std::vector<QRect>& ink) {
    QRect bounds;
    for (const QRect& pixel : ink) {
        bounds |= pixel;
    }
    return bounds;
}

std::string Describe(const QRect& rect) {
    return std::to_string(rect.width()) + " x " + std::to_string(rect.height()) + " at (" +
           std::to_string(rect.x()) + ", " + std::to_string(rect.y()) + ")";
}

class TextFitTest : public ::testing::Test {
  protected:
    void SetUp() override { window.show(); }

    test::FakeDesktop desktop;
    ui::QtMainWindow window{desktop};
};

TEST_F(TextFitTest, EveryLabelAndButtonShowsItsWholeText) {
    const double scale = window.devicePixelRatioF();
    std::printf("scale %.1f, font %s\n", scale,
                QFontInfo(window.font()).family().toStdString().c_str());
    const auto controls = ui::MainWindowControls();
    for (std::size_t i = 0; i < controls.size(); ++i) {
        const ControlSpec& spec = controls[i];
        if (spec.kind != ControlKind::Label && spec.kind != ControlKind::CommandButton) {
            continue;
        }
        SCOPED_TRACE(std::string(spec.name));
        auto* control = window.findChild<QWidget*>(ToQString(spec.name));
        ASSERT_NE(control, nullptr);
        QRect box;
        int flags = Qt::AlignCenter;
        if (auto* label = qobject_cast<QLabel*>(control)) {
            box = label->contentsRect().translated(label->pos());
            flags =
                static_cast<int>(label->alignment()) | (label->wordWrap() ? Qt::TextWordWrap : 0);
        } else {
            auto* button = qobject_cast<QPushButton*>(control);
            QStyleOptionButton option;
            option.initFrom(button);
            box = button->style()
                      ->subElementRect(QStyle::SE_PushButtonContents, &option, button)
                      .translated(button->pos());
        }
        const std::vector<QRect> ink =
            InkOf(ToDisplayText(spec.text), control->font(), box, flags, scale);
        const QRect needed = Bounds(ink);
        std::printf("%-21s ink %-22s room %s\n", std::string(spec.name).c_str(),
                    Describe(needed).c_str(), Describe(control->geometry()).c_str());
        EXPECT_TRUE(control->geometry().contains(needed))
            << "ink " << Describe(needed) << " outside " << Describe(control->geometry());

        // Controls listed later lie in front; they may cover only empty space of this one.
        for (std::size_t j = i + 1; j < controls.size(); ++j) {
            const QRect front = window.findChild<QWidget*>(ToQString(controls[j].name))->geometry();
            const auto covered = std::count_if(ink.begin(), ink.end(), [&](const QRect& pixel) {
                return front.intersects(pixel);
            });
            EXPECT_EQ(covered, 0) << std::string(controls[j].name) << " covers ink";
        }
    }
}

TEST_F(TextFitTest, LogBoxShowsALineOfFortyEqualSignsUnwrapped) {
    auto* log = window.findChild<QTextEdit*>("TXT_PROGRESS");
    const double line = QFontMetricsF(log->font()).horizontalAdvance(QString(40, u'='));
    const double room = log->viewport()->width() - 2 * log->document()->documentMargin();
    std::printf("forty '=': %.1f px, room %.1f px\n", line, room);
    EXPECT_LE(line, room);
}

}  // namespace
}  // namespace orba
