#include <QApplication>
#include <QByteArray>

#include <gtest/gtest.h>

#include <cstdlib>

// Tests that draw, read images or build widgets need an application object;
// they run on Qt's offscreen platform unless a test asks for the X server.
int main(int argc, char** argv)
{
    ::testing::InitGoogleTest(&argc, argv);
    if (qgetenv("QT_QPA_PLATFORM").isEmpty())
        qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    return RUN_ALL_TESTS();
}
