#pragma once

#include <QKeyEvent>
#include <QKeySequence>

namespace ui {

// The keys of the grid's commands, where the key handler and the context
// menu both need them.
namespace grid_keys {

inline const QKeySequence SetNull(Qt::CTRL | Qt::Key_0);
inline const QKeySequence AddRow(Qt::CTRL | Qt::Key_Insert);
inline const QKeySequence DeleteRows(Qt::Key_Delete);
inline const QKeySequence Undo(Qt::CTRL | Qt::Key_Z);
inline const QKeySequence Redo(Qt::CTRL | Qt::Key_Y);
inline const QKeySequence RedoAlternative(Qt::CTRL | Qt::SHIFT | Qt::Key_Z);
inline const QKeySequence EditInWindow(Qt::SHIFT | Qt::Key_F2);
inline const QKeySequence Find(Qt::CTRL | Qt::Key_F);
inline const QKeySequence FindNext(Qt::Key_F3);
inline const QKeySequence Refresh(Qt::Key_F5);
inline const QKeySequence Calendar(Qt::Key_F4);
inline const QKeySequence ZoomIn(Qt::CTRL | Qt::Key_Plus);
inline const QKeySequence ZoomOut(Qt::CTRL | Qt::Key_Minus);

// Ctrl with plus (or the key that holds it, "=", or the keypad's) zooms
// in, Ctrl with minus out: 1, -1, else 0. Ctrl+0 is no zoom key.
inline int ZoomStep(const QKeyEvent& event) {
  if (!(event.modifiers() & Qt::ControlModifier) || event.modifiers() & Qt::AltModifier) return 0;
  if (event.key() == Qt::Key_Plus || event.key() == Qt::Key_Equal) return 1;
  if (event.key() == Qt::Key_Minus) return -1;
  return 0;
}

}  // namespace grid_keys

}  // namespace ui
