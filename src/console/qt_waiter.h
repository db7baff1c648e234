#pragma once
// Waits on the application's own thread run its event loop, so the window
// stays usable (and can start further commands) while a command runs.
namespace quenlo::console {

// Installs the waiter factory: the application thread gets a waiter that
// runs a local event loop; other threads keep the plain blocking waiter.
void InstallQtWaiters();

}  // namespace quenlo::console
