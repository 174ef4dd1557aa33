#pragma once

#include "read/Drawing.h"

#include <QIODevice>

// The one entry point of our PDF module (PdfModule.cpp, pictomat-pdf.so),
// which the reading layer opens with the first PDF: poppler and the libraries
// behind it (NSS among them) would add a seventh to every start of the
// program. `owned`, when given, is `device` and goes with the drawing. The
// document is read from the device alone, so nothing it names elsewhere
// (another file, an address) is ever loaded.
extern "C" __attribute__((visibility("default"))) pictomat::Drawing* pictomat_open_pdf(QIODevice* device,
                                                                                       QIODevice* owned,
                                                                                       pictomat::DrawingBudget budget,
                                                                                       pictomat::PictureStatus* status);
