#pragma once

#include "files/Output.h"
#include "files/UniqueFd.h"

#include <QByteArray>
#include <QString>
#include <QVector>

namespace pictomat {

// An output that is a folder: its files are its Parts, each by its path
// inside it, folders made as needed. A folder (or link) that held the name
// goes to the Trash first, as one item, so a file manager restores it whole;
// where there is no Trash, only a folder Pictomat made, holding nothing but
// what it made and changed since by no one, is replaced. A file of that name
// is never replaced.
class OutputDirectory : public Output {
public:
    OutputDirectory() = default;
    ~OutputDirectory() override;

    // A file of a folder with bytes of its own, as the folder's makers give them.
    struct File {
        QByteArray path;
        QByteArray bytes;
    };
    // The files as the output's parts; they refer to the files' bytes.
    static QVector<Part> partsOf(const QVector<File>& files);

protected:
    bool makeTemporary(const QByteArray& folder, Error* error) override;
    bool hasTemporary() const override { return m_lock.valid(); }
    void discardTemporary() override;
    bool fillTemporary(const QVector<Part>& parts, Error* error) override;
    bool takeFreeName(const QByteArray& path, Error* error) override;
    Swap replaceOurs(const QByteArray& path, Error* error) override;
    bool replaceable(mode_t mode) const override;
    bool isOurs(const QByteArray& path) const override;
    const Reasons& reasons() const override;

private:
    QByteArray m_temp; // the folder being made, while it is
    UniqueFd m_lock;   // its descriptor, holding the lock
};

// True when the folder at `path` (not followed through a link) is one that
// Pictomat made, and it and everything in it are as Pictomat left them.
bool IsPictomatOutputFolder(const QByteArray& path);

} // namespace pictomat
