#pragma once

#include "files/FileRef.h"
#include "read/Sniff.h"

#include <QByteArray>
#include <QIODevice>

#include <memory>

namespace pictomat {

// A file opened once to be read, and told once what it holds: every reader
// takes it from here, so a file is neither opened twice (and swapped in
// between) nor sniffed by rules of its own.
class PictureSource {
public:
    PictureSource() = default;
    // Through OpenFileForReading: regular files only, never blocking. Not
    // open when the file is missing or of another kind.
    static PictureSource open(const FileRef& file);
    // Bytes held in memory (the clipboard's), known by their content alone.
    static PictureSource fromBytes(const QByteArray& bytes);

    bool isOpen() const { return m_device != nullptr; }
    Content content() const { return m_sniffed.content; }
    const QByteArray& format() const { return m_sniffed.format; }
    QIODevice& device() { return *m_device; }
    qint64 size() const { return m_device ? m_device->size() : 0; }
    // The open descriptor of a file (-1 for bytes), for readers that take one.
    int descriptor() const { return m_fd; }
    // The file's path, empty for bytes: a drawing links within its folder.
    const QByteArray& path() const { return m_path; }
    // Hands the device to a reader that keeps it (a PDF read page by page).
    std::unique_ptr<QIODevice> takeDevice() { return std::move(m_device); }

private:
    std::unique_ptr<QIODevice> m_device;
    int m_fd = -1;
    QByteArray m_path;
    Sniffed m_sniffed;
};

} // namespace pictomat
