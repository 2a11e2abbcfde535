#include "naming/naminglog.h"

Q_LOGGING_CATEGORY(lcNaming, "duomira.naming", QtWarningMsg)
