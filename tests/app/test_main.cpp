#include <gtest/gtest.h>

#include <QApplication>

#include "window/app_identity.h"

using namespace classifiers;

// Test discovery runs this binary with no display: list the tests before any application exists.
int main(int argc, char** argv) {
    ::testing::InitGoogleTest(&argc, argv);
    if (::testing::GTEST_FLAG(list_tests)) return RUN_ALL_TESTS();
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    configureApplication(kClassifiers);
    return RUN_ALL_TESTS();
}
