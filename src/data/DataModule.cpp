#include "DataModule.h"

#include <QDir>
#include <QtGlobal>
#include <QCoreApplication>

namespace fb {

const QString TDM::kLogSelect = QStringLiteral("select * from EURO_LOG");
const QString TDM::kLogSelectOrdered = QStringLiteral("select * from EURO_LOG order by LOG_ID desc");

ConnectionSettings ConnectionSettings::fromProcess() {
    ConnectionSettings settings;
    settings.arguments = QCoreApplication::arguments().mid(1);
    settings.currentFolder = QDir::currentPath();
    // The client library's own convention: an office can use its own login without a rebuild.
    if (qEnvironmentVariableIsSet("ISC_USER"))
        settings.userName = qEnvironmentVariable("ISC_USER");
    if (qEnvironmentVariableIsSet("ISC_PASSWORD"))
        settings.password = qEnvironmentVariable("ISC_PASSWORD");
    return settings;
}

QString ConnectionSettings::databaseName() const {
    if (!arguments.isEmpty())
        return arguments.first();
    QString folder = QDir::toNativeSeparators(currentFolder);
    if (!folder.endsWith(QDir::separator()))
        folder += QDir::separator();
    return QStringLiteral("127.0.0.1:") + folder + QStringLiteral("Tarvel.FDB");
}

TDM::TDM(ProgramKind kind, MainWindowLink& window, ConnectionSettings settings)
    : IBT(IBD), IBSQL(IBD, IBT), IBQ(IBD, IBT), IBReports(IBD, IBT), IBEuroLog(IBD, IBT),
      DIBEuroLog(&IBEuroLog), kind_(kind), window_(window), settings_(std::move(settings)) {
    IBD.Params = {QStringLiteral("user_name=") + settings_.userName,
                  QStringLiteral("password=") + settings_.password,
                  QStringLiteral("lc_ctype=") + settings_.charset};
    IBD.BeforeConnect = [this] { IBDBeforeConnect(); };
    IBD.AfterConnect = [this] { IBDAfterConnect(); };
    IBT.Params = {QStringLiteral("read_committed"), QStringLiteral("rec_version"), QStringLiteral("nowait")};
    IBReports.setSelectSQL(QStringLiteral("select * from REPORTS order by id"));
    IBReports.setModifySQL(QStringLiteral("update REPORTS\nset\n  DESCR = :DESCR\nwhere\n  ID = :OLD_ID"));
    IBEuroLog.setSelectSQL(kLogSelect);
    IBEuroLog.setInlineTextBlobs(true);

    if (kind_ != ProgramKind::Monitor)
        return;
    // The monitor connects while it is set up; a failed first attempt is dropped here and
    // opening the log below tries once more, and that failure fails the creation.
    try {
        IBD.Open();
        if (IBD.Connected() && !IBT.Active())
            IBT.StartTransaction();
    } catch (const std::exception&) {
    }
    IBEuroLog.Open();
    IBEuroLog.FetchAll();
}

TDM::~TDM() {
    // Detach explicitly so that a lost connection is released quietly.
    IBEuroLog.Close();
    IBReports.Close();
    IBQ.Close();
    try {
        if (IBT.Active())
            IBT.Commit();
    } catch (const std::exception&) {
    }
    try {
        IBD.Close();
    } catch (const std::exception&) {
    }
}

void TDM::IBDBeforeConnect() {
    IBD.DatabaseName = settings_.databaseName();
    window_.setConnected2DB(false);
}

void TDM::IBDAfterConnect() {
    QString firmId;
    try {
        IBQ.Close();
        IBQ.setSelectSQL(QStringLiteral("select id,name,grad from firma"));
        IBQ.Open();
        IBQ.FieldByName(QStringLiteral("ID")).asInteger(); // must be a number
        firmId = IBQ.FieldByName(QStringLiteral("ID")).asString();
        IBQ.Close();
        window_.setConnected2DB(true);
    } catch (const std::exception&) {
    }
    if (window_.connected2DB()) {
        window_.setCaption(window_.caption() + QStringLiteral(",  Рег.№ ") + firmId);
        window_.setStatusText(1, IBD.DatabaseName);
    }
    if (kind_ != ProgramKind::Console)
        return;
    // Each run of the console starts with an empty log.
    try {
        if (!IBT.Active())
            IBT.StartTransaction();
        IBSQL.Close();
        IBSQL.setSQL(QStringLiteral("delete from EURO_LOG"));
        IBSQL.Prepare();
        IBSQL.ExecQuery();
        if (IBT.Active())
            IBT.CommitRetaining();
    } catch (const std::exception&) {
        rollbackRetainingQuietly();
    }
}

void TDM::RunStatement(const QString& sql, const Binder& bindParams, const Binder& readColumns) {
    try {
        IBSQL.Close();
        IBSQL.setSQL(sql);
        IBSQL.Prepare();
        if (bindParams)
            bindParams(IBSQL);
        if (!IBT.Active())
            IBT.StartTransaction();
        IBSQL.ExecQuery();
        if (readColumns)
            readColumns(IBSQL);
        if (IBT.Active())
            IBT.CommitRetaining();
        IBSQL.Close();
    } catch (...) {
        rollbackRetainingQuietly();
        throw;
    }
}

void TDM::rollbackRetainingQuietly() {
    try {
        if (IBT.Active())
            IBT.RollbackRetaining();
    } catch (const std::exception&) {
    }
}

} // namespace fb
