#pragma once

#include <QByteArray>
#include <QString>

namespace pictomat::prefs {

// An exclusive flock(2) on a lock file, held until the object goes away. Two
// processes that both read, merge and write the same file under it never
// overwrite each other's keys.
class FileLock {
public:
    explicit FileLock(const QString& lockPath);
    ~FileLock();
    FileLock(const FileLock&) = delete;
    FileLock& operator=(const FileLock&) = delete;

    bool isLocked() const { return m_fd >= 0; }
    QString error() const { return m_error; }

private:
    int m_fd = -1;
    QString m_error;
};

} // namespace pictomat::prefs
