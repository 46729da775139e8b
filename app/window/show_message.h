#pragma once

class QString;
class QWidget;

namespace classifiers {

// Shows `text` in a modal message box with a single OK button and no icon, captioned with the
// application title, and returns when the user dismisses it. Other events (a pending timer tick)
// are still delivered meanwhile.
void ShowMessage(QWidget* parent, const QString& text);

}  // namespace classifiers
