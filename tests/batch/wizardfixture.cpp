#include "wizardfixture.h"

#include "batch/spmlistsetting.h"
#include "entries/datensatzlist.h"
#include "entries/listoperations.h"
#include "entries/namingsettings.h"
#include "imaging/dsorgbild.h"
#include "support/testdata.h"

#include <QDir>
#include <QFile>

namespace {
const char *const kPhotos[] = {"photos/jpg/Canon_40D.jpg", "photos/jpg/Nikon_D70.jpg",
                               "photos/jpg/Pentax_K10D.jpg", "photos/jpg/Sony_HDR-HC3.jpg"};
}

WizardFixture::WizardFixture()
{
    m_root = QFileInfo(m_dir.path()).canonicalFilePath();
    qputenv("XDG_DATA_HOME", (m_root + "/xdg-data").toUtf8());
    qputenv("XDG_CONFIG_HOME", (m_root + "/xdg-config").toUtf8());
    ListRowModel::LinkLists(left, right);
    QDir().mkpath(m_root + "/src");
    volumes.mounts.append(m_root);
    volumes.places = {{m_root + "/media", 2, true}, {m_root + "/mnt", 1, false}};
    setDestinations(true);
    spmListFile = m_root + "/SPM_List.TXT";
    stereo->Folder = m_root + "/stereo";
}

WizardFixture::~WizardFixture()
{
    left.Clear();
    right.Clear();
    store.Registry.FreeAll();
}

QString WizardFixture::photo(const QString &name, int fixture)
{
    const QString path = m_root + "/src/" + name;
    if (!QFile::exists(path))
        QFile::copy(testDataPath(QLatin1String(kPhotos[fixture % 4])), path);
    return path;
}

std::pair<TDatensatz *, TDatensatz *>
WizardFixture::addPair(const QString &leftFile, const QString &rightFile, const QString &newName)
{
    TDatensatz *l = AppendEntry(left, left.Count(), photo(leftFile, left.Count()), dsLeft);
    TDatensatz *r = AppendEntry(right, right.Count(), photo(rightFile, right.Count() + 1), dsRight);
    LinkBothWays(l, r);
    for (TDatensatz *e : {l, r}) {
        e->SetAttribute(daStereoPair);
        e->LoadMetadata();
        e->SetNewName(newName);
    }
    return {l, r};
}

TDatensatz *WizardFixture::addMono(const QString &file, const QString &newName)
{
    TDatensatz *image = AppendEntry(left, left.Count(), photo(file, 2), dsLeft);
    TDatensatz *gap = CreateGap(right);
    gap->SetAttribute(daGap);
    LinkBothWays(image, gap);
    image->SetAttribute(daMono);
    image->LoadMetadata();
    image->SetNewName(newName);
    return image;
}

void WizardFixture::setDestinations(bool made)
{
    TNamingSettings &s = store.Naming;
    s.FolderLeft = m_root + "/dest_L";
    s.FolderRight = m_root + "/dest_R";
    s.FolderMono = m_root + "/dest_M";
    for (const QString &f : {s.FolderLeft, s.FolderRight, s.FolderMono}) {
        if (made)
            QDir().mkpath(f);
        else
            QDir(f).removeRecursively();
    }
    RefreshAllEntries(store.Registry);
}

std::vector<TDatensatz *> WizardFixture::entries() const
{
    return store.Registry.Entries();
}
