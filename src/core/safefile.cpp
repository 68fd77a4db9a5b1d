#include "core/safefile.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <tuple>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace quarl {

namespace FileRights {

namespace {
Sharing &current()
{
    static Sharing sharing = Sharing::Owner;
    return sharing;
}
} // namespace

void setSharing(Sharing sharing)
{
    current() = sharing;
}

Sharing sharing()
{
    return current();
}

unsigned fileMode()
{
    return current() == Sharing::Group ? 0660 : 0600;
}

unsigned folderMode()
{
    return current() == Sharing::Group ? 0770 : 0700;
}

unsigned keptMode(unsigned existing)
{
    return existing & fileMode();
}

Status makeFolder(const QString &path, QStringList *made)
{
    if (path.isEmpty())
        return SafeFile::systemFailure(ENOENT, path);
    QStringList missing; // outermost first
    for (QString at = QDir::cleanPath(QDir(path).absolutePath());;) {
        struct stat st{};
        if (::stat(QFile::encodeName(at).constData(), &st) == 0) {
            if (!S_ISDIR(st.st_mode))
                return SafeFile::systemFailure(ENOTDIR, at);
            break;
        }
        if (errno != ENOENT)
            return SafeFile::systemFailure(errno, at);
        missing.prepend(at);
        const QString above = QFileInfo(at).absolutePath();
        if (above == at)
            break;
        at = above;
    }
    for (const QString &folder : std::as_const(missing)) {
        const QByteArray name = QFile::encodeName(folder);
        if (::mkdir(name.constData(), S_IRWXU) != 0) {
            const int error = errno;
            struct stat st{};
            if (error == EEXIST && ::stat(name.constData(), &st) == 0 && S_ISDIR(st.st_mode))
                continue; // made by another program meanwhile: its rights are its own
            return SafeFile::systemFailure(error, folder);
        }
        if (made)
            made->prepend(folder);
        // mkdir() takes the umask off; the rule does not depend on it
        struct stat st{};
        const mode_t inherited = ::stat(name.constData(), &st) == 0 ? (st.st_mode & S_ISGID) : 0;
        if (::chmod(name.constData(), mode_t(folderMode()) | inherited) != 0)
            return SafeFile::systemFailure(errno, folder);
    }
    return Status::ok();
}

} // namespace FileRights

namespace {

constexpr mode_t OwnerOnlyMode = S_IRUSR | S_IWUSR;

// The file a symbolic link points to is the one replaced, so that the link stays.
QString resolved(const QString &path)
{
    const QFileInfo info(path);
    if (!info.isSymLink())
        return info.absoluteFilePath();
    const QString target = info.canonicalFilePath();
    return target.isEmpty() ? info.symLinkTarget() : target;
}

void syncFolder(const QString &file)
{
    const int dir = ::open(QFile::encodeName(QFileInfo(file).absolutePath()).constData(), O_RDONLY | O_DIRECTORY);
    if (dir >= 0) {
        ::fsync(dir);
        ::close(dir);
    }
}

// rename() that never replaces an existing file, where the file system can say so.
int renameNoReplace(const QByteArray &from, const QByteArray &to)
{
    if (::renameat2(AT_FDCWD, from.constData(), AT_FDCWD, to.constData(), RENAME_NOREPLACE) == 0)
        return 0;
    if (errno != EINVAL && errno != ENOSYS)
        return -1;
    if (::link(from.constData(), to.constData()) == 0) {
        ::unlink(from.constData());
        return 0;
    }
    if (errno == EEXIST)
        return -1;
    struct stat st{};
    if (::lstat(to.constData(), &st) == 0) {
        errno = EEXIST;
        return -1;
    }
    return ::rename(from.constData(), to.constData());
}

} // namespace

SafeFile::SafeFile(const QString &path, Existing existing, Rights rights)
    : m_path(resolved(path)), m_existing(existing), m_rights(rights)
{
}

SafeFile::~SafeFile()
{
    if (m_fd >= 0)
        ::close(m_fd);
    if (!m_committed && !m_temp.isEmpty())
        ::unlink(QFile::encodeName(m_temp).constData());
}

Failure SafeFile::systemFailure(int error, const QString &path)
{
    return Failure(qint64(error),
                   QStringLiteral("%1 (%2)").arg(QString::fromLocal8Bit(std::strerror(error)), QDir::toNativeSeparators(path)));
}

Failure SafeFile::naming(Failure failure, const QString &path)
{
    const QString name = QDir::toNativeSeparators(path);
    if (!failure.description.contains(name))
        failure.description += QStringLiteral(" (%1)").arg(name);
    return failure;
}

Status SafeFile::open()
{
    const QByteArray target = QFile::encodeName(m_path);
    struct stat existing{};
    const bool exists = ::stat(target.constData(), &existing) == 0;
    if (exists && m_existing == Existing::Refuse)
        return systemFailure(EEXIST, m_path);
    QByteArray name = target + ".XXXXXX";
    m_fd = ::mkstemp(name.data());
    if (m_fd < 0)
        return systemFailure(errno, m_path);
    m_temp = QFile::decodeName(name);
    const bool keep = exists && S_ISREG(existing.st_mode) && m_rights == Rights::KeepExisting;
    const mode_t mode = m_rights == Rights::OwnerOnly ? OwnerOnlyMode
                        : keep                        ? mode_t(FileRights::keptMode(existing.st_mode & 07777))
                                                      : mode_t(FileRights::fileMode());
    // A file system without rights (a FAT stick) refuses; the file then stays as mkstemp()
    // made it, its owner's alone.
    std::ignore = ::fchmod(m_fd, mode);
    return Status::ok();
}

Status SafeFile::write(const char *data, qint64 size)
{
    if (m_fd < 0)
        return systemFailure(EBADF, m_path);
    while (size > 0) {
        const ssize_t n = ::write(m_fd, data, size_t(size));
        if (n < 0) {
            if (errno == EINTR)
                continue;
            return systemFailure(errno, m_path);
        }
        data += n;
        size -= n;
    }
    return Status::ok();
}

Status SafeFile::finish()
{
    if (m_fd < 0)
        return m_temp.isEmpty() ? Status(systemFailure(EBADF, m_path)) : Status::ok();
    const int fd = m_fd;
    m_fd = -1;
    // A full disk may show only here, when the file system allocates what was written.
    if (::fsync(fd) != 0 && errno != EINVAL) {
        const int error = errno;
        ::close(fd);
        return systemFailure(error, m_path);
    }
    if (::close(fd) != 0)
        return systemFailure(errno, m_path);
    return Status::ok();
}

Status SafeFile::commit()
{
    if (m_committed)
        return Status::ok();
    if (Status s = finish(); !s)
        return s;
    const QByteArray from = QFile::encodeName(m_temp);
    const QByteArray to = QFile::encodeName(m_path);
    const int done = m_existing == Existing::Refuse ? renameNoReplace(from, to) : ::rename(from.constData(), to.constData());
    if (done != 0)
        return systemFailure(errno, m_path);
    m_committed = true;
    syncFolder(m_path);
    return Status::ok();
}

bool SafeFile::exists(const QString &path)
{
    struct stat st{};
    return ::lstat(QFile::encodeName(path).constData(), &st) == 0;
}

namespace {
constexpr qsizetype GatheredBytes = 256 * 1024;
}

SafeFileDevice::SafeFileDevice(const QString &path, SafeFile::Existing existing) : m_file(path, existing) {}

SafeFileDevice::~SafeFileDevice()
{
    // not committed: the temporary file goes with m_file
    QIODevice::close();
}

bool SafeFileDevice::open(OpenMode mode)
{
    if ((mode & ReadOnly) || !(mode & WriteOnly) || isOpen()) {
        m_errno = EINVAL;
        m_failure = SafeFile::systemFailure(EINVAL, m_file.path());
        setErrorString(m_failure.description);
        return false;
    }
    if (Status s = m_file.open(); !s)
        return fail(s);
    m_gathered.reserve(GatheredBytes);
    return QIODevice::open(mode | Unbuffered);
}

bool SafeFileDevice::fail(const Status &status)
{
    m_failure = status.failure();
    bool number = false;
    m_errno = m_failure.code.toInt(&number);
    if (!number)
        m_errno = EIO;
    setErrorString(m_failure.description);
    errno = m_errno; // for writers that tell a failed write by errno
    return false;
}

bool SafeFileDevice::flushGathered()
{
    if (m_gathered.isEmpty())
        return true;
    const Status s = m_file.write(m_gathered);
    m_gathered.clear();
    return s ? true : fail(s);
}

qint64 SafeFileDevice::writeData(const char *data, qint64 size)
{
    if (m_errno != 0)
        return -1;
    if (m_gathered.size() + size > GatheredBytes && !flushGathered())
        return -1;
    if (size >= GatheredBytes) {
        if (Status s = m_file.write(data, size); !s) {
            fail(s);
            return -1;
        }
        return size;
    }
    m_gathered.append(data, size);
    return size;
}

bool SafeFileDevice::commit()
{
    if (!isOpen() || m_errno != 0) {
        if (m_errno == 0)
            fail(SafeFile::systemFailure(EBADF, m_file.path()));
        QIODevice::close();
        return false;
    }
    const bool written = flushGathered();
    QIODevice::close();
    if (!written)
        return false;
    if (Status s = m_file.commit(); !s)
        return fail(s);
    return true;
}

void SafeFileDevice::cancelWriting()
{
    m_gathered.clear();
    if (m_errno == 0) {
        m_errno = ECANCELED;
        m_failure = SafeFile::systemFailure(ECANCELED, m_file.path());
    }
}

} // namespace quarl
