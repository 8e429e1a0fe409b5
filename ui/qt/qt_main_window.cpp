#include "ui/qt/qt_main_window.h"

#include <QApplication>
#include <QCloseEvent>
#include <QCoreApplication>
#include <QDragEnterEvent>
#include <QDropEvent>
#include <QFileInfo>
#include <QLabel>
#include <QLineEdit>
#include <QMimeData>
#include <QScrollBar>
#include <QTextEdit>
#include <QTimer>

#include "app/identity.h"
#include "ui/layout_table.h"
#include "ui/qt/enter_click_button.h"
#include "ui/qt/launcher_entry.h"
#include "ui/qt/qt_text.h"

namespace orba::ui {

namespace {

QColor ToQColor(const Rgb& colour) {
    return {colour.red, colour.green, colour.blue};
}

QPixmap PictureOf(Picture picture) {
    switch (picture) {
        case Picture::Logo:
            return QPixmap(":/orba/logo.jpg");
        case Picture::QrCode:
            return QPixmap(":/orba/qr.jpg");
        case Picture::None:
            break;
    }
    return {};
}

// The control's own colour, its picture and its tooltip, as the layout table gives them.
void ApplyLook(const ControlSpec& spec, QWidget* control) {
    const ControlLook& look = spec.look;
    if (look.background && look.ownerDrawn) {
        // A style sheet is what lets a push button show its own colour under every Qt style.
        const QColor colour = ToQColor(*look.background);
        control->setStyleSheet(
            QStringLiteral("QPushButton { background-color: %1; border: 1px solid "
                           "#9a7070; border-radius: 3px; }"
                           "QPushButton:focus { border: 2px solid #6a4040; }"
                           "QPushButton:pressed { background-color: %2; }")
                .arg(colour.name(), colour.darker(115).name()));
    } else if (look.background) {
        QPalette palette = control->palette();
        palette.setColor(QPalette::Window, ToQColor(*look.background));
        control->setPalette(palette);
    }
    if (look.picture != Picture::None) {
        static_cast<QLabel*>(control)->setPixmap(PictureOf(look.picture));
    }
    if (!look.tooltip.empty()) {
        control->setToolTip(ToQString(look.tooltip));
    }
}

QRect PixelRect(const ControlSpec& spec) {
    return {TwipsToPixels(spec.left), TwipsToPixels(spec.top), TwipsToPixels(spec.width),
            TwipsToPixels(spec.height)};
}

QWidget* CreateControl(const ControlSpec& spec, QWidget* parent) {
    switch (spec.kind) {
        case ControlKind::Label: {
            auto* label = new QLabel(parent);
            label->setTextFormat(Qt::PlainText);
            label->setText(ToDisplayText(spec.text));
            label->setWordWrap(true);
            label->setAlignment(
                (spec.align == TextAlign::Centre ? Qt::AlignHCenter : Qt::AlignLeft) |
                Qt::AlignTop);
            label->setAutoFillBackground(true);
            // The stand-in Song face's bold brackets and synthetic bold rise one pixel above the
            // ascent, where the label's top edge would cut them.
            label->setContentsMargins(0, 1, 0, 0);
            return label;
        }
        case ControlKind::TextBox: {
            auto* box = new QLineEdit(parent);
            box->setAcceptDrops(false);  // dropped files go to the window, which fills the boxes
            return box;
        }
        case ControlKind::CommandButton: {
            auto* button = new EnterClickButton(ToDisplayText(spec.text), parent);
            button->setAutoDefault(false);
            button->setDefault(false);
            return button;
        }
        case ControlKind::Image: {
            auto* image = new QLabel(parent);
            image->setScaledContents(true);
            return image;
        }
        case ControlKind::RichTextBox: {
            auto* log = new QTextEdit(parent);
            log->setReadOnly(true);
            log->setAcceptRichText(false);
            log->setTabChangesFocus(true);
            log->setFocusPolicy(Qt::StrongFocus);
            log->setAcceptDrops(false);
            // A read-only box shows no caret: its frame shows that it has the focus.
            log->setStyleSheet(
                QStringLiteral("QTextEdit { border: 1px solid palette(mid); }"
                               "QTextEdit:focus { border: 2px solid palette(highlight); }"));
            return log;
        }
    }
    return nullptr;
}

}  // namespace

QtMainWindow::QtMainWindow(Desktop& desktop, QWidget* parent)
    : QWidget(parent), tool_(*this, desktop, FilesOnDisk()) {
    setObjectName("ORBAUpdateTool");
    setWindowTitle(ToQString(identity::kProductName));
    setFont(SongFont(9, false));
    setFixedSize(TwipsToPixels(kClientWidthTwips), TwipsToPixels(kClientHeightTwips));
    setAcceptDrops(true);
    CreateControls();
}

QtMainWindow::~QtMainWindow() = default;

// What a screen reader says of the control: its name and what explains it, from the table; a
// heading is the buddy of the control it names.
void QtMainWindow::MakeAccessible(const ControlSpec& spec) {
    QWidget* control = findChild<QWidget*>(ToQString(spec.name));
    if (!spec.accessible.name.empty()) {
        control->setAccessibleName(ToQString(spec.accessible.name));
    }
    if (!spec.accessible.explainedBy.empty()) {
        control->setAccessibleDescription(ToDisplayText(Control(spec.accessible.explainedBy).text));
    }
    if (!spec.headingOf.empty()) {
        static_cast<QLabel*>(control)->setBuddy(findChild<QWidget*>(ToQString(spec.headingOf)));
    }
}

void QtMainWindow::CreateControls() {
    for (const ControlSpec& spec : MainWindowControls()) {
        QWidget* control = CreateControl(spec, this);
        control->setObjectName(ToQString(spec.name));
        control->setGeometry(PixelRect(spec));
        control->setFont(SongFont(spec.pointSize, spec.bold));
        if (!TakesFocus(spec)) {
            control->setFocusPolicy(Qt::NoFocus);
        }
        ApplyLook(spec, control);
    }
    for (const ControlSpec& spec : MainWindowControls()) {
        MakeAccessible(spec);
    }
    TXT_MOD_FILE = findChild<QLineEdit*>("TXT_MOD_FILE");
    TXT_OLD_FOLDER = findChild<QLineEdit*>("TXT_OLD_FOLDER");
    TXT_PROGRESS = findChild<QTextEdit*>("TXT_PROGRESS");

    TXT_PROGRESS->setPlainText(ToDisplayText(kInitialProgressLog));

    QWidget* previous = nullptr;
    for (const std::string_view name : TabOrder()) {
        auto* control = findChild<QWidget*>(ToQString(name));
        if (previous != nullptr) {
            setTabOrder(previous, control);
        }
        previous = control;
    }

    for (const ControlSpec& spec : MainWindowControls()) {
        if (spec.kind == ControlKind::CommandButton) {
            connect(findChild<QPushButton*>(ToQString(spec.name)), &QPushButton::clicked, this,
                    [this, &spec] { tool_.Click(spec); });
        }
    }
    findChild<QWidget*>(ToQString(TabOrder().front()))->setFocus();
}

void QtMainWindow::changeEvent(QEvent* event) {
    QWidget::changeEvent(event);
    // The focus is shown as after a key press whenever the window becomes active, so that the
    // start button looks the same when the window opens and when it is tabbed to.
    if (event->type() == QEvent::ActivationChange && isActiveWindow()) {
        setAttribute(Qt::WA_KeyboardFocusChange);
        if (QWidget* focus = focusWidget()) {
            focus->update();
        }
    }
}

void QtMainWindow::closeEvent(QCloseEvent* event) {
    tool_.Form_Unload();  // Qt takes the window away either way
    event->accept();
}

void QtMainWindow::dragEnterEvent(QDragEnterEvent* event) {
    const QList<QUrl> urls = event->mimeData()->urls();
    if (!urls.isEmpty() && urls.front().isLocalFile()) {
        event->acceptProposedAction();
    }
}

void QtMainWindow::dropEvent(QDropEvent* event) {
    const QList<QUrl> urls = event->mimeData()->urls();
    if (urls.isEmpty() || !urls.front().isLocalFile()) {
        return;
    }
    const QString path = urls.front().toLocalFile();
    tool_.Form_DragDrop(path.toStdString(), QFileInfo(path).isDir());
    event->acceptProposedAction();
}

QLineEdit* QtMainWindow::Box(PathBox box) const {
    return box == PathBox::Template ? TXT_MOD_FILE : TXT_OLD_FOLDER;
}

std::string QtMainWindow::BoxText(PathBox box) const {
    return Box(box)->text().toStdString();
}

void QtMainWindow::SetBoxText(PathBox box, std::string_view text) {
    Box(box)->setText(ToQString(text));
}

void QtMainWindow::Hide() {
    hide();
}

void QtMainWindow::AppendText(std::string_view entry) {
    QTextCursor end(TXT_PROGRESS->document());
    end.movePosition(QTextCursor::End);
    end.insertText(ToDisplayText(entry));
}

void QtMainWindow::ShowEnd(Paint paint) {
    QTextCursor caret = TXT_PROGRESS->textCursor();
    caret.movePosition(QTextCursor::End);
    TXT_PROGRESS->setTextCursor(caret);
    TXT_PROGRESS->ensureCursorVisible();
    if (paint == Paint::Now) {
        TXT_PROGRESS->viewport()->repaint();
    } else {
        TXT_PROGRESS->viewport()->update();
    }
}

void QtMainWindow::ProcessEvents() {
    QCoreApplication::processEvents();
}

void QtMainWindow::WaitForEvents(std::chrono::milliseconds timeout) {
    // The timer is an event of its own: the wait ends with it at the latest.
    QTimer wakeUp;
    wakeUp.setSingleShot(true);
    wakeUp.start(timeout);
    QCoreApplication::processEvents(QEventLoop::AllEvents | QEventLoop::WaitForMoreEvents);
}

void QtMainWindow::ShowRunProgress(const RunProgress& progress) {
    SendLauncherEntryUpdate(progress);
    if (progress.wantsAttention && !isActiveWindow()) {
        QApplication::alert(this);
    }
}

}  // namespace orba::ui
