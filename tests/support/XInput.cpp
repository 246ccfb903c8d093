#include "support/XInput.h"

#include <QProcess>
#include <QTest>

namespace support {

QString RunClient(const QString& program, const QStringList& arguments, const std::function<QString()>& meanwhile) {
  QProcess client;
  client.setProcessChannelMode(QProcess::MergedChannels);
  client.start(program, arguments);
  if (!client.waitForStarted()) return program + QStringLiteral(" did not start");
  const QString failure = meanwhile ? meanwhile() : QString();
  if (!QTest::qWaitFor([&] { return client.state() == QProcess::NotRunning; }, 30000))
    return program + QStringLiteral(" still running after 30 s");
  if (client.exitStatus() != QProcess::NormalExit || client.exitCode() != 0)
    return QStringLiteral("%1 %2 failed: %3")
        .arg(program, arguments.join(' '), QString::fromLocal8Bit(client.readAll()));
  return failure;
}

QString Xdotool(const QStringList& arguments) { return RunClient(QStringLiteral("xdotool"), arguments); }

QString ClickAt(QPoint global, int button) {
  return Xdotool({QStringLiteral("mousemove"), QString::number(global.x()), QString::number(global.y()),
                  QStringLiteral("sleep"), QStringLiteral("0.3"), QStringLiteral("click"),
                  QString::number(button)});
}

}  // namespace support
