#include "BoomerangChoice.h"

#include "SettingsStore.h"

#include <QCheckBox>

namespace tarnivo {

void KeepBoomerangChoice(QCheckBox* box, const std::function<void(const QString&)>& tellProblem)
{
    box->setChecked(ReadSetting(kBoomerangKey, QStringLiteral("0")) == QLatin1String("1"));
    QObject::connect(box, &QCheckBox::toggled, box, [tellProblem](bool checked) {
        tellProblem(WriteSetting(kBoomerangKey, checked ? QStringLiteral("1") : QStringLiteral("0")));
    });
}

}  // namespace tarnivo
