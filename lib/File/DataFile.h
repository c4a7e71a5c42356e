#ifndef VANTORIX_FILE_DATAFILE_H
#define VANTORIX_FILE_DATAFILE_H

#include "File/File.h"

#include <QByteArray>
#include <QFile>

#include <memory>

class QWidget;

namespace vantorix {

class Directory;

// A file that can be opened, read, written, copied, linked and erased. It
// owns its QFile. Every reading, writing, size and position operation opens
// the file in the stored permission first when it is not open, and fails
// when that fails. Opening never truncates: a file opened for writing keeps
// its content until setSize() cuts it.
class DataFile : public File {
public:
    // An open mode with the toolkit's values: 1 read, 2 write, 3 both.
    using Permission = QIODevice::OpenMode;
    static constexpr QIODevice::OpenModeFlag readOnly = QIODevice::ReadOnly;
    static constexpr QIODevice::OpenModeFlag writeOnly = QIODevice::WriteOnly;
    static constexpr QIODevice::OpenModeFlag readWrite = QIODevice::ReadWrite;

    // No file behind it: open() fails.
    DataFile();
    // With create set and nothing at the path, the missing folders and an
    // empty file are created.
    explicit DataFile(const String& path, Permission permission = readWrite, bool create = false);
    DataFile(const Directory& folder, const String& name, Permission permission = readWrite, bool create = false);
    // A copy points at the same path with the same permission; it is not open.
    DataFile(const DataFile& other);
    DataFile& operator=(const DataFile& other);
    ~DataFile() override;

    // folder + "/" + name + "." + extension, created as by the constructor.
    // Returns a new file owned by the caller with error 0, or null with
    // error 2 when the file does not exist afterwards. The two unsigned
    // arguments are not used.
    static DataFile* create(const Directory& folder, const String& name, Permission permission, int& error,
                            const String& extension, unsigned = 0, unsigned = 0);

    DataFile* clone() const override;
    bool exists() const override;
    bool isFolder() const override;
    void setName(const String& path) override;
    void setPathName(const String& path) override;

    // Opening in another permission than the current one closes and reopens
    // the file and keeps the position.
    virtual bool open(Permission permission) const;
    virtual void close() const;
    virtual bool isOpen() const;
    // The path as the file object knows it.
    virtual String getLocation() const;
    virtual long long getPosition() const;
    // 0 when the file cannot be opened.
    virtual long long getSize() const;
    // Up to count bytes from the position; count becomes the number read and
    // the text those bytes as UTF-8. True when the file could be opened.
    virtual bool read(String& text, long long& count) const;
    // Up to count raw bytes into buffer; count becomes the number read.
    virtual bool read(char* const& buffer, long long& count) const;
    // Up to count bytes (count < 1: the buffer's size) into buffer at offset,
    // overwriting what is there and growing the buffer when needed; count
    // becomes the number read. True when at least one byte was read.
    virtual bool read(QByteArray& buffer, long long offset, long long& count) const;
    // The rest of the file from the position.
    virtual bool readAll(QByteArray& bytes) const;
    // Moves the position by n, kept between the start and the end of the
    // file; returns how far it moved.
    virtual long long skip(long long n) const;
    // The folder that holds the file; a new object owned by the caller.
    virtual Directory* getParent() const;
    virtual bool setPosition(long long position);
    virtual bool setSize(long long size);
    // Every write is handed to the file system before it returns, so that
    // false (a full disk) comes from the write itself, not from a later close.
    // The text as UTF-8 at the position.
    virtual bool write(const String& text) const;
    // count bytes of bytes from offset (count -1: to the end) at the position.
    virtual bool write(const QByteArray& bytes, int offset, int count) const;
    virtual bool write(char* bytes, long long count) const;
    // Copies the whole content of source to the position, 16384 bytes at a time.
    virtual bool write(const DataFile& source) const;
    virtual bool erase() const;
    virtual bool flush();
    // Creates a symbolic link at linkPath that points to this file.
    virtual bool link(const String& linkPath);

    Permission getPermission() const { return m_permission; }

    // Let the user pick a file of one type (filter: typeName + " (*." +
    // extension + ")") through Chooser, which tests can script. A new file
    // owned by the caller, read-write and not created, or null when the user
    // cancelled. A saved file's name always ends in "." + extension.
    static DataFile* promptOpen(const String& title, const String& typeName, const String& extension,
                                QWidget* parent = nullptr);
    static DataFile* promptSave(const String& title, const String& typeName, const String& extension,
                                QWidget* parent = nullptr);

private:
    bool ensureOpen() const;
    bool putBytes(const char* bytes, qint64 count) const;
    void createAt(const QString& path);

    Permission m_permission = readWrite;
    std::unique_ptr<QFile> m_file;
    // The permission the file is open in (the toolkit mode may differ for
    // write-only, which is opened read-write to avoid truncation).
    mutable Permission m_openPermission;
};

} // namespace vantorix

#endif
