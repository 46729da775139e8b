#include <QApplication>

#include "window/app_identity.h"
#include "window/main_window.h"

#ifndef CLASSIFIERS_DEBUG_LAYOUT
#define CLASSIFIERS_DEBUG_LAYOUT 0
#endif

int main(int argc, char* argv[]) {
    QApplication app(argc, argv);
    const classifiers::Deliverable& deliverable =
        CLASSIFIERS_DEBUG_LAYOUT ? classifiers::kClassifier : classifiers::kClassifiers;
    classifiers::configureApplication(deliverable);
    classifiers::WindowOptions options;
    options.programSubdir = QString::fromLatin1(deliverable.programSubdir);
    classifiers::MainWindow window(options);
    window.show();
    return app.exec();
}
