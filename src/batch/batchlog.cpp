#include "batch/batchlog.h"

Q_LOGGING_CATEGORY(lcBatch, "duomira.batch", QtWarningMsg)
