<?xml version="1.0" encoding="utf-8"?>
<!DOCTYPE TS>
<TS version="2.1" language="de">
<context>
    <name>Alert</name>
    <message>
        <source>The icon could not be obtained from the file.</source>
        <translation>Das Symbol konnte nicht aus der Datei gewonnen werden.</translation>
    </message>
    <message>
        <source>The file type for the extension could not be determined.</source>
        <translation>Der Dateityp zur Endung konnte nicht bestimmt werden.</translation>
    </message>
    <message>
        <source>The file&apos;s icon could not be found.</source>
        <translation>Das Symbol der Datei wurde nicht gefunden.</translation>
    </message>
    <message>
        <source>The icon could not be put on the clipboard.</source>
        <translation>Das Symbol konnte nicht in die Zwischenablage gelegt werden.</translation>
    </message>
    <message>
        <source>An image could not be created from the Clipboard.</source>
        <translation>Aus der Zwischenablage konnte kein Bild erstellt werden.</translation>
    </message>
    <message>
        <source>An image could not be created from the clipboard.</source>
        <translation>Aus der Zwischenablage konnte kein Bild erstellt werden.</translation>
    </message>
    <message>
        <source>The clipboard image could not be copied to the file.</source>
        <translation>Das Bild aus der Zwischenablage konnte nicht auf die Datei übertragen werden.</translation>
    </message>
    <message>
        <source>%1 could not be written: %2</source>
        <translation>%1 konnte nicht geschrieben werden: %2</translation>
    </message>
    <message>
        <source>The files graphic image could not be copied to the file.</source>
        <translation>Das Bild der Datei konnte nicht auf die Datei übertragen werden.</translation>
    </message>
    <message>
        <source>The custom icon could not be removed successfully.</source>
        <translation>Das eigene Symbol konnte nicht entfernt werden.</translation>
    </message>
    <message>
        <source>The output file could not be created.</source>
        <translation>Die Ausgabedatei konnte nicht erstellt werden.</translation>
    </message>
    <message>
        <source>Check that a file by the same name does not already exist or is not open.</source>
        <translation>Prüfen Sie, ob schon eine Datei mit gleichem Namen existiert oder geöffnet ist.</translation>
    </message>
    <message>
        <source>The file already exists.</source>
        <translation>Die Datei existiert bereits.</translation>
    </message>
    <message>
        <source>Select the option to overwrite files by same name to avoid this issue.</source>
        <translation>Schalten Sie das Ersetzen von Dateien mit gleichem Namen ein, um das zu vermeiden.</translation>
    </message>
    <message>
        <source>The file of the same name could not be moved aside to the Trash, so it was kept.</source>
        <translation>Die Datei mit gleichem Namen konnte nicht in den Papierkorb verschoben werden und wurde behalten.</translation>
    </message>
    <message>
        <source>The icon family could not be created.</source>
        <translation>Die Symbolfamilie konnte nicht erstellt werden.</translation>
    </message>
    <message>
        <source>The old file of the same name could not be moved to the Trash and was kept.</source>
        <translation>Die alte Datei mit gleichem Namen konnte nicht in den Papierkorb verschoben werden und wurde behalten.</translation>
    </message>
    <message>
        <source>An icon for the file could not be found.</source>
        <translation>Für die Datei wurde kein Symbol gefunden.</translation>
    </message>
    <message>
        <source>This is not a web location file.</source>
        <translation>Dies ist keine Web-Verknüpfungsdatei.</translation>
    </message>
    <message>
        <source>This web location could not be found.</source>
        <translation>Diese Web-Verknüpfung wurde nicht gefunden.</translation>
    </message>
    <message>
        <source>The web page could not be downloaded.</source>
        <translation>Die Webseite konnte nicht heruntergeladen werden.</translation>
    </message>
    <message>
        <source>The web page header could not be found.</source>
        <translation>Der Kopf der Webseite wurde nicht gefunden.</translation>
    </message>
    <message>
        <source>The shortcut icon could not be found.</source>
        <translation>Das Verknüpfungssymbol wurde nicht gefunden.</translation>
    </message>
    <message>
        <source>The shortcut icon image could not be created.</source>
        <translation>Das Bild des Verknüpfungssymbols konnte nicht erstellt werden.</translation>
    </message>
    <message>
        <source>The shortcut icon image could not be copied to the file.</source>
        <translation>Das Bild des Verknüpfungssymbols konnte nicht auf die Datei übertragen werden.</translation>
    </message>
    <message>
        <source>Item: %1</source>
        <translation>Objekt: %1</translation>
    </message>
    <message>
        <source>Reason: %1</source>
        <translation>Grund: %1</translation>
    </message>
    <message>
        <source>Stop</source>
        <translation>Abbrechen</translation>
    </message>
</context>
<context>
    <name>Cause</name>
    <message>
        <source>the pictures could not be encoded</source>
        <translation>die Bilder konnten nicht kodiert werden</translation>
    </message>
    <message>
        <source>the icon data could not be loaded</source>
        <translation>die Symboldaten konnten nicht geladen werden</translation>
    </message>
    <message>
        <source>there is no such file or folder</source>
        <translation>diese Datei oder dieser Ordner existiert nicht</translation>
    </message>
    <message>
        <source>permission denied</source>
        <translation>Zugriff verweigert</translation>
    </message>
    <message>
        <source>the disk is full</source>
        <translation>der Datenträger ist voll</translation>
    </message>
    <message>
        <source>the disk quota is used up</source>
        <translation>das Speicherkontingent ist aufgebraucht</translation>
    </message>
    <message>
        <source>the disk is read-only</source>
        <translation>der Datenträger ist schreibgeschützt</translation>
    </message>
    <message>
        <source>the file is too large for its disk</source>
        <translation>die Datei ist zu groß für ihren Datenträger</translation>
    </message>
    <message>
        <source>the disk could not be read or written</source>
        <translation>der Datenträger konnte nicht gelesen oder beschrieben werden</translation>
    </message>
    <message>
        <source>the name is too long</source>
        <translation>der Name ist zu lang</translation>
    </message>
    <message>
        <source>too many symbolic links</source>
        <translation>zu viele symbolische Links</translation>
    </message>
    <message>
        <source>a folder has that name</source>
        <translation>ein Ordner trägt diesen Namen</translation>
    </message>
    <message>
        <source>not a picture, movie or icon file that Pictomat reads</source>
        <translation>kein Bild, kein Film und keine Symboldatei, die Pictomat lesen kann</translation>
    </message>
    <message>
        <source>the picture is too large</source>
        <translation>das Bild ist zu groß</translation>
    </message>
    <message>
        <source>the file is damaged</source>
        <translation>die Datei ist beschädigt</translation>
    </message>
    <message>
        <source>the drawing takes too long to draw</source>
        <translation>die Zeichnung braucht zu lange zum Zeichnen</translation>
    </message>
    <message>
        <source>no metadata service (GVfs) on this session bus</source>
        <translation>kein Metadatendienst (GVfs) auf diesem Sitzungsbus</translation>
    </message>
    <message>
        <source>there is no Trash on its drive</source>
        <translation>auf seinem Laufwerk gibt es keinen Papierkorb</translation>
    </message>
    <message>
        <source>%1 is there, and replacing files of the same name is switched off</source>
        <translation>%1 ist vorhanden, und das Ersetzen von Dateien mit gleichem Namen ist ausgeschaltet</translation>
    </message>
    <message>
        <source>its icon draws nothing</source>
        <translation>sein Symbol zeichnet nichts</translation>
    </message>
    <message>
        <source>the icon file holds no picture that can be written</source>
        <translation>die Symboldatei enthält kein Bild, das geschrieben werden kann</translation>
    </message>
    <message>
        <source>the file holds no web address</source>
        <translation>die Datei enthält keine Webadresse</translation>
    </message>
    <message>
        <source>not a web location (.webloc, .url or a link&apos;s .desktop file)</source>
        <translation>keine Web-Verknüpfung (.webloc, .url oder die .desktop-Datei eines Links)</translation>
    </message>
    <message>
        <source>the page has no head section</source>
        <translation>die Seite hat keinen Kopfbereich</translation>
    </message>
    <message>
        <source>no icon address could be formed for the page</source>
        <translation>für die Seite ließ sich keine Symboladresse bilden</translation>
    </message>
    <message>
        <source>no picture was found at the site&apos;s icon addresses</source>
        <translation>an den Symboladressen der Website wurde kein Bild gefunden</translation>
    </message>
    <message>
        <source>the clipboard holds no picture</source>
        <translation>die Zwischenablage enthält kein Bild</translation>
    </message>
    <message>
        <source>the item is gone</source>
        <translation>das Objekt ist verschwunden</translation>
    </message>
    <message>
        <source>nothing could be made for it</source>
        <translation>dafür konnte nichts erstellt werden</translation>
    </message>
    <message>
        <source>the icon family holds nothing that can be written</source>
        <translation>die Symbolfamilie enthält nichts, was geschrieben werden kann</translation>
    </message>
    <message>
        <source>the pictures make no icon file</source>
        <translation>die Bilder ergeben keine Symboldatei</translation>
    </message>
    <message>
        <source>not a web address: %1</source>
        <translation>keine Webadresse: %1</translation>
    </message>
    <message>
        <source>the dark picture %1: %2</source>
        <translation>das dunkle Bild %1: %2</translation>
    </message>
    <message>
        <source>the tinted picture %1: %2</source>
        <translation>das getönte Bild %1: %2</translation>
    </message>
    <message>
        <source>the monochrome picture %1: %2</source>
        <translation>das einfarbige Bild %1: %2</translation>
    </message>
</context>
<context>
    <name>Clipboard</name>
    <message>
        <source>The clipboard of a Wayland session is set with wl-clipboard (wl-copy and wl-paste), which is not installed.</source>
        <translation>Die Zwischenablage einer Wayland-Sitzung wird mit wl-clipboard (wl-copy und wl-paste) gesetzt, das nicht installiert ist.</translation>
    </message>
    <message>
        <source>wl-copy could not set the clipboard.</source>
        <translation>wl-copy konnte die Zwischenablage nicht setzen.</translation>
    </message>
    <message>
        <source>The clipboard does not hold the picture after wl-copy set it.</source>
        <translation>Die Zwischenablage enthält das Bild nicht, nachdem wl-copy es gesetzt hat.</translation>
    </message>
    <message>
        <source>There is no clipboard without a graphical session.</source>
        <translation>Ohne grafische Sitzung gibt es keine Zwischenablage.</translation>
    </message>
    <message>
        <source>Another program took the clipboard at once.</source>
        <translation>Ein anderes Programm hat die Zwischenablage sofort übernommen.</translation>
    </message>
</context>
<context>
    <name>Command</name>
    <message>
        <source>Make Icon for File</source>
        <translation>Symbol der Datei erstellen</translation>
    </message>
    <message>
        <source>Make an ICNS file for the file&apos;s icon.</source>
        <translation>Erstellt eine ICNS-Datei aus dem Symbol der Datei.</translation>
    </message>
    <message>
        <source>Make Icon for Media</source>
        <translation>Symbol aus dem Medium erstellen</translation>
    </message>
    <message>
        <source>Make an ICNS file for the file&apos;s data.</source>
        <translation>Erstellt eine ICNS-Datei aus dem Inhalt der Datei.</translation>
    </message>
    <message>
        <source>Make Windows Icon for Media</source>
        <translation>Windows-Symbol aus dem Medium erstellen</translation>
    </message>
    <message>
        <source>Make a Windows ICO file for the file&apos;s data.</source>
        <translation>Erstellt eine Windows-ICO-Datei aus dem Inhalt der Datei.</translation>
    </message>
    <message>
        <source>Make Linux Icon Set for Media</source>
        <translation>Linux-Symbolsatz aus dem Medium erstellen</translation>
    </message>
    <message>
        <source>Make a folder of Linux icon theme pictures for the file&apos;s data.</source>
        <translation>Erstellt aus dem Inhalt der Datei einen Ordner mit Bildern für ein Linux-Symbolthema.</translation>
    </message>
    <message>
        <source>Make App Icons for Media</source>
        <translation>App-Symbole aus dem Medium erstellen</translation>
    </message>
    <message>
        <source>Make the app icons of every platform for the file&apos;s data.</source>
        <translation>Erstellt aus dem Inhalt der Datei die App-Symbole aller Plattformen.</translation>
    </message>
    <message>
        <source>Copy Icon for File</source>
        <translation>Symbol der Datei kopieren</translation>
    </message>
    <message>
        <source>Copy the file&apos;s icon image to the clipboard.</source>
        <translation>Kopiert das Symbolbild der Datei in die Zwischenablage.</translation>
    </message>
    <message>
        <source>Add Shortcut Icon</source>
        <translation>Verknüpfungssymbol hinzufügen</translation>
    </message>
    <message>
        <source>Add an icon to the web location&apos;s file using its associated &quot;favicon&quot;.</source>
        <translation>Gibt der Datei der Web-Verknüpfung das zugehörige „Favicon“ als Symbol.</translation>
    </message>
    <message>
        <source>Add Custom Icon from Clipboard</source>
        <translation>Eigenes Symbol aus der Zwischenablage hinzufügen</translation>
    </message>
    <message>
        <source>Add a custom icon to the file from an image on the clipboard.</source>
        <translation>Gibt der Datei ein eigenes Symbol aus einem Bild in der Zwischenablage.</translation>
    </message>
    <message>
        <source>Add Custom Icon to Media</source>
        <translation>Eigenes Symbol aus dem Medium hinzufügen</translation>
    </message>
    <message>
        <source>Add a custom icon to the file from the file&apos;s image data.</source>
        <translation>Gibt der Datei ein eigenes Symbol aus ihren eigenen Bilddaten.</translation>
    </message>
    <message>
        <source>Remove Custom Icon</source>
        <translation>Eigenes Symbol entfernen</translation>
    </message>
    <message>
        <source>Removes any custom icon for the file.</source>
        <translation>Entfernt jedes eigene Symbol der Datei.</translation>
    </message>
    <message>
        <source>Icon Sizes</source>
        <translation>Symbolgrößen</translation>
    </message>
    <message>
        <source>Go to Pictomat folder...</source>
        <translation>Pictomat-Ordner öffnen …</translation>
    </message>
    <message>
        <source>Open the output folder in the Finder.</source>
        <translation>Öffnet den Ausgabeordner im Dateimanager.</translation>
    </message>
</context>
<context>
    <name>CommandLine</name>
    <message>
        <source>the image formats could not be loaded</source>
        <translation>die Bildformate konnten nicht geladen werden</translation>
    </message>
    <message>
        <source>the preferences window needs a graphical session, and no display can be reached here.</source>
        <translation>das Einstellungsfenster braucht eine grafische Sitzung, und hier ist keine Anzeige erreichbar.</translation>
    </message>
    <message>
        <source>%1 works with the clipboard and needs a graphical display (DISPLAY or WAYLAND_DISPLAY is not set)</source>
        <translation>%1 arbeitet mit der Zwischenablage und braucht eine grafische Anzeige (DISPLAY oder WAYLAND_DISPLAY ist nicht gesetzt)</translation>
    </message>
    <message>
        <source>Try &apos;pictomat --help&apos;.</source>
        <translation>Weitere Hinweise mit „pictomat --help“.</translation>
    </message>
    <message>
        <source>Try &apos;pictomat run --help&apos;.</source>
        <translation>Weitere Hinweise mit „pictomat run --help“.</translation>
    </message>
    <message>
        <source>--output needs a folder.</source>
        <translation>--output braucht einen Ordner.</translation>
    </message>
    <message>
        <source>%1: there is no such folder.</source>
        <translation>%1: diesen Ordner gibt es nicht.</translation>
    </message>
    <message>
        <source>unknown option &quot;%1&quot;</source>
        <translation>unbekannte Option „%1“</translation>
    </message>
    <message>
        <source>unknown command &quot;%1&quot;</source>
        <translation>unbekannter Befehl „%1“</translation>
    </message>
    <message>
        <source>%1 needs at least one file</source>
        <translation>%1 braucht mindestens eine Datei</translation>
    </message>
    <message>
        <source>%1 needs a value</source>
        <translation>%1 braucht einen Wert</translation>
    </message>
    <message>
        <source>&quot;%1&quot; is no colour (a name such as white, or #RRGGBB)</source>
        <translation>„%1“ ist keine Farbe (ein Name wie white oder #RRGGBB)</translation>
    </message>
    <message>
        <source>unknown or repeated option %1</source>
        <translation>unbekannte oder wiederholte Option %1</translation>
    </message>
    <message>
        <source>no session bus, so the Pictomat menu cannot be reached</source>
        <translation>kein Sitzungsbus, daher ist das Pictomat-Menü nicht erreichbar</translation>
    </message>
    <message>
        <source>no session bus, so the running Pictomat cannot be reached</source>
        <translation>kein Sitzungsbus, daher ist das laufende Pictomat nicht erreichbar</translation>
    </message>
    <message>
        <source>-alpha needs a value</source>
        <translation>-alpha braucht einen Wert</translation>
    </message>
    <message>
        <source>-alpha needs a number from 0 to 1, not &quot;%1&quot;.</source>
        <translation>-alpha braucht eine Zahl von 0 bis 1, nicht „%1“.</translation>
    </message>
    <message>
        <source>select needs at least one file</source>
        <translation>select braucht mindestens eine Datei</translation>
    </message>
    <message>
        <source>formats takes no arguments</source>
        <translation>formats nimmt keine Argumente</translation>
    </message>
    <message>
        <source>&quot;%1&quot; is no icon name (letters, digits, &apos;-&apos;, &apos;_&apos; and &apos;.&apos;; &quot;%2&quot; would be)</source>
        <translation>„%1“ ist kein Symbolname (Buchstaben, Ziffern, „-“, „_“ und „.“; „%2“ wäre einer)</translation>
    </message>
    <message>
        <source>Pictomat could not be started</source>
        <translation>Pictomat konnte nicht gestartet werden</translation>
    </message>
    <message>
        <source>cannot create a pipe</source>
        <translation>kann keine Pipe anlegen</translation>
    </message>
    <message>
        <source>cannot fork</source>
        <translation>kann keinen Kindprozess starten</translation>
    </message>
    <message>
        <source>--tray takes the running Pictomat&apos;s preferences, so --open, --reveal, --quiet and --output do not go with it.</source>
        <translation>--tray nimmt die Einstellungen des laufenden Pictomat, daher passen --open, --reveal, --quiet und --output nicht dazu.</translation>
    </message>
    <message>
        <source>run needs a command</source>
        <translation>run braucht einen Befehl</translation>
    </message>
    <message>
        <source>export needs an extension, such as png</source>
        <translation>export braucht eine Dateiendung, etwa png</translation>
    </message>
    <message>
        <source>set-icon-size needs a size, such as 256</source>
        <translation>set-icon-size braucht eine Größe, etwa 256</translation>
    </message>
    <message>
        <source>&quot;%1&quot; is no platform (macos, windows, linux, ios, android, web)</source>
        <translation>„%1“ ist keine Plattform (macos, windows, linux, ios, android, web)</translation>
    </message>
    <message>
        <source>cannot read: %1</source>
        <translation>kann nicht gelesen werden: %1</translation>
    </message>
    <message>
        <source>the file is damaged: %1</source>
        <translation>die Datei ist beschädigt: %1</translation>
    </message>
    <message>
        <source>warning: %1</source>
        <translation>Warnung: %1</translation>
    </message>
    <message>
        <source>cannot create the folder: %1</source>
        <translation>der Ordner kann nicht angelegt werden: %1</translation>
    </message>
    <message>
        <source>not a folder</source>
        <translation>kein Ordner</translation>
    </message>
    <message>
        <source>%1 has no iconset name; not saved</source>
        <translation>%1 hat keinen Namen in einem .iconset-Ordner; nicht gespeichert</translation>
    </message>
    <message>
        <source>no picture to save</source>
        <translation>kein Bild zum Speichern</translation>
    </message>
    <message>
        <source>the icon family is too large to write</source>
        <translation>die Symbolfamilie ist zu groß zum Schreiben</translation>
    </message>
    <message>
        <source>%1; not saved</source>
        <translation>%1; nicht gespeichert</translation>
    </message>
    <message>
        <source>not a PNG picture</source>
        <translation>kein PNG-Bild</translation>
    </message>
    <message>
        <source>%1x%2 pixels; icon pictures are at most %3</source>
        <translation>%1×%2 Pixel; Symbolbilder haben höchstens %3</translation>
    </message>
    <message>
        <source>the PNG picture cannot be decoded</source>
        <translation>das PNG-Bild kann nicht dekodiert werden</translation>
    </message>
    <message>
        <source>%1 and %2 are both %3x%4 pixels</source>
        <translation>%1 und %2 haben beide %3×%4 Pixel</translation>
    </message>
    <message>
        <source>more than %1 pictures</source>
        <translation>mehr als %1 Bilder</translation>
    </message>
    <message>
        <source>already exists; not replaced (--force replaces it)</source>
        <translation>ist schon vorhanden; nicht ersetzt (--force ersetzt es)</translation>
    </message>
</context>
<context>
    <name>CustomIcons</name>
    <message>
        <source>The folder %1 could not be created.</source>
        <translation>Der Ordner %1 konnte nicht angelegt werden.</translation>
    </message>
    <message>
        <source>The icon file %1 could not be written: %2</source>
        <translation>Die Symboldatei %1 konnte nicht geschrieben werden: %2</translation>
    </message>
    <message>
        <source>The folder&apos;s .directory is a link or a special file, which is never edited.</source>
        <translation>Die .directory-Datei des Ordners ist eine Verknüpfung oder eine Spezialdatei, die nie bearbeitet wird.</translation>
    </message>
    <message>
        <source>The item does not exist.</source>
        <translation>Das Objekt existiert nicht.</translation>
    </message>
    <message>
        <source>There is no picture to use as the icon.</source>
        <translation>Es gibt kein Bild, das als Symbol dienen kann.</translation>
    </message>
    <message>
        <source>The folder&apos;s .directory is not a regular file that can be read.</source>
        <translation>Die .directory-Datei des Ordners ist keine normale, lesbare Datei.</translation>
    </message>
    <message>
        <source>The folder&apos;s .directory file could not be written.</source>
        <translation>Die .directory-Datei des Ordners konnte nicht geschrieben werden.</translation>
    </message>
    <message>
        <source>The desktop link is a symbolic link, which is never edited.</source>
        <translation>Die Desktop-Verknüpfung ist ein symbolischer Link, der nie bearbeitet wird.</translation>
    </message>
    <message>
        <source>The desktop link could not be written: %1</source>
        <translation>Die Desktop-Verknüpfung konnte nicht geschrieben werden: %1</translation>
    </message>
    <message>
        <source>The desktop link has no [Desktop Entry] group.</source>
        <translation>Die Desktop-Verknüpfung hat keine Gruppe [Desktop Entry].</translation>
    </message>
    <message>
        <source>The picture could not be encoded as PNG: %1</source>
        <translation>Das Bild konnte nicht als PNG kodiert werden: %1</translation>
    </message>
</context>
<context>
    <name>Defaults</name>
    <message>
        <source>%1 holds a boolean (-bool)</source>
        <translation>%1 enthält einen Wahrheitswert (-bool)</translation>
    </message>
    <message>
        <source>%1 holds an integer (-int)</source>
        <translation>%1 enthält eine ganze Zahl (-int)</translation>
    </message>
    <message>
        <source>%1 holds a real number (-float)</source>
        <translation>%1 enthält eine reelle Zahl (-float)</translation>
    </message>
    <message>
        <source>%1 holds a string (-string)</source>
        <translation>%1 enthält eine Zeichenkette (-string)</translation>
    </message>
    <message>
        <source>the key &quot;%1&quot; does not exist in %2</source>
        <translation>den Schlüssel „%1“ gibt es in %2 nicht</translation>
    </message>
    <message>
        <source>&quot;%1&quot; is not a boolean (use true, false, yes, no, 1 or 0)</source>
        <translation>„%1“ ist kein Wahrheitswert (true, false, yes, no, 1 oder 0 verwenden)</translation>
    </message>
    <message>
        <source>&quot;%1&quot; is not an integer</source>
        <translation>„%1“ ist keine ganze Zahl</translation>
    </message>
    <message>
        <source>&quot;%1&quot; is not a finite number</source>
        <translation>„%1“ ist keine endliche Zahl</translation>
    </message>
    <message>
        <source>unknown type flag &quot;%1&quot; (use -bool, -int, -float or -string)</source>
        <translation>unbekannte Typangabe „%1“ (-bool, -int, -float oder -string verwenden)</translation>
    </message>
    <message>
        <source>the preferences file it replaced was kept as %1</source>
        <translation>die ersetzte Einstellungsdatei wurde als %1 aufbewahrt</translation>
    </message>
</context>
<context>
    <name>Files</name>
    <message>
        <source>The file manager&apos;s metadata service (GVfs on the session bus) is not available.</source>
        <translation>Der Metadatendienst des Dateimanagers (GVfs auf dem Sitzungsbus) ist nicht verfügbar.</translation>
    </message>
    <message>
        <source>no such regular file</source>
        <translation>keine solche normale Datei</translation>
    </message>
    <message>
        <source>larger than %1 bytes</source>
        <translation>größer als %1 Byte</translation>
    </message>
    <message>
        <source>read error</source>
        <translation>Lesefehler</translation>
    </message>
    <message>
        <source>no file to write</source>
        <translation>keine Datei zum Schreiben</translation>
    </message>
    <message>
        <source>cannot write %1: %2</source>
        <translation>%1 kann nicht geschrieben werden: %2</translation>
    </message>
    <message>
        <source>unknown error</source>
        <translation>unbekannter Fehler</translation>
    </message>
    <message>
        <source>there is no folder to write into</source>
        <translation>es gibt keinen Ordner, in den geschrieben werden kann</translation>
    </message>
    <message>
        <source>nothing was written</source>
        <translation>es wurde nichts geschrieben</translation>
    </message>
    <message>
        <source>something else took the name meanwhile</source>
        <translation>etwas anderes hat den Namen inzwischen belegt</translation>
    </message>
    <message>
        <source>the name keeps changing</source>
        <translation>der Name ändert sich ständig</translation>
    </message>
    <message>
        <source>cannot create a folder in %1: %2</source>
        <translation>in %1 kann kein Ordner angelegt werden: %2</translation>
    </message>
    <message>
        <source>cannot create a folder in %1</source>
        <translation>in %1 kann kein Ordner angelegt werden</translation>
    </message>
    <message>
        <source>no file can be named %1</source>
        <translation>keine Datei kann %1 heißen</translation>
    </message>
    <message>
        <source>the earlier folder could not be removed</source>
        <translation>der frühere Ordner konnte nicht entfernt werden</translation>
    </message>
    <message>
        <source>a file or special file has that name</source>
        <translation>eine Datei oder Spezialdatei trägt diesen Namen</translation>
    </message>
    <message>
        <source>a folder that Pictomat did not make has that name, and its file system has no Trash</source>
        <translation>ein Ordner, den Pictomat nicht angelegt hat, trägt diesen Namen, und sein Dateisystem hat keinen Papierkorb</translation>
    </message>
    <message>
        <source>the folder that has that name could not be moved to the Trash: %1</source>
        <translation>der Ordner mit diesem Namen konnte nicht in den Papierkorb verschoben werden: %1</translation>
    </message>
    <message>
        <source>an output file holds one file, itself</source>
        <translation>eine Ausgabedatei enthält genau eine Datei, sich selbst</translation>
    </message>
    <message>
        <source>a file that Pictomat did not write has that name, and its file system has no Trash</source>
        <translation>eine Datei, die Pictomat nicht geschrieben hat, trägt diesen Namen, und ihr Dateisystem hat keinen Papierkorb</translation>
    </message>
    <message>
        <source>the file that has that name could not be moved to the Trash: %1</source>
        <translation>die Datei mit diesem Namen konnte nicht in den Papierkorb verschoben werden: %1</translation>
    </message>
    <message>
        <source>a folder or special file has that name</source>
        <translation>ein Ordner oder eine Spezialdatei trägt diesen Namen</translation>
    </message>
    <message>
        <source>cannot create a file in %1</source>
        <translation>in %1 kann keine Datei angelegt werden</translation>
    </message>
</context>
<context>
    <name>Help</name>
    <message>
        <source>Export the file&apos;s icon as a picture of the format EXT (see pictomat formats).</source>
        <translation>Exportiert das Symbol der Datei als Bild im Format EXT (siehe pictomat formats).</translation>
    </message>
    <message>
        <source>Set the icon size, from 16 to 1024 pixels, that the icons are drawn at.</source>
        <translation>Legt die Größe von 16 bis 1024 Pixeln fest, in der die Symbole gezeichnet werden.</translation>
    </message>
    <message>
        <source>Usage:</source>
        <translation>Aufruf:</translation>
    </message>
    <message>
        <source>usage:</source>
        <translation>Aufruf:</translation>
    </message>
    <message>
        <source>Options:</source>
        <translation>Optionen:</translation>
    </message>
    <message>
        <source>Commands:</source>
        <translation>Befehle:</translation>
    </message>
    <message>
        <source>Makes icons from the files selected in the file manager. Without a command, Pictomat starts in the system tray.</source>
        <translation>Erstellt Symbole aus den im Dateimanager ausgewählten Dateien. Ohne Befehl startet Pictomat im Systembereich.</translation>
    </message>
    <message>
        <source>hand the files over as the selection, or end it</source>
        <translation>die Dateien als Auswahl übergeben oder die Übergabe beenden</translation>
    </message>
    <message>
        <source>hand the files over and show the Pictomat menu at the pointer, starting Pictomat if needed</source>
        <translation>die Dateien übergeben und das Pictomat-Menü am Mauszeiger zeigen, Pictomat wenn nötig starten</translation>
    </message>
    <message>
        <source>run one command on the files, without a menu, and print each output&apos;s path; --output DIR, --open, --reveal and --quiet for this run</source>
        <translation>einen Befehl ohne Menü auf die Dateien anwenden und den Pfad jeder Ausgabe ausgeben; --output&#xa0;DIR, --open, --reveal und --quiet für diesen Lauf</translation>
    </message>
    <message>
        <source>run it in the running Pictomat (started if needed), as if chosen from its menu</source>
        <translation>den Befehl im laufenden Pictomat ausführen (wenn nötig gestartet), als wäre er im Menü gewählt</translation>
    </message>
    <message>
        <source>list the image formats icons can be exported to</source>
        <translation>die Bildformate auflisten, in die Symbole exportiert werden können</translation>
    </message>
    <message>
        <source>open the preferences window</source>
        <translation>das Einstellungsfenster öffnen</translation>
    </message>
    <message>
        <source>edit the preferences from a shell</source>
        <translation>die Einstellungen in einer Shell bearbeiten</translation>
    </message>
    <message>
        <source>look inside icon files, save their pictures, make them from .iconset folders and PNG files</source>
        <translation>in Symboldateien schauen, ihre Bilder speichern, sie aus .iconset-Ordnern und PNG-Dateien erstellen</translation>
    </message>
    <message>
        <source>the same for Windows icon files, made from a picture or from PNG files</source>
        <translation>dasselbe für Windows-Symboldateien, erstellt aus einem Bild oder aus PNG-Dateien</translation>
    </message>
    <message>
        <source>a picture as an .iconset folder&apos;s ten pictures</source>
        <translation>ein Bild als die zehn Bilder eines .iconset-Ordners</translation>
    </message>
    <message>
        <source>a picture as a Linux icon theme&apos;s files</source>
        <translation>ein Bild als die Dateien eines Linux-Symbolthemas</translation>
    </message>
    <message>
        <source>a picture as the app icons of macOS, Windows, Linux, iOS, Android and the web</source>
        <translation>ein Bild als die App-Symbole von macOS, Windows, Linux, iOS, Android und dem Web</translation>
    </message>
    <message>
        <source>add (or take out) the file-manager actions</source>
        <translation>die Aktionen der Dateimanager hinzufügen (oder entfernen)</translation>
    </message>
    <message>
        <source>start Pictomat with the desktop session, or not</source>
        <translation>Pictomat mit der Desktop-Sitzung starten, oder nicht</translation>
    </message>
    <message>
        <source>background opacity (0 to 1) for this run; accepted anywhere on the line before &quot;--&quot;</source>
        <translation>Deckkraft des Hintergrunds (0 bis 1) für diesen Lauf; überall in der Zeile vor „--“ erlaubt</translation>
    </message>
    <message>
        <source>every word after it is a file (select, menu, run)</source>
        <translation>jedes Wort danach ist eine Datei (select, menu, run)</translation>
    </message>
    <message>
        <source>show this help; after a command, its own</source>
        <translation>diese Hilfe zeigen; nach einem Befehl dessen eigene</translation>
    </message>
    <message>
        <source>show the version</source>
        <translation>die Version zeigen</translation>
    </message>
    <message>
        <source>Commands of &quot;pictomat run&quot;:</source>
        <translation>Befehle von „pictomat run“:</translation>
    </message>
    <message>
        <source>Runs one command of the Pictomat menu on the files, without the menu, and prints the path of each file or folder it makes, one a line.</source>
        <translation>Wendet einen Befehl des Pictomat-Menüs ohne das Menü auf die Dateien an und gibt den Pfad jeder Datei und jedes Ordners aus, die er erstellt, einen pro Zeile.</translation>
    </message>
    <message>
        <source>put this run&apos;s outputs in the folder DIR</source>
        <translation>die Ausgaben dieses Laufs im Ordner DIR ablegen</translation>
    </message>
    <message>
        <source>open each output with its application</source>
        <translation>jede Ausgabe mit ihrer Anwendung öffnen</translation>
    </message>
    <message>
        <source>show the last output in the file manager</source>
        <translation>die letzte Ausgabe im Dateimanager zeigen</translation>
    </message>
    <message>
        <source>print neither the outputs&apos; paths nor the progress line</source>
        <translation>weder die Pfade der Ausgaben noch die Fortschrittszeile ausgeben</translation>
    </message>
    <message>
        <source>run it in the running Pictomat (started if needed), as if chosen from its menu: its preferences say what is opened</source>
        <translation>den Befehl im laufenden Pictomat ausführen (wenn nötig gestartet), als wäre er im Menü gewählt: dessen Einstellungen bestimmen, was geöffnet wird</translation>
    </message>
    <message>
        <source>show this help</source>
        <translation>diese Hilfe zeigen</translation>
    </message>
    <message>
        <source>Hands the files over to Pictomat as the selection its menu works on, or ends the hand-over.</source>
        <translation>Übergibt die Dateien an Pictomat als die Auswahl, mit der sein Menü arbeitet, oder beendet die Übergabe.</translation>
    </message>
    <message>
        <source>Hands the files over and shows the Pictomat menu at the pointer, starting Pictomat when it does not run.</source>
        <translation>Übergibt die Dateien und zeigt das Pictomat-Menü am Mauszeiger; läuft Pictomat nicht, wird es gestartet.</translation>
    </message>
    <message>
        <source>Lists the image formats icons can be exported to: the extension, the description, the media type and the type code, separated by tabs.</source>
        <translation>Listet die Bildformate auf, in die Symbole exportiert werden können: die Endung, die Beschreibung, den Medientyp und den Typcode, durch Tabulatoren getrennt.</translation>
    </message>
    <message>
        <source>Opens the preferences window. It needs a graphical display.</source>
        <translation>Öffnet das Einstellungsfenster. Es braucht eine grafische Anzeige.</translation>
    </message>
    <message>
        <source>Reads and edits the preferences from a shell.</source>
        <translation>Liest und bearbeitet die Einstellungen in einer Shell.</translation>
    </message>
    <message>
        <source>Adds the Pictomat actions to the file managers&apos; menus, or takes them out.</source>
        <translation>Fügt die Pictomat-Aktionen den Menüs der Dateimanager hinzu oder entfernt sie.</translation>
    </message>
    <message>
        <source>Starts Pictomat with the desktop session, or stops doing so.</source>
        <translation>Startet Pictomat mit der Desktop-Sitzung oder hört damit auf.</translation>
    </message>
    <message>
        <source>LIST: macos,windows,linux,ios,android,web (all by default)</source>
        <translation>LIST: macos,windows,linux,ios,android,web (ohne Angabe alle)</translation>
    </message>
</context>
<context>
    <name>Integration</name>
    <message>
        <source>Pictomat Menu...</source>
        <translation>Pictomat-Menü …</translation>
    </message>
    <message>
        <source>Show the Pictomat menu for the selected files</source>
        <translation>Das Pictomat-Menü für die ausgewählten Dateien anzeigen</translation>
    </message>
    <message>
        <source>Export Icon as %1</source>
        <translation>Symbol als %1 exportieren</translation>
    </message>
    <message>
        <source>Save the icon of each file as a %1 image.</source>
        <translation>Das Symbol jeder Datei als Bild im Format %1 speichern.</translation>
    </message>
    <message>
        <source>cannot create the folder of %1</source>
        <translation>der Ordner von %1 kann nicht angelegt werden</translation>
    </message>
    <message>
        <source>cannot write %1: %2</source>
        <translation>%1 kann nicht geschrieben werden: %2</translation>
    </message>
    <message>
        <source>%1 is not the XML of Thunar&apos;s actions; it was left as it is</source>
        <translation>%1 ist nicht das XML der Thunar-Aktionen; die Datei blieb unverändert</translation>
    </message>
    <message>
        <source>Thunar reads its actions only when it starts: quit it with &quot;thunar -q&quot;; its next window starts it afresh.</source>
        <translation>Thunar liest seine Aktionen nur beim Start: Beenden Sie es mit „thunar -q“; sein nächstes Fenster startet es neu.</translation>
    </message>
    <message>
        <source>PCManFM-Qt reads its actions at its first right-click: if you have right-clicked in the running PCManFM-Qt, quit it with &quot;pcmanfm-qt --quit&quot; and start it again.</source>
        <translation>PCManFM-Qt liest seine Aktionen beim ersten Rechtsklick: Wenn Sie im laufenden PCManFM-Qt schon rechts geklickt haben, beenden Sie es mit „pcmanfm-qt --quit“ und starten Sie es neu.</translation>
    </message>
    <message>
        <source>cannot remove %1</source>
        <translation>%1 kann nicht entfernt werden</translation>
    </message>
    <message>
        <source>%1 is not Pictomat&apos;s; it was left as it is</source>
        <translation>%1 gehört nicht zu Pictomat; die Datei blieb unverändert</translation>
    </message>
    <message>
        <source>Thunar shows no custom icons: &quot;Add Custom Icon from Clipboard&quot;, &quot;Add Custom Icon to Media&quot;, &quot;Remove Custom Icon&quot; and &quot;Add Shortcut Icon&quot; change what Nautilus, Nemo, Caja, Dolphin and PCManFM-Qt show, not what Thunar shows.</source>
        <translation>Thunar zeigt keine eigenen Symbole: „Eigenes Symbol aus der Zwischenablage hinzufügen“, „Eigenes Symbol aus dem Medium hinzufügen“, „Eigenes Symbol entfernen“ und „Verknüpfungssymbol hinzufügen“ ändern, was Nautilus, Nemo, Caja, Dolphin und PCManFM-Qt anzeigen, nicht was Thunar anzeigt.</translation>
    </message>
</context>
<context>
    <name>Menu</name>
    <message>
        <source>%1 Item, First item: %2</source>
        <translation>%1 Objekt, erstes Objekt: %2</translation>
    </message>
    <message>
        <source>%1 Items, First item: %2</source>
        <translation>%1 Objekte, erstes Objekt: %2</translation>
    </message>
    <message>
        <source>View in Corvane Website...</source>
        <translation>Auf der Corvane-Website ansehen …</translation>
    </message>
    <message>
        <source>View in Mac App Store...</source>
        <translation>Im Mac App Store ansehen …</translation>
    </message>
    <message>
        <source>The Finder has no active selection</source>
        <translation>Im Dateimanager ist nichts ausgewählt</translation>
    </message>
    <message>
        <source>Preferences...</source>
        <translation>Einstellungen …</translation>
    </message>
    <message>
        <source>Quit</source>
        <translation>Beenden</translation>
    </message>
    <message>
        <source>Multiple Selection (%1 items)</source>
        <translation>Mehrfachauswahl (%1 Objekte)</translation>
    </message>
    <message>
        <source>Export Icon</source>
        <translation>Symbol exportieren</translation>
    </message>
</context>
<context>
    <name>Picture</name>
    <message>
        <source>there is no picture to write</source>
        <translation>es gibt kein Bild zum Schreiben</translation>
    </message>
    <message>
        <source>out of memory</source>
        <translation>nicht genug Speicher</translation>
    </message>
    <message>
        <source>an icon file holds only pictures of 16, 32, 48, 64, 128, 256, 512 or 1024 pixels, not %1 x %2</source>
        <translation>eine Symboldatei enthält nur Bilder mit 16, 32, 48, 64, 128, 256, 512 oder 1024 Pixeln, nicht %1 × %2</translation>
    </message>
    <message>
        <source>the JPEG encoder failed</source>
        <translation>der JPEG-Kodierer ist gescheitert</translation>
    </message>
    <message>
        <source>what the writer made does not read back as a %1 x %2 picture</source>
        <translation>was der Schreiber erzeugt hat, lässt sich nicht als Bild mit %1 × %2 zurücklesen</translation>
    </message>
</context>
<context>
    <name>Preferences</name>
    <message>
        <source>too many copies of %1 are kept already</source>
        <translation>von %1 werden bereits zu viele Kopien aufbewahrt</translation>
    </message>
    <message>
        <source>the preferences file links into %1, which does not exist</source>
        <translation>die Einstellungsdatei verweist nach %1, das nicht existiert</translation>
    </message>
    <message>
        <source>cannot create the preferences folder %1</source>
        <translation>der Einstellungsordner %1 kann nicht angelegt werden</translation>
    </message>
    <message>
        <source>cannot save preferences: %1</source>
        <translation>die Einstellungen können nicht gespeichert werden: %1</translation>
    </message>
    <message>
        <source>cannot save preferences: the damaged file could not be kept: %1</source>
        <translation>die Einstellungen können nicht gespeichert werden: die beschädigte Datei konnte nicht aufbewahrt werden: %1</translation>
    </message>
    <message>
        <source>cannot save preferences: the binary file could not be kept: %1</source>
        <translation>die Einstellungen können nicht gespeichert werden: die Binärdatei konnte nicht aufbewahrt werden: %1</translation>
    </message>
    <message>
        <source>a preference key must be non-empty text without control characters</source>
        <translation>ein Einstellungsschlüssel muss ein nicht leerer Text ohne Steuerzeichen sein</translation>
    </message>
    <message>
        <source>the number is too large to store</source>
        <translation>die Zahl ist zu groß zum Speichern</translation>
    </message>
    <message>
        <source>the text holds control characters that a property list cannot store</source>
        <translation>der Text enthält Steuerzeichen, die eine Property-Liste nicht speichern kann</translation>
    </message>
    <message>
        <source>values of kind %1 cannot be stored</source>
        <translation>Werte der Art %1 können nicht gespeichert werden</translation>
    </message>
</context>
<context>
    <name>PreferencesWindow</name>
    <message>
        <source>Choose an Image Folder</source>
        <translation>Einen Bildordner auswählen</translation>
    </message>
    <message>
        <source>Choose</source>
        <translation>Auswählen</translation>
    </message>
    <message>
        <source>Background Color</source>
        <translation>Hintergrundfarbe</translation>
    </message>
</context>
<context>
    <name>Progress</name>
    <message>
        <source>Stop</source>
        <translation>Anhalten</translation>
    </message>
    <message>
        <source>%1
%2 of %3
%4</source>
        <translation>%1
%2 von %3
%4</translation>
    </message>
</context>
<context>
    <name>Selection</name>
    <message>
        <source>Could not create %1.</source>
        <translation>%1 konnte nicht angelegt werden.</translation>
    </message>
    <message>
        <source>Could not write %1: %2</source>
        <translation>%1 konnte nicht geschrieben werden: %2</translation>
    </message>
</context>
<context>
    <name>Tray</name>
    <message>
        <source>the tray needs a graphical session and no display can be reached here; &quot;pictomat run COMMAND FILE...&quot; works without one</source>
        <translation>der Systembereich braucht eine grafische Sitzung, und hier ist keine Anzeige erreichbar; „pictomat run COMMAND FILE...“ funktioniert ohne</translation>
    </message>
    <message>
        <source>Pictomat is already running</source>
        <translation>Pictomat läuft bereits</translation>
    </message>
    <message>
        <source>no session bus; the file-manager actions cannot reach this Pictomat</source>
        <translation>kein Sitzungsbus; die Aktionen des Dateimanagers können dieses Pictomat nicht erreichen</translation>
    </message>
    <message>
        <source>the open preferences window does not answer; opening another</source>
        <translation>das offene Einstellungsfenster antwortet nicht; ein weiteres wird geöffnet</translation>
    </message>
</context>
<context>
    <name>Web</name>
    <message>
        <source>not an absolute address</source>
        <translation>keine absolute Adresse</translation>
    </message>
    <message>
        <source>refused scheme %1</source>
        <translation>abgelehntes Schema %1</translation>
    </message>
    <message>
        <source>the web module cannot be loaded</source>
        <translation>das Web-Modul kann nicht geladen werden</translation>
    </message>
    <message>
        <source>file address on another host</source>
        <translation>Dateiadresse auf einem anderen Rechner</translation>
    </message>
    <message>
        <source>the answer was cut short</source>
        <translation>die Antwort brach vorzeitig ab</translation>
    </message>
    <message>
        <source>a line of the answer is too long</source>
        <translation>eine Zeile der Antwort ist zu lang</translation>
    </message>
    <message>
        <source>larger than %1 bytes</source>
        <translation>größer als %1 Byte</translation>
    </message>
    <message>
        <source>damaged compressed body</source>
        <translation>beschädigter komprimierter Inhalt</translation>
    </message>
    <message>
        <source>the answer&apos;s headers are too long</source>
        <translation>die Kopfzeilen der Antwort sind zu lang</translation>
    </message>
    <message>
        <source>not an HTTP answer</source>
        <translation>keine HTTP-Antwort</translation>
    </message>
    <message>
        <source>unknown content encoding %1</source>
        <translation>unbekannte Inhaltskodierung %1</translation>
    </message>
    <message>
        <source>a broken chunk size</source>
        <translation>eine fehlerhafte Blockgröße</translation>
    </message>
    <message>
        <source>a chunk longer than it said</source>
        <translation>ein Block, der länger ist als angegeben</translation>
    </message>
    <message>
        <source>too many trailer lines</source>
        <translation>zu viele Nachspannzeilen</translation>
    </message>
    <message>
        <source>stopped</source>
        <translation>angehalten</translation>
    </message>
    <message>
        <source>no answer in time</source>
        <translation>keine Antwort in der Zeit</translation>
    </message>
    <message>
        <source>no address for %1 in time</source>
        <translation>keine Adresse für %1 in der Zeit</translation>
    </message>
    <message>
        <source>%1 leads to a local address</source>
        <translation>%1 führt zu einer lokalen Adresse</translation>
    </message>
    <message>
        <source>more than %1 redirects</source>
        <translation>mehr als %1 Weiterleitungen</translation>
    </message>
    <message>
        <source>refused redirect to %1</source>
        <translation>abgelehnte Weiterleitung nach %1</translation>
    </message>
    <message>
        <source>refused redirect from https to http</source>
        <translation>abgelehnte Weiterleitung von https nach http</translation>
    </message>
</context>
<context>
    <name>pictomat::AppController</name>
    <message>
        <source>Export as %1</source>
        <translation>Als %1 exportieren</translation>
    </message>
    <message>
        <source>no system tray is available yet; the tray item appears when one starts, and meanwhile the Pictomat menu is reached through the file-manager actions (&quot;pictomat menu&quot;)</source>
        <translation>noch ist kein Systembereich verfügbar; das Symbol erscheint, sobald einer startet, und bis dahin erreichen Sie das Pictomat-Menü über die Aktionen des Dateimanagers („pictomat menu“)</translation>
    </message>
    <message>
        <source>Pictomat: %1, %2 of %3</source>
        <translation>Pictomat: %1, %2 von %3</translation>
    </message>
</context>
<context>
    <name>pictomat::PictomatPref</name>
    <message>
        <source>Menu</source>
        <translation>Menü</translation>
    </message>
    <message>
        <source>Offer these commands:</source>
        <translation>Diese Befehle anbieten:</translation>
    </message>
    <message>
        <source>Output</source>
        <translation>Ausgabe</translation>
    </message>
    <message>
        <source>Image</source>
        <translation>Bild</translation>
    </message>
    <message>
        <source>Otherwise save in this folder:</source>
        <translation>Sonst in diesem Ordner speichern:</translation>
    </message>
    <message>
        <source>Minimum</source>
        <translation>Minimal</translation>
    </message>
    <message>
        <source>Low</source>
        <translation>Niedrig</translation>
    </message>
    <message>
        <source>Normal</source>
        <translation>Normal</translation>
    </message>
    <message>
        <source>High</source>
        <translation>Hoch</translation>
    </message>
    <message>
        <source>Maximum</source>
        <translation>Maximal</translation>
    </message>
    <message>
        <source>Lossless</source>
        <translation>Verlustfrei</translation>
    </message>
    <message>
        <source>&amp;Make Icon for File and for Media</source>
        <translation>Symbol der Datei &amp;und aus dem Medium erstellen</translation>
    </message>
    <message>
        <source>Make &amp;Windows Icon for Media</source>
        <translation>&amp;Windows-Symbol aus dem Medium erstellen</translation>
    </message>
    <message>
        <source>Make &amp;Linux Icon Set for Media</source>
        <translation>&amp;Linux-Symbolsatz aus dem Medium erstellen</translation>
    </message>
    <message>
        <source>Make &amp;App Icons for Media</source>
        <translation>&amp;App-Symbole aus dem Medium erstellen</translation>
    </message>
    <message>
        <source>&amp;Copy Icon for File</source>
        <translation>Symbol der Datei &amp;kopieren</translation>
    </message>
    <message>
        <source>Add Custom Icon from Clip&amp;board</source>
        <translation>Eigenes Symbol aus der &amp;Zwischenablage hinzufügen</translation>
    </message>
    <message>
        <source>Add C&amp;ustom Icon to Media</source>
        <translation>&amp;Eigenes Symbol aus dem Medium hinzufügen</translation>
    </message>
    <message>
        <source>Remo&amp;ve Custom Icon</source>
        <translation>E&amp;igenes Symbol entfernen</translation>
    </message>
    <message>
        <source>Add Shor&amp;tcut Icon</source>
        <translation>&amp;Verknüpfungssymbol hinzufügen</translation>
    </message>
    <message>
        <source>Icon Si&amp;zes</source>
        <translation>Symb&amp;olgrößen</translation>
    </message>
    <message>
        <source>Offers the icon sizes to choose from in the menu.</source>
        <translation>Bietet im Menü die Symbolgrößen zur Auswahl an.</translation>
    </message>
    <message>
        <source>&amp;Save next to each selected item</source>
        <translation>Neben &amp;jedem ausgewählten Objekt speichern</translation>
    </message>
    <message>
        <source>Each new file goes into the folder that holds the item it was made from.</source>
        <translation>Jede neue Datei kommt in den Ordner, der das Objekt enthält, aus dem sie entstand.</translation>
    </message>
    <message>
        <source>Chooses the folder that new files go into when they are not saved next to their items.</source>
        <translation>Wählt den Ordner, in den neue Dateien kommen, wenn sie nicht neben ihren Objekten gespeichert werden.</translation>
    </message>
    <message>
        <source>Show the output &amp;folder</source>
        <translation>Aus&amp;gabeordner anzeigen</translation>
    </message>
    <message>
        <source>Opens the folder that received the new files in the file manager.</source>
        <translation>Öffnet den Ordner mit den neuen Dateien im Dateimanager.</translation>
    </message>
    <message>
        <source>Open &amp;each output file</source>
        <translation>Jede e&amp;rstellte Datei öffnen</translation>
    </message>
    <message>
        <source>Opens each new file in the application that opens its kind of file.</source>
        <translation>Öffnet jede neue Datei mit der Anwendung für ihren Dateityp.</translation>
    </message>
    <message>
        <source>Re&amp;place files with the same name</source>
        <translation>Dateien &amp;mit gleichem Namen ersetzen</translation>
    </message>
    <message>
        <source>When this is off, a file that is already there is kept and the new one is not written.</source>
        <translation>Ist dies aus, bleibt eine vorhandene Datei erhalten und die neue wird nicht geschrieben.</translation>
    </message>
    <message>
        <source>Add the icon size to image file &amp;names</source>
        <translation>&amp;Symbolgröße an Bilddateinamen anhängen</translation>
    </message>
    <message>
        <source>Adds the icon size in pixels to the name of each image file that is made.</source>
        <translation>Hängt die Symbolgröße in Pixeln an den Namen jeder erstellten Bilddatei an.</translation>
    </message>
    <message>
        <source>&amp;Give image files their own picture as icon</source>
        <translation>&amp;Bilddateien ihr eigenes Bild als Symbol geben</translation>
    </message>
    <message>
        <source>The file manager then shows each new image file with its own picture.</source>
        <translation>Der Dateimanager zeigt dann jede neue Bilddatei mit ihrem eigenen Bild.</translation>
    </message>
    <message>
        <source>&amp;Draw .icns files from the icon they hold</source>
        <translation>.i&amp;cns-Dateien aus dem enthaltenen Symbol zeichnen</translation>
    </message>
    <message>
        <source>An image made from an .icns file shows the icon stored in it, not the file&apos;s own icon.</source>
        <translation>Ein Bild aus einer .icns-Datei zeigt das darin gespeicherte Symbol, nicht das eigene Symbol der Datei.</translation>
    </message>
    <message>
        <source>Shape macOS app icons on Apple&apos;s g&amp;rid</source>
        <translation>macOS-App-Symbole &amp;nach Apples Raster formen</translation>
    </message>
    <message>
        <source>The macOS icon of app icons is inset, rounded and shadowed as Apple&apos;s own app icons are.</source>
        <translation>Das macOS-Symbol der App-Symbole wird eingerückt, abgerundet und schattiert wie Apples eigene App-Symbole.</translation>
    </message>
    <message>
        <source>&amp;Icon size:</source>
        <translation>S&amp;ymbolgröße:</translation>
    </message>
    <message>
        <source>The size in pixels of the icons and images that are made.</source>
        <translation>Die Größe der erstellten Symbole und Bilder in Pixeln.</translation>
    </message>
    <message>
        <source>&amp;Quality:</source>
        <translation>&amp;Qualität:</translation>
    </message>
    <message>
        <source>Lower quality makes smaller image files that keep less of the picture.</source>
        <translation>Geringere Qualität ergibt kleinere Bilddateien, die weniger vom Bild bewahren.</translation>
    </message>
    <message>
        <source>Bac&amp;kground:</source>
        <translation>&amp;Hintergrund:</translation>
    </message>
    <message>
        <source>The color that icons are drawn over; click to choose another.</source>
        <translation>Die Farbe, über der Symbole gezeichnet werden; klicken Sie, um eine andere zu wählen.</translation>
    </message>
    <message>
        <source>Offers this command in the Pictomat menu.</source>
        <translation>Bietet diesen Befehl im Pictomat-Menü an.</translation>
    </message>
    <message>
        <source>Icon size</source>
        <translation>Symbolgröße</translation>
    </message>
    <message>
        <source>Icon size in pixels</source>
        <translation>Symbolgröße in Pixeln</translation>
    </message>
    <message>
        <source>Type a size from 16 to 1024 pixels.</source>
        <translation>Geben Sie eine Größe von 16 bis 1024 Pixeln ein.</translation>
    </message>
    <message>
        <source>pi&amp;xels</source>
        <translation>&amp;Pixel</translation>
    </message>
    <message>
        <source>Quality</source>
        <translation>Qualität</translation>
    </message>
    <message>
        <source>Background color</source>
        <translation>Hintergrundfarbe</translation>
    </message>
    <message>
        <source>Background color in hexadecimal</source>
        <translation>Hintergrundfarbe hexadezimal</translation>
    </message>
    <message>
        <source>The background color as red, green and blue in hexadecimal, ready to copy.</source>
        <translation>Die Hintergrundfarbe als Rot, Grün und Blau in Hexadezimal, bereit zum Kopieren.</translation>
    </message>
    <message>
        <source>&amp;Hex:</source>
        <translation>He&amp;x:</translation>
    </message>
    <message>
        <source>Ch&amp;oose...</source>
        <translation>&amp;Durchsuchen …</translation>
    </message>
    <message>
        <source>Choose the image folder</source>
        <translation>Den Bildordner auswählen</translation>
    </message>
    <message>
        <source>Pictomat Preferences</source>
        <translation>Pictomat-Einstellungen</translation>
    </message>
</context>
</TS>
