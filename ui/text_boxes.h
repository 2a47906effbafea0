#pragma once

class QWidget;

// Ctrl+Z, Ctrl+Shift+Z and Ctrl+Y in the box reach the window's Undo and Redo instead of the
// box's own, so that one history holds every edit.
void LeaveUndoToWindow(QWidget* box);

class QPlainTextEdit;

// Keeps the box's text at most `characters` long: what is typed or pasted beyond is cut.
void LimitPlainText(QPlainTextEdit* box, int characters);
