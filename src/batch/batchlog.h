#pragma once
// Logging category of the batch job subsystem.
#include <QLoggingCategory>

Q_DECLARE_LOGGING_CATEGORY(lcBatch)
