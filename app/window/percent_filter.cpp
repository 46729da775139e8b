#include "window/percent_filter.h"

#include <QInputMethodEvent>
#include <QKeyEvent>

namespace classifiers {

namespace {

bool admitsAll(const QString& text) {
    for (QChar c : text) {
        if (!percentFilterAdmits(c.unicode())) return false;
    }
    return true;
}

}  // namespace

bool PercentFilter::eventFilter(QObject* watched, QEvent* event) {
    if (event->type() == QEvent::KeyPress) {
        const auto* key = static_cast<QKeyEvent*>(event);
        // Keys that type nothing are navigation and editing keys; they never reach the filter.
        // Tab and Delete carry a control code on some platforms but are navigation and editing.
        const int k = key->key();
        const bool navigation = k == Qt::Key_Tab || k == Qt::Key_Backtab || k == Qt::Key_Delete;
        if (!navigation && !key->text().isEmpty() && !admitsAll(key->text())) return true;
    } else if (event->type() == QEvent::InputMethod) {
        auto* im = static_cast<QInputMethodEvent*>(event);
        QString kept;
        for (QChar c : im->commitString()) {
            if (percentFilterAdmits(c.unicode())) kept += c;
        }
        if (kept != im->commitString()) {
            im->setCommitString(kept, im->replacementStart(), im->replacementLength());
        }
    }
    return QObject::eventFilter(watched, event);
}

}  // namespace classifiers
