#include "ui/widgets/aboutbox.h"
#include "ui/widgets/labelformat.h"

#include <QFrame>
#include <QLabel>
#include <QPixmap>
#include <QTest>
#include <QVersionNumber>
#include <gtest/gtest.h>

TEST(AboutBox, ShowsTheBuildVersionAndClosesOnAClickAnywhere)
{
    QWidget owner;
    owner.resize(800, 600);
    TAboutBox box(&owner);
    const QVersionNumber build = QVersionNumber::fromString(QStringLiteral(DUOMIRA_VERSION));
    ASSERT_EQ(build.segmentCount(), 4);
    EXPECT_EQ(box.LabelVersion->text(), QStringLiteral("Version: %1.%2 %3.%4")
                                            .arg(build.segmentAt(0))
                                            .arg(build.segmentAt(1))
                                            .arg(build.segmentAt(2))
                                            .arg(build.segmentAt(3)));
    EXPECT_EQ(box.windowTitle(), QStringLiteral("Info"));
    EXPECT_EQ(box.size(), QSize(322, 368));
    EXPECT_TRUE(box.LabelFormatDanke->caption().contains(QStringLiteral("libjpeg-turbo")));
    // A picture of the box for looking at its layout.
    if (const QString dir = qEnvironmentVariable("DUOMIRA_SCREENSHOT_DIR"); !dir.isEmpty())
        box.grab().save(dir + QStringLiteral("/aboutbox.png"));

    for (QWidget *target : std::initializer_list<QWidget *>{
             box.Comments, box.LabelVersion, box.ProgramIcon, box.Copyright, box.Label2,
             box.LabelFormatDanke, box.Panel1}) {
        box.show();
        ASSERT_TRUE(QTest::qWaitForWindowExposed(&box));
        QTest::mouseClick(target, Qt::LeftButton, {}, QPoint(2, 2));
        EXPECT_FALSE(box.isVisible()) << target->objectName().toStdString();
    }
}
