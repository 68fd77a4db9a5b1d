#pragma once

#include "core/failure.h"

#include <QByteArray>
#include <QIODevice>
#include <QString>
#include <QStringList>

namespace quarl {

// The rights of every file and folder the program makes, whatever the umask: its owner's
// alone (files 0600, folders 0700), or, for an office that shares the installation over a
// group, the group's too (0660, 0770). The settings say which ([Options] FileSharing);
// the program takes it once at start-up.
namespace FileRights {

enum class Sharing { Owner, Group };
void setSharing(Sharing sharing);
Sharing sharing();
unsigned fileMode();
unsigned folderMode();
// The rights a file keeps when it is written anew: its own, but never wider than fileMode().
unsigned keptMode(unsigned existing);
// Makes the folder and every one missing above it, each with folderMode() (keeping the
// set-group-id bit a folder takes from the one above it); folders that are there keep their
// rights. made, when given, gets the folders made, the innermost first.
Status makeFolder(const QString &path, QStringList *made = nullptr);

} // namespace FileRights

// A file written under a temporary name beside its real one and renamed into place by
// commit() once its bytes are on the disk: a failure at any step (a full disk, a file
// size limit, a pulled stick) leaves the real name as it was, and the temporary file is
// removed. Failures carry the system's error number and text and name the real file.
//
// Rights: the temporary file is its owner's alone from the moment it exists, whatever the
// umask; it is given FileRights::fileMode() before anything is written. A file it replaces
// passes its rights on, narrowed to fileMode(), unless OwnerOnly is asked for (a file that
// holds a password).
class SafeFile
{
public:
    enum class Existing { Replace, Refuse };
    enum class Rights { KeepExisting, OwnerOnly };

    explicit SafeFile(const QString &path, Existing existing = Existing::Replace,
                      Rights rights = Rights::KeepExisting);
    ~SafeFile();
    SafeFile(const SafeFile &) = delete;
    SafeFile &operator=(const SafeFile &) = delete;

    Status open();
    Status write(const char *data, qint64 size);
    Status write(const QByteArray &bytes) { return write(bytes.constData(), bytes.size()); }
    // Flushes the bytes to the disk and closes the file; the temporary file may then be
    // read (checked) under tempPath() before commit().
    Status finish();
    // finish() when not done yet, then the rename into place.
    Status commit();

    QString path() const { return m_path; }
    QString tempPath() const { return m_temp; }

    // Whether a name is taken: by a file, a folder, or a link, also one that leads nowhere.
    static bool exists(const QString &path);

    // The failure of a file operation on path: errno's number and the system's text.
    static Failure systemFailure(int error, const QString &path);
    // The failure with the file's name added, when its text does not name it yet (an
    // engine's "database or disk is full" does not say which file).
    static Failure naming(Failure failure, const QString &path);

private:
    QString m_path;
    QString m_temp;
    Existing m_existing;
    Rights m_rights;
    int m_fd = -1;
    bool m_committed = false;
};

// A SafeFile as a QIODevice, for the writers that take one (the flat files, the XML and SAM
// files, PDF and RTF): what is written is gathered and handed on in large pieces. commit()
// puts the file in place; a file not committed goes with the object, and nothing takes the
// real name. With Existing::Refuse a file of the same name is never replaced, not even one
// that another program puts there while this one writes: commit() then fails with EEXIST.
class SafeFileDevice : public QIODevice
{
public:
    explicit SafeFileDevice(const QString &path, SafeFile::Existing existing = SafeFile::Existing::Replace);
    ~SafeFileDevice() override;

    // Writing only (QIODevice::WriteOnly).
    bool open(OpenMode mode) override;
    bool isSequential() const override { return true; }
    bool commit();
    void cancelWriting();

    // Why the last step failed: the system's error number and text, naming the real file.
    const Failure &failure() const { return m_failure; }
    // The system's error number of that failure; 0 when none.
    int systemError() const { return m_errno; }
    QString fileName() const { return m_file.path(); }
    QString tempPath() const { return m_file.tempPath(); }

protected:
    qint64 readData(char *, qint64) override { return -1; }
    qint64 writeData(const char *data, qint64 size) override;

private:
    bool fail(const Status &status);
    bool flushGathered();

    SafeFile m_file;
    QByteArray m_gathered;
    Failure m_failure;
    int m_errno = 0;
};

} // namespace quarl
