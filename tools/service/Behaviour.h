#ifndef VANTORIX_SERVICE_BEHAVIOUR_H
#define VANTORIX_SERVICE_BEHAVIOUR_H

#include <QMap>
#include <QString>
#include <QUrlQuery>

#include <climits>

// How the stand-in misbehaves, for tests of the client's failure handling.
// The default is a well-behaved service. Set from the command line or, while
// it runs, with GET /control?name=value&... (the names below).
struct Behaviour {
    int delay = 0;               // "delay": milliseconds to wait before answering a post
    bool stall = false;          // "stall": send half an answer, then nothing more
    bool closeEarly = false;     // "close-early": send half an answer, then close the connection
    int status = 0;              // "status": answer posts with this HTTP status and an HTML page
    bool malformed = false;      // "malformed": answer posts with XML that does not parse
    bool empty = false;          // "empty": answer posts with status 200 and no body
    bool noActivationResult = false; // "no-activation-result": leave "ActivationResult" out
    bool noReportId = false;     // "no-report-id": answer support requests without a report id
    bool shortFiles = false;     // "short-files": cut every served file short, then close
    qint64 stallFiles = -1;      // "stall-files": send this many bytes of a served file, then nothing more
    bool noValidator = false;    // "no-validator": serve files without ETag and Last-Modified
    bool noLength = false;       // "no-length": serve files without Content-Length (the end is the close)
    bool noClient = false;       // "no-client": a Login that succeeds answers without a client record
    QString errorCode;           // "error-code": the errorCode of every answer that succeeds (empty: "0")
    // "redirect": a 302 from one of the stand-in's paths to another path or
    // to an http(s) address; "from=to", an empty "to" removes the redirect.
    QMap<QString, QString> redirects;

    // Adds or removes a redirect given as "from=to"; false (with a message)
    // when "from" is not a path or "to" is neither a path nor an http(s) address.
    bool addRedirect(const QString& text, QString* error)
    {
        const int equals = text.indexOf(QLatin1Char('='));
        const QString from = text.left(equals);
        const QString to = equals < 0 ? QString() : text.mid(equals + 1);
        if (equals < 0 || !from.startsWith(QLatin1Char('/'))) {
            *error = QStringLiteral("a redirect is <path>=<path or address>: ") + text;
            return false;
        }
        if (to.isEmpty()) {
            redirects.remove(from);
            return true;
        }
        if (!to.startsWith(QLatin1Char('/')) && !to.startsWith(QLatin1String("http://")) &&
            !to.startsWith(QLatin1String("https://"))) {
            *error = QStringLiteral("a redirect leads to a path or an http(s) address: ") + text;
            return false;
        }
        redirects.insert(from, to);
        return true;
    }

    // Reads the settings a control request names; the others keep their values.
    // False when a name is unknown or a value is not a number.
    bool apply(const QUrlQuery& query, QString* error)
    {
        for (const auto& item : query.queryItems(QUrl::FullyDecoded)) {
            const QString& name = item.first;
            if (name == QLatin1String("redirect")) {
                if (!addRedirect(item.second, error))
                    return false;
                continue;
            }
            if (name == QLatin1String("error-code")) {
                errorCode = item.second;
                continue;
            }
            bool ok = true;
            const qint64 number = item.second.isEmpty() ? 1 : item.second.toLongLong(&ok);
            if (!ok || number < INT_MIN || (number > INT_MAX && name != QLatin1String("stall-files"))) {
                *error = QStringLiteral("not a number: ") + name;
                return false;
            }
            if (name == QLatin1String("reset"))
                *this = Behaviour();
            else if (name == QLatin1String("delay"))
                delay = int(number);
            else if (name == QLatin1String("stall"))
                stall = number != 0;
            else if (name == QLatin1String("close-early"))
                closeEarly = number != 0;
            else if (name == QLatin1String("status"))
                status = int(number);
            else if (name == QLatin1String("malformed"))
                malformed = number != 0;
            else if (name == QLatin1String("empty"))
                empty = number != 0;
            else if (name == QLatin1String("no-activation-result"))
                noActivationResult = number != 0;
            else if (name == QLatin1String("no-report-id"))
                noReportId = number != 0;
            else if (name == QLatin1String("short-files"))
                shortFiles = number != 0;
            else if (name == QLatin1String("stall-files"))
                stallFiles = item.second.isEmpty() ? -1 : number;
            else if (name == QLatin1String("no-validator"))
                noValidator = number != 0;
            else if (name == QLatin1String("no-length"))
                noLength = number != 0;
            else if (name == QLatin1String("no-client"))
                noClient = number != 0;
            else {
                *error = QStringLiteral("unknown setting: ") + name;
                return false;
            }
        }
        return true;
    }
};

#endif
