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
    unwritableFolderRow = 63,
    recordRow = 64,
    refusedItemRow = 65,
    noSpaceRow = 66,
    emptyBundleRow = 67,
    nameClashRow = 68,
    uninstallRow = 69,
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
// The row's text for a folder that cannot be written.
vantorix::String unwritableFolderText(const QString& folder);

// One item of an install or uninstall (tag "item"): its place (target), the
// staged new version beside it (new, empty when the item goes away) and the
// name beside it that the item there now is moved to (old, empty when there
// is nothing to replace). new and old lie in the target's own folder, so
// every move is a rename on one volume.
class JournalItem : public vantorix::XMLAssembly {
public:
    static const char* const tag;

    JournalItem() = default;
    JournalItem(const vantorix::String& target, const vantorix::String& fresh, const vantorix::String& old)
        : m_target(target), m_new(fresh), m_old(old)
    {
    }
    JournalItem(const JournalItem& other) = default;
    JournalItem& operator=(const JournalItem& other) = default;
    ~JournalItem() override;

    const vantorix::String& getTarget() const { return m_target; }
    const vantorix::String& getNew() const { return m_new; }
    const vantorix::String& getOld() const { return m_old; }

    const char* getTag() const override { return tag; }
    unsigned long shippingSize() const override { return 3; }
    vantorix::ShippingPtr getShipping(unsigned long index, bool forAttributes) override;
    vantorix::ShippingPtr getShipping(const vantorix::String& tag, const vantorix::String& nameSpace) override;
    void setDefault() override;

private:
    vantorix::String m_target;
    vantorix::String m_new;
    vantorix::String m_old;
};

// What an install or uninstall is about to change (tag "changejournal"),
// saved before the first change so that a run that dies half-way can be
// finished or undone at the next start:
//   state    "staging" while the new items are written beside their
//            targets (no target has changed yet), "swapping" once the
//            moves begin;
//   root     the host application's folder, which every item but the
//            product's installation record lies in;
//   records  the folder of installation records, which holds the record;
//   items    the items, each moved aside (old) and then put in place (new);
//   made     the folders made for new items, outermost first (undo removes
//            them when empty);
//   prune    folders to remove when the change is done and they are empty.
// The moves are done in order: every item aside, then every new item in,
// the record last. Whether each move happened is read from the disk, so the
// journal is written once per state and never between moves.
class InstallJournal : public vantorix::XMLAssembly {
public:
    static const char* const tag;
    static const char* const stagingState;   // "staging"
    static const char* const swappingState;  // "swapping"
    // Staged and moved-aside items are hidden names beginning with this.
    static const char* const stagingPrefix;  // ".vantorix-"

    InstallJournal() = default;
    ~InstallJournal() override;

    vantorix::String state;
    vantorix::String root;
    vantorix::String records;
    vantorix::XMLList<JournalItem> items{"items"};
    vantorix::XMLList<vantorix::String> made{"made", "folder"};
    vantorix::XMLList<vantorix::String> prune{"prune", "folder"};

    const char* getTag() const override { return tag; }
    unsigned long shippingSize() const override { return 6; }
    vantorix::ShippingPtr getShipping(unsigned long index, bool forAttributes) override;
    vantorix::ShippingPtr getShipping(const vantorix::String& tag, const vantorix::String& nameSpace) override;
    void setDefault() override;

    // Writes the journal to path whole (temporary file and rename), owner
    // only.
    bool save(const QString& path);
    bool load(const QString& path);
    // Every path where it must be: targets and folders below the root (the
    // record in the records folder, named as records are), new and old
    // beside their target under our hidden prefix. A journal read from disk
    // is acted on only when this holds.
    bool isSound() const;
    // Whether the folders the journal works in are there: a host on a volume
    // that is not mounted is left for a later start.
    bool isReachable() const;

    // Whether every item has been moved: the change is complete but for
    // removing what was moved aside.
    bool isComplete() const;
    // Puts everything back as it was before the change: new items out,
    // items aside back, made folders removed when empty. False when an item
    // could not be put back (what is left is kept for the next try).
    bool undo() const;
    // Removes what was moved aside and what is left of the staging, then the
    // folders to prune when they are empty.
    bool finish() const;

    // The folder that holds the journals of running installs: "Journal" in
    // the user's preference folder of the installer, made when create is
    // set; empty when it is not there.
    static QString folder(bool create = true);
    // Finishes or undoes every change that a previous run left half done.
    // Journals of another user, or locked by a running install, are left
    // alone; so are journals whose host folder is not there now (they are
    // tried again at the next start). Returns how many were dealt with.
    static int recover();
};

// One install's or uninstall's changes, made so that each item ends either as
// it was or as the new version, and the product's installation record with
// them. Every new item is written beside its target under a hidden name, in
// the target's own folder (on the same volume, and with no need to write
// anywhere else); then the items it replaces are moved aside, the new ones
// moved in, the record last, and only then are the old copies removed. A
// failure anywhere puts back what was there; a run that dies is finished or
// undone by InstallJournal::recover at the next start.
class InstallTransaction {
public:
    InstallTransaction(const QString& root, const QString& records);
    // Undoes a change that was begun and neither committed nor undone.
    ~InstallTransaction();
    InstallTransaction(const InstallTransaction&) = delete;
    InstallTransaction& operator=(const InstallTransaction&) = delete;

    // Plans a new item for target and returns the path its content is to be
    // written to (beside the target); the folders it needs are made by
    // begin(). Anything at target is moved aside.
    QString addItem(const QString& target);
    // Plans an existing item to be moved aside (and removed on success).
    void moveAside(const QString& item);
    // Folders to remove after success when they are empty (deepest last).
    void pruneWhenEmpty(const QStringList& folders);
    // The folders that begin() makes for the new items (none of them exist
    // now), outermost first.
    QStringList foldersToMake() const;

    // Saves the journal, then makes the folders the new items need. False
    // with error set when either fails (nothing is changed then); the error
    // names the folder that could not be written.
    bool begin(vantorix::String& error);
    // Saves the journal and does the moves, then removes the old copies.
    // On failure everything is put back and error holds the reason.
    bool commit(vantorix::String& error);
    // Puts everything back (nothing happens when there is nothing to undo).
    void rollback();

    // For tests: the change stops after this many moves, as if the process
    // had died there (abandon true: nothing is put back and the journal
    // stays) or as if a move had failed (abandon false). Negative: never.
    static void setInterruption(int moves, bool abandon);

private:
    bool move(const QString& from, const QString& to);
    void end();
    QString besideName(const QString& target, const char* kind);

    QString m_root;
    QString m_records;
    QString m_id;
    QString m_journalPath;
    std::unique_ptr<QLockFile> m_lock;
    InstallJournal m_journal;
    bool m_begun = false;
    int m_moves = 0;
    int m_names = 0;
};

} // namespace installer

#endif
