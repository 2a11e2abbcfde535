#pragma once
// Logging category of the image entries and list operations.
#include <QLoggingCategory>

Q_DECLARE_LOGGING_CATEGORY(lcEntries)
