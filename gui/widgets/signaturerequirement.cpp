#include "signaturerequirement.h"
#include "systemhelper.h"

#include "localizationhelper.h"

#include <QAction>
#include <QCoreApplication>
#include <QPointer>
#include <QSettings>
#include <QWidget>

namespace Orvane {
namespace Tavrix {
namespace Designer {

namespace {

const char* const SettingKey = "requireSignedPackages";

} // namespace

SignatureRequirement* SignatureRequirement::instance()
{
    static QPointer<SignatureRequirement> requirement;
    if (!requirement)
        requirement = new SignatureRequirement(QCoreApplication::instance());
    return requirement;
}

bool SignatureRequirement::isRequired()
{
    return Common::SystemHelper::userSettings().value(QLatin1String(SettingKey), false).toBool();
}

void SignatureRequirement::setRequired(bool required)
{
    if (required == isRequired())
        return;
    Common::SystemHelper::userSettings().setValue(QLatin1String(SettingKey), required);
    emit changed(required);
}

QAction* SignatureRequirement::addAction(QWidget* menu)
{
    auto* action = new QAction(Common::guiText("Require signed packages"), menu);
    action->setObjectName(QStringLiteral("requireSignedPackagesAction"));
    action->setCheckable(true);
    action->setChecked(isRequired());
    connect(action, &QAction::toggled, this, &SignatureRequirement::setRequired);
    connect(this, &SignatureRequirement::changed, action, &QAction::setChecked);
    menu->addAction(action);
    return action;
}

} // namespace Designer
} // namespace Tavrix
} // namespace Orvane
