#pragma once

// A fake of what Linux shows of USB devices, in a temporary folder: the
// devices under sys/devices with their links in sys/bus/usb/devices, the
// drivers bound to their interfaces, and their nodes under dev/bus/usb.

#include <QString>
#include <QTemporaryDir>
#include <cstdint>

#include "link/usb_device_diagnosis.h"

class FakeUsbSystem {
public:
    struct Device {
        QString name = QStringLiteral("1-1");  // sysfs name, e.g. "1-1.2"
        QString vendor = QStringLiteral("0403");
        QString product = QStringLiteral("6001");
        int bus = 1;
        int number = 5;
        QString driver;  // bound to interface 1.0; empty for none
        unsigned mode = 0664;
    };

    FakeUsbSystem();
    // Adds the device; returns the path of its node.
    QString add(const Device& device);
    SystemTrees trees() const;

private:
    QTemporaryDir root_;
};
