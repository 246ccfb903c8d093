#include "platform/ui/SkinFramework.h"

#include <QApplication>
#include <QFile>
#include <cstdint>
#include <stdexcept>
#include <string>

#include "platform/ui/SkinStyleSheet.h"

namespace ui {

namespace {

enum Member { Options = 1, LoadSkin = 2, ApplyToWindow = 3, ApplyToFrame = 5, ApplyToDialogs = 10 };

[[noreturn]] void UnknownMember(int member) {
  throw std::runtime_error("The skin component has no member " + std::to_string(member));
}

void RequireArguments(int member, const QVariantList& arguments, qsizetype count) {
  if (arguments.size() != count) {
    throw std::runtime_error("The skin component's member " + std::to_string(member) + " takes " +
                             std::to_string(count) + " arguments, not " +
                             std::to_string(arguments.size()));
  }
}

QString ReadStyleSheet(const QString& path) {
  QFile file(path);
  if (!file.open(QIODevice::ReadOnly)) {
    throw std::runtime_error("The skin file " + path.toStdString() + " cannot be read: " +
                             file.errorString().toStdString());
  }
  const QByteArray bytes = file.readAll();
  if (file.error() != QFileDevice::NoError) {
    throw std::runtime_error("The skin file " + path.toStdString() + " cannot be read: " +
                             file.errorString().toStdString());
  }
  return SkinStyleSheet(bytes, path.toStdString());
}

}  // namespace

SkinFramework::SkinFramework(QObject* parent) : QObject(parent) {}

QVariant SkinFramework::Invoke(int member, const QVariantList& arguments) {
  emit memberUsed(QStringLiteral("invoke %1").arg(member));
  switch (member) {
    case LoadSkin: {
      RequireArguments(member, arguments, 2);
      styleSheet_ = ReadStyleSheet(arguments.at(0).toString());
      loaded_ = true;
      return {};
    }
    case ApplyToWindow: {
      RequireArguments(member, arguments, 1);
      // Handles travel as 32-bit integers, signed or not.
      bool isNumber = false;
      const qlonglong given = arguments.at(0).toLongLong(&isNumber);
      isNumber = isNumber && given >= INT32_MIN && given <= UINT32_MAX;
      const auto handle = static_cast<quint32>(given);
      QWidget* window = isNumber ? QWidget::find(static_cast<WId>(handle)) : nullptr;
      if (window == nullptr) {
        throw std::runtime_error("The skin component found no window with the handle " +
                                 arguments.at(0).toString().toStdString());
      }
      if (!isLoaded()) throw std::runtime_error("The skin component has no skin loaded");
      window->setStyleSheet(styleSheet_);
      appliedTo_ = window;
      // With bit 0 set the skin reaches every window of the program,
      // message boxes included.
      if ((options_ & 1) != 0 && qApp != nullptr) qApp->setStyleSheet(styleSheet_);
      return {};
    }
    default:
      UnknownMember(member);
  }
}

QVariant SkinFramework::GetProperty(int member) const {
  emit memberUsed(QStringLiteral("get %1").arg(member));
  switch (member) {
    case Options: return QVariant::fromValue<qint32>(options_);
    case ApplyToFrame: return frame_;
    case ApplyToDialogs: return dialogs_;
    default: UnknownMember(member);
  }
}

void SkinFramework::SetProperty(int member, const QVariant& value) {
  emit memberUsed(QStringLiteral("set %1").arg(member));
  switch (member) {
    case Options: {
      bool isNumber = false;
      const qint32 options = value.toInt(&isNumber);
      if (!isNumber) throw std::runtime_error("The skin component's options must be a number");
      options_ = options;
      return;
    }
    case ApplyToFrame: frame_ = value.toBool(); return;
    case ApplyToDialogs: dialogs_ = value.toBool(); return;
    default: UnknownMember(member);
  }
}

}  // namespace ui
