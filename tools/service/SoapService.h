#ifndef VANTORIX_SERVICE_SOAPSERVICE_H
#define VANTORIX_SERVICE_SOAPSERVICE_H

#include "Behaviour.h"

#include <QByteArray>
#include <QString>

class ServiceData;

// Answers the installer's SOAP 1.1 operations the way an ASP.NET web service
// does: "soap"-prefixed envelope, "text/xml; charset=utf-8", faults as
// "soap:Fault" with HTTP status 500. Requests are read with Qt's own XML
// reader, independently of the installer's, so that the client's output is
// checked by a second, strict reader.
class SoapService {
public:
    struct Answer {
        int status = 200;
        QByteArray contentType = "text/xml; charset=utf-8";
        QByteArray body;
        // For the stand-in's log: the operation and its outcome, never a password.
        QString summary;
    };

    explicit SoapService(ServiceData& data) : m_data(data) {}

    Answer answer(const QByteArray& soapAction, const QByteArray& contentType, const QByteArray& body,
                  const Behaviour& behaviour);

    // The WSDL 1.1 description of the five operations (document/literal,
    // SOAP 1.1), with the port at root's service path.
    static QByteArray wsdl(const QString& root);

    static const char* const envelopeNamespace;

private:
    struct Request;

    Answer fault(const QString& code, const QString& text) const;
    Answer result(const Request& request, bool activated, const QString& tools, const QString& errorCode,
                  const QString& errorDescription, const Behaviour& behaviour) const;
    Answer login(const Request& request, const Behaviour& behaviour);
    Answer listing(const Request& request, bool educational, const Behaviour& behaviour);
    Answer installerVersion(const Request& request, const Behaviour& behaviour);
    Answer reporting(const Request& request, const QByteArray& body, const Behaviour& behaviour);

    ServiceData& m_data;
};

#endif
