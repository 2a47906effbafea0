#pragma once

#include <optional>

#include <QCursor>
#include <QIcon>
#include <QPixmap>

// The program's image resources, compiled into it.

// Registers the compiled resources; every loader below calls it, so callers need not.
void InitDesktopResources();

// Bitmap resource `id` (the banners); a null pixmap when there is none.
QPixmap LoadBitmapResource(int id);
// Icon resource `id` in all its sizes; a null icon when there is none.
QIcon LoadIconResource(int id);
// Cursor resource `id`; none when it cannot be loaded.
std::optional<QCursor> LoadCursorResource(int id);
