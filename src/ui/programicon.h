#pragma once
// The program icon: a dark rounded square with a red and a cyan lens, the two views of a
// stereo pair. Drawn in code so that the window icon, the About box and the PNG files of
// the icon theme come from one drawing; dist/icons/duomira.svg draws the same shapes.
#include <QImage>

// The icon at size by size pixels (ARGB, transparent outside the square).
QImage ProgramIconImage(int size);
