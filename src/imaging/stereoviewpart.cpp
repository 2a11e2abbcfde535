#include "imaging/stereoviewpart.h"

TPicturePart StereoViewPart(const TStereoFile &file, int view)
{
    const TStereoView &where = file.views[std::size_t(view == 2 ? 1 : 0)];
    TPicturePart part;
    part.view = view;
    if (file.format == TStereoFormat::Mpo) {
        part.offset = where.offset;
        part.length = where.length;
    } else {
        part.length = file.fileSize;
        part.crop = QRect(where.x, where.y, where.width, where.height);
    }
    return part;
}
