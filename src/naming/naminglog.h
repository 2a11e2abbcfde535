#pragma once
// Logging category of the naming subsystem.
#include <QLoggingCategory>

Q_DECLARE_LOGGING_CATEGORY(lcNaming)
