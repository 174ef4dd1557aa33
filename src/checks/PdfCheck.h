#pragma once

#include "checks/ByteSource.h"
#include "files/Error.h"

namespace pictomat {

// Page trees nest this deep at most: a balanced tree of a million pages is
// five levels deep, and poppler's time grows with the square of the depth
// (100,000 levels keep it busy for seconds).
inline constexpr int kMaxPdfPageTreeDepth = 256;
// The first page's drawing instructions (its content streams and those of
// the forms it draws), once inflated. poppler reads them again for every
// size drawn and checks its deadline only between instructions: 256 MiB of
// blanks hold it for seconds.
inline constexpr qint64 kMaxPdfContentBytes = 32LL * 1024 * 1024;

// Whether poppler may open a PDF and draw its first page, decided from the
// objects on the way there: the page tree no deeper than
// kMaxPdfPageTreeDepth, every image the page (or a form on it) draws at most
// `maxImagePixels` and with enough bytes for what it declares, and its
// drawing instructions within kMaxPdfContentBytes. What cannot be followed
// (a damaged or encrypted file, a filter not undone here) is left to
// poppler. *why (when given) says what is wrong.
Soundness CheckPdfStructure(const ByteSource& file, qint64 maxImagePixels, Error* why = nullptr);

} // namespace pictomat
