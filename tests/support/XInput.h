#pragma once

#include <QPoint>
#include <QString>
#include <QStringList>
#include <functional>

namespace support {

// Real X input for the tests run under tests/wm/under-openbox.sh: X clients
// (xdotool through the XTEST extension) run while the program goes on
// handling its events.

// Runs an X client and waits for it, calling `meanwhile` once it has
// started; empty when all succeeded, else what went wrong.
QString RunClient(const QString& program, const QStringList& arguments,
                  const std::function<QString()>& meanwhile = {});
QString Xdotool(const QStringList& arguments);
// A click with the mouse button (1 left, 3 right) after moving there.
QString ClickAt(QPoint global, int button);

}  // namespace support
