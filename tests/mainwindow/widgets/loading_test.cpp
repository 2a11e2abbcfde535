// Loading files into the main window: drops, routing by name, the rows and gaps they make,
// the idle reading with its status line, the enabling of the actions, the "Default
// settings" and the thumbnail size.
#include "formfixture.h"
#include "session/session.h"

#include "entries/listitemmodel.h"
#include "entries/namingsettings.h"
#include "imaging/imagelist.h"
#include "mainwindow/widgets/collapsiblebox.h"
#include "mainwindow/widgets/filedrop.h"
#include "mainwindow/widgets/imagelistview.h"
#include "mainwindow/widgets/optionstack.h"
#include "session/idleprocessor.h"
#include "support/widgets/modal.h"
#include "ui/widgets/radiogroup.h"

#include <QAction>
#include <QApplication>
#include <QCheckBox>
#include <QComboBox>
#include <QDir>
#include <QDropEvent>
#include <QElapsedTimer>
#include <QFileDialog>
#include <QHeaderView>
#include <QLineEdit>
#include <QMimeData>
#include <QMouseEvent>
#include <QPointer>
#include <QProgressBar>
#include <QRadioButton>
#include <QSpinBox>
#include <QTimer>
#include <QToolButton>
#include <QUrl>

using Strings = std::vector<std::string>;

namespace {

// Calls back when the watched widget is shown.
class ShowWatcher : public QObject
{
public:
    explicit ShowWatcher(std::function<void()> onShow) : m_onShow(std::move(onShow)) {}
    bool eventFilter(QObject *, QEvent *event) override
    {
        if (event->type() == QEvent::Show)
            m_onShow();
        return false;
    }

private:
    std::function<void()> m_onShow;
};

} // namespace

TEST_F(FormFixture, StartsEmptyWithNoData)
{
    EXPECT_EQ(status(), "No data");
    EXPECT_FALSE(form->ActionSort->isEnabled());
    EXPECT_FALSE(form->ActionSortAll->isEnabled());
    EXPECT_FALSE(form->ActionSortAllMenu->isEnabled());
    EXPECT_FALSE(form->ActionSortMonoMenu->isEnabled());
    // The first idle pass finds no entries: nothing to run a batch job on.
    EXPECT_TRUE(waitUntil([&] { return !form->ActionAuftragRun->isEnabled(); }));
    EXPECT_TRUE(form->ActionOpenLeft->isEnabled());
    EXPECT_TRUE(form->ActionAuftrafNew->isEnabled());
    EXPECT_EQ(form->optionStack()->ProgressBarStatus->maximum(), 1000);
    EXPECT_EQ(form->optionStack()->ProgressBarStatus->value(), 0);
}

TEST_F(FormFixture, DroppedFilesGoToTheListTheirNameNames)
{
    const QString l = photo("IMG_0001_L.JPG", "2020:01:01 10:00:00");
    const QString r = photo("IMG_0001_R.JPG", "2020:01:01 10:00:00");
    const QString plain = photo("IMG_0002.JPG", "2020:01:01 10:00:30");
    dropAndWait(right(), {l, r});
    // Each is an unassigned picture opposite a gap; at equal times the names decide.
    EXPECT_EQ(names(left()), (Strings{"IMG_0001_L.JPG", ""}));
    EXPECT_EQ(names(right()), (Strings{"", "IMG_0001_R.JPG"}));
    EXPECT_EQ(attributes(left()), (Strings{"Unassigned", "Gap"}));
    EXPECT_EQ(column(left(), lcType), (Strings{"Left", "Gap"}));
    EXPECT_EQ(column(right(), lcType), (Strings{"Gap", "Right"}));

    // A file without a side marker goes to the list it is dropped on.
    dropAndWait(right(), {plain});
    EXPECT_EQ(names(right()), (Strings{"", "IMG_0001_R.JPG", "IMG_0002.JPG"}));
    EXPECT_EQ(names(left()), (Strings{"IMG_0001_L.JPG", "", ""}));
    EXPECT_EQ(form->hoverList(), &right());
    EXPECT_ALIGNED();
}

TEST_F(FormFixture, ThreeFilesOnTheLeftListAreReadAndOrdered)
{
    // Dropped out of time order; the ordering after reading sorts them.
    const QString a = photo("a.jpg", "2020:01:01 10:00:20");
    const QString b = photo("b.jpg", "2020:01:01 10:00:00");
    const QString c = photo("c.jpg", "2020:01:01 10:00:10");

    // What the window shows while the files are being added, and when the lists are shown
    // again after adding them.
    bool sortingEnabledWhileAdding = true, batchEnabledWhileAdding = true;
    bool openEnabledWhileAdding = true;
    Strings attributesWhenAdded;
    QObject::connect(&right(), &ListRowModel::rowsInserted, form.get(), [&] {
        sortingEnabledWhileAdding = form->ActionSortAll->isEnabled();
        batchEnabledWhileAdding = form->ActionAuftragRun->isEnabled();
        openEnabledWhileAdding = form->ActionOpenLeft->isEnabled();
    });
    ShowWatcher shown([&] {
        if (attributesWhenAdded.empty())
            attributesWhenAdded = attributes(right());
    });
    view(right())->installEventFilter(&shown);
    drop(left(), {a, b, c});
    ASSERT_TRUE(waitUntil([&] { return !attributesWhenAdded.empty(); }));
    EXPECT_FALSE(sortingEnabledWhileAdding);
    EXPECT_FALSE(batchEnabledWhileAdding);
    EXPECT_FALSE(openEnabledWhileAdding);

    ASSERT_TRUE(waitReady());
    EXPECT_EQ(names(left()), (Strings{"b.jpg", "c.jpg", "a.jpg"}));
    EXPECT_EQ(column(left(), lcNumber), (Strings{"0", "1", "2"}));
    EXPECT_EQ(attributes(left()), (Strings{"Unassigned", "Unassigned", "Unassigned"}));
    EXPECT_EQ(attributes(right()), (Strings{"Gap", "Gap", "Gap"}));
    EXPECT_EQ(column(right(), lcNumber), (Strings{"0", "1", "2"}));
    EXPECT_EQ(column(left(), lcType), (Strings{"Left", "Left", "Left"}));
    EXPECT_ALIGNED();

    // The gaps were new before the idle processing gave them their partners' times.
    EXPECT_EQ(attributesWhenAdded, (Strings{"Gap (New)", "Gap (New)", "Gap (New)"}));

    // After reading: the sorting actions and the batch job are enabled, the bar is full.
    EXPECT_TRUE(form->ActionSort->isEnabled());
    EXPECT_TRUE(form->ActionSortAll->isEnabled());
    EXPECT_TRUE(form->ActionSortAllMenu->isEnabled());
    EXPECT_TRUE(form->ActionSortMonoMenu->isEnabled());
    EXPECT_TRUE(form->ActionAuftragRun->isEnabled());
    EXPECT_TRUE(form->optionStack()->RadioButtonAutoSortMonos->isEnabled());
    const QProgressBar *bar = form->optionStack()->ProgressBarStatus;
    EXPECT_EQ(bar->value(), bar->maximum());
    EXPECT_TRUE(view(left())->isVisible());
    // "Counter End" follows the rows of the left list.
    EXPECT_EQ(form->optionStack()->SpinEditEndNr->value(), 3);
    screenshot(QStringLiteral("three_files"));
}

TEST_F(FormFixture, MissingFilesAreSkippedAndFoldersExpanded)
{
    QDir(dir.path()).mkdir(QStringLiteral("sub"));
    photo("sub/x2.jpg", "2020:01:01 10:00:02");
    photo("sub/x1.jpg", "2020:01:01 10:00:01");
    copyFixture(QStringLiteral("jpg/README"), QStringLiteral("sub/notes.txt"));
    dropAndWait(left(), {dir.filePath("gone.jpg"), dir.filePath("sub")});
    EXPECT_EQ(names(left()), (Strings{"x1.jpg", "x2.jpg"}));
    EXPECT_ALIGNED();
}

// A dragged file's path as the drop hands it on: a name that is not UTF-8 with its bytes
// escaped (so that it can be named), other URLs left out.
TEST(FileDrop, LocalPathsKeepTheBytesOfNamesThatAreNotUtf8)
{
    QMimeData mime;
    mime.setUrls({QUrl::fromEncoded("file:///photos/caf%E9.jpg"),
                  QUrl::fromLocalFile(QStringLiteral("/photos/caf\u00e9 <FB>.jpg")),
                  QUrl(QStringLiteral("https://example.org/x.jpg"))});
    EXPECT_EQ(localFiles(&mime), QStringList({QStringLiteral("/photos/caf\\xe9.jpg"),
                                              QStringLiteral("/photos/caf\u00e9 <FB>.jpg")}));
}

TEST_F(FormFixture, DropOnTheWindowGoesToTheListLastHovered)
{
    const QString p = photo("p.jpg");
    // Moving the mouse over the right list makes it the drop target of the window.
    QMouseEvent move(QEvent::MouseMove, QPointF(10, 10),
                     view(right())->viewport()->mapToGlobal(QPointF(10, 10)), Qt::NoButton,
                     Qt::NoButton, Qt::NoModifier);
    QApplication::sendEvent(view(right())->viewport(), &move);
    ASSERT_EQ(form->hoverList(), &right());
    QMimeData mime;
    mime.setUrls({QUrl::fromLocalFile(p)});
    // Onto the preview area, which is no list.
    QWidget *preview = child<QWidget>("PanelImage_L");
    const QPoint pos = preview->rect().center();
    QDragEnterEvent enter(pos, Qt::CopyAction, &mime, Qt::LeftButton, Qt::NoModifier);
    QApplication::sendEvent(preview, &enter);
    ASSERT_TRUE(enter.isAccepted());
    QDropEvent dropped(QPointF(pos), Qt::CopyAction, &mime, Qt::LeftButton, Qt::NoModifier);
    QApplication::sendEvent(preview, &dropped);
    ASSERT_TRUE(dropped.isAccepted());
    ASSERT_TRUE(waitReady());
    EXPECT_EQ(names(right()), (Strings{"p.jpg"}));
    EXPECT_EQ(attributes(left()), (Strings{"Gap"}));
}

TEST_F(FormFixture, NewEntriesTakeTheDefaultSettings)
{
    TOptionStack *o = form->optionStack();
    o->CheckBoxVorgNoBatch_L->setChecked(true);
    o->CheckBoxMirror_R->setChecked(true);
    o->CheckBoxInvertPicture->setChecked(true);
    const QString l = photo("d_L.jpg", "2020:01:01 10:00:00");
    const QString r = photo("d_R.jpg", "2020:01:01 10:00:00");
    dropAndWait(left(), {l, r});
    const TDatensatz *le = left().EntryAt(0);
    const TDatensatz *re = right().EntryAt(1);
    ASSERT_TRUE(le && re);
    EXPECT_FALSE(le->Batch());
    EXPECT_TRUE(re->Batch());
    EXPECT_FALSE(le->Mirror());
    EXPECT_TRUE(re->Mirror());
    EXPECT_TRUE(le->Invert());
    EXPECT_TRUE(re->Invert());
    // Excluded from the batch job: the target folder is the source folder.
    EXPECT_EQ(left().Row(0)->Text(lcTargetFolder), QDir(dir.path()).path() + '/');
    EXPECT_EQ(right().Row(1)->Text(lcTargetFolder),
              form->session().Naming().FolderMono + QLatin1Char('/'));
}

// "Keep RAW and JPEG of one shot together": on, a shot's RAW and sidecar are one row marked
// after its number and named in the number's tooltip; off, the RAW is a row of its own.
TEST_F(FormFixture, TheShotSettingMakesARawASiblingOrARowOfItsOwn)
{
    const QCheckBox *keep = form->optionStack()->CheckBoxVorgSiblings;
    EXPECT_TRUE(keep->isChecked());
    for (const bool together : {true, false}) {
        SCOPED_TRACE(together ? "together" : "apart");
        form->optionStack()->CheckBoxVorgSiblings->setChecked(together);
        const QString base = together ? QStringLiteral("a") : QStringLiteral("b");
        const QString jpeg = photo(base + ".jpg");
        const QString raw = copyFixture(QStringLiteral("raw/turned.dng"), base + ".dng");
        copyFixture(QStringLiteral("jpg/README"), base + ".xmp");
        const int before = left().Count();
        dropAndWait(left(), {raw, jpeg});
        ASSERT_EQ(left().Count() - before, together ? 1 : 2);
        for (int row = 0; row < left().Count(); ++row) {
            const TDatensatz *e = left().EntryAt(row);
            if (!e || !e->SourcePath().startsWith(dir.filePath(base)))
                continue;
            const QModelIndex number = view(left())->model()->index(row, lcNumber);
            const bool marked = number.data().toString().endsWith(ListRowItemModel::SiblingMark);
            const QString tip = number.data(Qt::ToolTipRole).toString();
            if (e->SourcePath() == jpeg) {
                EXPECT_EQ(marked, together);
                EXPECT_EQ(tip, together ? QStringLiteral("+RAW +XMP") : QString());
            } else {
                EXPECT_TRUE(marked) << "the RAW row has its XMP";
                EXPECT_EQ(tip, QStringLiteral("+XMP"));
            }
        }
    }
}

// A RAW dropped after its JPEG joins the JPEG's row, as if both had come in one drop; the
// same JPEG dropped again is not taken for its own sibling.
TEST_F(FormFixture, ARawDroppedLaterJoinsItsShot)
{
    const QString jpeg = photo(QStringLiteral("c.jpg"));
    const QString raw = copyFixture(QStringLiteral("raw/turned.dng"), QStringLiteral("c.dng"));
    dropAndWait(left(), {jpeg});
    ASSERT_EQ(left().Count(), 1);
    dropAndWait(left(), {raw});
    ASSERT_EQ(left().Count(), 1);
    EXPECT_EQ(left().EntryAt(0)->Siblings(), QStringList{QStringLiteral(".dng")});
    dropAndWait(left(), {jpeg});
    EXPECT_EQ(left().EntryAt(0)->Siblings(), QStringList{QStringLiteral(".dng")});
}

TEST_F(FormFixture, ThumbnailDimensionsSizeTheIcons)
{
    dropAndWait(left(), {photo("t.jpg")});
    // The "N°" column holds the icon, the number and room for a shot's sibling mark.
    const auto numberWidthFits = [](int width, int icon) {
        return width >= icon + 30 && width <= icon + 30 + 16;
    };
    EXPECT_PRED2(numberWidthFits, view(left())->header()->sectionSize(lcNumber), 16);
    QComboBox *sizes = form->optionStack()->ComboBoxThumbSize;
    ASSERT_EQ(sizes->count(), 8);
    EXPECT_EQ(sizes->itemText(3), "64 x 64");
    sizes->setCurrentIndex(3);
    settle();
    ASSERT_TRUE(waitReady());
    for (const ListRowModel *list : {&left(), &right()}) {
        EXPECT_PRED2(numberWidthFits, view(*list)->header()->sectionSize(lcNumber), 64);
        EXPECT_EQ(view(*list)->iconSize(), QSize(64, 64));
    }
    EXPECT_EQ(form->smallImages().Width(), 64);
    const QVariant icon = view(left())->model()->index(0, 0).data(Qt::DecorationRole);
    ASSERT_TRUE(icon.canConvert<QImage>());
    EXPECT_EQ(icon.value<QImage>().size(), QSize(64, 64));
    // A gap has no picture, but its row is as high as the picture's beside it.
    EXPECT_FALSE(view(right())->model()->index(0, 0).data(Qt::DecorationRole).isValid());
    const QModelIndex gapRow = view(right())->model()->index(0, lcAttributes);
    const QModelIndex imageRow = view(left())->model()->index(0, lcAttributes);
    EXPECT_GE(view(right())->visualRect(gapRow).height(), 64);
    EXPECT_EQ(view(right())->visualRect(gapRow), view(left())->visualRect(imageRow));
    screenshot(QStringLiteral("thumbnails_64"));
}

namespace {

// Once a file dialog opens, hands it to act (which accepts or rejects it). If none opens
// within the limit, or the dialog is still open a while after act, the test fails and the
// dialog is closed, so that the test does not hang.
void whenFileDialogOpens(std::function<void(QFileDialog *)> act)
{
    whenModalOpens<QFileDialog>(
        [act](QFileDialog *dlg) {
            act(dlg);
            QPointer<QFileDialog> opened(dlg);
            QTimer::singleShot(5000, [opened] {
                if (opened && opened->isVisible()) {
                    ADD_FAILURE() << "the file dialog did not close";
                    while (QWidget *w = QApplication::activeModalWidget())
                        w->close();
                }
            });
        },
        nullptr, 10000);
}

// Types text into the dialog's file name field and accepts, as a user does; the folder
// view need not have been read yet.
void typeAndAccept(QFileDialog *dlg, const QString &text)
{
    auto *edit = dlg->findChild<QLineEdit *>(QStringLiteral("fileNameEdit"));
    ASSERT_NE(edit, nullptr);
    edit->setText(text);
    static_cast<QDialog *>(dlg)->accept();
}

} // namespace

TEST_F(FormFixture, OpenDialogLoadsTheChosenFilesIntoItsList)
{
    const QString a = photo("a.jpg", "2020:01:01 10:00:00");
    const QString b = photo("b.jpg", "2020:01:01 10:00:09");
    QStringList filters;
    QString title;
    whenFileDialogOpens([&](QFileDialog *dlg) {
        title = dlg->windowTitle();
        filters = dlg->nameFilters();
        dlg->setDirectory(dir.path());
        typeAndAccept(dlg, QStringLiteral("\"%1\" \"%2\"").arg(a, b));
    });
    form->ActionOpenRight->trigger();
    ASSERT_TRUE(waitReady());
    EXPECT_EQ(title, "Open Right View Images");
    ASSERT_FALSE(filters.isEmpty());
    EXPECT_TRUE(filters.first().contains("*.jpg")) << filters.first().toStdString();
    EXPECT_EQ(names(right()), (Strings{"a.jpg", "b.jpg"}));
    EXPECT_EQ(attributes(left()), (Strings{"Gap", "Gap"}));
}

TEST_F(FormFixture, FolderButtonSetsTheDestinationFolder)
{
    const QString chosen = dir.filePath("chosen");
    ASSERT_TRUE(QDir(dir.path()).mkdir("chosen"));
    whenFileDialogOpens([&](QFileDialog *dlg) { typeAndAccept(dlg, chosen); });
    form->optionStack()->GroupBoxDirectories->expand();
    settle();
    click(form->optionStack()->ButtonDir_M);
    EXPECT_EQ(form->optionStack()->LabeledEditZielpath_M->text(), chosen);
    EXPECT_EQ(form->session().Naming().FolderMono, chosen);

    // Cancelled: the field keeps its folder.
    whenFileDialogOpens([](QFileDialog *dlg) { dlg->reject(); });
    form->ActionDir_M->trigger();
    EXPECT_EQ(form->optionStack()->LabeledEditZielpath_M->text(), chosen);
}
