<?xml version="1.0" encoding="utf-8"?>
<!DOCTYPE TS>
<TS version="2.1" language="de_DE">
<context>
    <name>AppHandler</name>
    <message>
        <source>including documents</source>
        <translation>mit Dokumenten</translation>
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
