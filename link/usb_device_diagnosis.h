#pragma once

#include <QList>
#include <QString>
#include <cstdint>

#include "link/device_node_access.h"

// Why the driver library could not open an interface that is on the USB
// bus, told from what Linux shows of it (sysfs and the device node) by
// reading alone: no privileges needed, nothing changed.

struct UsbId {
    std::uint16_t vendor = 0;
    std::uint16_t product = 0;
    friend bool operator==(const UsbId&, const UsbId&) = default;
};

// "0403:6001,0403:6015" (commas or semicolons); entries that are not two
// hexadecimal words are left out.
QList<UsbId> parseUsbIds(const QString& text);
// The USB IDs of the test interfaces the station knows, the same as the
// udev rule's.
const QList<UsbId>& interfaceUsbIds();

enum class InterfaceTrouble {
    None,          // not on the bus, or nothing in the way that Linux shows
    SerialDriver,  // the kernel's serial driver has it
    NoPermission,  // the user may not open its device node
    Busy,          // another program (or another kernel driver) has claimed it
};

struct InterfaceDiagnosis {
    InterfaceTrouble trouble = InterfaceTrouble::None;
    UsbId id;
    QString busDevice;  // "bus 1, device 5"
    QString node;       // the device node, e.g. /dev/bus/usb/001/005
    QString access;     // the node's mode and owners, for NoPermission
    QString driver;     // the driver that holds it, for SerialDriver and Busy
};

// Where the system's trees are; tests point them at fake ones.
struct SystemTrees {
    QString sysfs = QStringLiteral("/sys");
    QString dev = QStringLiteral("/dev");
};

// Looks at every USB device with one of `ids` and reports the first with a
// trouble (devices in sysfs name order).
InterfaceDiagnosis diagnoseInterface(const QList<UsbId>& ids, const SystemTrees& trees,
                                     const AccessIdentity& who);

// The one line that tells the operator what stands in the way and what to
// do; empty for InterfaceTrouble::None.
QString interfaceHint(const InterfaceDiagnosis& diagnosis);
