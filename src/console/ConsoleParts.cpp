#include "ConsoleParts.h"

#include <QDir>
#include <QMenuBar>

namespace console {

void ConsoleParts::formCreated(app::TMainF& window) {
    window_ = &window;
    QMenuBar* bar = window.menuBar();
    bar->setObjectName(QStringLiteral("MainMenu1"));
    N8 = bar->addMenu(QStringLiteral("Обработки"));
    N8->setObjectName(QStringLiteral("N8"));
    N8->menuAction()->setObjectName(QStringLiteral("N8Action"));

    auto addItem = [this](OperationId id, void (ConsoleParts::*handler)()) {
        const Operation& op = operation(id);
        QAction* item = N8->addAction(op.caption);
        item->setObjectName(op.item);
        item->setCheckable(true);
        item->setChecked(false);
        QObject::connect(item, &QAction::triggered, N8, [this, handler] { (this->*handler)(); });
        return item;
    };
    auto addSeparator = [this](const QString& name) {
        QAction* separator = N8->addSeparator();
        separator->setObjectName(name);
        return separator;
    };
    N1 = addItem(OperationId::Prepare, &ConsoleParts::N20181Click);
    N3 = addSeparator(QStringLiteral("N3"));
    N4 = addItem(OperationId::Convert, &ConsoleParts::N4Click);
    N5 = addItem(OperationId::ConvertNewDatabase, &ConsoleParts::N5Click);
    N7 = addSeparator(QStringLiteral("N7"));
    N31 = addItem(OperationId::Check, &ConsoleParts::N31Click);

    N2 = bar->addAction(QStringLiteral("&Изход"));
    N2->setObjectName(QStringLiteral("N2"));
    QObject::connect(N2, &QAction::triggered, &window, &app::TMainF::N2Click);
}

void ConsoleParts::startupFailed(app::TMainF&) {
    if (N8)
        N8->menuAction()->setVisible(false);
}

void ConsoleParts::N20181Click() {
    runOperation(OperationId::Prepare, N1);
}
void ConsoleParts::N4Click() {
    runOperation(OperationId::Convert, N4);
}
void ConsoleParts::N5Click() {
    runOperation(OperationId::ConvertNewDatabase, N5);
}
void ConsoleParts::N31Click() {
    runOperation(OperationId::Check, N31);
}

void ConsoleParts::runOperation(OperationId id, QAction* item) {
    // A click toggles a checkable item by itself; only the operation's outcome may tick it.
    item->setChecked(false);
    if (!window_ || !window_->DM)
        return;
    ReportLoader loader(*window_->DM, window_->boxes(), QDir::currentPath(), backupClock);
    OperationRunner runner(*window_->DM, window_->boxes(), *cursor, *stopwatch, loader);
    runner.run(operation(id), [item] {
        item->setEnabled(false);
        item->setChecked(true);
    });
}

} // namespace console
