#include "fleetdevice.h"

#include "localizationhelper.h"

namespace Orvane {
namespace Tavrix {
namespace Common {

QString FleetDevice::columnTitle(int column)
{
    switch (column) {
    case SerialColumn: return deviceText("Serial number");
    case NameColumn: return deviceText("Name");
    case ModelColumn: return deviceText("Model");
    case SoftwareColumn: return deviceText("Software");
    case ProjectColumn: return deviceText("Project");
    case StationColumn: return deviceText("Station");
    case OperationColumn: return deviceText("Last operation");
    case ResultColumn: return deviceText("Result");
    case TimeColumn: return deviceText("Time");
    case OperationsColumn: return deviceText("Operations");
    default: return QString();
    }
}

QString FleetDevice::columnText(int column) const
{
    switch (column) {
    case SerialColumn: return serial;
    case NameColumn: return name;
    case ModelColumn: return model;
    case SoftwareColumn: return software;
    case ProjectColumn: return project;
    case StationColumn: return station;
    case OperationColumn: {
        const ServiceRecord::Operation operation = ServiceRecord::operationFromCode(operationCode);
        return operation == ServiceRecord::NoOperation ? operationCode : ServiceRecord::operationName(operation);
    }
    case ResultColumn: return ServiceRecord::outcomeName(outcome);
    case TimeColumn: return ServiceRecord::timeText(time);
    case OperationsColumn: return QString::number(operations);
    default: return QString();
    }
}

QJsonObject FleetDevice::toJson() const
{
    QJsonObject object;
    object.insert(QStringLiteral("serial"), serial);
    object.insert(QStringLiteral("name"), name);
    object.insert(QStringLiteral("model"), model);
    object.insert(QStringLiteral("software"), software);
    object.insert(QStringLiteral("project"), project);
    object.insert(QStringLiteral("projectSha256"), projectSha256);
    object.insert(QStringLiteral("station"), station);
    object.insert(QStringLiteral("operation"), operationCode);
    object.insert(QStringLiteral("result"), ServiceRecord::outcomeCode(outcome));
    object.insert(QStringLiteral("time"), time.isValid() ? time.toUTC().toString(Qt::ISODateWithMs) : QString());
    object.insert(QStringLiteral("operations"), operations);
    return object;
}

} // namespace Common
} // namespace Tavrix
} // namespace Orvane
