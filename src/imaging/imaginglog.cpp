#include "imaging/imaginglog.h"

Q_LOGGING_CATEGORY(lcImaging, "duomira.imaging", QtInfoMsg)
