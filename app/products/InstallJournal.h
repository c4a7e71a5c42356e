#ifndef INSTALLER_PRODUCTS_INSTALLJOURNAL_H
#define INSTALLER_PRODUCTS_INSTALLJOURNAL_H

#include "Serialise/XMLRecord.h"

#include <QLockFile>
#include <QString>
#include <QStringList>

#include <memory>
#include <vector>

namespace installer {

// Rows of the error table (32524) for what goes wrong in an install.
enum InstallErrorRow : short {
    outsideRow = 46,
    noFolderRow = 47,
    damagedEntryRow = 48,
    refusedArchiveRow = 49,
    moveAsideRow = 50,
    journalRow = 51,
};
// The row's text with $1 and $2 replaced.
vantorix::String installErrorText(InstallErrorRow row, const QString& first, const QString& second = QString());

// File helpers of the install, which never follow a link at the item itself:
// whether anything (a dangling link included) is at path; removes the item at
// path, a folder with everything in it, a link as the link; whether path
// (cleaned) is root or lies below it.
bool isPresent(const QString& path);
bool removeItem(const QString& path);
bool isWithin(const QString& path, const QString& root);

// One rename of an install (tag "move"): an item of the host application's
// folder moved aside into the staging folder, or a new item moved from the
// staging folder into place.
class JournalMove : public vantorix::XMLAssembly {
public:
    static const char* const tag;

    JournalMove() = default;
    JournalMove(const vantorix::String& from, const vantorix::String& to) : m_from(from), m_to(to) {}
    JournalMove(const JournalMove& other) = default;
    JournalMove& operator=(const JournalMove& other) = default;
    ~JournalMove() override;

    const vantorix::String& getFrom() const { return m_from; }
    const vantorix::String& getTo() const { return m_to; }

    const char* getTag() const override { return tag; }
    unsigned long shippingSize() const override { return 2; }
    vantorix::ShippingPtr getShipping(unsigned long index, bool forAttributes) override;
    vantorix::ShippingPtr getShipping(const vantorix::String& tag, const vantorix::String& nameSpace) override;
    void setDefault() override;

private:
    vantorix::String m_from;
    vantorix::String m_to;
};

// What an install is about to change in a host application's folder (tag
// "installjournal"), saved before the first change so that a run that dies
// half-way can be finished or undone at the next start:
//   state    "staging" while the new files are unpacked (nothing in the host
//            folder has changed yet), "swapping" once the moves begin;
//   root     the host application's folder, which every path lies in;
//   staging  the hidden folder beside the targets that holds the new files
//            and, once moved aside, the items they replace;
//   aside    the items moved aside (from their place into staging);
//   placed   the new items moved in (from staging into their place);
//   folders  the folders the install makes for its items, outermost first.
// The moves are done in that order: every item aside, the folders, every new
// item in. Whether each move happened is read from the disk, so the journal
// is written once per state and never between moves.
class InstallJournal : public vantorix::XMLAssembly {
public:
    static const char* const tag;
    static const char* const stagingState;   // "staging"
    static const char* const swappingState;  // "swapping"
    // The staging folder's name begins with this (a hidden folder).
    static const char* const stagingPrefix;  // ".vantorix-install-"

    InstallJournal() = default;
    ~InstallJournal() override;

    vantorix::String state;
    vantorix::String root;
    vantorix::String staging;
    vantorix::XMLList<JournalMove> aside{"aside"};
    vantorix::XMLList<JournalMove> placed{"placed"};
    vantorix::XMLList<vantorix::String> folders{"folders", "folder"};

    const char* getTag() const override { return tag; }
    unsigned long shippingSize() const override { return 6; }
    vantorix::ShippingPtr getShipping(unsigned long index, bool forAttributes) override;
    vantorix::ShippingPtr getShipping(const vantorix::String& tag, const vantorix::String& nameSpace) override;
    void setDefault() override;

    // Writes the journal to path whole (temporary file and rename), owner
    // only.
    bool save(const QString& path);
    bool load(const QString& path);
    // Every path where it must be: the staging folder a hidden folder of
    // ours directly in the root, moves and folders inside the root, the
    // staging side of each move inside the staging folder. A journal read
    // from disk is acted on only when this holds.
    bool isSound() const;

    // Whether every new item has been moved into place (the install is then
    // complete but for removing the staging folder).
    bool isComplete() const;
    // Puts everything back as it was before the install: new items out,
    // items aside back, made folders removed when empty, then the staging
    // folder removed. False when an item could not be put back; the staging
    // folder (which still holds it) is then kept.
    bool undo() const;
    // Removes the staging folder with the replaced items.
    bool finish() const;

    // The folder that holds the journals of running installs: "Journal" in
    // the user's preference folder of the installer, made when create is
    // set; empty when it is not there.
    static QString folder(bool create = true);
    // Finishes or undoes every install that a previous run left half done.
    // Journals of another user, or locked by a running install, are left
    // alone. Returns how many were dealt with.
    static int recover();
};

// One install's changes to a host application's folder, made so that each
// target ends either as it was or as the new version. The new items are
// written into a staging folder (hidden, in the host application's folder,
// so on the same volume), the items they replace are moved aside, the new
// ones moved in, and only then is the staging folder with the old copies
// removed. A failure anywhere puts back what was there; a run that dies is
// finished or undone by InstallJournal::recover at the next start.
class InstallTransaction {
public:
    explicit InstallTransaction(const QString& root);
    // Undoes an install that was begun and neither committed nor undone.
    ~InstallTransaction();
    InstallTransaction(const InstallTransaction&) = delete;
    InstallTransaction& operator=(const InstallTransaction&) = delete;

    // Saves the journal and makes the staging folder. False with error set
    // when either fails (nothing was changed then).
    bool begin(vantorix::String& error);
    // The staging path for a new item that goes to target; a second item for
    // the same target (in any letter case) replaces the first.
    QString addItem(const QString& target);
    // Registers an existing item to be moved aside (and removed on success).
    void moveAside(const QString& item);
    // Whether path is the staging folder of this or another install.
    static bool isStagingItem(const QString& name);
    const QString& getStaging() const { return m_staging; }

    // Saves the journal and does the moves, then removes the staging folder.
    // On failure everything is put back and error holds the reason.
    bool commit(vantorix::String& error);
    // Puts everything back (nothing happens when there is nothing to undo).
    void rollback();

    // For tests: the install stops after this many moves, as if the process
    // had died there (abandon true: nothing is put back and the journal
    // stays) or as if a move had failed (abandon false). Negative: never.
    static void setInterruption(int moves, bool abandon);

private:
    struct Item {
        QString target;
        QString staged;
    };

    bool move(const QString& from, const QString& to);
    void end();

    QString m_root;
    QString m_staging;
    QString m_journalPath;
    std::unique_ptr<QLockFile> m_lock;
    std::vector<Item> m_items;
    QStringList m_aside;
    InstallJournal m_journal;
    bool m_begun = false;
    int m_moves = 0;
};

} // namespace installer

#endif
