#include "window/app_identity.h"

#include <QCoreApplication>

namespace classifiers {

void configureApplication(const Deliverable& deliverable) {
    QCoreApplication::setApplicationName(QString::fromLatin1(deliverable.title));
    QCoreApplication::setApplicationVersion(QString::fromLatin1(kApplicationVersion));
}

}  // namespace classifiers
