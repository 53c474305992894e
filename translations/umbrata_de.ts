<?xml version="1.0" encoding="utf-8"?>
<!DOCTYPE TS>
<TS version="2.1" language="de">
<context>
    <name>ClockDialog</name>
    <message>
        <source>This computer&apos;s clock</source>
        <translation>Die Uhr dieses Computers</translation>
    </message>
    <message>
        <source>The key computes each code from this computer&apos;s time, and a service accepts a code only within about 30 seconds of its own: a clock that is off gives codes that look right and are refused.</source>
        <translation>Der Schlüssel berechnet jeden Code aus der Zeit dieses Computers, und ein Dienst nimmt einen Code nur bis etwa 30 Sekunden neben seiner eigenen an: Eine falsch gehende Uhr ergibt Codes, die richtig aussehen und abgelehnt werden.</translation>
    </message>
    <message>
        <source>To synchronise the clock, open Settings, Time &amp; language, Date &amp; time, and switch on Set time automatically.</source>
        <translation>Um die Uhr zu synchronisieren, öffnen Sie Einstellungen, Zeit und Sprache, Datum und Uhrzeit, und schalten Sie „Uhrzeit automatisch festlegen“ ein.</translation>
    </message>
    <message>
        <source>To synchronise the clock, switch on automatic date and time in your desktop&apos;s settings, or run:</source>
        <translation>Um die Uhr zu synchronisieren, schalten Sie in den Einstellungen Ihrer Arbeitsumgebung Datum und Uhrzeit automatisch ein, oder führen Sie aus:</translation>
    </message>
    <message>
        <source>Some computers never say that their clock is synchronised. If your codes are accepted, turn off Settings, Warn when the clock is not synchronised.</source>
        <translation>Manche Computer melden nie eine synchronisierte Uhr. Werden Ihre Codes angenommen, schalten Sie Einstellungen, „Warnen, wenn die Uhr nicht synchronisiert ist“ aus.</translation>
    </message>
</context>
<context>
    <name>CredentialsDialog</name>
    <message>
        <source>Credentials</source>
        <translation>Zugangsdaten</translation>
    </message>
    <message>
        <source>(active)</source>
        <translation>(aktiv)</translation>
    </message>
    <message>
        <source>Filter by serial number</source>
        <translation>Nach Seriennr. filtern</translation>
    </message>
    <message>
        <source>&amp;Refresh</source>
        <translation>&amp;Aktualisieren</translation>
    </message>
    <message>
        <source>One-time password %1</source>
        <translation>Einmalpasswort %1</translation>
    </message>
    <message>
        <source>Copy the code</source>
        <translation>Code kopieren</translation>
    </message>
    <message>
        <source>Copies the selected credential&apos;s one-time password to the clipboard</source>
        <translation>Kopiert das Einmalpasswort der ausgewählten Zugangsdaten in die Zwischenablage</translation>
    </message>
    <message>
        <source>HOTP: a code would count up the key</source>
        <translation>HOTP: ein Code erhöht den Zähler</translation>
    </message>
    <message numerus="yes">
        <source>%n seconds left</source>
        <translation>
            <numerusform>noch %n Sekunde</numerusform>
            <numerusform>noch %n Sekunden</numerusform>
        </translation>
    </message>
    <message>
        <source>Make &amp;active</source>
        <translation>A&amp;ktivieren</translation>
    </message>
</context>
<context>
    <name>TitleDialog</name>
    <message>
        <source>Close</source>
        <translation>Schließen</translation>
    </message>
</context>
<context>
    <name>Tray</name>
    <message>
        <source>Umbrata: %1</source>
        <translation>Umbrata: %1</translation>
    </message>
    <message>
        <source>Umbrata: no key</source>
        <translation>Umbrata: kein Schlüssel</translation>
    </message>
    <message>
        <source>HOTP: a code would count up the key</source>
        <translation>HOTP: ein Code erhöht den Zähler</translation>
    </message>
    <message>
        <source>Touch the key for the code</source>
        <translation>Für den Code Schlüssel berühren</translation>
    </message>
    <message>
        <source>Show Umbrata</source>
        <translation>Umbrata anzeigen</translation>
    </message>
    <message>
        <source>Quit</source>
        <translation>Beenden</translation>
    </message>
    <message>
        <source>Restart as administrator</source>
        <translation>Als Administrator neu starten</translation>
    </message>
</context>
<context>
    <name>UserGuideWindow</name>
    <message>
        <source>Umbrata User Guide</source>
        <translation>Umbrata-Benutzerhandbuch (auf Englisch)</translation>
    </message>
    <message>
        <source>User Guide</source>
        <translation>Benutzerhandbuch</translation>
    </message>
</context>
<context>
    <name>init_page</name>
    <message>
        <source>No Key Detected!</source>
        <translation>Kein Schlüssel erkannt!</translation>
    </message>
    <message>
        <source>A key is plugged in, but Windows lets only
administrators open it.</source>
        <translation>Schlüssel erkannt, aber Windows erlaubt nur
Administratoren den Zugriff.</translation>
    </message>
    <message>
        <source>A key is plugged in, but you may not open it.</source>
        <translation>Schlüssel erkannt, aber kein Zugriff erlaubt.</translation>
    </message>
    <message>
        <source>Its udev rule is in place: replug the key.</source>
        <translation>udev-Regel installiert: neu einstecken.</translation>
    </message>
    <message>
        <source>See the README: udev rule.</source>
        <translation>Siehe README: udev-Regel.</translation>
    </message>
    <message>
        <source>Restart as administrator</source>
        <translation>Als Administrator neu starten</translation>
    </message>
</context>
<context>
    <name>main</name>
    <message>
        <source>&amp;File</source>
        <translation>&amp;Datei</translation>
    </message>
    <message>
        <source>Exit</source>
        <translation>Beenden</translation>
    </message>
    <message>
        <source>&amp;Settings</source>
        <translation>&amp;Einstellungen</translation>
    </message>
    <message>
        <source>Token Info...</source>
        <translation>Token-Info...</translation>
    </message>
    <message>
        <source>Credentials...</source>
        <translation>Zugangsdaten...</translation>
    </message>
    <message numerus="yes">
        <source>Clear copied codes after %n s</source>
        <translation>
            <numerusform>Kopie nach %n s löschen</numerusform>
            <numerusform>Kopie nach %n s löschen</numerusform>
        </translation>
    </message>
    <message>
        <source>Keep running in the tray when the window is closed</source>
        <translation>Beim Schließen des Fensters im Infobereich weiterlaufen</translation>
    </message>
    <message>
        <source>(this desktop shows no tray icons)</source>
        <translation>(dieser Desktop hat keinen Infobereich)</translation>
    </message>
    <message>
        <source>Start at login</source>
        <translation>Beim Anmelden starten</translation>
    </message>
    <message>
        <source>&amp;Help</source>
        <translation>&amp;Hilfe</translation>
    </message>
    <message>
        <source>User Guide</source>
        <translation>Benutzerhandbuch</translation>
    </message>
    <message>
        <source>About</source>
        <translation>Über</translation>
    </message>
    <message>
        <source>Copied</source>
        <translation>Kopiert</translation>
    </message>
    <message>
        <source>Press Mode Settings</source>
        <translation>Tastendruck-Modus</translation>
    </message>
    <message>
        <source>This key doesn&apos;t support it.</source>
        <translation>Dieser Schlüssel kann das nicht.</translation>
    </message>
    <message>
        <source>Token Info</source>
        <translation>Token-Info</translation>
    </message>
    <message>
        <source>Serial Number: %1
Algorithm: %2
Hash: %3
</source>
        <translation>Seriennummer: %1
Algorithmus: %2
Hash: %3
</translation>
    </message>
    <message>
        <source>If you are in Press Mode, 
the key requires press to get token info</source>
        <translation>Im Tastendruck-Modus den Schlüssel 
drücken, um die Token-Info zu sehen</translation>
    </message>
    <message>
        <source>Press Mode Enabled.</source>
        <translation>Tastendruck-Modus aktiviert.</translation>
    </message>
    <message>
        <source>Press Mode Disabled.</source>
        <translation>Tastendruck-Modus deaktiviert.</translation>
    </message>
    <message>
        <source>Preferences</source>
        <translation>Einstellungen</translation>
    </message>
    <message>
        <source>Enable Key Press</source>
        <translation>Tastendruck aktivieren</translation>
    </message>
    <message>
        <source>Disable Key Press</source>
        <translation>Tastendruck deaktivieren</translation>
    </message>
    <message>
        <source>The copied code is still in the clipboard</source>
        <translation>Der kopierte Code ist noch in der Zwischenablage</translation>
    </message>
    <message>
        <source>Umbrata starts at login without administrator rights: use Restart as administrator when the key needs them.</source>
        <translation>Umbrata startet bei der Anmeldung ohne Administratorrechte: Wählen Sie „Als Administrator neu starten“, wenn der Schlüssel sie braucht.</translation>
    </message>
    <message>
        <source>Key %1: %2</source>
        <translation>Schlüssel %1: %2</translation>
    </message>
    <message>
        <source>Key %1</source>
        <translation>Schlüssel %1</translation>
    </message>
    <message>
        <source>%1, one of %2 keys: Ctrl+Tab shows the next</source>
        <translation>%1, einer von %2 Schlüsseln: Strg+Tab zeigt den nächsten</translation>
    </message>
    <message>
        <source>Warn when the clock is not synchronised</source>
        <translation>Warnen, wenn die Uhr nicht synchronisiert ist</translation>
    </message>
</context>
<context>
    <name>messages</name>
    <message>
        <source>No credential %1 on the key; it holds none</source>
        <translation>Zugangsdaten %1 fehlen; vorhanden: keine</translation>
    </message>
    <message>
        <source>No credential %1 on the key; it holds %2</source>
        <translation>Zugangsdaten %1 fehlen; vorhanden: %2</translation>
    </message>
</context>
<context>
    <name>model</name>
    <message>
        <source>Press the key to get the OTP!</source>
        <translation>Für den Code Schlüssel drücken!</translation>
    </message>
    <message>
        <source>Failed to access the key.
Re-plug in the key!</source>
        <translation>Schlüssel nicht erreichbar.
Bitte neu einstecken!</translation>
    </message>
    <message>
        <source>This key&apos;s OTP application does not answer: the key is not used.</source>
        <translation>Die OTP-Anwendung dieses Schlüssels antwortet nicht: Der Schlüssel wird nicht verwendet.</translation>
    </message>
</context>
<context>
    <name>otp_status_view</name>
    <message>
        <source>One-time password %1</source>
        <translation>Einmalpasswort %1</translation>
    </message>
    <message>
        <source>No one-time password</source>
        <translation>Kein Einmalpasswort</translation>
    </message>
    <message>
        <source>The code of the key&apos;s active credential</source>
        <translation>Der Code der aktiven Zugangsdaten des Schlüssels</translation>
    </message>
    <message>
        <source>Copy the code</source>
        <translation>Code kopieren</translation>
    </message>
    <message>
        <source>Copies the one-time password to the clipboard</source>
        <translation>Kopiert das Einmalpasswort in die Zwischenablage</translation>
    </message>
    <message numerus="yes">
        <source>Seconds left in the code&apos;s %n-second step</source>
        <translation>
            <numerusform>Verbleibende Sekunden im %n-Sekunden-Intervall des Codes</numerusform>
            <numerusform>Verbleibende Sekunden im %n-Sekunden-Intervall des Codes</numerusform>
        </translation>
    </message>
    <message numerus="yes">
        <source>%n seconds left</source>
        <translation>
            <numerusform>noch %n Sekunde</numerusform>
            <numerusform>noch %n Sekunden</numerusform>
        </translation>
    </message>
    <message>
        <source>Next code</source>
        <translation>Nächster Code</translation>
    </message>
    <message>
        <source>Asks the key for the next code, which counts it up</source>
        <translation>Fragt den Schlüssel nach dem nächsten Code, was seinen Zähler erhöht</translation>
    </message>
    <message>
        <source>%1 is an HOTP credential: each code counts the key up.</source>
        <translation>Die Zugangsdaten %1 sind HOTP: Jeder Code erhöht den Zähler des Schlüssels.</translation>
    </message>
    <message>
        <source>Next one-time password %1</source>
        <translation>Nächstes Einmalpasswort %1</translation>
    </message>
    <message>
        <source>next</source>
        <translation>nächster</translation>
    </message>
    <message>
        <source>Copy the next code</source>
        <translation>Nächsten Code kopieren</translation>
    </message>
    <message>
        <source>Copies the next step&apos;s one-time password to the clipboard</source>
        <translation>Kopiert das nächste Einmalpasswort in die Zwischenablage</translation>
    </message>
    <message>
        <source>This computer&apos;s clock is not synchronised: codes may be refused.</source>
        <translation>Die Uhr dieses Computers ist nicht synchronisiert: Codes können abgelehnt werden.</translation>
    </message>
    <message>
        <source>Opens what it means and how to synchronise the clock</source>
        <translation>Erklärt, was das bedeutet und wie man die Uhr synchronisiert</translation>
    </message>
</context>
</TS>
