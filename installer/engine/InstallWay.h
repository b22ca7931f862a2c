// How the product came to be installed, recorded for the product's own
// statistics.
#pragma once

enum InstallKind : int {
    INSTALL_KIND_FRESH = 0,
    // Over a registered install whose client still exists.
    INSTALL_KIND_OVER_RECORD = 1,
    // Over settings left by an earlier install.
    INSTALL_KIND_OVER_SETTINGS = 2,
};

// The install kind the system shows now; current is kept when nothing is found.
InstallKind DetectInstallKind(InstallKind current);
// Records kind in the product's per-user settings key.
void WriteInstallKind(InstallKind kind);
