#pragma once
// The main window driven as a user drives it: files are dropped onto the lists from a
// temporary folder, the test waits (with a time limit) until the status reads "Ready",
// buttons are clicked and message boxes answered from a timer.
#include "entries/datensatz.h"
#include "entries/listrows.h"
#include "mainwindow/widgets/formmain.h"
#include "support/qstringprint.h"
#include "support/widgets/modal.h"

#include <QStringList>
#include <QTemporaryDir>
#include <gtest/gtest.h>

#include <functional>
#include <memory>
#include <string>
#include <vector>

class QAbstractButton;
class TImageListView;
class TFormDlgBox;

// Runs the event loop until pred holds; false after timeoutMs.
bool waitUntil(const std::function<bool()> &pred, int timeoutMs = 15000);

class FormFixture : public ::testing::Test
{
protected:
    FormFixture();
    ~FormFixture() override;

    std::unique_ptr<TFormMain> form;
    QTemporaryDir dir;

    ListRowModel &left() const { return form->leftList(); }
    ListRowModel &right() const { return form->rightList(); }
    TImageListView *view(const ListRowModel &list) const { return form->listView(list); }

    // A copy of the fixture photo Canon_40D.jpg named name whose capture time (and every
    // other copy of the original date) is date, "YYYY:MM:DD HH:MM:SS".
    QString photo(const QString &name, const QString &date = QStringLiteral("2008:05:30 15:56:01"));
    // A copy of tests/data/photos/<relative> named name.
    QString copyFixture(const QString &relative, const QString &name);

    // Copies named <prefix><i>.jpg taken at the given times of 1 January 2020 ("HH:MM:SS").
    QStringList shots(const QString &prefix, const QStringList &times);
    // Drops shots of the left and of the right camera onto their lists and waits for
    // "Ready".
    void loadCameras(const QStringList &leftTimes, const QStringList &rightTimes);

    // Drops the files onto the list's viewport, as a file manager does.
    void drop(const ListRowModel &list, const QStringList &paths);
    // Drops and waits until the window has read everything ("Ready").
    void dropAndWait(const ListRowModel &list, const QStringList &paths);
    // Waits until the idle processing is done and the status reads "Ready".
    bool waitReady(int timeoutMs = 20000);

    QString status() const;
    template <class T> T *child(const char *name) const
    {
        T *w = form->findChild<T *>(QString::fromLatin1(name));
        EXPECT_NE(w, nullptr) << name;
        return w;
    }
    // Clicks the button (which must be enabled and visible) and lets posted events run.
    void click(const char *name);
    void click(QAbstractButton *button);
    // Selects the rows of list as a user's click (and Ctrl+clicks) would.
    void clickRow(const ListRowModel &list, int row, Qt::KeyboardModifiers mods = Qt::NoModifier);
    // Lets posted events and zero timers run.
    static void settle();

    // Column texts of every row of list ("N°" without the leading no-break space).
    static std::vector<std::string> column(const ListRowModel &list, int column);
    static std::vector<std::string> attributes(const ListRowModel &list)
    {
        return column(list, lcAttributes);
    }
    static std::vector<std::string> names(const ListRowModel &list)
    {
        return column(list, lcOriginalName);
    }
    static std::vector<int> selectedRows(const ListRowModel &list);
    // The rows the view shows as selected.
    std::vector<int> viewSelectedRows(const ListRowModel &list) const;
    // Empty when both lists are aligned row pairs (same count, row i partners, numbers equal
    // to the row index); otherwise what is wrong.
    std::string alignmentFault() const;
    // Writes a picture of the window to $DUOMIRA_SCREENSHOT_DIR/name.png when that variable
    // is set (for looking at the layout).
    void screenshot(const QString &name) const;
};

#define EXPECT_ALIGNED()                                                                           \
    do {                                                                                           \
        const std::string fault_ = alignmentFault();                                               \
        EXPECT_TRUE(fault_.empty()) << fault_;                                                     \
    } while (0)
