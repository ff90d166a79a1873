#pragma once

// Brings the shown main window to a connected workbench: fixes where the
// settings file lies, binds the result and script views, creates the script
// routines (which load the history) and runs the connect flow. Made for the
// one call of Run on the main window's first show.
class TStartUpController
{
public:
    // True when the first connection succeeded, false when it was cancelled.
    bool Run();
    // Settings.ini below APPDATA, in Velquist/Quorvane/1.0; no setting is
    // read before this.
    void SetUpSettingsLocation();
};
