#include "fake_usb_system.h"

#include <sys/stat.h>
#include <QDir>
#include <QFile>

namespace {

void write(const QString& path, const QString& text) {
    QFile file(path);
    if (file.open(QIODevice::WriteOnly)) file.write(text.toLatin1() + '\n');
}

}  // namespace

FakeUsbSystem::FakeUsbSystem() {
    QDir(root_.path()).mkpath(QStringLiteral("sys/bus/usb/devices"));
    // A root hub, as every real tree has: no interface of ours.
    add({QStringLiteral("usb1"), QStringLiteral("1d6b"), QStringLiteral("0002"), 1, 1,
         QStringLiteral("hub"), 0664});
}

QString FakeUsbSystem::add(const Device& device) {
    const QString sys = root_.filePath(QStringLiteral("sys"));
    const QString real = sys + QStringLiteral("/devices/pci0000:00/0000:00:14.0/") + device.name;
    QDir().mkpath(real);
    write(real + QStringLiteral("/idVendor"), device.vendor);
    write(real + QStringLiteral("/idProduct"), device.product);
    write(real + QStringLiteral("/busnum"), QString::number(device.bus));
    write(real + QStringLiteral("/devnum"), QString::number(device.number));
    const QString interface = real + '/' + device.name + QStringLiteral(":1.0");
    QDir().mkpath(interface);
    if (!device.driver.isEmpty()) {
        const QString driver = sys + QStringLiteral("/bus/usb/drivers/") + device.driver;
        QDir().mkpath(driver);
        QFile::link(driver, interface + QStringLiteral("/driver"));
    }
    QFile::link(real, sys + QStringLiteral("/bus/usb/devices/") + device.name);

    const QString folder =
        root_.filePath(QStringLiteral("dev/bus/usb/%1").arg(device.bus, 3, 10, QChar('0')));
    QDir().mkpath(folder);
    const QString node = folder + QStringLiteral("/%1").arg(device.number, 3, 10, QChar('0'));
    write(node, {});
    chmod(node.toLocal8Bit().constData(), device.mode);
    return node;
}

SystemTrees FakeUsbSystem::trees() const {
    return {root_.filePath(QStringLiteral("sys")), root_.filePath(QStringLiteral("dev"))};
}
