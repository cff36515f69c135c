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
<context>
    <name>CommandLine</name>
    <message>
        <source>Usage: tradory [REQUEST]
Store window of the Vellora X game launcher.

REQUEST is the name of a request file in the launcher&apos;s request folder
(a name, not a path). The program reads and deletes that file and opens a
window for the game package it names; without REQUEST it opens the store&apos;s
start page. When the program already runs, a new start hands its request
to the running one and exits.

Options:
  -h, --help     show this help and exit
  --version      show the version and exit

Exit status: 0 when the last window closed or the launcher asked to quit;
255 when the request went to the program already running; 1 when the
program&apos;s own request was refused and no window opened.

Environment: VELLORA_CONFIG names the launcher&apos;s configuration file
(default ~/.config/VelloraX/launcher.ini).
</source>
        <translation>Aufruf: tradory [ANFRAGE]
Store-Fenster des Spiele-Launchers Vellora X.

ANFRAGE ist der Name einer Anfragedatei im Anfrageordner des Launchers
(ein Name, kein Pfad). Das Programm liest und löscht diese Datei und öffnet
ein Fenster für das darin genannte Spielpaket; ohne ANFRAGE öffnet es die
Startseite des Stores. Läuft das Programm bereits, übergibt ein neuer Start
seine Anfrage dem laufenden Programm und beendet sich.

Optionen:
  -h, --help     diese Hilfe anzeigen und beenden
  --version      die Version anzeigen und beenden

Rückgabewert: 0, wenn das letzte Fenster geschlossen wurde oder der Launcher
das Beenden verlangt hat; 255, wenn die Anfrage an das bereits laufende
Programm ging; 1, wenn die eigene Anfrage des Programms abgelehnt wurde und
sich kein Fenster geöffnet hat.

Umgebung: VELLORA_CONFIG nennt die Konfigurationsdatei des Launchers
(Standard: ~/.config/VelloraX/launcher.ini).
</translation>
    </message>
</context>
<context>
    <name>PageDialog</name>
    <message>
        <source>Message from the page</source>
        <translation>Nachricht der Seite</translation>
    </message>
    <message>
        <source>Message from %1</source>
        <translation>Nachricht von %1</translation>
    </message>
</context>
</TS>
