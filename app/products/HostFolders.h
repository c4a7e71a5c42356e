#ifndef INSTALLER_PRODUCTS_HOSTFOLDERS_H
#define INSTALLER_PRODUCTS_HOSTFOLDERS_H

#include <QString>
#include <QStringList>

namespace vantorix {
class Application;
}

namespace installer {

// Where a product's items may lie in a host application's folder. Installs
// place, and uninstalls remove, only items this allows: the one rule for
// both, so that neither a manifest nor a record (which every user of the
// machine can write) can point either at the host itself.
class HostFolders {
public:
    explicit HostFolders(const vantorix::Application& application);

    // The host application's folder, cleaned; empty when it is not there.
    const QString& root() const { return m_root; }

    enum Verdict { allowed, outside, hostOwned };
    // Whether a product may own the item at path: it lies below the host's
    // folder (links on the way counted for where they lead), and is neither
    // that folder, nor the host's application bundle or anything in it, nor
    // one of the host's folders for a type of file or a folder holding one.
    Verdict judge(const QString& path) const;
    bool mayHold(const QString& path) const { return judge(path) == allowed; }

    // The item an installation record's entry stands for: a bundle's
    // executable ("<bundle>/Contents/MacOS/<name>") stands for the bundle; a
    // made folder is recorded with a trailing "/", which is dropped.
    static QString itemOf(const QString& recorded);
    // Whether a recorded entry is a folder that an install made.
    static bool isFolderEntry(const QString& recorded);

private:
    QString m_root;
    QString m_canonicalRoot;
    QStringList m_typeFolders;
};

} // namespace installer

#endif
