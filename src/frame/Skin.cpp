#include "frame/Appearance.h"
#include "platform/ui/PageWindow.h"
#include "platform/ui/SkinFramework.h"

namespace frame {

namespace {
enum SkinMember { Options = 1, LoadSkin = 2, ApplyToWindow = 3, ApplyToFrame = 5, ApplyToDialogs = 10 };
}

// No trap of its own: a failing step ends it there, and the page load that
// called it reports the failure.
void ApplySkin(ui::PageWindow& form1, ui::SkinFramework& skin) {
  const std::string path = SkinFilePath();
  if (!SkinFilePresent(path)) return;

  ApplyFormColors(form1);
  skin.Invoke(LoadSkin, {QString::fromStdString(path), QString()});
  const qint32 options = skin.GetProperty(Options).value<qint32>();
  skin.SetProperty(Options, QVariant::fromValue<qint32>(options | 1));
  skin.SetProperty(ApplyToFrame, true);
  skin.SetProperty(ApplyToDialogs, true);
  skin.Invoke(ApplyToWindow, {QVariant::fromValue<qint32>(static_cast<qint32>(form1.winId()))});
}

}  // namespace frame
