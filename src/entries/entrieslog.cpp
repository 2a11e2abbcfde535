#include "entries/entrieslog.h"

Q_LOGGING_CATEGORY(lcEntries, "duomira.entries")
