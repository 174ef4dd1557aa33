<?xml version="1.0" encoding="utf-8"?>
<!DOCTYPE TS>
<TS version="2.1" language="fr">
<context>
    <name>Alert</name>
    <message>
        <source>The icon could not be obtained from the file.</source>
        <translation>L’icône n’a pas pu être obtenue à partir du fichier.</translation>
    </message>
    <message>
        <source>The file type for the extension could not be determined.</source>
        <translation>Le type de fichier de l’extension n’a pas pu être déterminé.</translation>
    </message>
    <message>
        <source>The file&apos;s icon could not be found.</source>
        <translation>L’icône du fichier est introuvable.</translation>
    </message>
    <message>
        <source>The icon could not be put on the clipboard.</source>
        <translation>L’icône n’a pas pu être placée dans le presse-papiers.</translation>
    </message>
    <message>
        <source>An image could not be created from the Clipboard.</source>
        <translation>Aucune image n’a pu être créée à partir du presse-papiers.</translation>
    </message>
    <message>
        <source>An image could not be created from the clipboard.</source>
        <translation>Aucune image n’a pu être créée à partir du presse-papiers.</translation>
    </message>
    <message>
        <source>The clipboard image could not be copied to the file.</source>
        <translation>L’image du presse-papiers n’a pas pu être appliquée au fichier.</translation>
    </message>
    <message>
        <source>%1 could not be written: %2</source>
        <translation>%1 n’a pas pu être écrit : %2</translation>
    </message>
    <message>
        <source>The files graphic image could not be copied to the file.</source>
        <translation>L’image du fichier n’a pas pu être appliquée au fichier.</translation>
    </message>
    <message>
        <source>The custom icon could not be removed successfully.</source>
        <translation>L’icône personnalisée n’a pas pu être supprimée.</translation>
    </message>
    <message>
        <source>The output file could not be created.</source>
        <translation>Le fichier de sortie n’a pas pu être créé.</translation>
    </message>
    <message>
        <source>Check that a file by the same name does not already exist or is not open.</source>
        <translation>Vérifiez qu’aucun fichier du même nom n’existe déjà ou n’est ouvert.</translation>
    </message>
    <message>
        <source>The file already exists.</source>
        <translation>Le fichier existe déjà.</translation>
    </message>
    <message>
        <source>Select the option to overwrite files by same name to avoid this issue.</source>
        <translation>Activez le remplacement des fichiers du même nom pour éviter ce problème.</translation>
    </message>
    <message>
        <source>The file of the same name could not be moved aside to the Trash, so it was kept.</source>
        <translation>Le fichier du même nom n’a pas pu être mis à la corbeille ; il a été conservé.</translation>
    </message>
    <message>
        <source>The icon family could not be created.</source>
        <translation>La famille d’icônes n’a pas pu être créée.</translation>
    </message>
    <message>
        <source>The old file of the same name could not be moved to the Trash and was kept.</source>
        <translation>L’ancien fichier du même nom n’a pas pu être mis à la corbeille et a été conservé.</translation>
    </message>
    <message>
        <source>An icon for the file could not be found.</source>
        <translation>Aucune icône n’a été trouvée pour le fichier.</translation>
    </message>
    <message>
        <source>This is not a web location file.</source>
        <translation>Ce n’est pas un fichier de lien web.</translation>
    </message>
    <message>
        <source>This web location could not be found.</source>
        <translation>Ce lien web est introuvable.</translation>
    </message>
    <message>
        <source>The web page could not be downloaded.</source>
        <translation>La page web n’a pas pu être téléchargée.</translation>
    </message>
    <message>
        <source>The web page header could not be found.</source>
        <translation>L’en-tête de la page web est introuvable.</translation>
    </message>
    <message>
        <source>The shortcut icon could not be found.</source>
        <translation>L’icône du raccourci est introuvable.</translation>
    </message>
    <message>
        <source>The shortcut icon image could not be created.</source>
        <translation>L’image de l’icône du raccourci n’a pas pu être créée.</translation>
    </message>
    <message>
        <source>The shortcut icon image could not be copied to the file.</source>
        <translation>L’image de l’icône du raccourci n’a pas pu être appliquée au fichier.</translation>
    </message>
    <message>
        <source>Item: %1</source>
        <translation>Élément : %1</translation>
    </message>
    <message>
        <source>Reason: %1</source>
        <translation>Raison : %1</translation>
    </message>
    <message>
        <source>Stop</source>
        <translation>Arrêter</translation>
    </message>
</context>
<context>
    <name>Cause</name>
    <message>
        <source>the pictures could not be encoded</source>
        <translation>les images n’ont pas pu être encodées</translation>
    </message>
    <message>
        <source>the icon data could not be loaded</source>
        <translation>les données de l’icône n’ont pas pu être chargées</translation>
    </message>
    <message>
        <source>there is no such file or folder</source>
        <translation>ce fichier ou ce dossier n’existe pas</translation>
    </message>
    <message>
        <source>permission denied</source>
        <translation>permission refusée</translation>
    </message>
    <message>
        <source>the disk is full</source>
        <translation>le disque est plein</translation>
    </message>
    <message>
        <source>the disk quota is used up</source>
        <translation>le quota disque est épuisé</translation>
    </message>
    <message>
        <source>the disk is read-only</source>
        <translation>le disque est en lecture seule</translation>
    </message>
    <message>
        <source>the file is too large for its disk</source>
        <translation>le fichier est trop grand pour son disque</translation>
    </message>
    <message>
        <source>the disk could not be read or written</source>
        <translation>le disque n’a pas pu être lu ou écrit</translation>
    </message>
    <message>
        <source>the name is too long</source>
        <translation>le nom est trop long</translation>
    </message>
    <message>
        <source>too many symbolic links</source>
        <translation>trop de liens symboliques</translation>
    </message>
    <message>
        <source>a folder has that name</source>
        <translation>un dossier porte ce nom</translation>
    </message>
    <message>
        <source>not a picture, movie or icon file that Pictomat reads</source>
        <translation>pas une image, une vidéo ou un fichier d’icône que Pictomat sait lire</translation>
    </message>
    <message>
        <source>the picture is too large</source>
        <translation>l’image est trop grande</translation>
    </message>
    <message>
        <source>the file is damaged</source>
        <translation>le fichier est endommagé</translation>
    </message>
    <message>
        <source>the drawing takes too long to draw</source>
        <translation>le dessin prend trop de temps à dessiner</translation>
    </message>
    <message>
        <source>no metadata service (GVfs) on this session bus</source>
        <translation>pas de service de métadonnées (GVfs) sur ce bus de session</translation>
    </message>
    <message>
        <source>there is no Trash on its drive</source>
        <translation>il n’y a pas de corbeille sur son disque</translation>
    </message>
    <message>
        <source>%1 is there, and replacing files of the same name is switched off</source>
        <translation>%1 existe déjà, et le remplacement des fichiers du même nom est désactivé</translation>
    </message>
    <message>
        <source>its icon draws nothing</source>
        <translation>son icône ne dessine rien</translation>
    </message>
    <message>
        <source>the icon file holds no picture that can be written</source>
        <translation>le fichier d’icône ne contient aucune image qui puisse être écrite</translation>
    </message>
    <message>
        <source>the file holds no web address</source>
        <translation>le fichier ne contient aucune adresse web</translation>
    </message>
    <message>
        <source>not a web location (.webloc, .url or a link&apos;s .desktop file)</source>
        <translation>pas un lien web (.webloc, .url ou le fichier .desktop d’un lien)</translation>
    </message>
    <message>
        <source>the page has no head section</source>
        <translation>la page n’a pas de section d’en-tête</translation>
    </message>
    <message>
        <source>no icon address could be formed for the page</source>
        <translation>aucune adresse d’icône n’a pu être formée pour la page</translation>
    </message>
    <message>
        <source>no picture was found at the site&apos;s icon addresses</source>
        <translation>aucune image n’a été trouvée aux adresses d’icône du site</translation>
    </message>
    <message>
        <source>the clipboard holds no picture</source>
        <translation>le presse-papiers ne contient aucune image</translation>
    </message>
    <message>
        <source>the item is gone</source>
        <translation>l’élément a disparu</translation>
    </message>
    <message>
        <source>nothing could be made for it</source>
        <translation>rien n’a pu être créé pour lui</translation>
    </message>
    <message>
        <source>the icon family holds nothing that can be written</source>
        <translation>la famille d’icônes ne contient rien qui puisse être écrit</translation>
    </message>
    <message>
        <source>the pictures make no icon file</source>
        <translation>les images ne forment aucun fichier d’icône</translation>
    </message>
    <message>
        <source>not a web address: %1</source>
        <translation>pas une adresse web : %1</translation>
    </message>
    <message>
        <source>the dark picture %1: %2</source>
        <translation>l’image sombre %1 : %2</translation>
    </message>
    <message>
        <source>the tinted picture %1: %2</source>
        <translation>l’image teintée %1 : %2</translation>
    </message>
    <message>
        <source>the monochrome picture %1: %2</source>
        <translation>l’image monochrome %1 : %2</translation>
    </message>
</context>
<context>
    <name>Clipboard</name>
    <message>
        <source>The clipboard of a Wayland session is set with wl-clipboard (wl-copy and wl-paste), which is not installed.</source>
        <translation>Le presse-papiers d’une session Wayland se remplit avec wl-clipboard (wl-copy et wl-paste), qui n’est pas installé.</translation>
    </message>
    <message>
        <source>wl-copy could not set the clipboard.</source>
        <translation>wl-copy n’a pas pu remplir le presse-papiers.</translation>
    </message>
    <message>
        <source>The clipboard does not hold the picture after wl-copy set it.</source>
        <translation>Le presse-papiers ne contient pas l’image après que wl-copy l’y a mise.</translation>
    </message>
    <message>
        <source>There is no clipboard without a graphical session.</source>
        <translation>Il n’y a pas de presse-papiers sans session graphique.</translation>
    </message>
    <message>
        <source>Another program took the clipboard at once.</source>
        <translation>Un autre programme a aussitôt pris le presse-papiers.</translation>
    </message>
</context>
<context>
    <name>Command</name>
    <message>
        <source>Make Icon for File</source>
        <translation>Créer l’icône du fichier</translation>
    </message>
    <message>
        <source>Make an ICNS file for the file&apos;s icon.</source>
        <translation>Crée un fichier ICNS à partir de l’icône du fichier.</translation>
    </message>
    <message>
        <source>Make Icon for Media</source>
        <translation>Créer une icône depuis le média</translation>
    </message>
    <message>
        <source>Make an ICNS file for the file&apos;s data.</source>
        <translation>Crée un fichier ICNS à partir du contenu du fichier.</translation>
    </message>
    <message>
        <source>Make Windows Icon for Media</source>
        <translation>Créer une icône Windows depuis le média</translation>
    </message>
    <message>
        <source>Make a Windows ICO file for the file&apos;s data.</source>
        <translation>Crée un fichier ICO Windows à partir du contenu du fichier.</translation>
    </message>
    <message>
        <source>Make Linux Icon Set for Media</source>
        <translation>Créer un jeu d’icônes Linux depuis le média</translation>
    </message>
    <message>
        <source>Make a folder of Linux icon theme pictures for the file&apos;s data.</source>
        <translation>Crée à partir du contenu du fichier un dossier d’images pour un thème d’icônes Linux.</translation>
    </message>
    <message>
        <source>Make App Icons for Media</source>
        <translation>Créer les icônes d’application depuis le média</translation>
    </message>
    <message>
        <source>Make the app icons of every platform for the file&apos;s data.</source>
        <translation>Crée à partir du contenu du fichier les icônes d’application de toutes les plateformes.</translation>
    </message>
    <message>
        <source>Copy Icon for File</source>
        <translation>Copier l’icône du fichier</translation>
    </message>
    <message>
        <source>Copy the file&apos;s icon image to the clipboard.</source>
        <translation>Copie l’image de l’icône du fichier dans le presse-papiers.</translation>
    </message>
    <message>
        <source>Add Shortcut Icon</source>
        <translation>Ajouter l’icône du site web</translation>
    </message>
    <message>
        <source>Add an icon to the web location&apos;s file using its associated &quot;favicon&quot;.</source>
        <translation>Ajoute au fichier du lien web son « favicon » associé comme icône.</translation>
    </message>
    <message>
        <source>Add Custom Icon from Clipboard</source>
        <translation>Ajouter une icône personnalisée depuis le presse-papiers</translation>
    </message>
    <message>
        <source>Add a custom icon to the file from an image on the clipboard.</source>
        <translation>Ajoute au fichier une icône personnalisée à partir d’une image du presse-papiers.</translation>
    </message>
    <message>
        <source>Add Custom Icon to Media</source>
        <translation>Ajouter une icône personnalisée depuis le média</translation>
    </message>
    <message>
        <source>Add a custom icon to the file from the file&apos;s image data.</source>
        <translation>Ajoute au fichier une icône personnalisée à partir de ses propres données d’image.</translation>
    </message>
    <message>
        <source>Remove Custom Icon</source>
        <translation>Supprimer l’icône personnalisée</translation>
    </message>
    <message>
        <source>Removes any custom icon for the file.</source>
        <translation>Supprime toute icône personnalisée du fichier.</translation>
    </message>
    <message>
        <source>Icon Sizes</source>
        <translation>Tailles d’icône</translation>
    </message>
    <message>
        <source>Go to Pictomat folder...</source>
        <translation>Ouvrir le dossier Pictomat…</translation>
    </message>
    <message>
        <source>Open the output folder in the Finder.</source>
        <translation>Ouvre le dossier de sortie dans le gestionnaire de fichiers.</translation>
    </message>
</context>
<context>
    <name>CommandLine</name>
    <message>
        <source>the image formats could not be loaded</source>
        <translation>les formats d’image n’ont pas pu être chargés</translation>
    </message>
    <message>
        <source>the preferences window needs a graphical session, and no display can be reached here.</source>
        <translation>la fenêtre de préférences a besoin d’une session graphique, et aucun affichage n’est joignable ici.</translation>
    </message>
    <message>
        <source>%1 works with the clipboard and needs a graphical display (DISPLAY or WAYLAND_DISPLAY is not set)</source>
        <translation>%1 utilise le presse-papiers et a besoin d’un affichage graphique (DISPLAY ou WAYLAND_DISPLAY n’est pas défini)</translation>
    </message>
    <message>
        <source>Try &apos;pictomat --help&apos;.</source>
        <translation>Essayez « pictomat --help ».</translation>
    </message>
    <message>
        <source>Try &apos;pictomat run --help&apos;.</source>
        <translation>Essayez « pictomat run --help ».</translation>
    </message>
    <message>
        <source>--output needs a folder.</source>
        <translation>--output a besoin d’un dossier.</translation>
    </message>
    <message>
        <source>%1: there is no such folder.</source>
        <translation>%1 : ce dossier n’existe pas.</translation>
    </message>
    <message>
        <source>unknown option &quot;%1&quot;</source>
        <translation>option inconnue « %1 »</translation>
    </message>
    <message>
        <source>unknown command &quot;%1&quot;</source>
        <translation>commande inconnue « %1 »</translation>
    </message>
    <message>
        <source>%1 needs at least one file</source>
        <translation>%1 a besoin d’au moins un fichier</translation>
    </message>
    <message>
        <source>%1 needs a value</source>
        <translation>%1 a besoin d’une valeur</translation>
    </message>
    <message>
        <source>&quot;%1&quot; is no colour (a name such as white, or #RRGGBB)</source>
        <translation>« %1 » n’est pas une couleur (un nom comme white, ou #RRGGBB)</translation>
    </message>
    <message>
        <source>unknown or repeated option %1</source>
        <translation>option inconnue ou répétée %1</translation>
    </message>
    <message>
        <source>no session bus, so the Pictomat menu cannot be reached</source>
        <translation>pas de bus de session, le menu de Pictomat ne peut donc pas être joint</translation>
    </message>
    <message>
        <source>no session bus, so the running Pictomat cannot be reached</source>
        <translation>pas de bus de session, le Pictomat en cours d’exécution ne peut donc pas être joint</translation>
    </message>
    <message>
        <source>-alpha needs a value</source>
        <translation>-alpha a besoin d’une valeur</translation>
    </message>
    <message>
        <source>-alpha needs a number from 0 to 1, not &quot;%1&quot;.</source>
        <translation>-alpha a besoin d’un nombre de 0 à 1, pas de « %1 ».</translation>
    </message>
    <message>
        <source>select needs at least one file</source>
        <translation>select a besoin d’au moins un fichier</translation>
    </message>
    <message>
        <source>formats takes no arguments</source>
        <translation>formats ne prend aucun argument</translation>
    </message>
    <message>
        <source>&quot;%1&quot; is no icon name (letters, digits, &apos;-&apos;, &apos;_&apos; and &apos;.&apos;; &quot;%2&quot; would be)</source>
        <translation>« %1 » n’est pas un nom d’icône (lettres, chiffres, « - », « _ » et « . » ; « %2 » en serait un)</translation>
    </message>
    <message>
        <source>Pictomat could not be started</source>
        <translation>Pictomat n’a pas pu être démarré</translation>
    </message>
    <message>
        <source>cannot create a pipe</source>
        <translation>impossible de créer un tube</translation>
    </message>
    <message>
        <source>cannot fork</source>
        <translation>impossible de créer un processus enfant</translation>
    </message>
    <message>
        <source>--tray takes the running Pictomat&apos;s preferences, so --open, --reveal, --quiet and --output do not go with it.</source>
        <translation>--tray prend les préférences du Pictomat en cours d’exécution, donc --open, --reveal, --quiet et --output ne vont pas avec.</translation>
    </message>
    <message>
        <source>run needs a command</source>
        <translation>run a besoin d’une commande</translation>
    </message>
    <message>
        <source>export needs an extension, such as png</source>
        <translation>export a besoin d’une extension, par exemple png</translation>
    </message>
    <message>
        <source>set-icon-size needs a size, such as 256</source>
        <translation>set-icon-size a besoin d’une taille, par exemple 256</translation>
    </message>
    <message>
        <source>&quot;%1&quot; is no platform (macos, windows, linux, ios, android, web)</source>
        <translation>« %1 » n’est pas une plateforme (macos, windows, linux, ios, android, web)</translation>
    </message>
    <message>
        <source>cannot read: %1</source>
        <translation>lecture impossible : %1</translation>
    </message>
    <message>
        <source>the file is damaged: %1</source>
        <translation>le fichier est endommagé : %1</translation>
    </message>
    <message>
        <source>warning: %1</source>
        <translation>avertissement : %1</translation>
    </message>
    <message>
        <source>cannot create the folder: %1</source>
        <translation>impossible de créer le dossier : %1</translation>
    </message>
    <message>
        <source>not a folder</source>
        <translation>pas un dossier</translation>
    </message>
    <message>
        <source>%1 has no iconset name; not saved</source>
        <translation>%1 n’a pas de nom dans un dossier .iconset ; non enregistrée</translation>
    </message>
    <message>
        <source>no picture to save</source>
        <translation>aucune image à enregistrer</translation>
    </message>
    <message>
        <source>the icon family is too large to write</source>
        <translation>la famille d’icônes est trop grande pour être écrite</translation>
    </message>
    <message>
        <source>%1; not saved</source>
        <translation>%1 ; non enregistrée</translation>
    </message>
    <message>
        <source>not a PNG picture</source>
        <translation>pas une image PNG</translation>
    </message>
    <message>
        <source>%1x%2 pixels; icon pictures are at most %3</source>
        <translation>%1×%2 pixels ; les images d’icône font au plus %3</translation>
    </message>
    <message>
        <source>the PNG picture cannot be decoded</source>
        <translation>l’image PNG ne peut pas être décodée</translation>
    </message>
    <message>
        <source>%1 and %2 are both %3x%4 pixels</source>
        <translation>%1 et %2 font tous deux %3×%4 pixels</translation>
    </message>
    <message>
        <source>more than %1 pictures</source>
        <translation>plus de %1 images</translation>
    </message>
    <message>
        <source>already exists; not replaced (--force replaces it)</source>
        <translation>existe déjà ; non remplacé (--force le remplace)</translation>
    </message>
</context>
<context>
    <name>CustomIcons</name>
    <message>
        <source>The folder %1 could not be created.</source>
        <translation>Le dossier %1 n’a pas pu être créé.</translation>
    </message>
    <message>
        <source>The icon file %1 could not be written: %2</source>
        <translation>Le fichier d’icône %1 n’a pas pu être écrit : %2</translation>
    </message>
    <message>
        <source>The folder&apos;s .directory is a link or a special file, which is never edited.</source>
        <translation>Le fichier .directory du dossier est un lien ou un fichier spécial, qui n’est jamais modifié.</translation>
    </message>
    <message>
        <source>The item does not exist.</source>
        <translation>L’élément n’existe pas.</translation>
    </message>
    <message>
        <source>There is no picture to use as the icon.</source>
        <translation>Il n’y a aucune image à utiliser comme icône.</translation>
    </message>
    <message>
        <source>The folder&apos;s .directory is not a regular file that can be read.</source>
        <translation>Le fichier .directory du dossier n’est pas un fichier ordinaire lisible.</translation>
    </message>
    <message>
        <source>The folder&apos;s .directory file could not be written.</source>
        <translation>Le fichier .directory du dossier n’a pas pu être écrit.</translation>
    </message>
    <message>
        <source>The desktop link is a symbolic link, which is never edited.</source>
        <translation>Le lien de bureau est un lien symbolique, qui n’est jamais modifié.</translation>
    </message>
    <message>
        <source>The desktop link could not be written: %1</source>
        <translation>Le lien de bureau n’a pas pu être écrit : %1</translation>
    </message>
    <message>
        <source>The desktop link has no [Desktop Entry] group.</source>
        <translation>Le lien de bureau n’a pas de groupe [Desktop Entry].</translation>
    </message>
    <message>
        <source>The picture could not be encoded as PNG: %1</source>
        <translation>L’image n’a pas pu être encodée en PNG : %1</translation>
    </message>
</context>
<context>
    <name>Defaults</name>
    <message>
        <source>%1 holds a boolean (-bool)</source>
        <translation>%1 contient un booléen (-bool)</translation>
    </message>
    <message>
        <source>%1 holds an integer (-int)</source>
        <translation>%1 contient un entier (-int)</translation>
    </message>
    <message>
        <source>%1 holds a real number (-float)</source>
        <translation>%1 contient un nombre réel (-float)</translation>
    </message>
    <message>
        <source>%1 holds a string (-string)</source>
        <translation>%1 contient une chaîne (-string)</translation>
    </message>
    <message>
        <source>the key &quot;%1&quot; does not exist in %2</source>
        <translation>la clé « %1 » n’existe pas dans %2</translation>
    </message>
    <message>
        <source>&quot;%1&quot; is not a boolean (use true, false, yes, no, 1 or 0)</source>
        <translation>« %1 » n’est pas un booléen (utilisez true, false, yes, no, 1 ou 0)</translation>
    </message>
    <message>
        <source>&quot;%1&quot; is not an integer</source>
        <translation>« %1 » n’est pas un entier</translation>
    </message>
    <message>
        <source>&quot;%1&quot; is not a finite number</source>
        <translation>« %1 » n’est pas un nombre fini</translation>
    </message>
    <message>
        <source>unknown type flag &quot;%1&quot; (use -bool, -int, -float or -string)</source>
        <translation>indicateur de type inconnu « %1 » (utilisez -bool, -int, -float ou -string)</translation>
    </message>
    <message>
        <source>the preferences file it replaced was kept as %1</source>
        <translation>le fichier de préférences remplacé a été conservé sous %1</translation>
    </message>
</context>
<context>
    <name>Files</name>
    <message>
        <source>The file manager&apos;s metadata service (GVfs on the session bus) is not available.</source>
        <translation>Le service de métadonnées du gestionnaire de fichiers (GVfs sur le bus de session) n’est pas disponible.</translation>
    </message>
    <message>
        <source>no such regular file</source>
        <translation>aucun fichier ordinaire de ce nom</translation>
    </message>
    <message>
        <source>larger than %1 bytes</source>
        <translation>plus de %1 octets</translation>
    </message>
    <message>
        <source>read error</source>
        <translation>erreur de lecture</translation>
    </message>
    <message>
        <source>no file to write</source>
        <translation>aucun fichier à écrire</translation>
    </message>
    <message>
        <source>cannot write %1: %2</source>
        <translation>impossible d’écrire %1 : %2</translation>
    </message>
    <message>
        <source>unknown error</source>
        <translation>erreur inconnue</translation>
    </message>
    <message>
        <source>there is no folder to write into</source>
        <translation>il n’y a aucun dossier où écrire</translation>
    </message>
    <message>
        <source>nothing was written</source>
        <translation>rien n’a été écrit</translation>
    </message>
    <message>
        <source>something else took the name meanwhile</source>
        <translation>autre chose a pris le nom entre-temps</translation>
    </message>
    <message>
        <source>the name keeps changing</source>
        <translation>le nom ne cesse de changer</translation>
    </message>
    <message>
        <source>cannot create a folder in %1: %2</source>
        <translation>impossible de créer un dossier dans %1 : %2</translation>
    </message>
    <message>
        <source>cannot create a folder in %1</source>
        <translation>impossible de créer un dossier dans %1</translation>
    </message>
    <message>
        <source>no file can be named %1</source>
        <translation>aucun fichier ne peut s’appeler %1</translation>
    </message>
    <message>
        <source>the earlier folder could not be removed</source>
        <translation>l’ancien dossier n’a pas pu être supprimé</translation>
    </message>
    <message>
        <source>a file or special file has that name</source>
        <translation>un fichier ou un fichier spécial porte ce nom</translation>
    </message>
    <message>
        <source>a folder that Pictomat did not make has that name, and its file system has no Trash</source>
        <translation>un dossier que Pictomat n’a pas créé porte ce nom, et son système de fichiers n’a pas de corbeille</translation>
    </message>
    <message>
        <source>the folder that has that name could not be moved to the Trash: %1</source>
        <translation>le dossier qui porte ce nom n’a pas pu être mis à la corbeille : %1</translation>
    </message>
    <message>
        <source>an output file holds one file, itself</source>
        <translation>un fichier de sortie ne contient qu’un fichier, lui-même</translation>
    </message>
    <message>
        <source>a file that Pictomat did not write has that name, and its file system has no Trash</source>
        <translation>un fichier que Pictomat n’a pas écrit porte ce nom, et son système de fichiers n’a pas de corbeille</translation>
    </message>
    <message>
        <source>the file that has that name could not be moved to the Trash: %1</source>
        <translation>le fichier qui porte ce nom n’a pas pu être mis à la corbeille : %1</translation>
    </message>
    <message>
        <source>a folder or special file has that name</source>
        <translation>un dossier ou un fichier spécial porte ce nom</translation>
    </message>
    <message>
        <source>cannot create a file in %1</source>
        <translation>impossible de créer un fichier dans %1</translation>
    </message>
</context>
<context>
    <name>Help</name>
    <message>
        <source>Export the file&apos;s icon as a picture of the format EXT (see pictomat formats).</source>
        <translation>Exporte l’icône du fichier comme image au format EXT (voir pictomat formats).</translation>
    </message>
    <message>
        <source>Set the icon size, from 16 to 1024 pixels, that the icons are drawn at.</source>
        <translation>Règle la taille, de 16 à 1024 pixels, à laquelle les icônes sont dessinées.</translation>
    </message>
    <message>
        <source>Usage:</source>
        <translation>Utilisation :</translation>
    </message>
    <message>
        <source>usage:</source>
        <translation>utilisation :</translation>
    </message>
    <message>
        <source>Options:</source>
        <translation>Options :</translation>
    </message>
    <message>
        <source>Commands:</source>
        <translation>Commandes :</translation>
    </message>
    <message>
        <source>Makes icons from the files selected in the file manager. Without a command, Pictomat starts in the system tray.</source>
        <translation>Crée des icônes à partir des fichiers sélectionnés dans le gestionnaire de fichiers. Sans commande, Pictomat démarre dans la zone de notification.</translation>
    </message>
    <message>
        <source>hand the files over as the selection, or end it</source>
        <translation>transmettre les fichiers comme sélection, ou y mettre fin</translation>
    </message>
    <message>
        <source>hand the files over and show the Pictomat menu at the pointer, starting Pictomat if needed</source>
        <translation>transmettre les fichiers et afficher le menu de Pictomat sous le pointeur, en démarrant Pictomat si besoin</translation>
    </message>
    <message>
        <source>run one command on the files, without a menu, and print each output&apos;s path; --output DIR, --open, --reveal and --quiet for this run</source>
        <translation>exécuter une commande sur les fichiers, sans menu, et afficher le chemin de chaque sortie ; --output&#xa0;DIR, --open, --reveal et --quiet pour cette exécution</translation>
    </message>
    <message>
        <source>run it in the running Pictomat (started if needed), as if chosen from its menu</source>
        <translation>l’exécuter dans le Pictomat en cours (démarré si besoin), comme si elle était choisie dans son menu</translation>
    </message>
    <message>
        <source>list the image formats icons can be exported to</source>
        <translation>lister les formats d’image vers lesquels les icônes peuvent être exportées</translation>
    </message>
    <message>
        <source>open the preferences window</source>
        <translation>ouvrir la fenêtre de préférences</translation>
    </message>
    <message>
        <source>edit the preferences from a shell</source>
        <translation>modifier les préférences depuis un shell</translation>
    </message>
    <message>
        <source>look inside icon files, save their pictures, make them from .iconset folders and PNG files</source>
        <translation>regarder dans les fichiers d’icônes, enregistrer leurs images, les créer à partir de dossiers .iconset et de fichiers PNG</translation>
    </message>
    <message>
        <source>the same for Windows icon files, made from a picture or from PNG files</source>
        <translation>de même pour les fichiers d’icônes Windows, créés à partir d’une image ou de fichiers PNG</translation>
    </message>
    <message>
        <source>a picture as an .iconset folder&apos;s ten pictures</source>
        <translation>une image sous forme des dix images d’un dossier .iconset</translation>
    </message>
    <message>
        <source>a picture as a Linux icon theme&apos;s files</source>
        <translation>une image sous forme des fichiers d’un thème d’icônes Linux</translation>
    </message>
    <message>
        <source>a picture as the app icons of macOS, Windows, Linux, iOS, Android and the web</source>
        <translation>une image sous forme des icônes d’application de macOS, Windows, Linux, iOS, Android et du web</translation>
    </message>
    <message>
        <source>add (or take out) the file-manager actions</source>
        <translation>ajouter (ou retirer) les actions des gestionnaires de fichiers</translation>
    </message>
    <message>
        <source>start Pictomat with the desktop session, or not</source>
        <translation>démarrer Pictomat avec la session de bureau, ou non</translation>
    </message>
    <message>
        <source>background opacity (0 to 1) for this run; accepted anywhere on the line before &quot;--&quot;</source>
        <translation>opacité du fond (de 0 à 1) pour cette exécution ; acceptée partout sur la ligne avant « -- »</translation>
    </message>
    <message>
        <source>every word after it is a file (select, menu, run)</source>
        <translation>chaque mot qui suit est un fichier (select, menu, run)</translation>
    </message>
    <message>
        <source>show this help; after a command, its own</source>
        <translation>afficher cette aide ; après une commande, la sienne</translation>
    </message>
    <message>
        <source>show the version</source>
        <translation>afficher la version</translation>
    </message>
    <message>
        <source>Commands of &quot;pictomat run&quot;:</source>
        <translation>Commandes de « pictomat run » :</translation>
    </message>
    <message>
        <source>Runs one command of the Pictomat menu on the files, without the menu, and prints the path of each file or folder it makes, one a line.</source>
        <translation>Exécute une commande du menu de Pictomat sur les fichiers, sans le menu, et affiche le chemin de chaque fichier ou dossier qu’elle crée, un par ligne.</translation>
    </message>
    <message>
        <source>put this run&apos;s outputs in the folder DIR</source>
        <translation>placer les sorties de cette exécution dans le dossier DIR</translation>
    </message>
    <message>
        <source>open each output with its application</source>
        <translation>ouvrir chaque sortie avec son application</translation>
    </message>
    <message>
        <source>show the last output in the file manager</source>
        <translation>montrer la dernière sortie dans le gestionnaire de fichiers</translation>
    </message>
    <message>
        <source>print neither the outputs&apos; paths nor the progress line</source>
        <translation>n’afficher ni les chemins des sorties ni la ligne de progression</translation>
    </message>
    <message>
        <source>run it in the running Pictomat (started if needed), as if chosen from its menu: its preferences say what is opened</source>
        <translation>l’exécuter dans le Pictomat en cours (démarré si besoin), comme si elle était choisie dans son menu : ses préférences décident de ce qui est ouvert</translation>
    </message>
    <message>
        <source>show this help</source>
        <translation>afficher cette aide</translation>
    </message>
    <message>
        <source>Hands the files over to Pictomat as the selection its menu works on, or ends the hand-over.</source>
        <translation>Transmet les fichiers à Pictomat comme la sélection sur laquelle travaille son menu, ou met fin à la transmission.</translation>
    </message>
    <message>
        <source>Hands the files over and shows the Pictomat menu at the pointer, starting Pictomat when it does not run.</source>
        <translation>Transmet les fichiers et affiche le menu de Pictomat sous le pointeur, en démarrant Pictomat s’il ne tourne pas.</translation>
    </message>
    <message>
        <source>Lists the image formats icons can be exported to: the extension, the description, the media type and the type code, separated by tabs.</source>
        <translation>Liste les formats d’image vers lesquels les icônes peuvent être exportées : l’extension, la description, le type de média et le code de type, séparés par des tabulations.</translation>
    </message>
    <message>
        <source>Opens the preferences window. It needs a graphical display.</source>
        <translation>Ouvre la fenêtre de préférences. Elle a besoin d’un affichage graphique.</translation>
    </message>
    <message>
        <source>Reads and edits the preferences from a shell.</source>
        <translation>Lit et modifie les préférences depuis un shell.</translation>
    </message>
    <message>
        <source>Adds the Pictomat actions to the file managers&apos; menus, or takes them out.</source>
        <translation>Ajoute les actions de Pictomat aux menus des gestionnaires de fichiers, ou les retire.</translation>
    </message>
    <message>
        <source>Starts Pictomat with the desktop session, or stops doing so.</source>
        <translation>Démarre Pictomat avec la session de bureau, ou cesse de le faire.</translation>
    </message>
    <message>
        <source>LIST: macos,windows,linux,ios,android,web (all by default)</source>
        <translation>LIST : macos,windows,linux,ios,android,web (toutes par défaut)</translation>
    </message>
</context>
<context>
    <name>Integration</name>
    <message>
        <source>Pictomat Menu...</source>
        <translation>Menu Pictomat…</translation>
    </message>
    <message>
        <source>Show the Pictomat menu for the selected files</source>
        <translation>Afficher le menu Pictomat pour les fichiers sélectionnés</translation>
    </message>
    <message>
        <source>Export Icon as %1</source>
        <translation>Exporter l’icône en %1</translation>
    </message>
    <message>
        <source>Save the icon of each file as a %1 image.</source>
        <translation>Enregistrer l’icône de chaque fichier comme image au format %1.</translation>
    </message>
    <message>
        <source>cannot create the folder of %1</source>
        <translation>impossible de créer le dossier de %1</translation>
    </message>
    <message>
        <source>cannot write %1: %2</source>
        <translation>impossible d’écrire %1 : %2</translation>
    </message>
    <message>
        <source>%1 is not the XML of Thunar&apos;s actions; it was left as it is</source>
        <translation>%1 n’est pas le XML des actions de Thunar ; le fichier est resté tel quel</translation>
    </message>
    <message>
        <source>Thunar reads its actions only when it starts: quit it with &quot;thunar -q&quot;; its next window starts it afresh.</source>
        <translation>Thunar ne lit ses actions qu’à son démarrage : quittez-le avec « thunar -q » ; sa prochaine fenêtre le relance.</translation>
    </message>
    <message>
        <source>PCManFM-Qt reads its actions at its first right-click: if you have right-clicked in the running PCManFM-Qt, quit it with &quot;pcmanfm-qt --quit&quot; and start it again.</source>
        <translation>PCManFM-Qt lit ses actions à son premier clic droit : si vous avez déjà cliqué droit dans le PCManFM-Qt ouvert, quittez-le avec « pcmanfm-qt --quit » et relancez-le.</translation>
    </message>
    <message>
        <source>cannot remove %1</source>
        <translation>impossible de supprimer %1</translation>
    </message>
    <message>
        <source>%1 is not Pictomat&apos;s; it was left as it is</source>
        <translation>%1 n’appartient pas à Pictomat ; le fichier est resté tel quel</translation>
    </message>
    <message>
        <source>Thunar shows no custom icons: &quot;Add Custom Icon from Clipboard&quot;, &quot;Add Custom Icon to Media&quot;, &quot;Remove Custom Icon&quot; and &quot;Add Shortcut Icon&quot; change what Nautilus, Nemo, Caja, Dolphin and PCManFM-Qt show, not what Thunar shows.</source>
        <translation>Thunar n’affiche pas les icônes personnalisées : « Ajouter une icône personnalisée depuis le presse-papiers », « Ajouter une icône personnalisée depuis le média », « Supprimer l’icône personnalisée » et « Ajouter l’icône du site web » changent ce qu’affichent Nautilus, Nemo, Caja, Dolphin et PCManFM-Qt, pas ce qu’affiche Thunar.</translation>
    </message>
</context>
<context>
    <name>Menu</name>
    <message>
        <source>%1 Item, First item: %2</source>
        <translation>%1 élément, premier élément : %2</translation>
    </message>
    <message>
        <source>%1 Items, First item: %2</source>
        <translation>%1 éléments, premier élément : %2</translation>
    </message>
    <message>
        <source>View in Corvane Website...</source>
        <translation>Voir sur le site de Corvane…</translation>
    </message>
    <message>
        <source>View in Mac App Store...</source>
        <translation>Voir dans le Mac App Store…</translation>
    </message>
    <message>
        <source>The Finder has no active selection</source>
        <translation>Rien n’est sélectionné dans le gestionnaire de fichiers</translation>
    </message>
    <message>
        <source>Preferences...</source>
        <translation>Préférences…</translation>
    </message>
    <message>
        <source>Quit</source>
        <translation>Quitter</translation>
    </message>
    <message>
        <source>Multiple Selection (%1 items)</source>
        <translation>Sélection multiple (%1 éléments)</translation>
    </message>
    <message>
        <source>Export Icon</source>
        <translation>Exporter l’icône</translation>
    </message>
</context>
<context>
    <name>Picture</name>
    <message>
        <source>there is no picture to write</source>
        <translation>il n’y a aucune image à écrire</translation>
    </message>
    <message>
        <source>out of memory</source>
        <translation>mémoire insuffisante</translation>
    </message>
    <message>
        <source>an icon file holds only pictures of 16, 32, 48, 64, 128, 256, 512 or 1024 pixels, not %1 x %2</source>
        <translation>un fichier d’icône ne contient que des images de 16, 32, 48, 64, 128, 256, 512 ou 1024 pixels, pas %1 × %2</translation>
    </message>
    <message>
        <source>the JPEG encoder failed</source>
        <translation>l’encodeur JPEG a échoué</translation>
    </message>
    <message>
        <source>what the writer made does not read back as a %1 x %2 picture</source>
        <translation>ce que l’encodeur a produit ne se relit pas comme une image de %1 × %2</translation>
    </message>
</context>
<context>
    <name>Preferences</name>
    <message>
        <source>too many copies of %1 are kept already</source>
        <translation>trop de copies de %1 sont déjà conservées</translation>
    </message>
    <message>
        <source>the preferences file links into %1, which does not exist</source>
        <translation>le fichier de préférences pointe vers %1, qui n’existe pas</translation>
    </message>
    <message>
        <source>cannot create the preferences folder %1</source>
        <translation>impossible de créer le dossier de préférences %1</translation>
    </message>
    <message>
        <source>cannot save preferences: %1</source>
        <translation>impossible d’enregistrer les préférences : %1</translation>
    </message>
    <message>
        <source>cannot save preferences: the damaged file could not be kept: %1</source>
        <translation>impossible d’enregistrer les préférences : le fichier endommagé n’a pas pu être conservé : %1</translation>
    </message>
    <message>
        <source>cannot save preferences: the binary file could not be kept: %1</source>
        <translation>impossible d’enregistrer les préférences : le fichier binaire n’a pas pu être conservé : %1</translation>
    </message>
    <message>
        <source>a preference key must be non-empty text without control characters</source>
        <translation>une clé de préférence doit être un texte non vide sans caractères de contrôle</translation>
    </message>
    <message>
        <source>the number is too large to store</source>
        <translation>le nombre est trop grand pour être enregistré</translation>
    </message>
    <message>
        <source>the text holds control characters that a property list cannot store</source>
        <translation>le texte contient des caractères de contrôle qu’une liste de propriétés ne peut pas enregistrer</translation>
    </message>
    <message>
        <source>values of kind %1 cannot be stored</source>
        <translation>les valeurs de type %1 ne peuvent pas être enregistrées</translation>
    </message>
</context>
<context>
    <name>PreferencesWindow</name>
    <message>
        <source>Choose an Image Folder</source>
        <translation>Choisir un dossier d’images</translation>
    </message>
    <message>
        <source>Choose</source>
        <translation>Choisir</translation>
    </message>
    <message>
        <source>Background Color</source>
        <translation>Couleur d’arrière-plan</translation>
    </message>
</context>
<context>
    <name>Progress</name>
    <message>
        <source>Stop</source>
        <translation>Arrêter</translation>
    </message>
    <message>
        <source>%1
%2 of %3
%4</source>
        <translation>%1
%2 sur %3
%4</translation>
    </message>
</context>
<context>
    <name>Selection</name>
    <message>
        <source>Could not create %1.</source>
        <translation>%1 n’a pas pu être créé.</translation>
    </message>
    <message>
        <source>Could not write %1: %2</source>
        <translation>%1 n’a pas pu être écrit : %2</translation>
    </message>
</context>
<context>
    <name>Tray</name>
    <message>
        <source>the tray needs a graphical session and no display can be reached here; &quot;pictomat run COMMAND FILE...&quot; works without one</source>
        <translation>la zone de notification a besoin d’une session graphique et aucun affichage n’est joignable ici ; « pictomat run COMMAND FILE... » fonctionne sans</translation>
    </message>
    <message>
        <source>Pictomat is already running</source>
        <translation>Pictomat est déjà lancé</translation>
    </message>
    <message>
        <source>no session bus; the file-manager actions cannot reach this Pictomat</source>
        <translation>pas de bus de session ; les actions du gestionnaire de fichiers ne peuvent pas joindre ce Pictomat</translation>
    </message>
    <message>
        <source>the open preferences window does not answer; opening another</source>
        <translation>la fenêtre de préférences ouverte ne répond pas ; une autre s’ouvre</translation>
    </message>
</context>
<context>
    <name>Web</name>
    <message>
        <source>not an absolute address</source>
        <translation>pas une adresse absolue</translation>
    </message>
    <message>
        <source>refused scheme %1</source>
        <translation>schéma %1 refusé</translation>
    </message>
    <message>
        <source>the web module cannot be loaded</source>
        <translation>le module web ne peut pas être chargé</translation>
    </message>
    <message>
        <source>file address on another host</source>
        <translation>adresse de fichier sur un autre hôte</translation>
    </message>
    <message>
        <source>the answer was cut short</source>
        <translation>la réponse a été tronquée</translation>
    </message>
    <message>
        <source>a line of the answer is too long</source>
        <translation>une ligne de la réponse est trop longue</translation>
    </message>
    <message>
        <source>larger than %1 bytes</source>
        <translation>plus de %1 octets</translation>
    </message>
    <message>
        <source>damaged compressed body</source>
        <translation>corps compressé endommagé</translation>
    </message>
    <message>
        <source>the answer&apos;s headers are too long</source>
        <translation>les en-têtes de la réponse sont trop longs</translation>
    </message>
    <message>
        <source>not an HTTP answer</source>
        <translation>pas une réponse HTTP</translation>
    </message>
    <message>
        <source>unknown content encoding %1</source>
        <translation>encodage de contenu %1 inconnu</translation>
    </message>
    <message>
        <source>a broken chunk size</source>
        <translation>une taille de bloc erronée</translation>
    </message>
    <message>
        <source>a chunk longer than it said</source>
        <translation>un bloc plus long qu’annoncé</translation>
    </message>
    <message>
        <source>too many trailer lines</source>
        <translation>trop de lignes de fin</translation>
    </message>
    <message>
        <source>stopped</source>
        <translation>arrêté</translation>
    </message>
    <message>
        <source>no answer in time</source>
        <translation>pas de réponse à temps</translation>
    </message>
    <message>
        <source>no address for %1 in time</source>
        <translation>pas d’adresse pour %1 à temps</translation>
    </message>
    <message>
        <source>%1 leads to a local address</source>
        <translation>%1 mène à une adresse locale</translation>
    </message>
    <message>
        <source>more than %1 redirects</source>
        <translation>plus de %1 redirections</translation>
    </message>
    <message>
        <source>refused redirect to %1</source>
        <translation>redirection vers %1 refusée</translation>
    </message>
    <message>
        <source>refused redirect from https to http</source>
        <translation>redirection de https vers http refusée</translation>
    </message>
</context>
<context>
    <name>pictomat::AppController</name>
    <message>
        <source>Export as %1</source>
        <translation>Exporter en %1</translation>
    </message>
    <message>
        <source>no system tray is available yet; the tray item appears when one starts, and meanwhile the Pictomat menu is reached through the file-manager actions (&quot;pictomat menu&quot;)</source>
        <translation>aucune zone de notification n’est encore disponible ; l’icône apparaît dès qu’une zone démarre et, en attendant, le menu Pictomat s’ouvre par les actions du gestionnaire de fichiers (« pictomat menu »)</translation>
    </message>
    <message>
        <source>Pictomat: %1, %2 of %3</source>
        <translation>Pictomat : %1, %2 sur %3</translation>
    </message>
</context>
<context>
    <name>pictomat::PictomatPref</name>
    <message>
        <source>Menu</source>
        <translation>Menu</translation>
    </message>
    <message>
        <source>Offer these commands:</source>
        <translation>Proposer ces commandes :</translation>
    </message>
    <message>
        <source>Output</source>
        <translation>Sortie</translation>
    </message>
    <message>
        <source>Image</source>
        <translation>Image</translation>
    </message>
    <message>
        <source>Otherwise save in this folder:</source>
        <translation>Sinon, enregistrer dans ce dossier :</translation>
    </message>
    <message>
        <source>Minimum</source>
        <translation>Minimale</translation>
    </message>
    <message>
        <source>Low</source>
        <translation>Basse</translation>
    </message>
    <message>
        <source>Normal</source>
        <translation>Normale</translation>
    </message>
    <message>
        <source>High</source>
        <translation>Haute</translation>
    </message>
    <message>
        <source>Maximum</source>
        <translation>Maximale</translation>
    </message>
    <message>
        <source>Lossless</source>
        <translation>Sans perte</translation>
    </message>
    <message>
        <source>&amp;Make Icon for File and for Media</source>
        <translation>Créer l’icône du fichier &amp;et depuis le média</translation>
    </message>
    <message>
        <source>Make &amp;Windows Icon for Media</source>
        <translation>Créer une icône &amp;Windows depuis le média</translation>
    </message>
    <message>
        <source>Make &amp;Linux Icon Set for Media</source>
        <translation>&amp;Créer un jeu d’icônes Linux depuis le média</translation>
    </message>
    <message>
        <source>Make &amp;App Icons for Media</source>
        <translation>Créer les icônes d’application depuis le &amp;média</translation>
    </message>
    <message>
        <source>&amp;Copy Icon for File</source>
        <translation>C&amp;opier l’icône du fichier</translation>
    </message>
    <message>
        <source>Add Custom Icon from Clip&amp;board</source>
        <translation>A&amp;jouter une icône personnalisée depuis le presse-papiers</translation>
    </message>
    <message>
        <source>Add C&amp;ustom Icon to Media</source>
        <translation>Ajouter &amp;une icône personnalisée depuis le média</translation>
    </message>
    <message>
        <source>Remo&amp;ve Custom Icon</source>
        <translation>&amp;Supprimer l’icône personnalisée</translation>
    </message>
    <message>
        <source>Add Shor&amp;tcut Icon</source>
        <translation>Ajouter l’icône du site we&amp;b</translation>
    </message>
    <message>
        <source>Icon Si&amp;zes</source>
        <translation>Tailles d’icô&amp;ne</translation>
    </message>
    <message>
        <source>Offers the icon sizes to choose from in the menu.</source>
        <translation>Propose dans le menu les tailles d’icône au choix.</translation>
    </message>
    <message>
        <source>&amp;Save next to each selected item</source>
        <translation>Enre&amp;gistrer à côté de chaque élément sélectionné</translation>
    </message>
    <message>
        <source>Each new file goes into the folder that holds the item it was made from.</source>
        <translation>Chaque nouveau fichier va dans le dossier qui contient l’élément dont il est issu.</translation>
    </message>
    <message>
        <source>Chooses the folder that new files go into when they are not saved next to their items.</source>
        <translation>Choisit le dossier où vont les nouveaux fichiers lorsqu’ils ne sont pas enregistrés à côté de leurs éléments.</translation>
    </message>
    <message>
        <source>Show the output &amp;folder</source>
        <translation>A&amp;fficher le dossier de sortie</translation>
    </message>
    <message>
        <source>Opens the folder that received the new files in the file manager.</source>
        <translation>Ouvre dans le gestionnaire de fichiers le dossier qui a reçu les nouveaux fichiers.</translation>
    </message>
    <message>
        <source>Open &amp;each output file</source>
        <translation>Ou&amp;vrir chaque fichier créé</translation>
    </message>
    <message>
        <source>Opens each new file in the application that opens its kind of file.</source>
        <translation>Ouvre chaque nouveau fichier dans l’application qui ouvre ce type de fichier.</translation>
    </message>
    <message>
        <source>Re&amp;place files with the same name</source>
        <translation>Remplacer &amp;les fichiers du même nom</translation>
    </message>
    <message>
        <source>When this is off, a file that is already there is kept and the new one is not written.</source>
        <translation>Si cette option est désactivée, un fichier déjà présent est conservé et le nouveau n’est pas écrit.</translation>
    </message>
    <message>
        <source>Add the icon size to image file &amp;names</source>
        <translation>Ajouter la taille de l’icône au&amp;x noms des fichiers image</translation>
    </message>
    <message>
        <source>Adds the icon size in pixels to the name of each image file that is made.</source>
        <translation>Ajoute la taille de l’icône en pixels au nom de chaque fichier image créé.</translation>
    </message>
    <message>
        <source>&amp;Give image files their own picture as icon</source>
        <translation>Donner &amp;aux fichiers image leur propre image comme icône</translation>
    </message>
    <message>
        <source>The file manager then shows each new image file with its own picture.</source>
        <translation>Le gestionnaire de fichiers montre alors chaque nouveau fichier image avec sa propre image.</translation>
    </message>
    <message>
        <source>&amp;Draw .icns files from the icon they hold</source>
        <translation>&amp;Dessiner les fichiers .icns à partir de l’icône qu’ils contiennent</translation>
    </message>
    <message>
        <source>An image made from an .icns file shows the icon stored in it, not the file&apos;s own icon.</source>
        <translation>Une image créée à partir d’un fichier .icns montre l’icône qu’il contient, pas l’icône propre du fichier.</translation>
    </message>
    <message>
        <source>Shape macOS app icons on Apple&apos;s g&amp;rid</source>
        <translation>St&amp;yliser les icônes d’application macOS sur la grille d’Apple</translation>
    </message>
    <message>
        <source>The macOS icon of app icons is inset, rounded and shadowed as Apple&apos;s own app icons are.</source>
        <translation>L’icône macOS des icônes d’application est réduite, arrondie et ombrée comme les icônes d’application d’Apple.</translation>
    </message>
    <message>
        <source>&amp;Icon size:</source>
        <translation>&amp;Taille d’icône :</translation>
    </message>
    <message>
        <source>The size in pixels of the icons and images that are made.</source>
        <translation>La taille en pixels des icônes et des images créées.</translation>
    </message>
    <message>
        <source>&amp;Quality:</source>
        <translation>&amp;Qualité :</translation>
    </message>
    <message>
        <source>Lower quality makes smaller image files that keep less of the picture.</source>
        <translation>Une qualité plus basse donne des fichiers image plus petits qui gardent moins de l’image.</translation>
    </message>
    <message>
        <source>Bac&amp;kground:</source>
        <translation>A&amp;rrière-plan :</translation>
    </message>
    <message>
        <source>The color that icons are drawn over; click to choose another.</source>
        <translation>La couleur sur laquelle les icônes sont dessinées ; cliquez pour en choisir une autre.</translation>
    </message>
    <message>
        <source>Offers this command in the Pictomat menu.</source>
        <translation>Propose cette commande dans le menu Pictomat.</translation>
    </message>
    <message>
        <source>Icon size</source>
        <translation>Taille d’icône</translation>
    </message>
    <message>
        <source>Icon size in pixels</source>
        <translation>Taille d’icône en pixels</translation>
    </message>
    <message>
        <source>Type a size from 16 to 1024 pixels.</source>
        <translation>Saisissez une taille de 16 à 1024 pixels.</translation>
    </message>
    <message>
        <source>pi&amp;xels</source>
        <translation>p&amp;ixels</translation>
    </message>
    <message>
        <source>Quality</source>
        <translation>Qualité</translation>
    </message>
    <message>
        <source>Background color</source>
        <translation>Couleur d’arrière-plan</translation>
    </message>
    <message>
        <source>Background color in hexadecimal</source>
        <translation>Couleur d’arrière-plan en hexadécimal</translation>
    </message>
    <message>
        <source>The background color as red, green and blue in hexadecimal, ready to copy.</source>
        <translation>La couleur d’arrière-plan en rouge, vert et bleu hexadécimaux, prête à copier.</translation>
    </message>
    <message>
        <source>&amp;Hex:</source>
        <translation>&amp;Hex :</translation>
    </message>
    <message>
        <source>Ch&amp;oose...</source>
        <translation>&amp;Parcourir…</translation>
    </message>
    <message>
        <source>Choose the image folder</source>
        <translation>Choisir le dossier d’images</translation>
    </message>
    <message>
        <source>Pictomat Preferences</source>
        <translation>Préférences de Pictomat</translation>
    </message>
</context>
</TS>
