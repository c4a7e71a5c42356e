#include "products/InstallJournal.h"

#include "DirectoryHandler.h"
#include "StringTables.h"

#include "Catalogue/VantorixTools.h"
#include "Environment/Host.h"
#include "File/Directory.h"
#include "File/SaveWhole.h"
#include "Serialise/XMLReader.h"
#include "Serialise/XMLWriter.h"
#include "Utility/DataBufferIn.h"
#include "Utility/DataBufferOut.h"
#include "Utility/Logger.h"
#include "Utility/MemoryBlock.h"

#include <QDir>
#include <QDirIterator>
#include <QFile>
#include <QFileInfo>
#include <QUuid>

#include <cstdio>
#include <unistd.h>

using namespace vantorix;

namespace installer {

namespace {

const char* const itemTags[] = {"target", "new", "old"};
const char* const journalTags[] = {"state", "root", "records", "items", "made", "prune"};
// Records are named so in their folder.
const char* const recordPrefix = "com.vantorix.install.";
const char* const journalFolderName = "Journal";
const char* const journalExtension = ".xml";
const char* const lockExtension = ".lock";
const char* const createError = "Failed to create file at -- ";

int s_interruptAfter = -1;
bool s_abandon = false;

QString clean(const QString& path)
{
    return QDir::cleanPath(path);
}

QString parentOf(const QString& path)
{
    return QFileInfo(clean(path)).path();
}

QString nameOf(const QString& path)
{
    return QFileInfo(clean(path)).fileName();
}

// rename(2): moves a link as the link, a folder with its content, and fails
// rather than follow anything. Callers make sure nothing is at to.
bool renameItem(const QString& from, const QString& to)
{
    return std::rename(QFile::encodeName(from).constData(), QFile::encodeName(to).constData()) == 0;
}

QString newId()
{
    return QUuid::createUuid().toString(QUuid::Id128);
}

// The folder of installation records as this program uses it now.
QString currentRecordsFolder()
{
    const std::unique_ptr<Directory> folder = VantorixTools::getInstallationDirectory(false);
    return folder ? folder->getURL().qString() : QString();
}

} // namespace

String installErrorText(InstallErrorRow row, const QString& first, const QString& second)
{
    return String(filledText(errorTable, row, first, second));
}

String unwritableFolderText(const QString& folder)
{
    return installErrorText(unwritableFolderRow, folder);
}

bool isPresent(const QString& path)
{
    const QFileInfo info(path);
    return info.exists() || info.isSymLink();
}

bool removeItem(const QString& path)
{
    const QFileInfo info(path);
    if (info.isSymLink() || (info.exists() && !info.isDir()))
        return QFile::remove(path);
    if (!info.exists())
        return true;
    bool removed = true;
    QDirIterator entries(path, QDir::AllEntries | QDir::Hidden | QDir::System | QDir::NoDotAndDotDot);
    while (entries.hasNext())
        removed = removeItem(entries.next()) && removed;
    return QDir().rmdir(path) && removed;
}

bool isWithin(const QString& path, const QString& root)
{
    const QString cleanRoot = clean(root);
    const QString cleanPath = clean(path);
    if (cleanRoot.isEmpty() || cleanPath.isEmpty())
        return false;
    if (cleanPath == cleanRoot)
        return true;
    return cleanPath.startsWith(cleanRoot.endsWith(QLatin1Char('/')) ? cleanRoot : cleanRoot + QLatin1Char('/'));
}

// ---- JournalItem

const char* const JournalItem::tag = "item";

JournalItem::~JournalItem() = default;

ShippingPtr JournalItem::getShipping(unsigned long index, bool)
{
    switch (index) {
    case 0: return ship(m_target, itemTags[0], true);
    case 1: return ship(m_new, itemTags[1], true);
    case 2: return ship(m_old, itemTags[2], true);
    default: return nullptr;
    }
}

ShippingPtr JournalItem::getShipping(const String& tag, const String&)
{
    return childByTag(tag, itemTags, 3);
}

void JournalItem::setDefault()
{
    m_target.clear();
    m_new.clear();
    m_old.clear();
}

// ---- InstallJournal

const char* const InstallJournal::tag = "changejournal";
const char* const InstallJournal::stagingState = "staging";
const char* const InstallJournal::swappingState = "swapping";
const char* const InstallJournal::stagingPrefix = ".vantorix-";

InstallJournal::~InstallJournal() = default;

ShippingPtr InstallJournal::getShipping(unsigned long index, bool)
{
    switch (index) {
    case 0: return ship(state, journalTags[0], true);
    case 1: return ship(root, journalTags[1]);
    case 2: return ship(records, journalTags[2]);
    case 3: return ship(items, journalTags[3]);
    case 4: return ship(made, journalTags[4]);
    case 5: return ship(prune, journalTags[5]);
    default: return nullptr;
    }
}

ShippingPtr InstallJournal::getShipping(const String& tag, const String&)
{
    return childByTag(tag, journalTags, 6);
}

void InstallJournal::setDefault()
{
    state.clear();
    root.clear();
    records.clear();
    items.setDefault();
    made.setDefault();
    prune.setDefault();
}

bool InstallJournal::save(const QString& path)
{
    MemoryBlock block;
    bool written = false;
    {
        DataBufferOut out(&block);
        written = XMLWriter(&out).exportFrom(*this, true, true, true, true);
        out.flush();
    }
    return written && saveWhole(path, block.get(), QFileDevice::ReadOwner | QFileDevice::WriteOwner);
}

bool InstallJournal::load(const QString& path)
{
    QFile file(path);
    // A journal is a few lines per item; anything far larger is not ours.
    if (!file.open(QIODevice::ReadOnly) || file.size() > (qint64(16) << 20))
        return false;
    const QByteArray bytes = file.readAll();
    if (file.error() != QFileDevice::NoError)
        return false;
    DataBufferIn in;
    in.setSource(bytes, Encoding::UTF8);
    XMLReader reader(&in);
    return reader.importTo(*this);
}

bool InstallJournal::isSound() const
{
    const QString rootPath = clean(root.qString());
    const QString recordsPath = clean(records.qString());
    if (QDir::isRelativePath(rootPath) || rootPath == QLatin1String("/"))
        return false;
    if (state.qString() != QLatin1String(stagingState) && state.qString() != QLatin1String(swappingState))
        return false;
    // The records folder named in the journal must be the one this program
    // uses: a journal cannot point the record's moves anywhere else.
    if (!recordsPath.isEmpty() && recordsPath != clean(currentRecordsFolder()))
        return false;
    const auto beside = [](const QString& path, const QString& target) {
        return path.isEmpty() ||
               (parentOf(path) == parentOf(target) && nameOf(path).startsWith(QLatin1String(stagingPrefix)));
    };
    for (const JournalItem& item : items.elements()) {
        const QString target = clean(item.getTarget().qString());
        const bool inRoot = isWithin(target, rootPath) && target != rootPath;
        const bool isRecord = !recordsPath.isEmpty() && parentOf(target) == recordsPath &&
                              nameOf(target).startsWith(QLatin1String(recordPrefix));
        if (item.getTarget().empty() || !(inRoot || isRecord))
            return false;
        if (!beside(item.getNew().qString(), target) || !beside(item.getOld().qString(), target))
            return false;
        if (item.getNew().empty() && item.getOld().empty())
            return false;
    }
    for (const XMLList<String>* list : {&made, &prune}) {
        for (const String& folder : list->elements()) {
            if (!isWithin(folder.qString(), rootPath) || clean(folder.qString()) == rootPath)
                return false;
        }
    }
    return true;
}

bool InstallJournal::isReachable() const
{
    if (!QFileInfo(root.qString()).isDir())
        return false;
    return records.empty() || QFileInfo(records.qString()).isDir();
}

bool InstallJournal::isComplete() const
{
    if (state.qString() != QLatin1String(swappingState))
        return false;
    for (const JournalItem& item : items.elements()) {
        const QString target = item.getTarget().qString();
        if (!item.getNew().empty()) {
            if (isPresent(item.getNew().qString()) || !isPresent(target))
                return false;
        } else if (isPresent(target)) {
            return false;  // still to be moved aside
        }
    }
    return true;
}

bool InstallJournal::undo() const
{
    bool restored = true;
    const std::vector<JournalItem>& all = items.elements();
    // While staging nothing was moved: a target is as it was, whatever is
    // staged beside it.
    const bool swapping = state.qString() == QLatin1String(swappingState);
    // New items out first (a placed one is back under its staged name)...
    for (auto item = all.rbegin(); swapping && item != all.rend(); ++item) {
        const QString fresh = item->getNew().qString();
        const QString target = item->getTarget().qString();
        if (fresh.isEmpty() || isPresent(fresh) || !isPresent(target))
            continue;  // never moved in
        if (!renameItem(target, fresh)) {
            Logger::write(String("Could not take back ") + String(target));
            restored = false;
        }
    }
    // ...then the items aside back in their place.
    for (auto item = all.rbegin(); swapping && item != all.rend(); ++item) {
        const QString old = item->getOld().qString();
        const QString target = item->getTarget().qString();
        if (old.isEmpty() || !isPresent(old) || isPresent(target))
            continue;  // never moved aside
        if (!renameItem(old, target)) {
            Logger::write(String("Could not put back ") + String(target));
            restored = false;
        }
    }
    if (!restored)
        return false;
    for (const JournalItem& item : all) {
        if (!item.getNew().empty() && isPresent(item.getNew().qString()) && !removeItem(item.getNew().qString()))
            Logger::write(String("Could not remove ") + item.getNew());
    }
    const std::vector<String>& folders = made.elements();
    for (auto folder = folders.rbegin(); folder != folders.rend(); ++folder) {
        const QFileInfo info(folder->qString());
        if (info.isDir() && !info.isSymLink())
            QDir().rmdir(folder->qString());  // only when empty
    }
    return true;
}

bool InstallJournal::finish() const
{
    bool removed = true;
    for (const JournalItem& item : items.elements()) {
        for (const String& path : {item.getOld(), item.getNew()}) {
            if (!path.empty() && isPresent(path.qString()) && !removeItem(path.qString())) {
                Logger::write(String("Could not remove ") + path);
                removed = false;
            }
        }
    }
    const std::vector<String>& folders = prune.elements();
    for (auto folder = folders.rbegin(); folder != folders.rend(); ++folder) {
        const QFileInfo info(folder->qString());
        if (info.isDir() && !info.isSymLink())
            QDir().rmdir(folder->qString());  // only when empty
    }
    return removed;
}

QString InstallJournal::folder(bool create)
{
    // The user's own folder: every user recovers only his own installs, and
    // a folder shared by all would let the first user's folder shut out the
    // others.
    const std::unique_ptr<Directory> preferences = DirectoryHandler::getPreferenceDirectory(create);
    if (!preferences)
        return QString();
    const QString path = preferences->getURL().qString() + QLatin1Char('/') + QLatin1String(journalFolderName);
    if (create ? QDir().mkpath(path) : QFileInfo(path).isDir())
        return path;
    return QString();
}

int InstallJournal::recover()
{
    const QString journals = folder(false);
    if (journals.isEmpty())
        return 0;
    int count = 0;
    const QDir dir(journals);
    const QStringList names = dir.entryList(QDir::Files | QDir::Hidden, QDir::Name);
    for (const QString& name : names) {
        const QString path = journals + QLatin1Char('/') + name;
        const QFileInfo info(path);
        if (info.isSymLink() || info.ownerId() != ::geteuid())
            continue;
        if (!name.endsWith(QLatin1String(journalExtension))) {
            // What a save cut short leaves ("<id>.xml.XXXXXX"): removed once
            // no running install holds the journal's lock.
            const int at = name.indexOf(QLatin1String(journalExtension) + QLatin1Char('.'));
            if (at <= 0 || name.endsWith(QLatin1String(lockExtension)))
                continue;
            const QString journal = journals + QLatin1Char('/') + name.left(at) + QLatin1String(journalExtension);
            QLockFile lock(journal + QLatin1String(lockExtension));
            lock.setStaleLockTime(0);
            if (lock.tryLock(0)) {
                QFile::remove(path);
                Logger::write(String("Removed an unfinished journal save ") + String(path));
            }
            continue;
        }
        // Only journals this user wrote, and nobody else can have changed,
        // are acted on: they name what to move in the host folders.
        if (info.permissions() & (QFileDevice::WriteGroup | QFileDevice::WriteOther))
            continue;
        QLockFile lock(path + QLatin1String(lockExtension));
        lock.setStaleLockTime(0);
        if (!lock.tryLock(0))
            continue;  // a running install
        Logger::startBlock(String("Recovering an interrupted install"));
        InstallJournal journal;
        if (!journal.load(path) || !journal.isSound()) {
            Logger::write(String("The journal ") + String(path) + " cannot be used; it is left in place");
        } else if (!journal.isReachable()) {
            // Deciding now would take a missing folder for a change never
            // made and lose the copies kept aside.
            Logger::write(String("The folder ") + journal.root +
                          " is not there now; the interrupted change is tried again at the next start");
        } else if (journal.isComplete()) {
            journal.finish();
            QFile::remove(path);
            Logger::write(String("Finished the change in ") + journal.root);
            ++count;
        } else if (journal.undo()) {
            QFile::remove(path);
            Logger::write(String("Undid the change in ") + journal.root);
            ++count;
        } else {
            Logger::write(String("The change in ") + journal.root + " could not be undone; trying again next time");
        }
        lock.unlock();
        QFile::remove(path + QLatin1String(lockExtension));
        Logger::endBlock();
    }
    return count;
}

// ---- InstallTransaction

InstallTransaction::InstallTransaction(const QString& root, const QString& records)
    : m_root(clean(root)), m_records(records.isEmpty() ? QString() : clean(records)), m_id(newId())
{
    m_journal.state = String(InstallJournal::stagingState);
    m_journal.root = String(m_root);
    m_journal.records = String(m_records);
}

InstallTransaction::~InstallTransaction()
{
    rollback();
}

void InstallTransaction::setInterruption(int moves, bool abandon)
{
    s_interruptAfter = moves;
    s_abandon = abandon;
}

QString InstallTransaction::besideName(const QString& target, const char* kind)
{
    return parentOf(target) + QLatin1Char('/') + QLatin1String(InstallJournal::stagingPrefix) +
           m_id.left(13) + QLatin1Char('-') + QString::number(m_names++) + QLatin1Char('.') + QLatin1String(kind);
}

QString InstallTransaction::addItem(const QString& target)
{
    const QString path = clean(target);
    const QString fresh = besideName(path, "new");
    const QString old = isPresent(path) ? besideName(path, "old") : QString();
    m_journal.items.elements().emplace_back(String(path), String(fresh), String(old));
    return fresh;
}

void InstallTransaction::moveAside(const QString& item)
{
    const QString path = clean(item);
    for (const JournalItem& planned : m_journal.items.elements()) {
        if (planned.getTarget().qString() == path)
            return;
    }
    if (!isPresent(path))
        return;
    // Removals go before the new items: a new item may take the place of a
    // folder that goes away.
    std::vector<JournalItem>& all = m_journal.items.elements();
    all.insert(all.begin(), JournalItem(String(path), String(), String(besideName(path, "old"))));
}

void InstallTransaction::pruneWhenEmpty(const QStringList& folders)
{
    for (const QString& folder : folders)
        m_journal.prune.elements().emplace_back(clean(folder));
}

QStringList InstallTransaction::foldersToMake() const
{
    QStringList missing;
    for (const JournalItem& item : m_journal.items.elements()) {
        if (item.getNew().empty())
            continue;
        QStringList chain;
        for (QString folder = parentOf(item.getTarget().qString());
             isWithin(folder, m_root) && folder != m_root && !isPresent(folder); folder = parentOf(folder))
            chain.prepend(folder);
        for (const QString& folder : chain) {
            if (!missing.contains(folder))
                missing.append(folder);
        }
    }
    return missing;
}

bool InstallTransaction::begin(String& error)
{
    const QString journals = InstallJournal::folder(true);
    m_journalPath = journals + QLatin1Char('/') + m_id + QLatin1String(journalExtension);
    if (journals.isEmpty()) {
        error = installErrorText(journalRow, m_journalPath);
        return false;
    }
    m_lock = std::make_unique<QLockFile>(m_journalPath + QLatin1String(lockExtension));
    m_lock->setStaleLockTime(0);
    if (!m_lock->tryLock(0)) {
        error = installErrorText(journalRow, m_journalPath);
        return false;
    }
    const QStringList folders = foldersToMake();
    for (const QString& folder : folders)
        m_journal.made.elements().emplace_back(folder);
    if (!m_journal.save(m_journalPath)) {
        error = installErrorText(journalRow, m_journalPath);
        m_lock->unlock();
        return false;
    }
    m_begun = true;
    for (const QString& folder : folders) {
        if (!QDir().mkdir(folder)) {
            error = unwritableFolderText(parentOf(folder));
            rollback();
            return false;
        }
    }
    // Every folder a new item goes to must take new names: said now, naming
    // the folder, rather than as a failed write of some file in it.
    QStringList checked;
    for (const JournalItem& item : m_journal.items.elements()) {
        const QString folder = parentOf(item.getTarget().qString());
        if (checked.contains(folder))
            continue;
        checked.append(folder);
        if (!QFileInfo(folder).isDir()) {
            // Something that is not a folder stands where one must be.
            error = String(createError) + item.getTarget();
            rollback();
            return false;
        }
        if (::access(QFile::encodeName(folder).constData(), W_OK | X_OK) != 0) {
            error = unwritableFolderText(folder);
            rollback();
            return false;
        }
    }
    return true;
}

bool InstallTransaction::move(const QString& from, const QString& to)
{
    if (isPresent(to) || !renameItem(from, to))
        return false;
    ++m_moves;
    return true;
}

bool InstallTransaction::commit(String& error)
{
    if (!m_begun)
        return false;
    m_journal.state = String(InstallJournal::swappingState);
    if (!m_journal.save(m_journalPath)) {
        error = installErrorText(journalRow, m_journalPath);
        rollback();
        return false;
    }

    const auto interrupted = [this]() { return s_interruptAfter >= 0 && m_moves >= s_interruptAfter; };
    const auto abandon = [this, &error]() {
        // As a process that dies here would leave it: no undo, the journal
        // stays, the lock goes with the process.
        error = String("Interrupted");
        m_lock->unlock();
        m_begun = false;
        return false;
    };
    const std::vector<JournalItem>& all = m_journal.items.elements();
    for (const JournalItem& item : all) {
        if (item.getOld().empty())
            continue;
        if (interrupted() && s_abandon)
            return abandon();
        const QString target = item.getTarget().qString();
        if (interrupted() || (isPresent(target) && !move(target, item.getOld().qString()))) {
            error = installErrorText(moveAsideRow, target);
            rollback();
            return false;
        }
    }
    for (const JournalItem& item : all) {
        if (item.getNew().empty())
            continue;
        if (interrupted() && s_abandon)
            return abandon();
        const QString target = item.getTarget().qString();
        if (interrupted() || !move(item.getNew().qString(), target)) {
            error = String(createError) + String(target);
            rollback();
            return false;
        }
    }
    if (interrupted() && s_abandon)
        return abandon();
    m_journal.finish();
    end();
    return true;
}

void InstallTransaction::rollback()
{
    if (!m_begun)
        return;
    if (m_journal.undo())
        QFile::remove(m_journalPath);
    else
        Logger::write(String("The change could not be undone; the next start tries again"));
    m_lock->unlock();
    m_begun = false;
}

void InstallTransaction::end()
{
    if (!QFile::remove(m_journalPath))
        Logger::write(String("Could not remove the install journal ") + String(m_journalPath));
    m_lock->unlock();
    m_begun = false;
}

} // namespace installer
