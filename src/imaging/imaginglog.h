#pragma once
// Logging category of the image access subsystem.
#include <QLoggingCategory>

Q_DECLARE_LOGGING_CATEGORY(lcImaging)
