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
</TS>
