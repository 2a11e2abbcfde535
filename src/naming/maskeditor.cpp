#include "naming/maskeditor.h"

#include <algorithm>

QString DefaultRenameMask()
{
    return QStringLiteral(
        "Pict_###<Textfield 1><Textfield 2><Textfield 3>_L<FileName_L>+R<FileName_R>");
}

QString SchemaItem(const QString &mask)
{
    return QLatin1Char(' ') + mask;
}

TMaskSchemas InitialMaskSchemas()
{
    TMaskSchemas s;
    s.Mask = DefaultRenameMask();
    s.Items << SchemaItem(s.Mask);
    s.Selected = 0;
    return s;
}

void ChooseSchema(TMaskSchemas &s, int index)
{
    if (index < 0 || index >= s.Items.size())
        return;
    s.Selected = index;
    s.Mask = s.Items.at(index).trimmed();
}

bool FollowMask(TMaskSchemas &s, const QString &mask)
{
    s.Mask = mask;
    if (!s.HasSelection())
        return false;
    s.Items[s.Selected] = SchemaItem(mask);
    return true;
}

bool NewSchema(TMaskSchemas &s)
{
    if (s.Mask.trimmed().isEmpty())
        return false;
    s.Mask.clear();
    s.Items << QStringLiteral(" ");
    s.Selected = int(s.Items.size()) - 1;
    return true;
}

void ClearSchema(TMaskSchemas &s)
{
    const int index = s.Selected;
    if (s.HasSelection())
        s.Items.removeAt(index);
    if (s.Items.isEmpty()) {
        s.Mask.clear();
        s.Items << QStringLiteral(" ");
        s.Selected = 0;
    }
    // The item now at the former place, or the last one when the former place is gone.
    s.Selected = index < 0 ? -1 : std::min(index, int(s.Items.size()) - 1);
    s.Mask = s.HasSelection() ? s.Items.at(s.Selected).trimmed() : QString();
}

void PruneSchemas(TMaskSchemas &s)
{
    for (int i = int(s.Items.size()) - 1; i >= 0; --i) {
        if (!s.Items.at(i).trimmed().isEmpty())
            continue;
        s.Items.removeAt(i);
        if (s.Selected == i)
            s.Selected = -1;
        else if (s.Selected > i)
            --s.Selected;
    }
    if (s.Items.isEmpty()) {
        s.Items << SchemaItem(s.Mask);
        s.Selected = 0;
    }
}

TMaskPiece MaskPieceAt(const QString &mask, int caret)
{
    const int size = int(mask.size());
    caret = std::clamp(caret, 0, size);
    int start = 0;
    for (int i = caret - 1; i >= 0; --i) {
        const QChar c = mask.at(i);
        if (c == u'<') {
            start = i;
            break;
        }
        if (c == u'>') {
            start = i + 1;
            break;
        }
    }
    int end = size;
    for (int i = caret; i < size; ++i) {
        const QChar c = mask.at(i);
        if (c == u'>') {
            end = i + 1;
            break;
        }
        if (c == u'<') {
            end = i;
            break;
        }
    }
    return {start, std::max(0, end - start)};
}

QString PaletteInsertText(const QString &token, bool rightSide)
{
    if (token.contains(u'>') || token == QLatin1String("#"))
        return token;
    return token + (rightSide ? QStringLiteral("_R>") : QStringLiteral("_L>"));
}

const std::vector<TPaletteButton> &PaletteButtons()
{
    static const std::vector<TPaletteButton> buttons = {
        {0, "#: running numbers", "#", "ButtonNumber"},
        {0, "Text area 1", "<Textfield 1>", "ButtonText1"},
        {0, "Text Area 2", "<Textfield 2>", "ButtonText2"},
        {0, "Text Area 3", "<Textfield 3>", "ButtonText3"},
        {0, "Current Date", "<Current Date>", "ButtonCurrentDate"},
        {1, "Filename", "<Filename", "ButtonFileName"},
        {1, "Numbering From Filename", "<Filename Number", "ButtonFileNumber"},
        {1, "Directory", "<Directory", "ButtonDirectory"},
        {1, "Directory name", "<Folder name", "ButtonFolderName"},
        {1, "Creation date", "<Creation Date", "ButtonCreationDate"},
        {1, "Filesize [auto]", "<Size auto", "ButtonSizeAuto"},
        {1, "Filesize [Byte]", "<Size", "ButtonSizeByte"},
        {1, "Filesize [kByte]", "<Size KB", "ButtonSizeKB"},
        {1, "Filesize [MByte]", "<Size MB", "ButtonSizeMB"},
        {2, "Manufacturer", "<Marke", "ButtonMaker"},
        {2, "Model", "<Model", "ButtonModel"},
        {2, "Date/Time", "<Date Taken", "ButtonDateTaken"},
        {2, "Shutter Speed", "<Exposure Time", "ButtonExposureTime"},
        {2, "Aperture", "<F-Number", "ButtonFNumber"},
        {2, "ISO Speed Rating", "<ISO Value", "ButtonIso"},
        {2, "Focal Length", "<Focal Length", "ButtonFocalLength"},
        {2, "Focal Length 35mm equiv.", "<Focal Length 35mm", "ButtonFocalLength35"},
        {2, "Flash Light", "<Flash", "ButtonFlash"},
        {2, "Exposure Compensation", "<Exposure Bias", "ButtonExposureBias"},
        {2, "Metering mode", "<Metering Mode", "ButtonMeteringMode"},
        {2, "Size", "<Image Size", "ButtonImageSize"},
        {2, "Compression", "<Compression", "ButtonCompression"},
        {2, "Color Display", "<Colour space", "ButtonColourSpace"},
        {2, "Horizontal Resolution", "<X-Res", "ButtonXRes"},
        {2, "Vertical Resolution", "<Y-Res", "ButtonYRes"},
    };
    return buttons;
}
