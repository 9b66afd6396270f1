#pragma once

#include "DataModule.h"
#include "MessageBoxes.h"

#include <QLabel>
#include <QMainWindow>
#include <QStatusBar>

#include <array>
#include <memory>

namespace app {

// What tells the two programs apart in the shared frame.
struct ProgramInfo {
    QString title;       // "Corvane" or "Vantrel"
    QString fileVersion; // four numbers joined by dots, or empty
    fb::ProgramKind kind = fb::ProgramKind::Console;
};

// The main window's frame, shared by both programs: caption, version label, four-panel
// status bar, the console's logo block, first activation and layout.
class TMainF : public QMainWindow, public fb::MainWindowLink {
    Q_OBJECT
public:
    TMainF(const ProgramInfo& info, MessageBoxes& boxes, QWidget* parent = nullptr);
    ~TMainF() override;

    bool bFirst = true;
    bool bConnected2DB = false;

    QLabel* Version = nullptr;
    QStatusBar* Status = nullptr;
    QWidget* Panel1 = nullptr; // console only
    QLabel* Image1 = nullptr;  // console only

    // The data module; absent until created, and when its creation failed.
    std::unique_ptr<fb::TDM> DM;

    const ProgramInfo& info() const { return info_; }
    MessageBoxes& boxes() const { return boxes_; }

    // The exact label text (lines joined by one CR).
    QString versionText() const { return versionText_; }
    QString statusText(int panel) const;
    QLabel* statusPanel(int panel) const { return panels_.at(static_cast<size_t>(panel)); }
    // The client area's size the window is first shown with.
    QSize designClientSize() const;

    // MainWindowLink
    bool connected2DB() const override { return bConnected2DB; }
    void setConnected2DB(bool connected) override { bConnected2DB = connected; }
    QString caption() const override { return windowTitle(); }
    void setCaption(const QString& caption) override { setWindowTitle(caption); }
    void setStatusText(int panel, const QString& text) override;

public slots:
    void FormActivate();
    void FormResize();
    void N2Click() { close(); }

protected:
    bool event(QEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;
    void showEvent(QShowEvent* event) override;

private:
    void FormCreate();
    void placeCentred();

    ProgramInfo info_;
    MessageBoxes& boxes_;
    QString versionText_;
    std::array<QLabel*, 4> panels_{};
    QWidget* panelStrip_ = nullptr;
    QWidget* client_ = nullptr;
};

} // namespace app
