#include <gtest/gtest.h>

#include "fake_usb_system.h"
#include "link/usb_device_diagnosis.h"

namespace {

const QList<UsbId> kInterfaces = {{0x0403, 0x6001}, {0x0403, 0x6015}};
const AccessIdentity kOperator{1000, {1000, 46}};

// The first interface ID's device on bus 1.
FakeUsbSystem::Device device(const char* name, int number, const char* driver, unsigned mode) {
    FakeUsbSystem::Device device;
    device.name = QString::fromLatin1(name);
    device.number = number;
    device.driver = QString::fromLatin1(driver);
    device.mode = mode;
    return device;
}

InterfaceDiagnosis diagnose(const FakeUsbSystem& system, const AccessIdentity& who = kOperator) {
    return diagnoseInterface(kInterfaces, system.trees(), who);
}

}  // namespace

TEST(UsbIds, TakesHexadecimalPairsAndLeavesOutTheRest) {
    EXPECT_EQ(parseUsbIds(QStringLiteral("0403:6001, 0403:6015;0403:60Ab")),
              (QList<UsbId>{{0x0403, 0x6001}, {0x0403, 0x6015}, {0x0403, 0x60ab}}));
    EXPECT_EQ(parseUsbIds(QStringLiteral("0403;403:6001;0403:60011;zz03:6001;;")), QList<UsbId>{});
    EXPECT_FALSE(interfaceUsbIds().isEmpty()) << "the build names at least one interface";
}

TEST(InterfaceDiagnosisTest, NothingToTellWithoutTheInterfaceOrWhenNothingStandsInTheWay) {
    FakeUsbSystem system;
    // A serial adapter of another kind, held by the serial driver, is not ours.
    system.add({QStringLiteral("1-3"), QStringLiteral("0403"), QStringLiteral("6010"), 1, 7,
                QStringLiteral("ftdi_sio"), 0664});
    EXPECT_EQ(diagnose(system).trouble, InterfaceTrouble::None);
    system.add(device("1-1", 5, "", 0666));
    const InterfaceDiagnosis free = diagnose(system);
    EXPECT_EQ(free.trouble, InterfaceTrouble::None);
    EXPECT_EQ(interfaceHint(free), QString());
    // No sysfs at all (another system, a container): nothing, and no fault.
    EXPECT_EQ(
        diagnoseInterface(kInterfaces,
                          {QStringLiteral("/nonexistent/sys"), QStringLiteral("/nonexistent/dev")},
                          kOperator)
            .trouble,
        InterfaceTrouble::None);
}

TEST(InterfaceDiagnosisTest, HeldByTheKernelSerialDriver) {
    FakeUsbSystem system;
    FakeUsbSystem::Device bound = device("1-1.2", 14, "ftdi_sio", 0666);
    bound.product = QStringLiteral("6015");
    bound.bus = 2;
    system.add(bound);
    const InterfaceDiagnosis diagnosis = diagnose(system);
    EXPECT_EQ(diagnosis.trouble, InterfaceTrouble::SerialDriver);
    EXPECT_EQ(diagnosis.id, (UsbId{0x0403, 0x6015}));
    EXPECT_EQ(interfaceHint(diagnosis).toStdString(),
              "the interface 0403:6015 (bus 2, device 14) is held by the kernel's serial driver "
              "ftdi_sio: install the station's udev rule and plug the interface in again, or run "
              "'sudo rmmod ftdi_sio'");
    // Whatever the node's permissions: the driver is what is in the way.
    EXPECT_EQ(diagnose(system, {0, {0}}).trouble, InterfaceTrouble::SerialDriver);
}

TEST(InterfaceDiagnosisTest, NodeTheUserMayNotOpen) {
    FakeUsbSystem system;
    FakeUsbSystem::Device closed = device("3-1", 9, "", 0664);
    closed.bus = 3;
    const QString node = system.add(closed);
    const InterfaceDiagnosis diagnosis = diagnose(system);
    EXPECT_EQ(diagnosis.trouble, InterfaceTrouble::NoPermission);
    EXPECT_EQ(diagnosis.node, node);
    EXPECT_TRUE(node.endsWith(QStringLiteral("/dev/bus/usb/003/009")));
    EXPECT_EQ(interfaceHint(diagnosis).toStdString(),
              "no permission to open the interface 0403:6001 (bus 3, device 9) at " +
                  node.toStdString() +
                  " (crw-rw-r-- root:root): install the station's udev rule and plug the "
                  "interface in again; outside the desktop session, join group plugdev");
    // The node's group (root here) may, and the superuser always may.
    EXPECT_EQ(diagnose(system, {1000, {1000, 0}}).trouble, InterfaceTrouble::None);
    EXPECT_EQ(diagnose(system, {0, {0}}).trouble, InterfaceTrouble::None);
}

TEST(InterfaceDiagnosisTest, ClaimedByAnotherProgramOrAnotherDriver) {
    FakeUsbSystem system;
    system.add(device("1-1", 5, "usbfs", 0666));
    const InterfaceDiagnosis diagnosis = diagnose(system);
    EXPECT_EQ(diagnosis.trouble, InterfaceTrouble::Busy);
    EXPECT_EQ(interfaceHint(diagnosis).toStdString(),
              "the interface 0403:6001 (bus 1, device 5) is in use by another program (another "
              "station, perhaps): close it, and the station opens the interface by itself");

    FakeUsbSystem other;
    other.add(device("1-1", 5, "usb_serial_simple", 0666));
    EXPECT_EQ(interfaceHint(diagnose(other)).toStdString(),
              "the interface 0403:6001 (bus 1, device 5) is held by the kernel driver "
              "usb_serial_simple: unload it with 'sudo rmmod usb_serial_simple', and the station "
              "opens the interface by itself");
}

TEST(InterfaceDiagnosisTest, TellsOfTheFirstInterfaceWithATroubleAndSkipsBrokenEntries) {
    FakeUsbSystem system;
    system.add(device("1-1", 4, "", 0666));
    FakeUsbSystem::Device broken = device("1-2", 6, "ftdi_sio", 0664);
    broken.vendor = QStringLiteral("04 03");
    system.add(broken);
    system.add(device("1-3", 8, "usbfs", 0666));
    system.add(device("1-4", 10, "ftdi_sio", 0664));
    const InterfaceDiagnosis diagnosis = diagnose(system);
    EXPECT_EQ(diagnosis.trouble, InterfaceTrouble::Busy);
    EXPECT_EQ(diagnosis.busDevice, QStringLiteral("bus 1, device 8"));
}
