#include "window/show_message.h"

#include <QCoreApplication>
#include <QMessageBox>

namespace classifiers {

void ShowMessage(QWidget* parent, const QString& text) {
    QMessageBox box(QMessageBox::NoIcon, QCoreApplication::applicationName(), text, QMessageBox::Ok,
                    parent);
    box.setObjectName("ShowMessage");
    box.exec();
}

}  // namespace classifiers
