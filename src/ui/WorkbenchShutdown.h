#pragma once

// Frees the workbench's process-wide objects in the one order that works,
// while the application object still exists: the routines save the history,
// the store saves the settings, and nothing freed is used by what follows.
void FreeWorkbenchSingletons();
