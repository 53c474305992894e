<?xml version="1.0" encoding="utf-8"?>
<!DOCTYPE TS>
<TS version="2.1" language="fr">
<context>
    <name>ClockDialog</name>
    <message>
        <source>This computer&apos;s clock</source>
        <translation>L&apos;horloge de cet ordinateur</translation>
    </message>
    <message>
        <source>The key computes each code from this computer&apos;s time, and a service accepts a code only within about 30 seconds of its own: a clock that is off gives codes that look right and are refused.</source>
        <translation>La clé calcule chaque code à partir de l&apos;heure de cet ordinateur, et un service n&apos;accepte un code qu&apos;à environ 30 secondes près de la sienne : une horloge décalée donne des codes qui semblent justes et sont refusés.</translation>
    </message>
    <message>
        <source>To synchronise the clock, open Settings, Time &amp; language, Date &amp; time, and switch on Set time automatically.</source>
        <translation>Pour synchroniser l&apos;horloge, ouvrez Paramètres, Heure et langue, Date et heure, et activez « Régler l&apos;heure automatiquement ».</translation>
    </message>
    <message>
        <source>To synchronise the clock, switch on automatic date and time in your desktop&apos;s settings, or run:</source>
        <translation>Pour synchroniser l&apos;horloge, activez la date et l&apos;heure automatiques dans les paramètres de votre bureau, ou lancez :</translation>
    </message>
    <message>
        <source>Some computers never say that their clock is synchronised. If your codes are accepted, turn off Settings, Warn when the clock is not synchronised.</source>
        <translation>Certains ordinateurs n&apos;indiquent jamais que leur horloge est synchronisée. Si vos codes sont acceptés, désactivez Paramètres, « Avertir si l&apos;horloge n&apos;est pas synchronisée ».</translation>
    </message>
</context>
<context>
    <name>CredentialsDialog</name>
    <message>
        <source>Credentials</source>
        <translation>Identifiants</translation>
    </message>
    <message>
        <source>(active)</source>
        <translation>(actif)</translation>
    </message>
    <message>
        <source>Filter by serial number</source>
        <translation>Filtrer par n° de série</translation>
    </message>
    <message>
        <source>&amp;Refresh</source>
        <translation>&amp;Actualiser</translation>
    </message>
    <message>
        <source>One-time password %1</source>
        <translation>Mot de passe à usage unique %1</translation>
    </message>
    <message>
        <source>Copy the code</source>
        <translation>Copier le code</translation>
    </message>
    <message>
        <source>Copies the selected credential&apos;s one-time password to the clipboard</source>
        <translation>Copie le mot de passe à usage unique de l&apos;identifiant sélectionné dans le presse-papiers</translation>
    </message>
    <message>
        <source>HOTP: a code would count up the key</source>
        <translation>HOTP : un code avancerait le compteur</translation>
    </message>
    <message numerus="yes">
        <source>%n seconds left</source>
        <translation>
            <numerusform>%n seconde restante</numerusform>
            <numerusform>%n secondes restantes</numerusform>
        </translation>
    </message>
    <message>
        <source>Make &amp;active</source>
        <translation>&amp;Définir comme actif</translation>
    </message>
</context>
<context>
    <name>TitleDialog</name>
    <message>
        <source>Close</source>
        <translation>Fermer</translation>
    </message>
</context>
<context>
    <name>Tray</name>
    <message>
        <source>Umbrata: %1</source>
        <translation>Umbrata : %1</translation>
    </message>
    <message>
        <source>Umbrata: no key</source>
        <translation>Umbrata : aucune clé</translation>
    </message>
    <message>
        <source>HOTP: a code would count up the key</source>
        <translation>HOTP : un code avancerait le compteur</translation>
    </message>
    <message>
        <source>Touch the key for the code</source>
        <translation>Touchez la clé pour obtenir le code</translation>
    </message>
    <message>
        <source>Show Umbrata</source>
        <translation>Afficher Umbrata</translation>
    </message>
    <message>
        <source>Quit</source>
        <translation>Quitter</translation>
    </message>
    <message>
        <source>Restart as administrator</source>
        <translation>Redémarrer en administrateur</translation>
    </message>
</context>
<context>
    <name>UserGuideWindow</name>
    <message>
        <source>Umbrata User Guide</source>
        <translation>Guide de l&apos;utilisateur d&apos;Umbrata (en anglais)</translation>
    </message>
    <message>
        <source>User Guide</source>
        <translation>Guide de l&apos;utilisateur</translation>
    </message>
</context>
<context>
    <name>init_page</name>
    <message>
        <source>No Key Detected!</source>
        <translation>Aucune clé détectée !</translation>
    </message>
    <message>
        <source>A key is plugged in, but Windows lets only
administrators open it.</source>
        <translation>Clé branchée, mais Windows n&apos;en permet
l&apos;accès qu&apos;aux administrateurs.</translation>
    </message>
    <message>
        <source>A key is plugged in, but you may not open it.</source>
        <translation>Clé branchée, mais accès non autorisé.</translation>
    </message>
    <message>
        <source>Its udev rule is in place: replug the key.</source>
        <translation>Règle udev en place : rebranchez la clé.</translation>
    </message>
    <message>
        <source>See the README: udev rule.</source>
        <translation>Voir le README : règle udev.</translation>
    </message>
    <message>
        <source>Restart as administrator</source>
        <translation>Redémarrer en administrateur</translation>
    </message>
</context>
<context>
    <name>main</name>
    <message>
        <source>&amp;File</source>
        <translation>&amp;Fichier</translation>
    </message>
    <message>
        <source>Exit</source>
        <translation>Quitter</translation>
    </message>
    <message>
        <source>&amp;Settings</source>
        <translation>&amp;Paramètres</translation>
    </message>
    <message>
        <source>Token Info...</source>
        <translation>Infos du jeton...</translation>
    </message>
    <message>
        <source>Credentials...</source>
        <translation>Identifiants...</translation>
    </message>
    <message numerus="yes">
        <source>Clear copied codes after %n s</source>
        <translation>
            <numerusform>Effacer la copie après %n s</numerusform>
            <numerusform>Effacer la copie après %n s</numerusform>
        </translation>
    </message>
    <message>
        <source>Keep running in the tray when the window is closed</source>
        <translation>Rester dans la zone de notification à la fermeture de la fenêtre</translation>
    </message>
    <message>
        <source>(this desktop shows no tray icons)</source>
        <translation>(ce bureau n&apos;a pas de zone de notification)</translation>
    </message>
    <message>
        <source>Start at login</source>
        <translation>Lancer à la connexion</translation>
    </message>
    <message>
        <source>&amp;Help</source>
        <translation>&amp;Aide</translation>
    </message>
    <message>
        <source>User Guide</source>
        <translation>Guide de l&apos;utilisateur</translation>
    </message>
    <message>
        <source>About</source>
        <translation>À propos</translation>
    </message>
    <message>
        <source>Copied</source>
        <translation>Copié</translation>
    </message>
    <message>
        <source>Press Mode Settings</source>
        <translation>Paramètres du mode appui</translation>
    </message>
    <message>
        <source>This key doesn&apos;t support it.</source>
        <translation>Cette clé ne le permet pas.</translation>
    </message>
    <message>
        <source>Token Info</source>
        <translation>Infos du jeton</translation>
    </message>
    <message>
        <source>Serial Number: %1
Algorithm: %2
Hash: %3
</source>
        <translation>Numéro de série : %1
Algorithme : %2
Hachage : %3
</translation>
    </message>
    <message>
        <source>If you are in Press Mode, 
the key requires press to get token info</source>
        <translation>En mode appui, appuyez sur la 
clé pour obtenir les infos du jeton</translation>
    </message>
    <message>
        <source>Press Mode Enabled.</source>
        <translation>Mode appui activé.</translation>
    </message>
    <message>
        <source>Press Mode Disabled.</source>
        <translation>Mode appui désactivé.</translation>
    </message>
    <message>
        <source>Preferences</source>
        <translation>Préférences</translation>
    </message>
    <message>
        <source>Enable Key Press</source>
        <translation>Activer le mode appui</translation>
    </message>
    <message>
        <source>Disable Key Press</source>
        <translation>Désactiver le mode appui</translation>
    </message>
    <message>
        <source>The copied code is still in the clipboard</source>
        <translation>Le code copié est encore dans le presse-papiers</translation>
    </message>
    <message>
        <source>Umbrata starts at login without administrator rights: use Restart as administrator when the key needs them.</source>
        <translation>Umbrata se lance à la connexion sans droits d’administrateur : utilisez Redémarrer en administrateur quand la clé en a besoin.</translation>
    </message>
    <message>
        <source>Key %1: %2</source>
        <translation>Clé %1 : %2</translation>
    </message>
    <message>
        <source>Key %1</source>
        <translation>Clé %1</translation>
    </message>
    <message>
        <source>%1, one of %2 keys: Ctrl+Tab shows the next</source>
        <translation>%1, une de %2 clés : Ctrl+Tab montre la suivante</translation>
    </message>
    <message>
        <source>Warn when the clock is not synchronised</source>
        <translation>Avertir si l&apos;horloge n&apos;est pas synchronisée</translation>
    </message>
</context>
<context>
    <name>messages</name>
    <message>
        <source>No credential %1 on the key; it holds none</source>
        <translation>Identifiant %1 absent ; la clé n&apos;en a aucun</translation>
    </message>
    <message>
        <source>No credential %1 on the key; it holds %2</source>
        <translation>Identifiant %1 absent ; la clé a %2</translation>
    </message>
</context>
<context>
    <name>model</name>
    <message>
        <source>Press the key to get the OTP!</source>
        <translation>Appuyez sur la clé pour le code</translation>
    </message>
    <message>
        <source>Failed to access the key.
Re-plug in the key!</source>
        <translation>Accès à la clé impossible.
Rebranchez la clé !</translation>
    </message>
    <message>
        <source>This key&apos;s OTP application does not answer: the key is not used.</source>
        <translation>L’application OTP de cette clé ne répond pas : la clé n’est pas utilisée.</translation>
    </message>
</context>
<context>
    <name>otp_status_view</name>
    <message>
        <source>One-time password %1</source>
        <translation>Mot de passe à usage unique %1</translation>
    </message>
    <message>
        <source>No one-time password</source>
        <translation>Aucun mot de passe à usage unique</translation>
    </message>
    <message>
        <source>The code of the key&apos;s active credential</source>
        <translation>Le code de l&apos;identifiant actif de la clé</translation>
    </message>
    <message>
        <source>Copy the code</source>
        <translation>Copier le code</translation>
    </message>
    <message>
        <source>Copies the one-time password to the clipboard</source>
        <translation>Copie le mot de passe à usage unique dans le presse-papiers</translation>
    </message>
    <message numerus="yes">
        <source>Seconds left in the code&apos;s %n-second step</source>
        <translation>
            <numerusform>Secondes restantes dans la période de %n seconde du code</numerusform>
            <numerusform>Secondes restantes dans la période de %n secondes du code</numerusform>
        </translation>
    </message>
    <message numerus="yes">
        <source>%n seconds left</source>
        <translation>
            <numerusform>%n seconde restante</numerusform>
            <numerusform>%n secondes restantes</numerusform>
        </translation>
    </message>
    <message>
        <source>Next code</source>
        <translation>Code suivant</translation>
    </message>
    <message>
        <source>Asks the key for the next code, which counts it up</source>
        <translation>Demande à la clé le code suivant, ce qui fait avancer son compteur</translation>
    </message>
    <message>
        <source>%1 is an HOTP credential: each code counts the key up.</source>
        <translation>%1 est un identifiant HOTP : chaque code fait avancer le compteur de la clé.</translation>
    </message>
    <message>
        <source>Next one-time password %1</source>
        <translation>Mot de passe à usage unique suivant %1</translation>
    </message>
    <message>
        <source>next</source>
        <translation>suivant</translation>
    </message>
    <message>
        <source>Copy the next code</source>
        <translation>Copier le code suivant</translation>
    </message>
    <message>
        <source>Copies the next step&apos;s one-time password to the clipboard</source>
        <translation>Copie le mot de passe à usage unique suivant dans le presse-papiers</translation>
    </message>
    <message>
        <source>This computer&apos;s clock is not synchronised: codes may be refused.</source>
        <translation>L&apos;horloge de cet ordinateur n&apos;est pas synchronisée : des codes peuvent être refusés.</translation>
    </message>
    <message>
        <source>Opens what it means and how to synchronise the clock</source>
        <translation>Explique ce que cela signifie et comment synchroniser l&apos;horloge</translation>
    </message>
</context>
</TS>
