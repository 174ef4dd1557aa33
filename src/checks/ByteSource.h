#pragma once

#include <QByteArray>
#include <QString>

#include <optional>

class QIODevice;

namespace pictomat {

// What a structure check found: a file a library may read, one whose
// structure promises more than the limits (or than its bytes can hold), and
// one whose structure does not hold together.
enum class Soundness { Sound, TooLarge, Damaged };

// For a check that reads its way down a file: what it found wrong, kept as
// it unwinds, to tell its caller once.
class Finding {
protected:
    Soundness fail(Soundness verdict, const QString& why)
    {
        m_why = why;
        return verdict;
    }
    Soundness damaged(const QString& why) { return fail(Soundness::Damaged, why); }
    Soundness tooLarge(const QString& why) { return fail(Soundness::TooLarge, why); }
    QString m_why;
};

// The bytes of a file that a check reads here and there, never whole: held
// in memory, or read by position from a file descriptor (whose own offset is
// left alone, so a reader that shares it is not disturbed).
class ByteSource {
public:
    explicit ByteSource(QByteArray bytes);
    // The descriptor stays the caller's; its size is taken now.
    explicit ByteSource(int fd);

    qint64 size() const { return m_size; }
    // Exactly `length` bytes at `at`; nothing when they do not all lie inside.
    std::optional<QByteArray> read(qint64 at, qint64 length) const;
    // At most `length` (up to kWindow) bytes at `at`, fewer at the end; the
    // pointer lasts until the next call. For parsers that step through small
    // headers: a window of the file is kept between calls.
    static constexpr qint64 kWindow = 4096;
    const char* peek(qint64 at, qint64 length, qint64* got) const;

private:
    bool readInto(qint64 at, qint64 length, char* out) const;
    QByteArray m_bytes;
    int m_fd = -1;
    qint64 m_size = 0;
    mutable QByteArray m_window;
    mutable qint64 m_windowAt = -1;
};

// The source a reader's device stands on: a file by its descriptor, a buffer
// by its bytes. Nothing for any other device.
std::optional<ByteSource> ByteSourceOf(QIODevice& device);

} // namespace pictomat
