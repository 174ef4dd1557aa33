#pragma once

#include "files/FileRef.h"

#include <QByteArray>
#include <QString>

namespace pictomat {

// What a selected item holds as a web location, in every form people have:
//   - a `url ` resource in its resource fork (an AppleDouble "._" file beside
//     it, or an extended attribute), as classic Mac web locations keep it;
//   - a property list in its data fork, XML or binary, whose URL key holds
//     the address, as every .webloc a Mac has written since 10.x does;
//   - a desktop entry of Type=Link with URL (KDE writes URL[$e]), as
//     browsers and file managers of the Linux desktop save a dropped link;
//   - an [InternetShortcut] group with URL, a Windows .url file.
// The contents decide, tried in that order, whatever the name says: a link
// saved without its extension is still one. Only where the contents are
// none of these does the name count: a file named .webloc or .url (names
// nothing else uses) is a web location that names no address; anything else
// is not a web location.
struct WebLocation {
    enum class Kind {
        NotOne,    // "This is not a web location file."
        NoAddress, // "This web location could not be found."
        Address,
    };
    Kind kind = Kind::NotOne;
    QString address;
};

// The data fork's part of the rule above: Address, NoAddress for a form of
// web location that names no address (a link entry without URL), NotOne for
// anything else (damaged or cut files included).
WebLocation WebLocationFromData(const QByteArray& bytes);
// The whole rule for an item on disk. Never blocks and reads at most 1 MiB.
WebLocation ReadWebLocation(const FileRef& item);

} // namespace pictomat
