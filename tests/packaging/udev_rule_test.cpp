// The udev rule of the test interface, read as udev reads it: every line a
// list of KEY op "value" pairs, match keys compared with == or !=, the
// others assigned. The machines that build the package have no udev to ask
// (udevadm verify came later than Debian 12's udev), so a slip of syntax or
// a key used the wrong way round is caught here. QUORVAN_UDEV_RULES names
// another file to check, the one in a built package.
#include <gtest/gtest.h>
#include <QFile>
#include <QFileInfo>
#include <QRegularExpression>
#include <QSet>

#include "link/usb_device_diagnosis.h"

namespace {

struct Pair {
    QString key;  // "ATTR{idVendor}"
    QString op;
    QString value;
};
using Rule = QList<Pair>;

// Keys udev only compares, keys it only assigns, and keys it does both with
// (udev(7)).
const QSet<QString> kMatchOnly = {"ACTION",     "DEVPATH", "KERNEL",  "KERNELS", "SUBSYSTEM",
                                  "SUBSYSTEMS", "DRIVER",  "DRIVERS", "ATTRS",   "TAGS",
                                  "TEST",       "PROGRAM", "RESULT",  "CONST"};
const QSet<QString> kAssignOnly = {"OWNER", "GROUP",  "MODE",    "RUN",     "LABEL",
                                   "GOTO",  "IMPORT", "OPTIONS", "SECLABEL"};
const QSet<QString> kBoth = {"NAME", "SYMLINK", "ATTR", "SYSCTL", "ENV", "TAG"};
const QSet<QString> kWithName = {"ATTR",   "ATTRS", "SYSCTL", "ENV",     "TEST",
                                 "IMPORT", "RUN",   "CONST",  "SECLABEL"};

QString ruleFile() {
    const QByteArray given = qgetenv("QUORVAN_UDEV_RULES");
    return given.isEmpty() ? QStringLiteral(QUORVAN_UDEV_RULES_FILE)
                           : QString::fromLocal8Bit(given);
}

// Parses one rule line; an empty optional with `error` set when it is not one.
std::optional<Rule> parseRule(const QString& line, QString& error) {
    static const QRegularExpression pair(QString::fromLatin1(
        R"re(\G\s*([A-Z_]+)(?:\{([^{}"\s]+)\})?\s*(==|!=|\+=|-=|:=|=)\s*"((?:[^"\\]|\\.)*)"\s*(,|$))re"));
    Rule rule;
    qsizetype at = 0;
    while (at < line.size()) {
        const auto match = pair.match(line, at);
        if (!match.hasMatch()) {
            error = QStringLiteral("no KEY op \"value\" at column %1").arg(at + 1);
            return std::nullopt;
        }
        const QString key = match.captured(1), name = match.captured(2), op = match.captured(3);
        if (!kMatchOnly.contains(key) && !kAssignOnly.contains(key) && !kBoth.contains(key)) {
            error = QStringLiteral("unknown key %1").arg(key);
            return std::nullopt;
        }
        if (kWithName.contains(key) != !name.isEmpty() && key != QLatin1String("RUN")) {
            error =
                QStringLiteral("%1 %2 a {name}").arg(key, name.isEmpty() ? "needs" : "takes no");
            return std::nullopt;
        }
        const bool compares = op == QLatin1String("==") || op == QLatin1String("!=");
        if ((compares && kAssignOnly.contains(key)) || (!compares && kMatchOnly.contains(key))) {
            error = QStringLiteral("%1 cannot be used with %2").arg(key, op);
            return std::nullopt;
        }
        rule.append({name.isEmpty() ? key : key + '{' + name + '}', op, match.captured(4)});
        at = match.capturedEnd();
        if (match.captured(5).isEmpty()) break;
    }
    if (rule.isEmpty() || at < line.size()) {
        error = QStringLiteral("trailing text");
        return std::nullopt;
    }
    return rule;
}

QString value(const Rule& rule, const QString& key, const QString& op = QStringLiteral("==")) {
    for (const Pair& pair : rule)
        if (pair.key == key && pair.op == op) return pair.value;
    return {};
}

QList<Rule> readRules(const QString& path) {
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly)) {
        ADD_FAILURE() << "cannot read " << path.toStdString();
        return {};
    }
    QList<Rule> rules;
    int number = 0;
    for (const QString& line : QString::fromUtf8(file.readAll()).split('\n')) {
        ++number;
        if (line.trimmed().isEmpty() || line.trimmed().startsWith('#')) continue;
        EXPECT_FALSE(line.endsWith('\\')) << "line " << number << ": no continued lines";
        QString error;
        const auto rule = parseRule(line, error);
        EXPECT_TRUE(rule.has_value())
            << path.toStdString() << ":" << number << ": " << error.toStdString() << "\n"
            << line.toStdString();
        if (rule) rules.append(*rule);
    }
    return rules;
}

}  // namespace

TEST(UdevRuleParser, RejectsWhatUdevWouldNot) {
    QString error;
    EXPECT_TRUE(parseRule(R"(SUBSYSTEM=="usb", ATTR{idVendor}=="0403", MODE="0660")", error));
    EXPECT_FALSE(parseRule(R"(SUBSYSTEM="usb", MODE="0660")", error)) << "a match assigned";
    EXPECT_EQ(error, QStringLiteral("SUBSYSTEM cannot be used with ="));
    EXPECT_FALSE(parseRule(R"(SUBSYSTEM=="usb", GROUP=="plugdev")", error));
    EXPECT_FALSE(parseRule(R"(SUBSYSTEM=="usb" MODE="0660")", error)) << "a missing comma";
    EXPECT_FALSE(parseRule(R"(SUBSYSTEM=="usb", MODE="0660)", error)) << "an open quote";
    EXPECT_FALSE(parseRule(R"(SUBSYTEM=="usb")", error)) << "a misspelt key";
    EXPECT_EQ(error, QStringLiteral("unknown key SUBSYTEM"));
    EXPECT_FALSE(parseRule(R"(ATTR=="0403")", error)) << "an attribute without its name";
}

TEST(UdevRule, GivesTheSeatUserEachInterfaceAndKeepsTheSerialDriverOff) {
    const QString path = ruleFile();
    // Before 73-seat-late.rules, which turns the uaccess tag into an ACL.
    EXPECT_LT(QFileInfo(path).fileName(), QStringLiteral("73")) << path.toStdString();
    const QList<Rule> rules = readRules(path);
    QList<UsbId> access, unbind;
    for (const Rule& rule : rules) {
        const QString vendor = value(rule, "ATTR{idVendor}") + value(rule, "ATTRS{idVendor}");
        const QString product = value(rule, "ATTR{idProduct}") + value(rule, "ATTRS{idProduct}");
        const auto ids = parseUsbIds(vendor + ':' + product);
        ASSERT_EQ(ids.size(), 1) << "every rule names one interface, in lower case";
        EXPECT_EQ(vendor + ':' + product, (vendor + ':' + product).toLower());
        EXPECT_EQ(value(rule, "SUBSYSTEM"), QStringLiteral("usb"));
        const QString type = value(rule, "ENV{DEVTYPE}");
        if (type == QLatin1String("usb_device")) {
            // The device itself: its own attributes, on every event but removal.
            EXPECT_FALSE(value(rule, "ATTR{idVendor}").isEmpty());
            EXPECT_EQ(value(rule, "ACTION", "!="), QStringLiteral("remove"));
            EXPECT_EQ(value(rule, "TAG", "+="), QStringLiteral("uaccess"));
            EXPECT_EQ(value(rule, "MODE", "="), QStringLiteral("0660"));
            EXPECT_EQ(value(rule, "GROUP", "="), QStringLiteral("plugdev"));
            access.append(ids.first());
        } else {
            // Its interfaces: the parent device's attributes, when the serial
            // driver binds, or on a synthetic add once it has.
            EXPECT_EQ(type, QStringLiteral("usb_interface"));
            EXPECT_FALSE(value(rule, "ATTRS{idVendor}").isEmpty());
            EXPECT_EQ(value(rule, "ACTION"), QStringLiteral("add|bind"));
            EXPECT_EQ(value(rule, "DRIVER"), QStringLiteral("ftdi_sio"));
            EXPECT_EQ(
                value(rule, "RUN", "+="),
                QStringLiteral("/bin/sh -c 'echo %k > /sys/bus/usb/drivers/ftdi_sio/unbind'"));
            unbind.append(ids.first());
        }
    }
    // The same interfaces as the station's own diagnosis knows.
    EXPECT_EQ(access, interfaceUsbIds());
    EXPECT_EQ(unbind, interfaceUsbIds());
}
