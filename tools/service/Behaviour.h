#ifndef VANTORIX_SERVICE_BEHAVIOUR_H
#define VANTORIX_SERVICE_BEHAVIOUR_H

#include <QString>
#include <QUrlQuery>

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
    bool shortFiles = false;     // "short-files": cut every served file short, then close

    // Reads the settings a control request names; the others keep their values.
    // False when a name is unknown or a value is not a number.
    bool apply(const QUrlQuery& query, QString* error)
    {
        for (const auto& item : query.queryItems(QUrl::FullyDecoded)) {
            const QString& name = item.first;
            bool ok = true;
            const int number = item.second.isEmpty() ? 1 : item.second.toInt(&ok);
            if (!ok) {
                *error = QStringLiteral("not a number: ") + name;
                return false;
            }
            if (name == QLatin1String("reset"))
                *this = Behaviour();
            else if (name == QLatin1String("delay"))
                delay = number;
            else if (name == QLatin1String("stall"))
                stall = number != 0;
            else if (name == QLatin1String("close-early"))
                closeEarly = number != 0;
            else if (name == QLatin1String("status"))
                status = number;
            else if (name == QLatin1String("malformed"))
                malformed = number != 0;
            else if (name == QLatin1String("empty"))
                empty = number != 0;
            else if (name == QLatin1String("no-activation-result"))
                noActivationResult = number != 0;
            else if (name == QLatin1String("short-files"))
                shortFiles = number != 0;
            else {
                *error = QStringLiteral("unknown setting: ") + name;
                return false;
            }
        }
        return true;
    }
};

#endif
