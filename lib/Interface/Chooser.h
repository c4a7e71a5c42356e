#ifndef VANTORIX_INTERFACE_CHOOSER_H
#define VANTORIX_INTERFACE_CHOOSER_H

#include "Utility/String.h"

#include <functional>

class QWidget;

namespace vantorix {

// The file and folder choosers behind DataFile::promptOpen,
// DataFile::promptSave and Directory::promptOpen: thin layers over
// QFileDialog.
//
// Scripting: like the alert boxes, every chooser goes through one
// process-wide hook. With a responder installed (setResponder or
// ScopedResponder) no dialog is shown: the responder receives the Request and
// returns the chosen path, or an empty text for a cancel. With no responder
// the real QFileDialog runs modally. Tests always install one.
class Chooser {
public:
    enum Kind { openFile, saveFile, openFolder };

    struct Request {
        Kind kind = openFile;
        String title;
        // For files: the type's name, its extension without the dot, and the
        // dialog filter built from them: typeName + " (*." + extension + ")".
        String typeName;
        String extension;
        String filter;
        QWidget* parent = nullptr;
    };

    using Responder = std::function<String(const Request&)>;

    // Installs responder (an empty one restores the real dialogs) and
    // returns the one it replaces.
    static Responder setResponder(Responder responder);

    class ScopedResponder {
    public:
        explicit ScopedResponder(Responder responder);
        ~ScopedResponder();
        ScopedResponder(const ScopedResponder&) = delete;
        ScopedResponder& operator=(const ScopedResponder&) = delete;

    private:
        Responder m_previous;
    };

    // The chosen path, or empty when the user cancelled. A saved file's path
    // always ends in "." + extension.
    static String choose(const Request& request);

    static Request fileRequest(Kind kind, const String& title, const String& typeName, const String& extension,
                               QWidget* parent);

private:
    static String showDialog(const Request& request);
};

} // namespace vantorix

#endif
