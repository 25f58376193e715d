#pragma once

class TDeskTopConfig;

// Registers the window classes a desktop may hold with the desktop store, by their
// stored names, in the fixed order. The one place that knows the window classes.
void RegisterDesktopWindowClasses(TDeskTopConfig& store);
