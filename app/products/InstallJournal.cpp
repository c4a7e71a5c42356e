#include "products/InstallJournal.h"

#include "DirectoryHandler.h"
#include "StringTables.h"

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

const char* const moveTags[] = {"from", "to"};
const char* const journalTags[] = {"state", "root", "staging", "aside", "placed", "folders"};
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
    return QUuid::createUuid().toString(QUuid::WithoutBraces);
}

} // namespace

String installErrorText(InstallErrorRow row, const QString& first, const QString& second)
{
    return String(filledText(errorTable, row, first, second));
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

// ---- JournalMove

const char* const JournalMove::tag = "move";

JournalMove::~JournalMove() = default;

ShippingPtr JournalMove::getShipping(unsigned long index, bool)
{
    switch (index) {
    case 0: return ship(m_from, moveTags[0], true);
    case 1: return ship(m_to, moveTags[1], true);
    default: return nullptr;
    }
}

ShippingPtr JournalMove::getShipping(const String& tag, const String&)
{
    return childByTag(tag, moveTags, 2);
}

void JournalMove::setDefault()
{
    m_from.clear();
    m_to.clear();
}

// ---- InstallJournal

const char* const InstallJournal::tag = "installjournal";
const char* const InstallJournal::stagingState = "staging";
const char* const InstallJournal::swappingState = "swapping";
const char* const InstallJournal::stagingPrefix = ".vantorix-install-";

InstallJournal::~InstallJournal() = default;

ShippingPtr InstallJournal::getShipping(unsigned long index, bool)
{
    switch (index) {
    case 0: return ship(state, journalTags[0], true);
    case 1: return ship(root, journalTags[1]);
    case 2: return ship(staging, journalTags[2]);
    case 3: return ship(aside, journalTags[3]);
    case 4: return ship(placed, journalTags[4]);
    case 5: return ship(folders, journalTags[5]);
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
    staging.clear();
    aside.setDefault();
    placed.setDefault();
    folders.setDefault();
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
    if (!file.open(QIODevice::ReadOnly))
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
    const QString rootPath = root.qString();
    const QString stagingPath = staging.qString();
    if (QDir::isRelativePath(rootPath) || clean(rootPath) == QLatin1String("/"))
        return false;
    if (state.qString() != QLatin1String(stagingState) && state.qString() != QLatin1String(swappingState))
        return false;
    if (clean(parentOf(stagingPath)) != clean(rootPath) || !nameOf(stagingPath).startsWith(QLatin1String(stagingPrefix)))
        return false;
    for (const JournalMove& move : aside.elements()) {
        if (!isWithin(move.getFrom().qString(), rootPath) || !isWithin(move.getTo().qString(), stagingPath))
            return false;
    }
    for (const JournalMove& move : placed.elements()) {
        if (!isWithin(move.getFrom().qString(), stagingPath) || !isWithin(move.getTo().qString(), rootPath))
            return false;
    }
    for (const String& folder : folders.elements()) {
        if (!isWithin(folder.qString(), rootPath))
            return false;
    }
    return true;
}

bool InstallJournal::isComplete() const
{
    if (state.qString() != QLatin1String(swappingState))
        return false;
    for (const JournalMove& move : placed.elements()) {
        if (isPresent(move.getFrom().qString()) || !isPresent(move.getTo().qString()))
            return false;
    }
    return true;
}

bool InstallJournal::undo() const
{
    bool restored = true;
    const std::vector<JournalMove>& newItems = placed.elements();
    for (auto move = newItems.rbegin(); move != newItems.rend(); ++move) {
        const QString from = move->getFrom().qString();
        const QString to = move->getTo().qString();
        if (isPresent(from) || !isPresent(to))
            continue;  // never moved in
        if (!QDir().mkpath(parentOf(from)) || !renameItem(to, from)) {
            Logger::write(String("Could not take back ") + String(to));
            restored = false;
        }
    }
    const std::vector<JournalMove>& oldItems = aside.elements();
    for (auto move = oldItems.rbegin(); move != oldItems.rend(); ++move) {
        const QString from = move->getFrom().qString();
        const QString to = move->getTo().qString();
        if (!isPresent(to) || isPresent(from))
            continue;  // never moved aside
        if (!QDir().mkpath(parentOf(from)) || !renameItem(to, from)) {
            Logger::write(String("Could not put back ") + String(from));
            restored = false;
        }
    }
    const std::vector<String>& made = folders.elements();
    for (auto folder = made.rbegin(); folder != made.rend(); ++folder) {
        const QFileInfo info(folder->qString());
        if (info.isDir() && !info.isSymLink())
            QDir().rmdir(folder->qString());  // only when empty
    }
    // The staging folder holds whatever could not be put back: it stays then.
    if (restored && !removeItem(staging.qString()))
        Logger::write(String("Could not remove the staging folder ") + staging);
    return restored;
}

bool InstallJournal::finish() const
{
    if (removeItem(staging.qString()))
        return true;
    Logger::write(String("Could not remove the staging folder ") + staging);
    return false;
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
    const QStringList names =
        QDir(journals).entryList({QStringLiteral("*") + QLatin1String(journalExtension)}, QDir::Files | QDir::Hidden);
    for (const QString& name : names) {
        const QString path = journals + QLatin1Char('/') + name;
        const QFileInfo info(path);
        // Only journals this user wrote, and nobody else can have changed,
        // are acted on: they name what to move in the host folders.
        if (info.isSymLink() || info.ownerId() != ::geteuid() ||
            (info.permissions() & (QFileDevice::WriteGroup | QFileDevice::WriteOther)))
            continue;
        QLockFile lock(path + QLatin1String(lockExtension));
        lock.setStaleLockTime(0);
        if (!lock.tryLock(0))
            continue;  // a running install
        Logger::startBlock(String("Recovering an interrupted install"));
        InstallJournal journal;
        if (!journal.load(path) || !journal.isSound()) {
            Logger::write(String("The journal ") + String(path) + " cannot be used; it is left in place");
        } else if (journal.isComplete()) {
            journal.finish();
            QFile::remove(path);
            Logger::write(String("Finished the install into ") + journal.root);
            ++count;
        } else if (journal.undo()) {
            QFile::remove(path);
            Logger::write(String("Undid the install into ") + journal.root);
            ++count;
        } else {
            Logger::write(String("The install into ") + journal.root + " could not be undone; trying again next time");
        }
        Logger::endBlock();
    }
    return count;
}

// ---- InstallTransaction

InstallTransaction::InstallTransaction(const QString& root) : m_root(clean(root)) {}

InstallTransaction::~InstallTransaction()
{
    rollback();
}

void InstallTransaction::setInterruption(int moves, bool abandon)
{
    s_interruptAfter = moves;
    s_abandon = abandon;
}

bool InstallTransaction::isStagingItem(const QString& name)
{
    return name.startsWith(QLatin1String(InstallJournal::stagingPrefix));
}

bool InstallTransaction::begin(String& error)
{
    const QString journals = InstallJournal::folder(true);
    const QString id = newId();
    m_journalPath = journals + QLatin1Char('/') + id + QLatin1String(journalExtension);
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
    m_staging = m_root + QLatin1Char('/') + QLatin1String(InstallJournal::stagingPrefix) + id;
    m_journal.state = String(InstallJournal::stagingState);
    m_journal.root = String(m_root);
    m_journal.staging = String(m_staging);
    if (!m_journal.save(m_journalPath)) {
        error = installErrorText(journalRow, m_journalPath);
        m_lock->unlock();
        return false;
    }
    m_begun = true;
    if (!QDir().mkdir(m_staging)) {
        error = String(createError) + String(m_staging);
        rollback();
        return false;
    }
    return true;
}

QString InstallTransaction::addItem(const QString& target)
{
    const QString cleanTarget = clean(target);
    for (Item& item : m_items) {
        if (item.target.compare(cleanTarget, Qt::CaseInsensitive) == 0) {
            // A later manifest file for the same place wins.
            removeItem(item.staged);
            item.target = cleanTarget;
            return item.staged;
        }
    }
    const QString folder = m_staging + QLatin1String("/new/") + QString::number(m_items.size());
    m_items.push_back({cleanTarget, folder + QLatin1Char('/') + nameOf(cleanTarget)});
    return m_items.back().staged;
}

void InstallTransaction::moveAside(const QString& item)
{
    const QString path = clean(item);
    if (!m_aside.contains(path))
        m_aside.append(path);
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
    std::vector<JournalMove>& aside = m_journal.aside.elements();
    std::vector<JournalMove>& placed = m_journal.placed.elements();
    std::vector<String>& folders = m_journal.folders.elements();
    for (int k = 0; k < m_aside.size(); ++k) {
        const QString backup =
            m_staging + QLatin1String("/old/") + QString::number(k) + QLatin1Char('/') + nameOf(m_aside.at(k));
        aside.emplace_back(String(m_aside.at(k)), String(backup));
    }
    for (const Item& item : m_items) {
        // A bundle without any file to copy puts nothing in place.
        if (!isPresent(item.staged))
            continue;
        placed.emplace_back(String(item.staged), String(item.target));
        // Folders that the item needs and that are not there yet, outermost
        // first; none may lie in an item that is moved aside.
        QStringList missing;
        for (QString folder = parentOf(item.target); isWithin(folder, m_root) && !isPresent(folder);
             folder = parentOf(folder))
            missing.prepend(folder);
        for (const QString& old : m_aside) {
            if (isWithin(parentOf(item.target), old)) {
                error = String(createError) + String(item.target);
                rollback();
                return false;
            }
        }
        for (const QString& folder : missing) {
            if (std::find(folders.begin(), folders.end(), String(folder)) == folders.end())
                folders.emplace_back(folder);
        }
    }
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
    for (const JournalMove& move : aside) {
        const QString from = move.getFrom().qString();
        const QString to = move.getTo().qString();
        if (interrupted() && s_abandon)
            return abandon();
        if (interrupted() || !QDir().mkpath(parentOf(to)) || !this->move(from, to)) {
            error = installErrorText(moveAsideRow, from);
            rollback();
            return false;
        }
    }
    for (const JournalMove& move : placed) {
        const QString to = move.getTo().qString();
        if (interrupted() && s_abandon)
            return abandon();
        if (interrupted() || !QDir().mkpath(parentOf(to)) || !this->move(move.getFrom().qString(), to)) {
            error = String(createError) + String(to);
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
        Logger::write(String("The install could not be undone; the next start tries again"));
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
