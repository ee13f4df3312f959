#include "link/usb_device_diagnosis.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QRegularExpression>

namespace {

constexpr auto kSerialDriver = "ftdi_sio";
// The kernel's name for a device that a program claimed through usbfs, as
// the driver library does when it opens the interface.
constexpr auto kProgramClaim = "usbfs";

QString readAttribute(const QString& device, const char* name) {
    QFile file(device + '/' + QLatin1String(name));
    if (!file.open(QIODevice::ReadOnly)) return {};
    return QString::fromLatin1(file.read(64)).trimmed();
}

std::optional<UsbId> deviceId(const QString& device) {
    bool vendorOk = false, productOk = false;
    const UsbId id{std::uint16_t(readAttribute(device, "idVendor").toUShort(&vendorOk, 16)),
                   std::uint16_t(readAttribute(device, "idProduct").toUShort(&productOk, 16))};
    if (!vendorOk || !productOk) return std::nullopt;
    return id;
}

// The drivers bound to the device's interfaces ("1-1.2:1.0", ...), by the
// name their "driver" link points at.
QStringList interfaceDrivers(const QString& device) {
    const QString name = QFileInfo(device).fileName();
    QStringList drivers;
    const QStringList interfaces = QDir(device).entryList(
        {name + QStringLiteral(":*")}, QDir::Dirs | QDir::NoDotAndDotDot, QDir::Name);
    for (const QString& interface : interfaces) {
        const QFileInfo link(device + '/' + interface + QStringLiteral("/driver"));
        if (link.isSymLink()) drivers << QFileInfo(link.symLinkTarget()).fileName();
    }
    return drivers;
}

InterfaceDiagnosis examine(const QString& device, UsbId id, const SystemTrees& trees,
                           const AccessIdentity& who) {
    InterfaceDiagnosis diagnosis;
    diagnosis.id = id;
    const int bus = readAttribute(device, "busnum").toInt();
    const int number = readAttribute(device, "devnum").toInt();
    diagnosis.busDevice = QStringLiteral("bus %1, device %2").arg(bus).arg(number);
    diagnosis.node = QStringLiteral("%1/bus/usb/%2/%3")
                         .arg(trees.dev)
                         .arg(bus, 3, 10, QChar('0'))
                         .arg(number, 3, 10, QChar('0'));
    const QStringList drivers = interfaceDrivers(device);
    if (drivers.contains(QLatin1String(kSerialDriver))) {
        diagnosis.trouble = InterfaceTrouble::SerialDriver;
        diagnosis.driver = QLatin1String(kSerialDriver);
        return diagnosis;
    }
    const auto access = readNodeAccess(diagnosis.node);
    if (access && !grantsReadWrite(*access, who)) {
        diagnosis.trouble = InterfaceTrouble::NoPermission;
        diagnosis.access = describeNodeAccess(*access);
        return diagnosis;
    }
    if (!drivers.isEmpty()) {
        diagnosis.trouble = InterfaceTrouble::Busy;
        diagnosis.driver = drivers.first();
    }
    return diagnosis;
}

QString idText(UsbId id) {
    return QStringLiteral("%1:%2")
        .arg(id.vendor, 4, 16, QChar('0'))
        .arg(id.product, 4, 16, QChar('0'));
}

}  // namespace

QList<UsbId> parseUsbIds(const QString& text) {
    static const QRegularExpression pair(QStringLiteral("^([0-9a-fA-F]{4}):([0-9a-fA-F]{4})$"));
    QList<UsbId> ids;
    for (const QString& entry : text.split(QRegularExpression(QStringLiteral("[,;]")))) {
        const auto match = pair.match(entry.trimmed());
        if (match.hasMatch())
            ids.append({std::uint16_t(match.captured(1).toUShort(nullptr, 16)),
                        std::uint16_t(match.captured(2).toUShort(nullptr, 16))});
    }
    return ids;
}

const QList<UsbId>& interfaceUsbIds() {
    static const QList<UsbId> ids = parseUsbIds(QStringLiteral(QUORVAN_INTERFACE_USB_IDS));
    return ids;
}

InterfaceDiagnosis diagnoseInterface(const QList<UsbId>& ids, const SystemTrees& trees,
                                     const AccessIdentity& who) {
    const QDir devices(trees.sysfs + QStringLiteral("/bus/usb/devices"));
    // Interfaces ("1-1:1.0") and root hubs ("usb1") carry no IDs of a
    // device of ours, or none at all; reading them costs little.
    for (const QString& name : devices.entryList(QDir::Dirs | QDir::NoDotAndDotDot, QDir::Name)) {
        const QString device = devices.filePath(name);
        const auto id = deviceId(device);
        if (!id || !ids.contains(*id)) continue;
        InterfaceDiagnosis diagnosis = examine(device, *id, trees, who);
        if (diagnosis.trouble != InterfaceTrouble::None) return diagnosis;
    }
    return {};
}

QString interfaceHint(const InterfaceDiagnosis& diagnosis) {
    const QString device =
        QStringLiteral("the interface %1 (%2)").arg(idText(diagnosis.id), diagnosis.busDevice);
    switch (diagnosis.trouble) {
        case InterfaceTrouble::None:
            return {};
        case InterfaceTrouble::SerialDriver:
            return QStringLiteral(
                       "%1 is held by the kernel's serial driver %2: install the station's udev "
                       "rule and plug the interface in again, or run 'sudo rmmod %2'")
                .arg(device, diagnosis.driver);
        case InterfaceTrouble::NoPermission:
            return QStringLiteral(
                       "no permission to open %1 at %2 (%3): install the station's udev rule and "
                       "plug the interface in again; outside the desktop session, join group "
                       "plugdev")
                .arg(device, diagnosis.node, diagnosis.access);
        case InterfaceTrouble::Busy:
            if (diagnosis.driver == QLatin1String(kProgramClaim))
                return QStringLiteral(
                           "%1 is in use by another program (another station, perhaps): close it, "
                           "and the station opens the interface by itself")
                    .arg(device);
            return QStringLiteral(
                       "%1 is held by the kernel driver %2: unload it with 'sudo rmmod %2', and "
                       "the "
                       "station opens the interface by itself")
                .arg(device, diagnosis.driver);
    }
    return {};
}
