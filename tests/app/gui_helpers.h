#pragma once

#include <QApplication>
#include <QMessageBox>
#include <QPointer>
#include <QTimer>
#include <QWidget>
#include <functional>

namespace classifiers {

// A message box as the user saw it.
struct SeenMessage {
    QString title;
    QString text;
    QMessageBox::Icon icon;
    QMessageBox::StandardButtons buttons;
};

// Answers every message box that opens while it lives: records it and presses OK. It watches from
// a timer, so it also sees boxes opened inside nested event loops.
class MessageCatcher {
public:
    MessageCatcher() {
        timer_.setInterval(5);
        QObject::connect(&timer_, &QTimer::timeout, [this] {
            auto* box = qobject_cast<QMessageBox*>(QApplication::activeModalWidget());
            if (!box || !box->isVisible()) return;
            seen_.push_back({box->windowTitle(), box->text(), box->icon(), box->standardButtons()});
            if (beforeOk_) beforeOk_();
            box->button(QMessageBox::Ok) ? box->button(QMessageBox::Ok)->click() : box->reject();
        });
        timer_.start();
    }
    const std::vector<SeenMessage>& seen() const { return seen_; }
    QStringList texts() const {
        QStringList t;
        for (const SeenMessage& m : seen_) t << m.text;
        return t;
    }
    // Runs while a message box is still open, before it is dismissed.
    void beforeOk(std::function<void()> f) { beforeOk_ = std::move(f); }

private:
    QTimer timer_;
    std::vector<SeenMessage> seen_;
    std::function<void()> beforeOk_;
};

// Runs `action` on the next modal widget of type T that opens (within `timeoutMs`), from the event
// loop that runs while it is open. A modal dialog left open would hang the test; this closes it.
template <typename T>
void onNextModal(std::function<void(T*)> action, int timeoutMs = 10000) {
    auto* timer = new QTimer;
    auto* waited = new int(0);
    QObject::connect(timer, &QTimer::timeout, [timer, waited, action, timeoutMs] {
        *waited += 5;
        if (auto* w = qobject_cast<T*>(QApplication::activeModalWidget()); w && w->isVisible()) {
            timer->stop();
            timer->deleteLater();
            delete waited;
            action(w);
        } else if (*waited > timeoutMs) {
            timer->stop();
            timer->deleteLater();
            delete waited;
        }
    });
    timer->start(5);
}

}  // namespace classifiers
