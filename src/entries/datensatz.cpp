#include "entries/datensatz.h"
#include "entries/entrystore.h"

#include "entries/datensatzlist.h"
#include "entries/listrows.h"
#include "entries/namingsettings.h"
#include "entries/siblings.h"
#include "imaging/dsorgbild.h"
#include "imaging/imagelist.h"

#include <QLocale>

// ---- Texts ----

QString AttributeText(TDsAttribute attribute)
{
    switch (attribute) {
    case daUnassigned:
        return QStringLiteral("Unassigned");
    case daStereoPair:
        return QStringLiteral("Stereo Pair");
    case daMono:
        return QStringLiteral("Monoscopic");
    case daGapNew:
        return QStringLiteral("Gap (New)");
    case daGap:
        return QStringLiteral("Gap");
    case daUnpaired:
    case daObsolete:
        break;
    }
    return {};
}

QString SideText(TDsSide side)
{
    switch (side) {
    case dsMono:
        return QStringLiteral("Monoscopic");
    case dsGap:
        return QStringLiteral("Gap");
    case dsLeft:
        return QStringLiteral("Left");
    case dsRight:
        return QStringLiteral("Right");
    }
    return {};
}

// ---- Path parts ----

QString PathFileName(const QString &path)
{
    return path.mid(path.lastIndexOf(u'/') + 1);
}

QString PathFolder(const QString &path)
{
    return path.left(path.lastIndexOf(u'/') + 1);
}

QString PathExtension(const QString &path)
{
    const qsizetype dot = path.lastIndexOf(u'.');
    if (dot < 0 || dot < path.lastIndexOf(u'/'))
        return {};
    return path.mid(dot);
}

QString PathWithoutExtension(const QString &path)
{
    return path.left(path.size() - PathExtension(path).size());
}

QString WithTrailingSeparator(const QString &folder)
{
    return folder.endsWith(u'/') ? folder : folder + u'/';
}

void LinkBothWays(TDatensatz *a, TDatensatz *b)
{
    if (a)
        a->SetPartner(b);
    if (b)
        b->SetPartner(a);
}

// ---- Construction ----

TDatensatz::TDatensatz(TEntryStore &store, ListRow *item, qint32 number, const QString &path,
                       TDsSide side, const TEntryOptions &options)
    : m_store(store)
{
    m_MetaLoaded = false;
    m_PathIndex = -1;
    takeHolder(path, options.Part);
    m_Item = item;
    if (m_Item) {
        m_Item->SetImageIndex(-1);
        m_Item->ClearTexts();
    }
    SetNumber(number);
    SetSide(side);
    SetAttribute(daUnassigned);
    m_Invert = options.Invert;
    m_Rotation = options.Rotation;
    m_Mirror = options.Mirror;
    m_Batch = options.Batch;
    if (m_Item)
        m_Item->SetData(this);
    m_store.Registry.Add(this);
    SetNewName(PathWithoutExtension(PathFileName(path)));
    m_store.Registry.entriesChanged();
}

TDatensatz *TDatensatz::CreateCopy(ListRow *item, const TDatensatz &source, TDsSide side,
                                   qint32 number)
{
    auto *copy = new TDatensatz(source.m_store, item, number, source.SourcePath(), side,
                                {.Invert = source.m_Invert,
                                 .Rotation = source.m_Rotation,
                                 .Mirror = source.m_Mirror,
                                 .Batch = source.m_Batch,
                                 .Part = source.m_OrgBild->Part});
    copy->m_Attribute = source.m_Attribute;
    copy->m_NewName = source.m_NewName;
    copy->m_SortTime = source.m_SortTime;
    copy->m_ClockCorrection = source.m_ClockCorrection;
    copy->m_Siblings = source.m_Siblings;
    for (int i = 0; i < 3; ++i)
        copy->m_Text[i] = source.m_Text[i];
    copy->m_Batch = source.m_Batch;
    copy->m_SavedSelected = source.m_SavedSelected;
    copy->m_FileCheck = source.m_FileCheck;
    return copy;
}

TDatensatz::~TDatensatz()
{
    m_store.Registry.Remove(this);
    if (m_Item && m_Item->Data() == this)
        m_Item->SetData(nullptr);
    m_Item = nullptr;
    // A partner that still points here would keep a dangling pointer; it becomes lone.
    if (m_Partner && m_Partner->m_Partner == this)
        m_Partner->SetPartner(nullptr);
    m_Partner = nullptr;
    dropHolder();
    m_store.Registry.entriesChanged();
}

void TDatensatz::takeHolder(const QString &path, const TPicturePart &part)
{
    int index = -1;
    m_OrgBild = m_store.Holders.FindOrCreateHolder(path, index, part);
    m_PathIndex = index;
}

void TDatensatz::dropHolder()
{
    if (!m_OrgBild)
        return;
    TDsOrgBild *holder = m_OrgBild;
    m_OrgBild = nullptr;
    if (m_store.Holders.ReleaseHolder(holder))
        m_store.Holders.RemoveHolder(holder);
}

// ---- Row and state ----

ListRowModel *TDatensatz::List() const
{
    return m_Item ? m_Item->Model() : nullptr;
}

int TDatensatz::RowIndex() const
{
    return m_Item ? m_Item->Index() : -1;
}

void TDatensatz::writeColumn(int column, const QString &text)
{
    if (m_Item)
        m_Item->SetText(column, text);
}

void TDatensatz::AttachItem(ListRow *item)
{
    m_Item = item;
    Refresh();
}

void TDatensatz::SetNumber(qint32 n)
{
    m_Number = n;
    writeColumn(lcNumber, QChar(0x00A0) + QString::asprintf("%4d", n));
}

void TDatensatz::SetSide(TDsSide side)
{
    m_Side = side;
    writeColumn(lcType, SideText(side));
}

QString TDatensatz::attributeColumnText() const
{
    QString text = AttributeText(m_Attribute);
    if (!m_Partner)
        text += QStringLiteral(" (Empty)");
    if (m_FileCheck == TFileCheck::Changed)
        text += QStringLiteral(" \u2013 file changed");
    else if (m_FileCheck == TFileCheck::Missing)
        text += QStringLiteral(" \u2013 file missing");
    return text;
}

void TDatensatz::SetFileCheck(TFileCheck check)
{
    if (check == m_FileCheck)
        return;
    m_FileCheck = check;
    writeColumn(lcAttributes, attributeColumnText());
}

void TDatensatz::SetAttribute(TDsAttribute a)
{
    if (!IsGapAttribute(m_Attribute) && IsGapAttribute(a)) {
        // The image gives up its file and becomes a gap on the shared gap holder.
        dropHolder();
        takeHolder(QString());
        m_Siblings.clear();
        m_Attribute = a;
        SetNewName(QString());
        Refresh();
    }
    m_Attribute = a;
    writeColumn(lcAttributes, attributeColumnText());
}

bool TDatensatz::IsDoubtful() const
{
    return m_Attribute == daStereoPair && m_Partner && m_PairConfidence >= 0 &&
           m_PairConfidence < kDoubtfulPairBelow;
}

void TDatensatz::SetPairMark(TPairMark mark, const QString &reason)
{
    if (mark == m_PairMark && reason == m_PairMarkReason)
        return;
    m_PairMark = mark;
    m_PairMarkReason = reason;
    if (m_Item)
        m_Item->ShowChanged();
}

void TDatensatz::SetPartner(TDatensatz *partner)
{
    if (partner == m_Partner)
        return;
    m_Partner = partner;
    m_PairConfidence = -1;
    writeColumn(lcAttributes, attributeColumnText());
}

QString TDatensatz::targetFolderColumn() const
{
    return m_Item ? m_Item->Text(lcTargetFolder) : TargetFolder();
}

void TDatensatz::SetNewName(const QString &name)
{
    m_NewName = name;
    writeColumn(lcTargetFolder, TargetFolder());
    writeColumn(lcNewName, PathFileName(NewFullPath()));
}

void TDatensatz::RenameTo(const QString &name)
{
    SetNewName(PathFolder(m_NewName) + name);
}

void TDatensatz::SetRotation(qint32 rotation)
{
    if (rotation == m_Rotation)
        return;
    m_Rotation = rotation;
    RefreshThumbnail();
}

void TDatensatz::SetGapTime(double time)
{
    if (!IsGapAttribute(m_Attribute))
        return;
    m_GapData.CaptureTime = time;
    LoadMetadata();
}

void TDatensatz::SetText(int i, const QString &text)
{
    if (i < 1 || i > 3)
        return;
    if (m_Text[i - 1] != text)
        m_Text[i - 1] = text;
}

const QString &TDatensatz::TextField(int i) const
{
    static const QString none;
    return i < 1 || i > 3 ? none : m_Text[i - 1];
}

QString TDatensatz::GetText(int i) const
{
    if (i < 1 || i > 3)
        return {};
    return m_Text[i - 1];
}

void TDatensatz::Refresh()
{
    SetNumber(m_Number);
    const QString source = SourcePath();
    writeColumn(lcOriginalName, PathFileName(source));
    writeColumn(lcSourceFolder, PathFolder(source));
    SetNewName(m_NewName);
    SetSide(m_Side);
    SetAttribute(m_Attribute);
    QString dateTime;
    if (!IsGapAttribute(m_Attribute)) {
        const double capture = CaptureTime();
        // A capture time of 0 means "none" and shows nothing.
        if (capture != 0)
            dateTime = QLocale::system().toString(DaysToDateTime(capture), QLocale::ShortFormat);
    }
    writeColumn(lcDateTime, dateTime);
    RefreshThumbnail();
}

void TDatensatz::RefreshThumbnail()
{
    if (!m_Item)
        return;
    ListRowModel *list = m_Item->Model();
    const TImageList *images = list ? list->SmallImages() : nullptr;
    int index = -1;
    if (images && !m_OrgBild->Thumbnail.isNull() && m_Rotation >= 0 && m_Rotation <= 3) {
        index = m_OrgBild->BuiltImageIndex(*images, m_Rotation);
        if (index < 0)
            index = IconOnDemand;
    }
    m_Item->SetImageIndex(index);
}

int TDatensatz::IconIndex()
{
    ListRowModel *list = m_Item ? m_Item->Model() : nullptr;
    TImageList *images = list ? list->SmallImages() : nullptr;
    return images ? m_OrgBild->GetImageIndex(*images, m_Rotation) : -1;
}

bool TDatensatz::IsLoneGap() const
{
    return IsGapAttribute(m_Attribute) && !m_Partner;
}

QString TDatensatz::RotationText() const
{
    switch (m_Rotation) {
    case 1:
        return QStringLiteral(" 90\u00B0");
    case 2:
        return QStringLiteral("180\u00B0");
    case 3:
        return QStringLiteral("270\u00B0");
    default:
        return QStringLiteral("  0\u00B0");
    }
}

int TDatensatz::CounterValue() const
{
    return RowIndex() + m_store.Naming.StartNumber;
}

// ---- Kinds, paths and names ----

TDsSide TDatensatz::NameKind() const
{
    switch (m_Attribute) {
    case daUnassigned:
    case daMono:
        return dsMono;
    case daGapNew:
    case daGap:
        return dsGap;
    default:
        break;
    }
    if (const ListRowModel *list = List())
        return list->Side() == dsRight ? dsRight : dsLeft;
    // Without a row the entry's own side stands for its list.
    return (m_Side == dsLeft || m_Side == dsRight) ? m_Side : dsMono;
}

static QString suffixOf(const TNamingSettings &s, TDsSide kind)
{
    switch (kind) {
    case dsMono:
        return s.SuffixMono;
    case dsLeft:
        return s.SuffixLeft;
    case dsRight:
        return s.SuffixRight;
    case dsGap:
        break;
    }
    return {};
}

static QString destinationFolderOf(const TNamingSettings &s, TDsSide kind)
{
    switch (kind) {
    case dsMono:
        return WithTrailingSeparator(s.FolderMono);
    case dsLeft:
        return WithTrailingSeparator(s.FolderLeft);
    case dsRight:
        return WithTrailingSeparator(s.FolderRight);
    case dsGap:
        break;
    }
    return {};
}

QString TDatensatz::SourcePath() const
{
    return m_OrgBild->GetPath(m_PathIndex);
}

QString TDatensatz::TargetFolder() const
{
    if (m_Batch)
        return destinationFolderOf(m_store.Naming, NameKind());
    return PathFolder(SourcePath());
}

namespace {

// A view file's extension: ".jpg", in the letter case of the stereo file's.
QString viewExtension(const QString &stereoPath)
{
    const QString extension = PathExtension(stereoPath);
    return extension.size() > 1 && extension.at(1).isUpper() ? QStringLiteral(".JPG")
                                                             : QStringLiteral(".jpg");
}

} // namespace

QString TDatensatz::NewFileName() const
{
    const TDsSide kind = NameKind();
    const QString source = SourcePath();
    const QString base = kind == dsGap ? PathWithoutExtension(PathFileName(source)) : m_NewName;
    return base + suffixOf(m_store.Naming, kind) +
           (IsStereoView() ? viewExtension(source) : PathExtension(source));
}

QString TDatensatz::DestinationFileName(bool renamed) const
{
    if (renamed)
        return NewFileName();
    if (!IsStereoView())
        return m_OrgBild->FileName;
    const QString source = SourcePath();
    return PathWithoutExtension(PathFileName(source)) + suffixOf(m_store.Naming, m_Side) +
           viewExtension(source);
}

bool TDatensatz::IsStereoView() const
{
    return m_OrgBild && m_OrgBild->Part.view > 0;
}

QString TDatensatz::NewFullPath() const
{
    return targetFolderColumn() + NewFileName();
}

QString TDatensatz::RenamedSourcePath() const
{
    return PathFolder(SourcePath()) + NewFileName();
}

QString TDatensatz::TargetPathOriginalName() const
{
    return targetFolderColumn() + PathFileName(SourcePath());
}

QString TDatensatz::TargetPathHolderName() const
{
    return targetFolderColumn() + m_OrgBild->FileName;
}

QString TDatensatz::SourcePathHolderName() const
{
    return PathFolder(SourcePath()) + m_OrgBild->FileName;
}

void TDatensatz::AddPath(const QString &path)
{
    m_PathIndex = m_OrgBild->AddPath(path);
    ParseTextFields(path);
}

QStringList TDatensatz::SiblingPaths() const
{
    QStringList paths;
    const QString source = m_Siblings.isEmpty() ? QString() : SourcePath();
    for (const QString &tail : m_Siblings)
        paths << SiblingPath(source, tail);
    return paths;
}

void TDatensatz::ReplacePath(const QString &path)
{
    m_OrgBild->ReplacePath(m_PathIndex, path);
    ParseTextFields(path);
}

void TDatensatz::ParseTextFields(const QString &path)
{
    // The rename mask writes a text field as "-text-"; the fields are read back in order.
    // A field's closing "-" is consumed with it, so the next field needs its own opening
    // "-" (IMG-a--b- gives a and b, IMG-a-b- only a).
    QString w = PathWithoutExtension(PathFileName(path));
    for (int i = 0; i < 3; ++i) {
        QString t;
        const qsizetype open = w.indexOf(u'-');
        if (open >= 0) {
            const qsizetype close = w.indexOf(u'-', open + 1);
            if (close >= 0)
                t = w.mid(open + 1, close - open - 1);
        }
        if (!t.isEmpty())
            m_Text[i] = t;
        const QString field = u'-' + t + u'-';
        const qsizetype at = w.indexOf(field);
        w = at >= 0 ? w.mid(at + field.size()) : w.mid(1);
    }
}

ReplaceResult TDatensatz::ReplaceInNewName(const QString &search, const QString &replace, bool ask,
                                           ReplaceFlags flags, TReplaceQuestion *question)
{
    const QString oldName = PathWithoutExtension(PathFileName(m_NewName));
    // An empty search text occurs nowhere.
    if (search.isEmpty())
        return ReplaceResult::GoOn;
    const Qt::CaseSensitivity cs =
        flags.testFlag(ReplaceFlag::IgnoreCase) ? Qt::CaseInsensitive : Qt::CaseSensitive;
    QString newName = oldName;
    if (flags.testFlag(ReplaceFlag::ReplaceAll)) {
        newName.replace(search, replace, cs);
    } else {
        const qsizetype at = newName.indexOf(search, 0, cs);
        if (at >= 0)
            newName.replace(at, search.size(), replace);
    }
    if (newName == oldName)
        return ReplaceResult::GoOn;

    ReplaceAnswer answer = ReplaceAnswer::Yes;
    if (ask) {
        answer = question ? question->AskReplace(search, replace, flags, oldName)
                          : ReplaceAnswer::Cancel;
    }
    if (answer == ReplaceAnswer::Yes) {
        SetNewName(PathFolder(m_NewName) + newName + PathExtension(m_NewName));
        ParseTextFields(m_NewName);
    }
    return answer == ReplaceAnswer::Cancel ? ReplaceResult::Stop : ReplaceResult::GoOn;
}

// ---- Metadata and picture ----

TJPEGData TDatensatz::Metadata() const
{
    return IsGapAttribute(m_Attribute) ? m_GapData : m_OrgBild->JpegData;
}

double TDatensatz::CaptureTime() const
{
    return IsGapAttribute(m_Attribute) ? m_GapData.CaptureTime : m_OrgBild->JpegData.CaptureTime;
}

void TDatensatz::LoadMetadata()
{
    m_OrgBild->LoadImageData(m_PathIndex);
    if (m_MetaLoaded)
        return;
    const TJPEGData data = Metadata();
    // The camera's orientation tag presets the rotation of a new image.
    if (data.OrientationCode >= 0)
        m_Rotation = data.OrientationCode;
    ParseTextFields(m_OrgBild->FileName);
    m_MetaLoaded = true;
}

void TDatensatz::ReloadMetadata()
{
    m_OrgBild->ReloadImageData(m_PathIndex);
    LoadMetadata();
}

bool TDatensatz::LoadBitmap(QImage &bitmap, QString &errorText)
{
    return m_OrgBild->LoadBitmap(m_PathIndex, bitmap, errorText);
}

QImage TDatensatz::Thumbnail() const
{
    return m_OrgBild->Thumbnail.image();
}

quint8 TDatensatz::HolderFlags() const
{
    return m_OrgBild->HolderFlags;
}

void TDatensatz::SetHolderFlags(quint8 flags)
{
    m_OrgBild->HolderFlags = flags;
}

int TDatensatz::HolderRefCount() const
{
    return m_OrgBild->RefCount;
}
