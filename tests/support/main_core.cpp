// Test entry point for the headless test programs: a QGuiApplication on the offscreen
// platform, so that fonts, QImage painting and posted events work without a display.
#include <QGuiApplication>
#include <gmock/gmock.h>

int main(int argc, char **argv)
{
    qputenv("QT_QPA_PLATFORM", "offscreen");
    QGuiApplication app(argc, argv);
    ::testing::InitGoogleMock(&argc, argv);
    return RUN_ALL_TESTS();
}
