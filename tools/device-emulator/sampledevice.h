#pragma once

#include <QString>

// Fills an empty device folder with what a factory-fresh panel carries plus a
// small demo project, so that a plain start gives something to look at.
class SampleDevice
{
public:
    static bool populate(const QString& root, const QString& dataLogSource, QString* error);
};
