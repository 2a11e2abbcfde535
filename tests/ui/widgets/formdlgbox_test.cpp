#include "ui/widgets/formdlgbox.h"
#include "ui/widgets/labelformat.h"

#include "rendering.h"
#include "support/widgets/modal.h"

#include <QDir>
#include <QKeyEvent>
#include <QPushButton>
#include <QScreen>
#include <gtest/gtest.h>

namespace {

const DlgButtons AllButtons = DlgButton::Yes | DlgButton::No | DlgButton::OK | DlgButton::Cancel |
                              DlgButton::Abort | DlgButton::Retry | DlgButton::Ignore |
                              DlgButton::All | DlgButton::NoToAll | DlgButton::YesToAll;

const char *const ScreenshotMessage =
    "<FB><c4><FS12>Confirmation required:<FN> <LF>Remove all entries from both lists?<LF> <LF>"
    "<c3>Red<c5> green <FB>bold<FB> and <FI>italic<FN><LF>Drive<T8>free<LF><C>a centred line";

} // namespace

TEST(FormDlgBox, EveryButtonReturnsItsResult)
{
    const std::vector<DlgButtonInfo> infos = DlgButtonsInOrder(AllButtons);
    for (size_t i = 0; i < infos.size(); ++i) {
        SCOPED_TRACE(infos[i].Caption);
        QStringList captions;
        whenModalOpens<TFormDlgBox>([&](TFormDlgBox *box) {
            for (QPushButton *b : box->buttons())
                captions << b->text();
            box->buttons().at(int(i))->click();
        });
        EXPECT_EQ(ShowDlgBox(QStringLiteral("Pick one"), DlgKind::Custom, AllButtons),
                  infos[i].Result);
        EXPECT_EQ(captions, (QStringList{"&Yes", "&No", "OK", "Cancel", "Cancel", "&Retry",
                                         "&Ignore", "&All", "N&o to All", "Yes to &All"}));
    }
    EXPECT_EQ(TFormDlgBox::openCount(), 0);
}

TEST(FormDlgBox, ClosingWithoutAButtonAnswersCancel)
{
    whenModalOpens<TFormDlgBox>([](TFormDlgBox *box) { box->close(); });
    EXPECT_EQ(
        ShowDlgBox(QStringLiteral("Close me"), DlgKind::Warning, DlgButton::Yes | DlgButton::No),
        DlgResult::Cancel);

    whenModalOpens<TFormDlgBox>([](TFormDlgBox *box) {
        QKeyEvent escape(QEvent::KeyPress, Qt::Key_Escape, Qt::NoModifier);
        QApplication::sendEvent(box, &escape);
    });
    EXPECT_EQ(ShowDlgBox(QStringLiteral("Escape"), DlgKind::Error, DlgButton::OK),
              DlgResult::Cancel);
}

TEST(FormDlgBox, CaptionByKind)
{
    const std::pair<DlgKind, const char *> kinds[] = {
        {DlgKind::Warning, "Warning"},         {DlgKind::Error, "Error"},
        {DlgKind::Information, "Information"}, {DlgKind::Confirmation, "Confirmation required"},
        {DlgKind::Custom, "Duomira"},
    };
    for (const auto &[kind, caption] : kinds) {
        TFormDlgBox box(QStringLiteral("x"), kind, DlgButton::OK);
        EXPECT_EQ(box.windowTitle(), caption);
        // An icon is drawn in its 48 x 64 place.
        const QImage image = renderWidget(&box);
        const QColor background = image.pixelColor(3, 3);
        EXPECT_GT(findInk(
                      image, [&](QColor c) { return c != background; }, QRect(14, 14, 48, 64))
                      .count,
                  100)
            << caption;
    }
}

TEST(FormDlgBox, SizedToMessageAndButtons)
{
    {
        TFormDlgBox box(QStringLiteral("Short"), DlgKind::Information, DlgButton::OK);
        EXPECT_EQ(box.size(), QSize(300, 136)); // the icon is higher than the text
        EXPECT_EQ(box.messageLabel()->pos(), QPoint(76, 32));
        EXPECT_EQ(box.buttons().at(0)->geometry(), QRect(105, 95, 90, 25));
    }
    {
        const QString longLine(120, QLatin1Char('W'));
        TFormDlgBox box(longLine, DlgKind::Information, DlgButton::OK);
        EXPECT_EQ(box.width(), box.messageLabel()->geometry().right() + 1 + 21);
    }
    {
        TFormDlgBox box(QStringLiteral("1<LF>2<LF>3<LF>4<LF>5<LF>6<LF>7"), DlgKind::Information,
                        DlgButton::OK);
        const QRect label = box.messageLabel()->geometry();
        EXPECT_GT(label.bottom() + 1, 78);
        EXPECT_EQ(box.height(), label.bottom() + 1 + 58);
    }
    {
        TFormDlgBox box(QStringLiteral("Ten"), DlgKind::Custom, AllButtons);
        EXPECT_EQ(box.width(), 996);
        EXPECT_EQ(box.buttons().first()->x(), 30);
        EXPECT_EQ(box.buttons().last()->geometry().right() + 1, 996 - 30);
    }
}

TEST(FormDlgBox, ButtonsKeepTheirDistanceToTheBottom)
{
    TFormDlgBox box(QStringLiteral("Resize"), DlgKind::Information, DlgButton::Yes | DlgButton::No);
    box.show();
    const QPoint before = box.buttons().at(1)->pos();
    box.resize(box.width() + 100, box.height() + 60);
    EXPECT_EQ(box.buttons().at(1)->pos(), before + QPoint(0, 60));
    box.hide();
}

TEST(FormDlgBox, OpenBoxesAreCountedAndStacked)
{
    QPoint first, second;
    int countInside = 0;
    whenModalOpens<TFormDlgBox>([&](TFormDlgBox *outer) {
        first = outer->pos();
        whenModalOpens<TFormDlgBox>(
            [&](TFormDlgBox *inner) {
                second = inner->pos();
                countInside = TFormDlgBox::openCount();
                inner->buttons().first()->click();
            },
            outer);
        EXPECT_EQ(ShowDlgBox(QStringLiteral("second"), DlgKind::Information, DlgButton::OK, outer),
                  DlgResult::OK);
        EXPECT_EQ(TFormDlgBox::openCount(), 1);
        outer->buttons().first()->click();
    });
    EXPECT_EQ(ShowDlgBox(QStringLiteral("first"), DlgKind::Information, DlgButton::OK),
              DlgResult::OK);
    EXPECT_EQ(countInside, 2);
    EXPECT_EQ(TFormDlgBox::openCount(), 0);
    EXPECT_EQ(second - first, QPoint(20, 20));
    const QRect screen = QGuiApplication::primaryScreen()->geometry();
    EXPECT_EQ(first, DlgBoxPosition(screen, QSize(300, 136), 1));
}

// The box as a person sees it: icon, coloured and bold markup, separator, centred buttons.
// Set DUOMIRA_SCREENSHOT_DIR to keep the picture.
TEST(FormDlgBox, RendersMarkupMessage)
{
    TFormDlgBox box(QString::fromLatin1(ScreenshotMessage), DlgKind::Confirmation,
                    DlgButton::Yes | DlgButton::No);
    box.show();
    const QImage image = box.grab().toImage();
    const QRect label = box.messageLabel()->geometry();
    EXPECT_GT(findInk(image, isBlue, label).count, 50);
    EXPECT_GT(findInk(image, isRed, label).count, 10);
    const QRect buttons = box.buttons().first()->geometry() | box.buttons().last()->geometry();
    EXPECT_NEAR(buttons.center().x(), box.width() / 2, 2);
    const QByteArray dir = qgetenv("DUOMIRA_SCREENSHOT_DIR");
    if (!dir.isEmpty()) {
        EXPECT_TRUE(image.save(QDir(QString::fromLocal8Bit(dir)).filePath("dlgbox.png")));
    }
    box.hide();
}
