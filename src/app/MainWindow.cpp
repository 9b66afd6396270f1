#include "MainWindow.h"

#include "Frame.h"

#include <QApplication>
#include <QDir>
#include <QEvent>
#include <QGuiApplication>
#include <QMenuBar>
#include <QScreen>
#include <QTimer>

namespace app {

namespace {
constexpr int kStatusHeight = 21;
constexpr int kLogoSize = 256;
constexpr int kVersionTop = 8;
constexpr int kVersionRightMargin = 22;
const QSize kConsoleClient(660, 366);
const QSize kMonitorClient(660, 391);
} // namespace

TMainF::TMainF(const ProgramInfo& info, MessageBoxes& boxes, QWidget* parent)
    : QMainWindow(parent), info_(info), boxes_(boxes) {
    setObjectName(QStringLiteral("MainF"));
    setWindowTitle(info_.title);
    setWindowIcon(QApplication::windowIcon());

    client_ = new QWidget(this);
    client_->setObjectName(QStringLiteral("client"));
    setCentralWidget(client_);

    Version = new QLabel(client_);
    Version->setObjectName(QStringLiteral("Version"));
    Version->setAlignment(Qt::AlignRight | Qt::AlignTop);
    Version->setAttribute(Qt::WA_TranslucentBackground);

    Status = new QStatusBar(this);
    Status->setObjectName(QStringLiteral("Status"));
    Status->setSizeGripEnabled(false);
    Status->setFixedHeight(kStatusHeight);
    Status->setContentsMargins(0, 0, 0, 0);
    // The panels are placed by hand in FormResize: laid out by the bar, their widths would
    // feed back into the window's minimum size and make it grow on every resize.
    panelStrip_ = new QWidget(Status);
    panelStrip_->setObjectName(QStringLiteral("StatusPanels"));
    panelStrip_->setSizePolicy(QSizePolicy::Ignored, QSizePolicy::Ignored);
    Status->addWidget(panelStrip_, 1);
    for (size_t i = 0; i < panels_.size(); ++i) {
        auto* panel = new QLabel(panelStrip_);
        panel->setObjectName(QStringLiteral("StatusPanel%1").arg(i));
        panel->setFrameShape(QFrame::StyledPanel);
        panel->setTextInteractionFlags(Qt::TextSelectableByMouse);
        panel->setSizePolicy(QSizePolicy::Ignored, QSizePolicy::Ignored);
        panels_[i] = panel;
    }
    setStatusBar(Status);

    if (info_.kind == fb::ProgramKind::Console) {
        Panel1 = new QWidget(client_);
        Panel1->setObjectName(QStringLiteral("Panel1"));
        Image1 = new QLabel(Panel1);
        Image1->setObjectName(QStringLiteral("Image1"));
        Image1->setPixmap(QPixmap(QStringLiteral(":/logo-256.png")));
        Image1->setFixedSize(kLogoSize, kLogoSize);
        Panel1->setFixedSize(kLogoSize, kLogoSize);
    }

    FormCreate();
    placeCentred();
}

TMainF::~TMainF() = default;

void TMainF::FormCreate() {
    bFirst = true;
    versionText_ = versionLabelText(info_.fileVersion);
    Version->setText(displayText(versionText_));
    Version->adjustSize();
}

QSize TMainF::designClientSize() const {
    return info_.kind == fb::ProgramKind::Console ? kConsoleClient : kMonitorClient;
}

void TMainF::placeCentred() {
    // The client area excludes the menu bar; the status bar lies inside it.
    QSize size = designClientSize();
    if (info_.kind == fb::ProgramKind::Console)
        size.rheight() += menuBar()->sizeHint().height();
    resize(size);
    if (const QScreen* screen = QGuiApplication::primaryScreen()) {
        QRect area(QPoint(0, 0), size);
        area.moveCenter(screen->availableGeometry().center());
        move(area.topLeft());
    }
}

QString TMainF::statusText(int panel) const { return panels_.at(static_cast<size_t>(panel))->text(); }

void TMainF::setStatusText(int panel, const QString& text) { panels_.at(static_cast<size_t>(panel))->setText(text); }

bool TMainF::event(QEvent* event) {
    if (event->type() == QEvent::WindowActivate && bFirst) {
        // Run after the activation itself has been handled.
        QTimer::singleShot(0, this, &TMainF::FormActivate);
    }
    return QMainWindow::event(event);
}

void TMainF::FormActivate() {
    if (!bFirst)
        return;
    showMaximized();
    QApplication::processEvents();
    bFirst = false;
    if (!CanWriteToFolder(QDir::currentPath()))
        boxes_.plain(QStringLiteral("Нямате ПРАВА за запис на файлове в текущата папка"));
}

void TMainF::resizeEvent(QResizeEvent* event) {
    QMainWindow::resizeEvent(event);
    FormResize();
}

void TMainF::showEvent(QShowEvent* event) {
    QMainWindow::showEvent(event);
    FormResize();
}

void TMainF::FormResize() {
    if (Panel1) {
        const QRect outer = frameGeometry();
        Panel1->move(logoLeft(outer.width(), Panel1->width()), logoTop(outer.height(), Panel1->height()));
    }
    Version->adjustSize();
    Version->move(client_->width() - kVersionRightMargin - Version->width(), kVersionTop);
    int left = 0;
    for (QLabel* panel : panels_) {
        const int panelWidth = statusPanelWidth(width());
        panel->setGeometry(left, 0, panelWidth, kStatusHeight);
        left += panelWidth;
    }
}

} // namespace app
