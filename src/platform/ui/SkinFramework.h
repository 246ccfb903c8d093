#pragma once

#include <QString>
#include <QVariant>
#include <QVariantList>
#include <QWidget>

namespace ui {

// The skin component of the connection page: invisible, reached only through
// its member identifiers. A skin file is a Qt style sheet.
//   2  method: load the skin (path, an empty text)
//   1  property: option bits; bit 0 lets the skin reach every window
//   5  property: apply to the window frame
//   10 property: apply to dialogs (message boxes)
//   3  method: apply the skin to the window with the given handle
class SkinFramework : public QObject {
  Q_OBJECT
 public:
  explicit SkinFramework(QObject* parent = nullptr);

  QVariant Invoke(int member, const QVariantList& arguments);
  QVariant GetProperty(int member) const;
  void SetProperty(int member, const QVariant& value);

  bool isLoaded() const { return !styleSheet_.isEmpty() || loaded_; }
  const QString& styleSheet() const { return styleSheet_; }
  QWidget* appliedTo() const { return appliedTo_; }

 signals:
  // Every use of a member, before it takes effect: "invoke 2", "get 1",
  // "set 5". Lets diagnostics follow what a caller asks of the component.
  void memberUsed(const QString& use) const;

 private:
  QString styleSheet_;
  bool loaded_ = false;
  qint32 options_ = 0;
  bool frame_ = false;
  bool dialogs_ = false;
  QWidget* appliedTo_ = nullptr;
};

}  // namespace ui
