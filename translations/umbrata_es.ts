<?xml version="1.0" encoding="utf-8"?>
<!DOCTYPE TS>
<TS version="2.1" language="es">
<context>
    <name>ClockDialog</name>
    <message>
        <source>This computer&apos;s clock</source>
        <translation>El reloj de este equipo</translation>
    </message>
    <message>
        <source>The key computes each code from this computer&apos;s time, and a service accepts a code only within about 30 seconds of its own: a clock that is off gives codes that look right and are refused.</source>
        <translation>La llave calcula cada código a partir de la hora de este equipo, y un servicio solo acepta un código a unos 30 segundos de la suya: un reloj desfasado da códigos que parecen correctos y son rechazados.</translation>
    </message>
    <message>
        <source>To synchronise the clock, open Settings, Time &amp; language, Date &amp; time, and switch on Set time automatically.</source>
        <translation>Para sincronizar el reloj, abra Configuración, Hora e idioma, Fecha y hora, y active «Establecer la hora automáticamente».</translation>
    </message>
    <message>
        <source>To synchronise the clock, switch on automatic date and time in your desktop&apos;s settings, or run:</source>
        <translation>Para sincronizar el reloj, active la fecha y hora automáticas en la configuración de su escritorio, o ejecute:</translation>
    </message>
    <message>
        <source>Some computers never say that their clock is synchronised. If your codes are accepted, turn off Settings, Warn when the clock is not synchronised.</source>
        <translation>Algunos equipos nunca indican que su reloj está sincronizado. Si sus códigos se aceptan, desactive Configuración, «Avisar si el reloj no está sincronizado».</translation>
    </message>
</context>
<context>
    <name>CredentialsDialog</name>
    <message>
        <source>Credentials</source>
        <translation>Credenciales</translation>
    </message>
    <message>
        <source>(active)</source>
        <translation>(activa)</translation>
    </message>
    <message>
        <source>Filter by serial number</source>
        <translation>Filtrar por n.º de serie</translation>
    </message>
    <message>
        <source>&amp;Refresh</source>
        <translation>&amp;Actualizar</translation>
    </message>
    <message>
        <source>One-time password %1</source>
        <translation>Contraseña de un solo uso %1</translation>
    </message>
    <message>
        <source>Copy the code</source>
        <translation>Copiar el código</translation>
    </message>
    <message>
        <source>Copies the selected credential&apos;s one-time password to the clipboard</source>
        <translation>Copia la contraseña de un solo uso de la credencial seleccionada al portapapeles</translation>
    </message>
    <message>
        <source>HOTP: a code would count up the key</source>
        <translation>HOTP: un código avanzaría el contador</translation>
    </message>
    <message numerus="yes">
        <source>%n seconds left</source>
        <translation>
            <numerusform>queda %n segundo</numerusform>
            <numerusform>quedan %n segundos</numerusform>
        </translation>
    </message>
    <message>
        <source>Make &amp;active</source>
        <translation>Ac&amp;tivar</translation>
    </message>
</context>
<context>
    <name>TitleDialog</name>
    <message>
        <source>Close</source>
        <translation>Cerrar</translation>
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
        <translation>Umbrata: sin llave</translation>
    </message>
    <message>
        <source>HOTP: a code would count up the key</source>
        <translation>HOTP: un código avanzaría el contador</translation>
    </message>
    <message>
        <source>Touch the key for the code</source>
        <translation>Toque la llave para obtener el código</translation>
    </message>
    <message>
        <source>Show Umbrata</source>
        <translation>Mostrar Umbrata</translation>
    </message>
    <message>
        <source>Quit</source>
        <translation>Salir</translation>
    </message>
    <message>
        <source>Restart as administrator</source>
        <translation>Reiniciar como administrador</translation>
    </message>
</context>
<context>
    <name>UserGuideWindow</name>
    <message>
        <source>Umbrata User Guide</source>
        <translation>Guía del usuario de Umbrata (en inglés)</translation>
    </message>
    <message>
        <source>User Guide</source>
        <translation>Guía del usuario</translation>
    </message>
</context>
<context>
    <name>init_page</name>
    <message>
        <source>No Key Detected!</source>
        <translation>¡Llave no detectada!</translation>
    </message>
    <message>
        <source>A key is plugged in, but Windows lets only
administrators open it.</source>
        <translation>Llave conectada, pero Windows solo deja
abrirla a los administradores.</translation>
    </message>
    <message>
        <source>A key is plugged in, but you may not open it.</source>
        <translation>Llave conectada, pero sin permiso de acceso.</translation>
    </message>
    <message>
        <source>Its udev rule is in place: replug the key.</source>
        <translation>Regla udev instalada: reconecte la llave.</translation>
    </message>
    <message>
        <source>See the README: udev rule.</source>
        <translation>Consulte el README: regla udev.</translation>
    </message>
    <message>
        <source>Restart as administrator</source>
        <translation>Reiniciar como administrador</translation>
    </message>
</context>
<context>
    <name>main</name>
    <message>
        <source>&amp;File</source>
        <translation>&amp;Archivo</translation>
    </message>
    <message>
        <source>Exit</source>
        <translation>Salir</translation>
    </message>
    <message>
        <source>&amp;Settings</source>
        <translation>&amp;Configuración</translation>
    </message>
    <message>
        <source>Token Info...</source>
        <translation>Información del token...</translation>
    </message>
    <message>
        <source>Credentials...</source>
        <translation>Credenciales...</translation>
    </message>
    <message numerus="yes">
        <source>Clear copied codes after %n s</source>
        <translation>
            <numerusform>Borrar lo copiado tras %n s</numerusform>
            <numerusform>Borrar lo copiado tras %n s</numerusform>
        </translation>
    </message>
    <message>
        <source>Keep running in the tray when the window is closed</source>
        <translation>Seguir en la bandeja del sistema al cerrar la ventana</translation>
    </message>
    <message>
        <source>(this desktop shows no tray icons)</source>
        <translation>(este escritorio no tiene bandeja del sistema)</translation>
    </message>
    <message>
        <source>Start at login</source>
        <translation>Abrir al iniciar sesión</translation>
    </message>
    <message>
        <source>&amp;Help</source>
        <translation>A&amp;yuda</translation>
    </message>
    <message>
        <source>User Guide</source>
        <translation>Guía del usuario</translation>
    </message>
    <message>
        <source>About</source>
        <translation>Acerca de</translation>
    </message>
    <message>
        <source>Copied</source>
        <translation>Copiado</translation>
    </message>
    <message>
        <source>Press Mode Settings</source>
        <translation>Modo pulsación</translation>
    </message>
    <message>
        <source>This key doesn&apos;t support it.</source>
        <translation>Esta llave no lo admite.</translation>
    </message>
    <message>
        <source>Token Info</source>
        <translation>Información del token</translation>
    </message>
    <message>
        <source>Serial Number: %1
Algorithm: %2
Hash: %3
</source>
        <translation>Número de serie: %1
Algoritmo: %2
Hash: %3
</translation>
    </message>
    <message>
        <source>If you are in Press Mode, 
the key requires press to get token info</source>
        <translation>En modo pulsación, pulse la llave 
para obtener la información del token</translation>
    </message>
    <message>
        <source>Press Mode Enabled.</source>
        <translation>Modo pulsación activado.</translation>
    </message>
    <message>
        <source>Press Mode Disabled.</source>
        <translation>Modo pulsación desactivado.</translation>
    </message>
    <message>
        <source>Preferences</source>
        <translation>Preferencias</translation>
    </message>
    <message>
        <source>Enable Key Press</source>
        <translation>Activar modo pulsación</translation>
    </message>
    <message>
        <source>Disable Key Press</source>
        <translation>Desactivar modo pulsación</translation>
    </message>
    <message>
        <source>The copied code is still in the clipboard</source>
        <translation>El código copiado sigue en el portapapeles</translation>
    </message>
    <message>
        <source>Umbrata starts at login without administrator rights: use Restart as administrator when the key needs them.</source>
        <translation>Umbrata se abre al iniciar sesión sin derechos de administrador: use Reiniciar como administrador cuando la llave los necesite.</translation>
    </message>
    <message>
        <source>Key %1: %2</source>
        <translation>Llave %1: %2</translation>
    </message>
    <message>
        <source>Key %1</source>
        <translation>Llave %1</translation>
    </message>
    <message>
        <source>%1, one of %2 keys: Ctrl+Tab shows the next</source>
        <translation>%1, una de %2 llaves: Ctrl+Tab muestra la siguiente</translation>
    </message>
    <message>
        <source>Warn when the clock is not synchronised</source>
        <translation>Avisar si el reloj no está sincronizado</translation>
    </message>
</context>
<context>
    <name>messages</name>
    <message>
        <source>No credential %1 on the key; it holds none</source>
        <translation>Falta la credencial %1; no hay ninguna</translation>
    </message>
    <message>
        <source>No credential %1 on the key; it holds %2</source>
        <translation>Falta la credencial %1; hay %2</translation>
    </message>
</context>
<context>
    <name>model</name>
    <message>
        <source>Press the key to get the OTP!</source>
        <translation>¡Pulse la llave para el código!</translation>
    </message>
    <message>
        <source>Failed to access the key.
Re-plug in the key!</source>
        <translation>Error al acceder a la llave.
¡Vuelva a conectarla!</translation>
    </message>
    <message>
        <source>This key&apos;s OTP application does not answer: the key is not used.</source>
        <translation>La aplicación OTP de esta llave no responde: la llave no se usa.</translation>
    </message>
</context>
<context>
    <name>otp_status_view</name>
    <message>
        <source>One-time password %1</source>
        <translation>Contraseña de un solo uso %1</translation>
    </message>
    <message>
        <source>No one-time password</source>
        <translation>Sin contraseña de un solo uso</translation>
    </message>
    <message>
        <source>The code of the key&apos;s active credential</source>
        <translation>El código de la credencial activa de la llave</translation>
    </message>
    <message>
        <source>Copy the code</source>
        <translation>Copiar el código</translation>
    </message>
    <message>
        <source>Copies the one-time password to the clipboard</source>
        <translation>Copia la contraseña de un solo uso al portapapeles</translation>
    </message>
    <message numerus="yes">
        <source>Seconds left in the code&apos;s %n-second step</source>
        <translation>
            <numerusform>Segundos restantes del intervalo de %n segundo del código</numerusform>
            <numerusform>Segundos restantes del intervalo de %n segundos del código</numerusform>
        </translation>
    </message>
    <message numerus="yes">
        <source>%n seconds left</source>
        <translation>
            <numerusform>queda %n segundo</numerusform>
            <numerusform>quedan %n segundos</numerusform>
        </translation>
    </message>
    <message>
        <source>Next code</source>
        <translation>Código siguiente</translation>
    </message>
    <message>
        <source>Asks the key for the next code, which counts it up</source>
        <translation>Pide a la llave el código siguiente, lo que hace avanzar su contador</translation>
    </message>
    <message>
        <source>%1 is an HOTP credential: each code counts the key up.</source>
        <translation>%1 es una credencial HOTP: cada código hace avanzar el contador de la llave.</translation>
    </message>
    <message>
        <source>Next one-time password %1</source>
        <translation>Siguiente contraseña de un solo uso %1</translation>
    </message>
    <message>
        <source>next</source>
        <translation>siguiente</translation>
    </message>
    <message>
        <source>Copy the next code</source>
        <translation>Copiar el código siguiente</translation>
    </message>
    <message>
        <source>Copies the next step&apos;s one-time password to the clipboard</source>
        <translation>Copia la siguiente contraseña de un solo uso al portapapeles</translation>
    </message>
    <message>
        <source>This computer&apos;s clock is not synchronised: codes may be refused.</source>
        <translation>El reloj de este equipo no está sincronizado: los códigos pueden ser rechazados.</translation>
    </message>
    <message>
        <source>Opens what it means and how to synchronise the clock</source>
        <translation>Explica qué significa y cómo sincronizar el reloj</translation>
    </message>
</context>
</TS>
