#include "FbClient.h"

#include <ibase.h>

#include <QStringList>

namespace fb::detail {

Firebird::IMaster* master() {
    static Firebird::IMaster* const instance = Firebird::fb_get_master_interface();
    return instance;
}

Firebird::IProvider* provider() {
    // Lives for the whole process; the client library tears it down at exit.
    static Firebird::IProvider* const instance = master()->getDispatcher();
    return instance;
}

Firebird::IUtil* util() {
    static Firebird::IUtil* const instance = master()->getUtilInterface();
    return instance;
}

QString statusText(const ISC_STATUS* vector, const TextCodec& codec) {
    QStringList lines;
    char buffer[1024];
    const ISC_STATUS* cursor = vector;
    while (fb_interpret(buffer, sizeof buffer, &cursor) > 0)
        lines.append(codec.decode(buffer, static_cast<qsizetype>(qstrlen(buffer))));
    QString text = lines.join(QStringLiteral("\r\n"));
    if (text.endsWith(QLatin1Char('.')))
        text.chop(1);
    return text;
}

void raise(const Firebird::FbException& e, const TextCodec& codec) {
    const ISC_STATUS* vector = e.getStatus()->getErrors();
    const long code = (vector[0] == isc_arg_gds) ? static_cast<long>(vector[1]) : 0;
    throw DbError(statusText(vector, codec), code);
}

} // namespace fb::detail
