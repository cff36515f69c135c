<?xml version="1.0" encoding="utf-8"?>
<!DOCTYPE TS>
<TS version="2.1" language="de_DE">
<context>
    <name>CefWidget</name>
    <message>
        <source>Loading WebShop. Please wait...</source>
        <translation>WebShop wird geladen. Bitte warten...</translation>
    </message>
</context>
<context>
    <name>CloudGame</name>
    <message>
        <source>Back</source>
        <translation>Zurück</translation>
    </message>
    <message>
        <source>Forward</source>
        <translation>Vorwärts</translation>
    </message>
    <message>
        <source>Reload</source>
        <translation>Neu laden</translation>
    </message>
    <message>
        <source>Minimize</source>
        <translation>Minimieren</translation>
    </message>
    <message>
        <source>Maximize</source>
        <translation>Maximieren</translation>
    </message>
    <message>
        <source>Close</source>
        <translation>Schließen</translation>
    </message>
    <message>
        <source>Restore</source>
        <translation>Wiederherstellen</translation>
    </message>
    <message>
        <source>Press ESC to exit fullscreen.</source>
        <translation>Drücken Sie ESC, um den Vollbildmodus zu beenden.</translation>
    </message>
</context>
<context>
    <name>CloudGameClass</name>
    <message>
        <source>Cloud Game</source>
        <translation>Cloud-Spiel</translation>
    </message>
    <message>
        <source>Ctrl+S</source>
        <translation>Ctrl+S</translation>
    </message>
</context>
</TS>
