#pragma once

// Gives the running program the icon and application id of its installed desktop entry,
// so window, task bar and menu show the same thing. Call once the application object exists.
namespace DesktopIdentity {

void apply();

} // namespace DesktopIdentity
