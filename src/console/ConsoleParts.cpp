#include "ConsoleParts.h"

#include <QMenuBar>

namespace console {

void ConsoleParts::formCreated(app::TMainF& window) {
    QMenuBar* bar = window.menuBar();
    bar->setObjectName(QStringLiteral("MainMenu1"));
    N8 = bar->addMenu(QStringLiteral("Обработки"));
    N8->setObjectName(QStringLiteral("N8"));
    N8->menuAction()->setObjectName(QStringLiteral("N8Action"));
    N2 = bar->addAction(QStringLiteral("&Изход"));
    N2->setObjectName(QStringLiteral("N2"));
    QObject::connect(N2, &QAction::triggered, &window, &app::TMainF::N2Click);
}

void ConsoleParts::startupFailed(app::TMainF&) {
    if (N8)
        N8->menuAction()->setVisible(false);
}

} // namespace console
