// Test runner of the window tests: one application object for all of them (under Xvfb).
#include <QApplication>
#include <QSurfaceFormat>
#include <QVTKOpenGLNativeWidget.h>
#include <gtest/gtest.h>
#include <vtkObject.h>

#include <cstring>

int main(int argc, char** argv) {
    // Listing the tests (done at build time, without a display) needs no application.
    bool listing = false;
    for (int i = 0; i < argc; ++i)
        if (std::strcmp(argv[i], "--gtest_list_tests") == 0) listing = true;
    ::testing::InitGoogleTest(&argc, argv);
    if (listing) return RUN_ALL_TESTS();

    vtkObject::GlobalWarningDisplayOff();
    QSurfaceFormat::setDefaultFormat(QVTKOpenGLNativeWidget::defaultFormat());
    QApplication app(argc, argv);
    return RUN_ALL_TESTS();
}
