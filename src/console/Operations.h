#pragma once

#include "DataModule.h"
#include "MessageBoxes.h"
#include "OperationServices.h"
#include "ReportLoader.h"

#include <QString>
#include <QStringList>

#include <array>
#include <functional>
#include <variant>
#include <vector>

namespace console {

// When an operation's menu item is disabled and ticked.
enum class DoneRule {
    Never,
    AfterProcedure,             // the procedure stage succeeded
    AfterProcedureAndTemplates, // ... and every template went through without a raised failure
};

struct ProcedureParam {
    QString name;
    std::variant<qint64, QString> value;
};

// Everything in which the four operations differ; the steps themselves are shared.
struct Operation {
    QString item;         // object name of the menu item
    QString caption;      // its text
    QString confirmation; // empty: no question asked
    QString statement;
    std::vector<ProcedureParam> params; // bound in this order
    QString resultColumn;               // read as text after the fetch; empty: none
    QString successPrefix;              // followed by the elapsed time
    QString resultLabel;                // then, with the result column's text
    QString procedureFailure;           // followed by the failure's own message
    QString notice;                     // shown after success and the item's change; empty: none
    DoneRule done = DoneRule::Never;
    QStringList templates; // replaced in this order after the procedure stage
    QString templateFailure;
};

enum class OperationId { Prepare = 0, Convert = 1, ConvertNewDatabase = 2, Check = 3 };

const Operation& operation(OperationId id);
const std::array<Operation, 4>& operations();

// Runs one operation against the data module: the procedure stage (confirmation, wait
// cursor, the statement through the run-statement routine, the outcome's message) and then,
// for operations with templates, the template stage.
class OperationRunner {
public:
    enum class ProcedureOutcome { Declined, Failed, Succeeded };

    OperationRunner(fb::TDM& dm, app::MessageBoxes& boxes, CursorControl& cursor, Stopwatch& stopwatch,
                    ReportLoader& loader)
        : dm_(dm), boxes_(boxes), cursor_(cursor), stopwatch_(stopwatch), loader_(loader) {}

    // `markDone` disables and ticks the operation's item; it is called when the operation's
    // rule says so.
    void run(const Operation& op, const std::function<void()>& markDone);

    ProcedureOutcome runProcedureStage(const Operation& op, const std::function<void()>& markDone);
    // True when every template went through LoadReport without a raised failure.
    bool runTemplateStage(const Operation& op);

private:
    void rollbackRetainingQuietly();

    fb::TDM& dm_;
    app::MessageBoxes& boxes_;
    CursorControl& cursor_;
    Stopwatch& stopwatch_;
    ReportLoader& loader_;
};

} // namespace console
