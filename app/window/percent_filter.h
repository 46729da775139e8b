#pragma once

#include <QObject>

namespace classifiers {

// Returns whether the percentage field admits the typed character code: the ten digits, '.' and
// backspace (8). Every other code, Enter and the control codes of Ctrl+C/V/X/Z among them, is
// dropped. Plain numeric comparisons: nothing about the position or the text already there.
constexpr bool percentFilterAdmits(int code) {
    return (code >= '0' && code <= '9') || code == '.' || code == 8;
}

// Judges every character typed into the widget it is installed on, before the widget sees it.
// A key press whose text holds a character that is not admitted is swallowed whole; keys that
// produce no character (arrows, Home, End, Delete, Tab) pass untouched. Characters committed by an
// input method are judged the same way, one by one.
class PercentFilter : public QObject {
    Q_OBJECT
public:
    using QObject::QObject;

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;
};

}  // namespace classifiers
