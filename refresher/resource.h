// Resource identifiers of VelaRefresh.
#pragma once

// The progress window's dialog template; the identifier is part of the program's interface.
#define IDD_PROGRESS 107
