<?xml version="1.0" encoding="utf-8"?>
<!DOCTYPE TS>
<TS version="2.1" language="fr_FR">
<context>
    <name>CefWidget</name>
    <message>
        <source>Loading WebShop. Please wait...</source>
        <translation>Chargement de la boutique. Veuillez patienter...</translation>
    </message>
</context>
<context>
    <name>CloudGame</name>
    <message>
        <source>Back</source>
        <translation>Précédent</translation>
    </message>
    <message>
        <source>Forward</source>
        <translation>Suivant</translation>
    </message>
    <message>
        <source>Reload</source>
        <translation>Actualiser</translation>
    </message>
    <message>
        <source>Minimize</source>
        <translation>Réduire</translation>
    </message>
    <message>
        <source>Maximize</source>
        <translation>Agrandir</translation>
    </message>
    <message>
        <source>Close</source>
        <translation>Fermer</translation>
    </message>
    <message>
        <source>Restore</source>
        <translation>Restaurer</translation>
    </message>
    <message>
        <source>Press ESC to exit fullscreen.</source>
        <translation>Appuyez sur Échap pour quitter le plein écran.</translation>
    </message>
</context>
<context>
    <name>CloudGameClass</name>
    <message>
        <source>Cloud Game</source>
        <translation>Jeu en nuage</translation>
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
        <translation>Utilisation : tradory [REQUÊTE]
Fenêtre de boutique du lanceur de jeux Vellora X.

REQUÊTE est le nom d&apos;un fichier de requête dans le dossier des requêtes du
lanceur (un nom, pas un chemin). Le programme lit puis supprime ce fichier et
ouvre une fenêtre pour le paquet de jeu qu&apos;il désigne ; sans REQUÊTE, il
ouvre la page d&apos;accueil de la boutique. Si le programme est déjà lancé, un
nouveau démarrage transmet sa requête au programme en cours et se termine.

Options :
  -h, --help     afficher cette aide et quitter
  --version      afficher la version et quitter

Code de sortie : 0 quand la dernière fenêtre a été fermée ou que le lanceur a
demandé de quitter ; 255 quand la requête a été transmise au programme déjà
lancé ; 1 quand la requête du programme lui-même a été refusée et qu&apos;aucune
fenêtre ne s&apos;est ouverte.

Environnement : VELLORA_CONFIG désigne le fichier de configuration du lanceur
(par défaut ~/.config/VelloraX/launcher.ini).
</translation>
    </message>
</context>
<context>
    <name>PageDialog</name>
    <message>
        <source>Message from the page</source>
        <translation>Message de la page</translation>
    </message>
    <message>
        <source>Message from %1</source>
        <translation>Message de %1</translation>
    </message>
</context>
</TS>
