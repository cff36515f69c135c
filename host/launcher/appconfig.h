#pragma once

// Configuration keys of the launcher, by number. The launcher stores them in
// the [AppConfig] section of its INI file under these numbers.
enum class AppConfig : int {
    DevToolsSwitch = 6,     // int; 8263 turns the developer tools on
    DefaultPageUrl = 7,     // string; page for an empty launch argument
    LauncherServer = 35,    // string; the launcher's local server name
    OwnServer = 37,         // string; this program's local server name
    InstanceMutex = 38,     // string; name of the single-instance lock
    ProductFolder = 41      // string; product folder under the app-data root
};
