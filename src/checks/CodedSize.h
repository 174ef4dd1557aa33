#pragma once

#include <QByteArray>
#include <QByteArrayView>

#include <functional>
#include <limits>
#include <optional>

namespace pictomat {

// The size of the pictures a coded stream declares, which is what its
// decoder allocates for, whatever the boxes around it say.
struct CodedSize {
    qint64 width = 0;
    qint64 height = 0;
    // Saturated: sizes come from files, in 32 bits a side.
    qint64 pixels() const
    {
        return width > 0 && height > std::numeric_limits<qint64>::max() / width ? std::numeric_limits<qint64>::max()
                                                                                : width * height;
    }
};

// HEVC: the luma size of a sequence parameter set, given as its NAL unit
// (two-byte header first, emulation prevention bytes still in). Nothing when
// it is no SPS or ends before the size.
std::optional<CodedSize> HevcSpsSize(QByteArrayView nal);

// AV1: the largest frame a sequence header OBU allows, given its payload.
std::optional<CodedSize> Av1SequenceSize(QByteArrayView payload);

// Reads at most `length` bytes of a coded stream's data from `at`, fewer
// where it ends; nothing when it cannot be read.
using DataReader = std::function<std::optional<QByteArray>(qint64 at, qint64 length)>;

// A still picture's stream is a handful of units (parameter sets, a slice
// or a frame for each tile); a decoder queues each one it is handed.
inline constexpr int kMaxStreamUnits = 4096;

// What a coded stream declares: the largest picture, and how many units
// (NAL units, OBUs) its data holds, counted up to one past kMaxStreamUnits.
struct StreamFacts {
    std::optional<CodedSize> size;
    int units = 0;
};

// An HEVC stream: the sequence parameter sets of its hvcC box (given its
// body) and those among the NAL units of its `length` bytes of data, walked
// as libheif hands them to the decoder, each after a four-byte length.
StreamFacts HevcStream(QByteArrayView hvcC, const DataReader& read, qint64 length);

// The same for AV1: the sequence headers among the OBUs of its av1C box and
// of its data.
StreamFacts Av1Stream(QByteArrayView av1C, const DataReader& read, qint64 length);

} // namespace pictomat
