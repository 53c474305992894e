<?xml version="1.0" encoding="utf-8"?>
<!DOCTYPE TS>
<TS version="2.1" language="en">
<context>
    <name>CredentialsDialog</name>
    <message numerus="yes">
        <source>%n seconds left</source>
        <translation>
            <numerusform>%n second left</numerusform>
            <numerusform>%n seconds left</numerusform>
        </translation>
    </message>
</context>
<context>
    <name>main</name>
    <message numerus="yes">
        <source>Clear copied codes after %n s</source>
        <translation>
            <numerusform>Clear copied codes after %n s</numerusform>
            <numerusform>Clear copied codes after %n s</numerusform>
        </translation>
    </message>
</context>
<context>
    <name>otp_status_view</name>
    <message numerus="yes">
        <source>Seconds left in the code&apos;s %n-second step</source>
        <translation>
            <numerusform>Seconds left in the code&apos;s %n-second step</numerusform>
            <numerusform>Seconds left in the code&apos;s %n-second step</numerusform>
        </translation>
    </message>
    <message numerus="yes">
        <source>%n seconds left</source>
        <translation>
            <numerusform>%n second left</numerusform>
            <numerusform>%n seconds left</numerusform>
        </translation>
    </message>
</context>
</TS>
