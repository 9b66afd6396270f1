#include "Operations.h"

#include "ConsoleError.h"

namespace console {

namespace {

const QChar kBreak = QLatin1Char('\r');

QString confirmationText(const QString& firstLine) {
    return QStringList{firstLine, QStringLiteral("Изпълнява се след 01.01.2026."),
                       QStringLiteral("Направихте ли АРХИВ?"), QString(),
                       QStringLiteral("Потвърдете внимателно")}
        .join(kBreak);
}

std::array<Operation, 4> makeOperations() {
    const QString conversionSql = QStringLiteral("select ARESULT from EURO_CONVERSION(:ACURRENCY,:AFULL)");
    const QString conversionSuccess = QStringLiteral("<Преминаване към Еврото> премина УСПЕШНО за ");
    const QString conversionFailure = QStringLiteral("Грешка при изпълнение на EURO_CONVERSION: ") + kBreak;

    Operation prepare;
    prepare.item = QStringLiteral("N1");
    prepare.caption = QStringLiteral("1. <Подготовка за въвеждане на Еврото>");
    prepare.statement =
        QStringLiteral("select RESULT from EURO_READINESS(:UPDATE_ALL_DATA,:DISABLE_ALL_TRIGGERS)");
    prepare.params = {{QStringLiteral("UPDATE_ALL_DATA"), qint64(1)},
                      {QStringLiteral("DISABLE_ALL_TRIGGERS"), qint64(1)}};
    prepare.successPrefix = QStringLiteral("Актуализацията <ПОДГОТОВКА ЗА ЕВРО> премина УСПЕШНО за ");
    prepare.procedureFailure = QStringLiteral("Грешка при изпълнение на EURO_READINESS: "); // same line
    prepare.done = DoneRule::AfterProcedureAndTemplates;
    prepare.templates = {QStringLiteral("BILLBEFORE"), QStringLiteral("INVOICE"), QStringLiteral("IORDER"),
                         QStringLiteral("EORDER")};
    prepare.templateFailure = QStringLiteral("НЕУСПЕШНО изпълнение") + kBreak;

    Operation convert;
    convert.item = QStringLiteral("N4");
    convert.caption = QStringLiteral("2.1. <Преминаване към Еврото> - превалутиране");
    convert.confirmation = confirmationText(QStringLiteral("<Преминаване към Еврото> - превалутиране."));
    convert.statement = conversionSql;
    convert.params = {{QStringLiteral("ACURRENCY"), QStringLiteral("EUR")},
                      {QStringLiteral("AFULL"), qint64(1)}};
    convert.successPrefix = conversionSuccess;
    convert.procedureFailure = conversionFailure;
    convert.done = DoneRule::AfterProcedure;

    Operation fresh = convert;
    fresh.item = QStringLiteral("N5");
    fresh.caption = QStringLiteral("2.2. <Преминаване към Еврото> - нова БД");
    fresh.confirmation = confirmationText(QStringLiteral("<Преминаване към Еврото> - нова БД."));
    fresh.params = {{QStringLiteral("ACURRENCY"), QStringLiteral("EUR")},
                    {QStringLiteral("AFULL"), qint64(0)}};
    fresh.notice = QStringLiteral("Свържете се с ЗЕЛТРОН за нулиране на данните");

    Operation check;
    check.item = QStringLiteral("N31");
    check.caption = QStringLiteral("3. <Проверка на данните> след преминаване към Евро");
    check.statement = QStringLiteral("select ARESULT from EURO_TROUBLESHOOTER");
    check.resultColumn = QStringLiteral("ARESULT");
    check.successPrefix = QStringLiteral("<Проверка на данните> премина УСПЕШНО за ");
    check.resultLabel = kBreak + QStringLiteral("Корекции: ");
    check.procedureFailure = QStringLiteral("Грешка при изпълнение на EURO_TROUBLESHOOTER: ") + kBreak;
    check.done = DoneRule::Never;
    check.templates = {QStringLiteral("IORDER"), QStringLiteral("EORDER")};
    check.templateFailure = QStringLiteral("Грешка при изпълнение на LoadReport") + kBreak;

    return {prepare, convert, fresh, check};
}

} // namespace

const std::array<Operation, 4>& operations() {
    static const std::array<Operation, 4> table = makeOperations();
    return table;
}

const Operation& operation(OperationId id) {
    return operations()[static_cast<size_t>(id)];
}

void OperationRunner::run(const Operation& op, const std::function<void()>& markDone) {
    const ProcedureOutcome outcome = runProcedureStage(op, markDone);
    if (outcome == ProcedureOutcome::Declined || op.templates.isEmpty())
        return;
    // The template stage runs whether the procedure stage succeeded or not.
    const bool templatesDone = runTemplateStage(op);
    if (op.done == DoneRule::AfterProcedureAndTemplates && templatesDone &&
        outcome == ProcedureOutcome::Succeeded && markDone)
        markDone();
}

OperationRunner::ProcedureOutcome OperationRunner::runProcedureStage(const Operation& op,
                                                                     const std::function<void()>& markDone) {
    if (!op.confirmation.isEmpty() && !boxes_.confirm(op.confirmation))
        return ProcedureOutcome::Declined;

    WaitCursorGuard wait(cursor_);
    stopwatch_.start();
    QString result;
    QString failure;
    bool failed = false;
    try {
        // Close, set, prepare, bind, start IBT if needed, execute with the first fetch, read,
        // commit retaining, close; a failure is rolled back retaining in there.
        dm_.RunStatement(
            op.statement,
            [&op](fb::TIBSQL& sql) {
                for (const ProcedureParam& param : op.params) {
                    if (const auto* number = std::get_if<qint64>(&param.value))
                        sql.ParamByName(param.name).setAsInteger(*number);
                    else
                        sql.ParamByName(param.name).setAsString(std::get<QString>(param.value));
                }
            },
            [&op, &result](fb::TIBSQL& sql) {
                // No row, or a NULL, reads as empty text.
                if (!op.resultColumn.isEmpty())
                    result = sql.FieldByName(op.resultColumn).asString();
            });
    } catch (const std::exception& e) {
        failed = true;
        failure = errorText(e);
    } catch (...) {
        failed = true;
        failure = QStringLiteral("Неизвестна грешка");
    }
    wait.release();

    if (failed) {
        boxes_.plain(op.procedureFailure + failure);
        return ProcedureOutcome::Failed;
    }
    QString message = op.successPrefix + elapsedText(stopwatch_.elapsedMs());
    if (!op.resultColumn.isEmpty())
        message += op.resultLabel + result;
    boxes_.information(message);
    if (op.done == DoneRule::AfterProcedure && markDone)
        markDone();
    if (!op.notice.isEmpty())
        boxes_.plain(op.notice);
    return ProcedureOutcome::Succeeded;
}

bool OperationRunner::runTemplateStage(const Operation& op) {
    try {
        for (const QString& name : op.templates)
            loader_.LoadReport(name);
        return true;
    } catch (const std::exception& e) {
        rollbackRetainingQuietly();
        boxes_.plain(op.templateFailure + errorText(e));
    } catch (...) {
        rollbackRetainingQuietly();
        boxes_.plain(op.templateFailure + QStringLiteral("Неизвестна грешка"));
    }
    return false;
}

void OperationRunner::rollbackRetainingQuietly() {
    try {
        if (dm_.IBT.Active())
            dm_.IBT.RollbackRetaining();
    } catch (const std::exception&) {
    }
}

} // namespace console
