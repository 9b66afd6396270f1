#include "MonitorParts.h"

namespace monitor {

void MonitorParts::formCreated(app::TMainF& window) {
    cxGrid1 = new QTableView(&window);
    cxGrid1->setObjectName(QStringLiteral("cxGrid1"));
    window.setCentralWidget(cxGrid1);
}

} // namespace monitor
