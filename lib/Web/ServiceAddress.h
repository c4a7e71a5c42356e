#ifndef VANTORIX_WEB_SERVICEADDRESS_H
#define VANTORIX_WEB_SERVICEADDRESS_H

#include "Utility/String.h"

// Where the vendor's service lives. The host and the base URI are settings of
// the build; a build for another service defines them on the compiler's
// command line.
#ifndef VANTORIX_SERVICE_HOST
#define VANTORIX_SERVICE_HOST "services.vantorix.example"
#endif
#ifndef VANTORIX_SERVICE_BASE_URI
#define VANTORIX_SERVICE_BASE_URI "https://services.vantorix.example/registration2"
#endif

namespace vantorix {

// The address of the vendor's web service and the names of its operations.
//
// The environment variable VANTORIX_SERVICE_URL (scheme, host and port, for
// example "http://127.0.0.1:8443") replaces the built-in scheme and host at run
// time, so that the installer and its tests can talk to a local stand-in;
// plain "http" is taken only for a loopback host (see allowsPlainHttp()), and a
// post to any other host over http is refused (error 4, logged). The
// base URI is the service's XML namespace and the stem of every SOAP action; it
// names the service rather than the machine it runs on, so it never changes.
class ServiceAddress {
public:
    static const char* const defaultHost;
    static const char* const baseURI;
    // The one path that every operation is posted to.
    static const char* const path;
    static const char* const urlVariable;

    // Operation names.
    static const char* const login;
    static const char* const productListing;
    static const char* const productListingEdu;
    static const char* const installerVersion;
    static const char* const reporting;

    // The host, with ":port" when the address gives one, without scheme.
    static String getHost();
    // Whether posts go over HTTPS (always, unless VANTORIX_SERVICE_URL says http).
    static bool isSecure();
    // Whether host (a name or address literal, without port) may be reached
    // over plain http: only loopback - 127.0.0.0/8, ::1 and "localhost" - where
    // the local stand-in runs, so that a sign-in never crosses a network in
    // clear text.
    static bool allowsPlainHttp(const String& host);
    static String getBaseURI() { return String(baseURI); }
    // The SOAP action of an operation: the base URI, "/" and the name.
    static String getAction(const String& operation);
    // The response element of an operation: the name followed by "Response".
    static String getResponseTag(const String& operation);
    // "https://host[:port]" (or "http://..."), without a trailing "/".
    static String getServiceRoot();
};

} // namespace vantorix

#endif
