#pragma once

#include "files/Output.h"
#include "files/TemporaryFile.h"

#include <QByteArray>

namespace pictomat {

// An output that is one file, made in a TemporaryFile beside its name. It
// holds one Part, with an empty path. A folder, FIFO, device or socket that
// has its name is never replaced.
class OutputFile : public Output {
public:
    OutputFile() = default;

protected:
    bool makeTemporary(const QByteArray& folder, Error* error) override;
    bool hasTemporary() const override { return m_temp.isOpen(); }
    void discardTemporary() override { m_temp.discard(); }
    bool fillTemporary(const QVector<Part>& parts, Error* error) override;
    bool takeFreeName(const QByteArray& path, Error* error) override;
    Swap replaceOurs(const QByteArray& path, Error* error) override;
    bool replaceable(mode_t mode) const override;
    bool isOurs(const QByteArray& path) const override;
    const Reasons& reasons() const override;

private:
    TemporaryFile m_temp;
};

// True when the file at `path` (not followed through a link) is one that
// Pictomat wrote and nobody changed since.
bool IsPictomatOutput(const QByteArray& path);

} // namespace pictomat
