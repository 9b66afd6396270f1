#include "MonitorParts.h"

#include <QCoreApplication>
#include <QVBoxLayout>

namespace monitor {

void MonitorParts::formCreated(app::TMainF& window) {
    window_ = &window;
    // The grid fills the client area and lies over the version label, which stays in place
    // for the frame to manage.
    QWidget* client = window.centralWidget();
    cxGrid1 = new LogGrid(client);
    auto* layout = new QVBoxLayout(client);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->addWidget(cxGrid1);
    cxGrid1->raise();
    cxGrid1->setFocus();

    аTimer = new QTimer(&window);
    аTimer->setObjectName(QStringLiteral("\u0430Timer"));
    аTimer->setInterval(kRefreshInterval);
    QObject::connect(аTimer, &QTimer::timeout, &window, [this] { аTimerTimer(); });
    аTimer->start();
}

void MonitorParts::dataModuleCreated(app::TMainF& window) {
    if (window.DM)
        cxGrid1->setDataSource(&window.DM->DIBEuroLog);
}

void MonitorParts::аTimerTimer() {
    if (window_ && window_->bConnected2DB && window_->DM) {
        fb::TIBDataSet& log = window_->DM->IBEuroLog;
        try {
            log.Close();
            // A new text: the statement is prepared anew on every open.
            log.setSelectSQL(fb::TDM::kLogSelectOrdered);
            log.Open();
            log.FetchAll();
        } catch (...) {
            // A half-read log would look complete: show none of it until a tick succeeds.
            try {
                log.Close();
            } catch (...) {
            }
        }
        rowsDump_.write(*cxGrid1);
    }
    QCoreApplication::processEvents();
}

} // namespace monitor
