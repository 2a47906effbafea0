#pragma once

#include <functional>

#include <QMessageBox>
#include <QString>

// The title of every message box: the program's name, never "error" or a window's caption.
inline constexpr char kMessageTitle[] = "Tavelo Desktop";

// A message box over `window`, modal to it, titled with the program's name: `text` says what
// happened and what to do. Returns the button chosen.
QMessageBox::StandardButton ShowMessage(
    QWidget* window, QMessageBox::Icon icon, const QString& text,
    QMessageBox::StandardButtons buttons = QMessageBox::Ok,
    QMessageBox::StandardButton byDefault = QMessageBox::NoButton);

// Runs `show` once `window` is on the screen: at once when it is, else when it is first shown,
// so that a box opened during start-up stands over the window rather than alone before it.
void WhenOnScreen(QWidget* window, std::function<void()> show);
