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
    <name>AppHandler</name>
    <message>
        <source>including documents</source>
        <translation>mit Dokumenten</translation>
    </message>
</context>
<context>
    <name>AppMessages</name>
    <message>
        <source>Your device&apos;s iOS (%1) no longer allows copying apps to the computer. Apps can be copied only from devices with iOS 8 or earlier.</source>
        <translation>Das iOS Ihres Geräts (%1) erlaubt nicht mehr, Apps auf den Computer zu kopieren. Apps lassen sich nur von Geräten mit iOS 8 oder älter kopieren.</translation>
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
