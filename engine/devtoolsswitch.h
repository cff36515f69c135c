#pragma once

// Whether F12 opens the developer tools. Set once by the primary instance at
// start, before any window exists; read by the browser client's key handling.
namespace DevToolsSwitch {
bool isOn();
void setOn(bool on);
// The configuration value that turns the developer tools on.
constexpr int enablingValue = 8263;
} // namespace DevToolsSwitch
