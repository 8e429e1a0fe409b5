#include "ui/qt/main_window.h"

#include <algorithm>

#include <QCloseEvent>
#include <QCoreApplication>
#include <QDragEnterEvent>
#include <QDropEvent>
#include <QFileInfo>
#include <QFontMetricsF>
#include <QLabel>
#include <QLineEdit>
#include <QMimeData>
#include <QScrollBar>
#include <QTextEdit>

#include "app/identity.h"
#include "ui/layout_table.h"
#include "ui/qt/enter_click_button.h"
#include "ui/qt/qt_text.h"
#include "ui/start_up.h"

namespace orba::ui {

namespace {

const QColor kStartButtonColour(255, 192, 192);

QRect PixelRect(const ControlSpec& spec) {
    return {TwipsToPixels(spec.left), TwipsToPixels(spec.top), TwipsToPixels(spec.width),
            TwipsToPixels(spec.height)};
}

// Text of several lines, set as close as a Song font's lines: the CJK fonts that stand in for it
// on other systems have far more room between lines, and the notice would not fit its rectangle.
QString CompactLines(const QString& text, const QFont& font) {
    const double pixelSize = font.pointSizeF() * 96.0 / 72.0;
    const double percent =
        std::clamp(100.0 * 1.15 * pixelSize / QFontMetricsF(font).lineSpacing(), 60.0, 100.0);
    return QStringLiteral("<div style=\"white-space: pre-wrap; line-height: %1%\">%2</div>")
        .arg(qRound(percent))
        .arg(text.toHtmlEscaped()
                 .replace(QStringLiteral("  "), QStringLiteral("&nbsp;&nbsp;"))
                 .replace(u'\n', QStringLiteral("<br>")));
}

QWidget* CreateControl(const ControlSpec& spec, QWidget* parent) {
    switch (spec.kind) {
        case ControlKind::Label: {
            auto* label = new QLabel(parent);
            const QString text = ToDisplayText(spec.text);
            if (text.contains(u'\n')) {
                label->setTextFormat(Qt::RichText);
                label->setText(CompactLines(text, SongFont(spec.pointSize, spec.bold)));
            } else {
                label->setTextFormat(Qt::PlainText);
                label->setText(text);
            }
            label->setWordWrap(true);
            label->setAlignment(
                (spec.align == TextAlign::Centre ? Qt::AlignHCenter : Qt::AlignLeft) |
                Qt::AlignTop);
            label->setAutoFillBackground(true);
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
            return log;
        }
    }
    return nullptr;
}

}  // namespace

ORBAUpdateTool::ORBAUpdateTool(Desktop& desktop, QWidget* parent)
    : QWidget(parent), desktop_(desktop), runs_(desktop, *this) {
    setObjectName("ORBAUpdateTool");
    setWindowTitle(ToQString(identity::kProductName));
    setFont(SongFont(9, false));
    setFixedSize(TwipsToPixels(kClientWidthTwips), TwipsToPixels(kClientHeightTwips));
    setAcceptDrops(true);
    CreateControls();
}

ORBAUpdateTool::~ORBAUpdateTool() = default;

void ORBAUpdateTool::CreateControls() {
    for (const ControlSpec& spec : MainWindowControls()) {
        QWidget* control = CreateControl(spec, this);
        control->setObjectName(ToQString(spec.name));
        control->setGeometry(PixelRect(spec));
        control->setFont(SongFont(spec.pointSize, spec.bold));
        if (spec.tabIndex < 0 || spec.kind == ControlKind::Label) {
            control->setFocusPolicy(Qt::NoFocus);
        }
    }
    TXT_MOD_FILE = findChild<QLineEdit*>("TXT_MOD_FILE");
    TXT_OLD_FOLDER = findChild<QLineEdit*>("TXT_OLD_FOLDER");
    TXT_PROGRESS = findChild<QTextEdit*>("TXT_PROGRESS");
    BT_GO = findChild<QPushButton*>("BT_GO");
    BT_SELECT_MOD_FILE = findChild<QPushButton*>("BT_SELECT_MOD_FILE");
    BT_BROWSE_OLD_FOLDER = findChild<QPushButton*>("BT_BROWSE_OLD_FOLDER");
    BT_END = findChild<QPushButton*>("BT_END");
    BT_LINK_WEB = findChild<QPushButton*>("BT_LINK_WEB");

    auto* label7 = findChild<QLabel*>("Label7");
    QPalette white = label7->palette();
    white.setColor(QPalette::Window, Qt::white);
    label7->setPalette(white);

    findChild<QLabel*>("Image1")->setPixmap(QPixmap(":/orba/logo.jpg"));
    auto* qrCode = findChild<QLabel*>("IMG_QLX");
    qrCode->setPixmap(QPixmap(":/orba/qr.jpg"));
    qrCode->setToolTip(ToQString(kQrCodeTooltip));

    // A style sheet is what lets a push button show its own colour under every Qt style.
    BT_GO->setStyleSheet(
        QStringLiteral("QPushButton { background-color: %1; border: 1px solid "
                       "#9a7070; border-radius: 3px; }"
                       "QPushButton:focus { border: 2px solid #6a4040; }"
                       "QPushButton:pressed { background-color: %2; }")
            .arg(kStartButtonColour.name(), kStartButtonColour.darker(115).name()));

    TXT_PROGRESS->setPlainText(ToDisplayText(kInitialProgressLog));

    QWidget* previous = nullptr;
    for (const std::string_view name : kTabOrder) {
        auto* control = findChild<QWidget*>(ToQString(name));
        if (previous != nullptr) {
            setTabOrder(previous, control);
        }
        previous = control;
    }

    connect(BT_GO, &QPushButton::clicked, this, &ORBAUpdateTool::BT_GO_Click);
    connect(BT_SELECT_MOD_FILE, &QPushButton::clicked, this,
            &ORBAUpdateTool::BT_SELECT_MOD_FILE_Click);
    connect(BT_BROWSE_OLD_FOLDER, &QPushButton::clicked, this,
            &ORBAUpdateTool::BT_BROWSE_OLD_FOLDER_Click);
    connect(BT_END, &QPushButton::clicked, this, &ORBAUpdateTool::BT_END_Click);
    connect(BT_LINK_WEB, &QPushButton::clicked, this, &ORBAUpdateTool::BT_LINK_WEB_Click);
    BT_GO->setFocus();
}

void ORBAUpdateTool::Form_Load() {
    SetBoxes(DefaultBoxes(desktop_));
    CopyCOMDLG32OCX();
}

void ORBAUpdateTool::CopyCOMDLG32OCX() {
    ProvisionDialogControlFile(desktop_);
}

void ORBAUpdateTool::BT_GO_Click() {
    runs_.Start(TXT_MOD_FILE->text().toStdString(), TXT_OLD_FOLDER->text().toStdString());
}

void ORBAUpdateTool::BT_SELECT_MOD_FILE_Click() {
    SetBoxes(BoxesAfterTemplateChoice(Boxes(), desktop_.ChooseFileToOpen(kTemplateFilter)));
}

void ORBAUpdateTool::BT_BROWSE_OLD_FOLDER_Click() {
    TXT_OLD_FOLDER->setText(ToQString(
        FolderBoxAfterFolderChoice(TXT_OLD_FOLDER->text().toStdString(), BrowseForFolder())));
}

std::string ORBAUpdateTool::BrowseForFolder() {
    return desktop_.ChooseFolder(kFolderPickerTitle);
}

void ORBAUpdateTool::BT_END_Click() {
    hide();
    runs_.EndProgram();
}

void ORBAUpdateTool::BT_LINK_WEB_Click() {
    desktop_.OpenWebAddress(identity::kMakerWebAddress);
}

void ORBAUpdateTool::closeEvent(QCloseEvent* event) {
    runs_.WindowClosing();
    event->accept();
}

void ORBAUpdateTool::dragEnterEvent(QDragEnterEvent* event) {
    const QList<QUrl> urls = event->mimeData()->urls();
    if (!urls.isEmpty() && urls.front().isLocalFile()) {
        event->acceptProposedAction();
    }
}

void ORBAUpdateTool::dropEvent(QDropEvent* event) {
    const QList<QUrl> urls = event->mimeData()->urls();
    if (urls.isEmpty() || !urls.front().isLocalFile()) {
        return;
    }
    const QString path = urls.front().toLocalFile();
    SetBoxes(BoxesAfterDrop(Boxes(), path.toStdString(), QFileInfo(path).isDir()));
    event->acceptProposedAction();
}

PathBoxes ORBAUpdateTool::Boxes() const {
    return {TXT_MOD_FILE->text().toStdString(), TXT_OLD_FOLDER->text().toStdString()};
}

void ORBAUpdateTool::SetBoxes(const PathBoxes& boxes) {
    TXT_MOD_FILE->setText(ToQString(boxes.templateBox));
    TXT_OLD_FOLDER->setText(ToQString(boxes.folderBox));
}

void ORBAUpdateTool::AppendText(std::string_view entry) {
    QTextCursor end(TXT_PROGRESS->document());
    end.movePosition(QTextCursor::End);
    end.insertText(ToDisplayText(entry));
}

void ORBAUpdateTool::ShowEnd(Paint paint) {
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

void ORBAUpdateTool::ProcessEvents() {
    QCoreApplication::processEvents();
}

}  // namespace orba::ui
