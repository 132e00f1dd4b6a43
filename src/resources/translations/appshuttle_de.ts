<?xml version="1.0" encoding="utf-8"?>
<!DOCTYPE TS>
<TS version="2.1" language="de_DE">
<context>
    <name>AppDragOut</name>
    <message>
        <source>Exporting</source>
        <translation>Wird exportiert</translation>
    </message>
    <message>
        <source>Would you like to copy all data in the selected app(s) (e.g., documents, marks, game records)?</source>
        <translation>Sollen alle Daten der ausgewählten App(s) mitkopiert werden (z. B. Dokumente, Markierungen, Spielstände)?</translation>
    </message>
</context>
<context>
    <name>AppMessages</name>
    <message>
        <source>Your device&apos;s iOS (%1) no longer allows copying apps to the computer. Apps can be copied only from devices with iOS 8 or earlier.</source>
        <translation>Das iOS Ihres Geräts (%1) erlaubt nicht mehr, Apps auf den Computer zu kopieren. Apps lassen sich nur von Geräten mit iOS 8 oder älter kopieren.</translation>
    </message>
    <message>
        <source>Fail to copy the app &quot;%1&quot; to your computer. It may be caused by the following factors: 1) Your device is locked by passcode; 2) Your device doesn&apos;t have a free space bigger than the size of the app that is going to be exported.</source>
        <translation>Die App „%1“ konnte nicht auf den Computer kopiert werden. Mögliche Ursachen: 1) Ihr Gerät ist mit einem Code gesperrt; 2) auf Ihrem Gerät ist weniger Speicher frei, als die zu exportierende App groß ist.</translation>
    </message>
    <message>
        <source>The app file &quot;%1&quot; cannot be installed on your device because its kind does not match with your device.</source>
        <translation>Die App-Datei „%1“ kann nicht auf Ihrem Gerät installiert werden, weil sie nicht für diesen Gerätetyp bestimmt ist.</translation>
    </message>
    <message>
        <source>The app file &quot;%1&quot; cannot be installed on your device because it does not support your iOS version.</source>
        <translation>Die App-Datei „%1“ kann nicht auf Ihrem Gerät installiert werden, weil sie Ihre iOS-Version nicht unterstützt.</translation>
    </message>
    <message>
        <source>The app &quot;%1&quot; may not be normally opened. If so, you need to activate the account that was used to buy this app. To do this, please login the App Store on your device with this account and then randomly download an app.</source>
        <translation>Die App „%1“ lässt sich möglicherweise nicht normal öffnen. Dann müssen Sie den Account aktivieren, mit dem die App gekauft wurde: Melden Sie sich auf Ihrem Gerät mit diesem Account im App Store an und laden Sie eine beliebige App.</translation>
    </message>
    <message>
        <source>Fail to install the app file &quot;%1&quot; on your device.</source>
        <translation>Die App-Datei „%1“ konnte nicht auf Ihrem Gerät installiert werden.</translation>
    </message>
    <message>
        <source>Fail to delete the app &quot;%1&quot; on your device.</source>
        <translation>Die App „%1“ konnte nicht von Ihrem Gerät gelöscht werden.</translation>
    </message>
    <message>
        <source>Fail to copy the app &quot;%1&quot; to your computer.</source>
        <translation>Die App „%1“ konnte nicht auf den Computer kopiert werden.</translation>
    </message>
    <message>
        <source>Fail to copy the app &quot;%1&quot; to iTunes.</source>
        <translation>Die App „%1“ konnte nicht zu iTunes kopiert werden.</translation>
    </message>
    <message>
        <source>%1 GB</source>
        <translation>%1 GB</translation>
    </message>
    <message>
        <source>%1 MB</source>
        <translation>%1 MB</translation>
    </message>
    <message>
        <source>%1 KB</source>
        <translation>%1 KB</translation>
    </message>
    <message>
        <source>including documents</source>
        <translation>mit Dokumenten</translation>
    </message>
    <message>
        <source>The documents of the app &quot;%1&quot; could not be read from your device.</source>
        <translation>Die Dokumente der App „%1“ konnten nicht von Ihrem Gerät gelesen werden.</translation>
    </message>
</context>
<context>
    <name>AppModel</name>
    <message>
        <source>Name</source>
        <translation>Name</translation>
    </message>
    <message>
        <source>Purchase Account</source>
        <translation>Kaufkonto</translation>
    </message>
    <message>
        <source>Purchase Date</source>
        <translation>Kaufdatum</translation>
    </message>
    <message>
        <source>Genre</source>
        <translation>Kategorie</translation>
    </message>
    <message>
        <source>App Size</source>
        <translation>App-Größe</translation>
    </message>
    <message>
        <source>Document Size</source>
        <translation>Dokumentgröße</translation>
    </message>
    <message>
        <source>Version</source>
        <translation>Version</translation>
    </message>
    <message>
        <source>Release Date</source>
        <translation>Erscheinungsdatum</translation>
    </message>
</context>
<context>
    <name>AppWidget</name>
    <message>
        <source>Please select file(s) from the list first</source>
        <translation>Bitte wählen Sie zuerst Dateien in der Liste aus</translation>
    </message>
    <message>
        <source>Are you sure you want to delete &quot;%1&quot;?</source>
        <translation>Möchten Sie „%1“ wirklich löschen?</translation>
    </message>
    <message>
        <source>Are you sure you want to delete %1 file(s)?</source>
        <translation>Möchten Sie %1 Datei(en) wirklich löschen?</translation>
    </message>
    <message>
        <source>Loading...</source>
        <translation>Wird geladen …</translation>
    </message>
    <message>
        <source>Search Apps</source>
        <translation>Apps suchen</translation>
    </message>
    <message>
        <source>Apps</source>
        <translation>Apps</translation>
    </message>
    <message>
        <source>The apps on the device as icons</source>
        <translation>Die Apps auf dem Gerät als Symbole</translation>
    </message>
    <message>
        <source>The apps on the device with their details</source>
        <translation>Die Apps auf dem Gerät mit ihren Angaben</translation>
    </message>
    <message>
        <source>Documents</source>
        <translation>Dokumente</translation>
    </message>
    <message>
        <source>The documents the selected app shares</source>
        <translation>Die Dokumente, die die ausgewählte App freigibt</translation>
    </message>
    <message>
        <source>Details</source>
        <translation>Details</translation>
    </message>
    <message>
        <source>The selected app and its documents</source>
        <translation>Die ausgewählte App und ihre Dokumente</translation>
    </message>
    <message>
        <source>Detail View</source>
        <translation>Detailansicht</translation>
    </message>
    <message>
        <source>Show the apps as a list with details</source>
        <translation>Die Apps als Liste mit Angaben zeigen</translation>
    </message>
    <message>
        <source>Icon View</source>
        <translation>Symbolansicht</translation>
    </message>
    <message>
        <source>Show the apps as icons</source>
        <translation>Die Apps als Symbole zeigen</translation>
    </message>
    <message>
        <source>Show or hide the details of the selected app</source>
        <translation>Details der ausgewählten App ein- oder ausblenden</translation>
    </message>
    <message>
        <source>Copy to Computer</source>
        <translation>Auf Computer kopieren</translation>
    </message>
    <message>
        <source>Copy the selected apps to the computer</source>
        <translation>Die ausgewählten Apps auf den Computer kopieren</translation>
    </message>
    <message>
        <source>Copy to iTunes</source>
        <translation>Zu iTunes kopieren</translation>
    </message>
    <message>
        <source>Copy the selected apps to iTunes</source>
        <translation>Die ausgewählten Apps zu iTunes kopieren</translation>
    </message>
    <message>
        <source>Add to Device</source>
        <translation>Zum Gerät hinzufügen</translation>
    </message>
    <message>
        <source>Install app files on the device</source>
        <translation>App-Dateien auf dem Gerät installieren</translation>
    </message>
    <message>
        <source>Delete</source>
        <translation>Löschen</translation>
    </message>
    <message>
        <source>Delete the selected apps from the device</source>
        <translation>Die ausgewählten Apps vom Gerät löschen</translation>
    </message>
    <message>
        <source>Add Documents</source>
        <translation>Dokumente hinzufügen</translation>
    </message>
    <message>
        <source>Copy files into the app&apos;s documents</source>
        <translation>Dateien in die Dokumente der App kopieren</translation>
    </message>
    <message>
        <source>Save Documents</source>
        <translation>Dokumente sichern</translation>
    </message>
    <message>
        <source>Copy the selected documents to the computer</source>
        <translation>Die ausgewählten Dokumente auf den Computer kopieren</translation>
    </message>
    <message>
        <source>Delete Documents</source>
        <translation>Dokumente löschen</translation>
    </message>
    <message>
        <source>Delete the selected documents</source>
        <translation>Die ausgewählten Dokumente löschen</translation>
    </message>
    <message>
        <source>Shows only the apps whose name contains the text (Ctrl+F)</source>
        <translation>Zeigt nur die Apps, deren Name den Text enthält (Strg+F)</translation>
    </message>
    <message>
        <source>Status</source>
        <translation>Status</translation>
    </message>
    <message>
        <source>How many apps are shown and selected</source>
        <translation>Wie viele Apps angezeigt und ausgewählt sind</translation>
    </message>
    <message>
        <source>Please select folder</source>
        <translation>Bitte wählen Sie einen Ordner</translation>
    </message>
    <message>
        <source>The file is in use.</source>
        <translation>Die Datei wird gerade verwendet.</translation>
    </message>
    <message>
        <source>Cannot add files. Insufficient space on your device.</source>
        <translation>Dateien können nicht hinzugefügt werden. Auf Ihrem Gerät ist nicht genug Speicher frei.</translation>
    </message>
    <message>
        <source>Select one or more files</source>
        <translation>Eine oder mehrere Dateien auswählen</translation>
    </message>
    <message>
        <source>Please select file(s) from the list first.</source>
        <translation>Bitte wählen Sie zuerst Dateien in der Liste aus.</translation>
    </message>
    <message>
        <source>Would you like to copy all data in the selected app(s) (e.g., documents, marks, game records)?</source>
        <translation>Sollen alle Daten der ausgewählten App(s) mitkopiert werden (z. B. Dokumente, Markierungen, Spielstände)?</translation>
    </message>
    <message>
        <source>The file &quot;%1&quot; has existed on your device. Do you want to replace it?</source>
        <translation>Die Datei „%1“ ist auf Ihrem Gerät bereits vorhanden. Möchten Sie sie ersetzen?</translation>
    </message>
    <message>
        <source>Try Again</source>
        <translation>Erneut versuchen</translation>
    </message>
</context>
<context>
    <name>DeviceSummaryPanel</name>
    <message>
        <source>Reading...</source>
        <translation>Wird gelesen …</translation>
    </message>
    <message>
        <source>%1 used, %2 free</source>
        <translation>%1 belegt, %2 frei</translation>
    </message>
    <message>
        <source>Not available</source>
        <translation>Nicht verfügbar</translation>
    </message>
    <message>
        <source>%1%</source>
        <translation>%1 %</translation>
    </message>
    <message>
        <source>%1 (charging)</source>
        <translation>%1 (wird geladen)</translation>
    </message>
    <message>
        <source>Model:</source>
        <translation>Modell:</translation>
    </message>
    <message>
        <source>iOS Version:</source>
        <translation>iOS-Version:</translation>
    </message>
    <message>
        <source>Storage:</source>
        <translation>Speicher:</translation>
    </message>
    <message>
        <source>Battery:</source>
        <translation>Batterie:</translation>
    </message>
    <message>
        <source>Storage</source>
        <translation>Speicher</translation>
    </message>
</context>
<context>
    <name>DeviceTreeWidget</name>
    <message>
        <source>Devices</source>
        <translation>Geräte</translation>
    </message>
    <message>
        <source>Busy</source>
        <translation>Beschäftigt</translation>
    </message>
    <message>
        <source>Please connect iPad, iPod or iPhone...</source>
        <translation>Bitte iPad, iPod oder iPhone anschließen …</translation>
    </message>
    <message>
        <source>Eject This Device</source>
        <translation>Dieses Gerät auswerfen</translation>
    </message>
    <message>
        <source>Apps</source>
        <translation>Apps</translation>
    </message>
</context>
<context>
    <name>DocStatusDelegate</name>
    <message>
        <source>Adding (%1% finished)</source>
        <translation>Wird hinzugefügt (%1 % fertig)</translation>
    </message>
    <message>
        <source>Saving (%1% finished)</source>
        <translation>Wird gespeichert (%1 % fertig)</translation>
    </message>
</context>
<context>
    <name>DocStatusEditor</name>
    <message>
        <source>Form</source>
        <translation>Formular</translation>
    </message>
    <message>
        <source>Finished</source>
        <translation>Fertig</translation>
    </message>
</context>
<context>
    <name>FilterCtrl</name>
    <message>
        <source>Search columns</source>
        <translation>Zu durchsuchende Spalten</translation>
    </message>
    <message>
        <source>Clear search</source>
        <translation>Suche leeren</translation>
    </message>
    <message>
        <source>Search</source>
        <translation>Suchen</translation>
    </message>
</context>
<context>
    <name>MainWindow</name>
    <message>
        <source>MainWindow</source>
        <translation>AppShuttle</translation>
    </message>
    <message>
        <source>Type:</source>
        <translation>Typ:</translation>
    </message>
    <message>
        <source>Serial Number:</source>
        <translation>Seriennummer:</translation>
    </message>
    <message>
        <source>The device could not be opened. Unplug it, unlock it and plug it in again.</source>
        <translation>Das Gerät konnte nicht geöffnet werden. Trennen Sie es, entsperren Sie es und schließen Sie es wieder an.</translation>
    </message>
    <message>
        <source>Fail to load your device. It may be caused by passcode lock. If so, please enter your passcode and click the &quot;Retry&quot; button.</source>
        <translation>Ihr Gerät konnte nicht geladen werden. Das kann an der Codesperre liegen. Geben Sie in diesem Fall Ihren Code ein und klicken Sie auf „Wiederholen“.</translation>
    </message>
    <message>
        <source>Transferring (%1% completed)</source>
        <translation>Übertragung (%1 % abgeschlossen)</translation>
    </message>
    <message>
        <source>There are one or more tasks running. Exiting will cancel all tasks. Exit anyway?</source>
        <translation>Es laufen noch Aufgaben. Beim Beenden werden alle Aufgaben abgebrochen. Trotzdem beenden?</translation>
    </message>
    <message>
        <source>Eject</source>
        <translation>Auswerfen</translation>
    </message>
    <message>
        <source>Settings...</source>
        <translation>Einstellungen …</translation>
    </message>
</context>
<context>
    <name>ProgressDialog</name>
    <message>
        <source>Dialog</source>
        <translation>Dialog</translation>
    </message>
    <message>
        <source>Modifying ID3 information...</source>
        <translation>ID3-Informationen werden geändert …</translation>
    </message>
    <message>
        <source>*.mp3</source>
        <translation>*.mp3</translation>
    </message>
    <message>
        <source>Cancel</source>
        <translation>Abbrechen</translation>
    </message>
</context>
<context>
    <name>ReplaceDialog</name>
    <message>
        <source>Dialog</source>
        <translation>Dialog</translation>
    </message>
    <message>
        <source>Confirm File Replace</source>
        <translation>Ersetzen der Datei bestätigen</translation>
    </message>
    <message>
        <source>Replace</source>
        <translation>Ersetzen</translation>
    </message>
    <message>
        <source>Replace the destination file with the new file</source>
        <translation>Die Zieldatei durch die neue Datei ersetzen</translation>
    </message>
    <message>
        <source>Rename</source>
        <translation>Umbenennen</translation>
    </message>
    <message>
        <source>Retain the destination file and rename the new file as &quot;name + (number index)&quot;</source>
        <translation>Die Zieldatei behalten und die neue Datei in „Name + (Nummer)“ umbenennen</translation>
    </message>
    <message>
        <source>Skip</source>
        <translation>Überspringen</translation>
    </message>
    <message>
        <source>Do not create new file, but retain the original file with the same name.</source>
        <translation>Keine neue Datei anlegen, sondern die vorhandene Datei gleichen Namens behalten.</translation>
    </message>
    <message>
        <source>Apply to All</source>
        <translation>Für alle übernehmen</translation>
    </message>
    <message>
        <source>Cancel</source>
        <translation>Abbrechen</translation>
    </message>
</context>
<context>
    <name>ReplaceDlg</name>
    <message>
        <source>Confirm File Replace</source>
        <translation>Ersetzen der Datei bestätigen</translation>
    </message>
    <message>
        <source>The folder already holds a file named &quot;%1&quot;.</source>
        <translation>Im Ordner gibt es bereits eine Datei namens „%1“.</translation>
    </message>
</context>
<context>
    <name>SettingDlg</name>
    <message>
        <source>Settings</source>
        <translation>Einstellungen</translation>
    </message>
    <message>
        <source>Every Day</source>
        <translation>Täglich</translation>
    </message>
    <message>
        <source>Every Week</source>
        <translation>Wöchentlich</translation>
    </message>
    <message>
        <source>Every Month</source>
        <translation>Monatlich</translation>
    </message>
</context>
<context>
    <name>SettingDlgClass</name>
    <message>
        <source>Check for Updates</source>
        <translation>Nach Aktualisierungen suchen</translation>
    </message>
    <message>
        <source>Check for Updates Automatically:</source>
        <translation>Automatisch nach Aktualisierungen suchen:</translation>
    </message>
    <message>
        <source>Update interval</source>
        <translation>Suchintervall</translation>
    </message>
    <message>
        <source>Restore Defaults</source>
        <translation>Standardwerte wiederherstellen</translation>
    </message>
    <message>
        <source>OK</source>
        <translation>OK</translation>
    </message>
    <message>
        <source>Cancel</source>
        <translation>Abbrechen</translation>
    </message>
    <message>
        <source>Apply</source>
        <translation>Anwenden</translation>
    </message>
</context>
<context>
    <name>TulApplication</name>
    <message>
        <source>%1 manages the apps on iPhone, iPad and iPod touch devices connected by USB.</source>
        <translation>%1 verwaltet die Apps auf iPhone, iPad und iPod touch, die per USB angeschlossen sind.</translation>
    </message>
    <message>
        <source>Try &apos;--help&apos; for the options.</source>
        <translation>Die Optionen zeigt »--help«.</translation>
    </message>
</context>
<context>
    <name>TulGettingStartedWeb</name>
    <message>
        <source>Connect your iPhone, iPad or iPod touch with its USB cable.</source>
        <translation>Schließen Sie Ihr iPhone, iPad oder Ihren iPod touch mit dem USB-Kabel an.</translation>
    </message>
</context>
<context>
    <name>appWidgetClass</name>
    <message>
        <source>Form</source>
        <translation>Formular</translation>
    </message>
    <message>
        <source>Loading...</source>
        <translation>Wird geladen …</translation>
    </message>
    <message>
        <source>Detail View</source>
        <translation>Detailansicht</translation>
    </message>
    <message>
        <source>Icon View</source>
        <translation>Symbolansicht</translation>
    </message>
    <message>
        <source>Show or hide the details</source>
        <translation>Details ein- oder ausblenden</translation>
    </message>
    <message>
        <source>Documents Management</source>
        <translation>Dokumentverwaltung</translation>
    </message>
    <message>
        <source>Add...</source>
        <translation>Hinzufügen …</translation>
    </message>
    <message>
        <source>Save...</source>
        <translation>Sichern …</translation>
    </message>
    <message>
        <source>Delete</source>
        <translation>Löschen</translation>
    </message>
    <message>
        <source>Copy File(s) to Computer</source>
        <translation>Datei(en) auf Computer kopieren</translation>
    </message>
    <message>
        <source>Copy File(s) to iTunes</source>
        <translation>Datei(en) zu iTunes kopieren</translation>
    </message>
    <message>
        <source>Add File(s) to Device</source>
        <translation>Datei(en) zum Gerät hinzufügen</translation>
    </message>
</context>
<context>
    <name>main</name>
    <message>
        <source>%1 reaches iPhone, iPad and iPod touch through the usbmuxd service, which is not installed. Install it with &quot;sudo apt install usbmuxd&quot;; it starts by itself when a device is plugged in.</source>
        <translation>%1 erreicht iPhone, iPad und iPod touch über den Dienst usbmuxd, der nicht installiert ist. Installieren Sie ihn mit „sudo apt install usbmuxd“; er startet von selbst, sobald ein Gerät angeschlossen wird.</translation>
    </message>
    <message>
        <source>Click &quot;OK&quot; to read more about usbmuxd.</source>
        <translation>Klicken Sie auf „OK“, um mehr über usbmuxd zu lesen.</translation>
    </message>
    <message>
        <source>Error</source>
        <translation>Fehler</translation>
    </message>
    <message>
        <source>Start the program failed. Please re-install it.</source>
        <translation>Das Programm konnte nicht gestartet werden. Bitte installieren Sie es neu.</translation>
    </message>
    <message>
        <source>Start with the demo devices (an older iPhone and a current iPad).</source>
        <translation>Mit den Demo-Geräten starten (ein älteres iPhone und ein aktuelles iPad).</translation>
    </message>
    <message>
        <source>Reach devices through the usbmuxd socket at &lt;path&gt;.</source>
        <translation>Geräte über den usbmuxd-Socket unter &lt;Pfad&gt; erreichen.</translation>
    </message>
    <message>
        <source>The demo devices could not be started.</source>
        <translation>Die Demo-Geräte konnten nicht gestartet werden.</translation>
    </message>
</context>
<context>
    <name>questionDlgClass</name>
    <message>
        <source>Open Folder</source>
        <translation>Ordner öffnen</translation>
    </message>
    <message>
        <source>Close</source>
        <translation>Schließen</translation>
    </message>
</context>
<context>
    <name>questiondlg</name>
    <message>
        <source>Retry</source>
        <translation>Wiederholen</translation>
    </message>
    <message>
        <source>Cancel</source>
        <translation>Abbrechen</translation>
    </message>
</context>
<context>
    <name>stateLabel</name>
    <message>
        <source>Total: %1 App(s); Selected: %2 App(s)</source>
        <translation>Gesamt: %1 App(s); ausgewählt: %2 App(s)</translation>
    </message>
</context>
<context>
    <name>tr_action_text</name>
    <message>
        <source>&amp;File</source>
        <translation>&amp;Datei</translation>
    </message>
    <message>
        <source>&amp;Tools</source>
        <translation>E&amp;xtras</translation>
    </message>
    <message>
        <source>E&amp;xit</source>
        <translation>&amp;Beenden</translation>
    </message>
    <message>
        <source>Copy &amp;to Computer...</source>
        <translation>Auf Compu&amp;ter kopieren …</translation>
    </message>
    <message>
        <source>Copy to iT&amp;unes</source>
        <translation>Zu iT&amp;unes kopieren</translation>
    </message>
    <message>
        <source>&amp;Add File(s) to Device...</source>
        <translation>Datei(en) zum Gerät &amp;hinzufügen …</translation>
    </message>
    <message>
        <source>Add F&amp;older to Device...</source>
        <translation>&amp;Ordner zum Gerät hinzufügen …</translation>
    </message>
    <message>
        <source>&amp;Delete</source>
        <translation>&amp;Löschen</translation>
    </message>
    <message>
        <source>Se&amp;lect All</source>
        <translation>&amp;Alle auswählen</translation>
    </message>
    <message>
        <source>&amp;Cancel</source>
        <translation>A&amp;bbrechen</translation>
    </message>
</context>
<context>
    <name>watingdlg</name>
    <message>
        <source>Refreshing device...</source>
        <translation>Gerät wird aktualisiert …</translation>
    </message>
    <message>
        <source>Loading...</source>
        <translation>Wird geladen …</translation>
    </message>
</context>
<context>
    <name>watingdlgClass</name>
    <message>
        <source>Please wait for a moment and do not remove the device.</source>
        <translation>Bitte einen Moment warten und das Gerät nicht trennen.</translation>
    </message>
</context>
</TS>
