#pragma once

#include <QKeyEvent>
#include <QPushButton>

namespace orba::ui {

// A push button that a focused user clicks with Enter as well as with the space bar, as desktop
// users expect; it is never a default button.
class EnterClickButton : public QPushButton {
  public:
    using QPushButton::QPushButton;

  protected:
    void keyPressEvent(QKeyEvent* event) override {
        if ((event->key() == Qt::Key_Return || event->key() == Qt::Key_Enter) &&
            !event->isAutoRepeat()) {
            animateClick();
            event->accept();
            return;
        }
        QPushButton::keyPressEvent(event);
    }
};

}  // namespace orba::ui
