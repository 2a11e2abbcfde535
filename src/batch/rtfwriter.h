#pragma once
// Rich Text Format of the job log: one paragraph per line with the line's colour (a colour
// table of the colours used, in order of first use) and weight; tabs stay tabs, and every
// character outside printable ASCII is written as \uN? (UTF-16 units, so characters
// beyond the basic plane become their surrogate pair), so any reader shows it.
#include "batch/protokoll.h"

#include <QByteArray>
#include <QVector>

QByteArray ProtokollToRtf(const QVector<TProtokollLine> &lines);
