// The Qt modules the test programs use, parsed once for all of them.
#include <QtCore>
#include <QtGui>
#include <QtWidgets>
#include <QtTest>
#include <QtSerialPort>
