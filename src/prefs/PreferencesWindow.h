#pragma once

#include <QObject>
#include <QString>

#include <functional>
#include <optional>

class QWidget;

namespace pictomat {

// The preferences window controllers. Every change is stored and synchronised
// at once; the rest of the program picks it up at its next read.
class PictomatLitePref;
class PictomatPref;

// The default output folder's path, supplied by the output layer (which sits
// above the preferences), created on demand; nothing when it cannot be had.
using DefaultFolderProvider = std::function<std::optional<QString>()>;

} // namespace pictomat
