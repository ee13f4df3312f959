#include <gtest/gtest.h>
#include <sys/stat.h>
#include <sys/xattr.h>
#include <QFile>
#include <QTemporaryDir>

#include "link/device_node_access.h"

namespace {

// An access ACL as the kernel stores it: version 2, then tag, permissions
// and ID of each entry, little-endian; entries other than named users and
// groups carry the undefined ID.
struct Entry {
    std::uint16_t tag, permissions;
    std::uint32_t id;
};
QByteArray acl(std::initializer_list<Entry> entries) {
    QByteArray bytes("\x02\x00\x00\x00", 4);
    for (const Entry& entry : entries) {
        for (int i = 0; i < 2; ++i) bytes += char(entry.tag >> 8 * i);
        for (int i = 0; i < 2; ++i) bytes += char(entry.permissions >> 8 * i);
        const bool named = entry.tag == 0x02 || entry.tag == 0x08;
        for (int i = 0; i < 4; ++i) bytes += char((named ? entry.id : 0xffffffffu) >> 8 * i);
    }
    return bytes;
}
constexpr std::uint16_t kUserObj = 0x01, kUser = 0x02, kGroupObj = 0x04, kGroup = 0x08,
                        kMask = 0x10, kOther = 0x20;
constexpr std::uint16_t kRw = 6, kR = 4;

const AccessIdentity kOperator{1000, {1000}};
const AccessIdentity kPlugdev{1001, {1001, 46}};

}  // namespace

TEST(DeviceNodeAccess, ModeBitsOfOwnerGroupAndOthers) {
    EXPECT_FALSE(grantsReadWrite({0, 0, 0664, {}}, kOperator));
    EXPECT_TRUE(grantsReadWrite({0, 0, 0666, {}}, kOperator));
    EXPECT_TRUE(grantsReadWrite({0, 46, 0660, {}}, kPlugdev));
    EXPECT_FALSE(grantsReadWrite({0, 46, 0640, {}}, kPlugdev)) << "read alone is not enough";
    EXPECT_TRUE(grantsReadWrite({1000, 0, 0600, {}}, kOperator));
    // The owner's bits decide for the owner, even when others may more.
    EXPECT_FALSE(grantsReadWrite({1000, 0, 0066, {}}, kOperator));
    EXPECT_TRUE(grantsReadWrite({0, 0, 0600, {}}, {0, {0}})) << "the superuser";
}

TEST(DeviceNodeAccess, AclOfTheSeatUserGrantsWhatTheModeBitsDoNot) {
    // What logind sets on a node tagged uaccess: mode 0664 root:root plus
    // the seat user's entry.
    const NodeAccess node{0, 0, 0664,
                          acl({{kUserObj, kRw, 0},
                               {kUser, kRw, 1000},
                               {kGroupObj, kRw, 0},
                               {kMask, kRw, 0},
                               {kOther, kR, 0}})};
    EXPECT_TRUE(grantsReadWrite(node, kOperator));
    EXPECT_FALSE(grantsReadWrite(node, kPlugdev));
    // The mask limits named entries.
    EXPECT_FALSE(grantsReadWrite({0, 0, 0644,
                                  acl({{kUserObj, kRw, 0},
                                       {kUser, kRw, 1000},
                                       {kGroupObj, kR, 0},
                                       {kMask, kR, 0},
                                       {kOther, kR, 0}})},
                                 kOperator));
}

TEST(DeviceNodeAccess, AclGroupEntries) {
    const QByteArray groups = acl({{kUserObj, kRw, 0},
                                   {kGroupObj, kR, 0},
                                   {kGroup, kRw, 46},
                                   {kMask, kRw, 0},
                                   {kOther, kRw, 0}});
    EXPECT_TRUE(grantsReadWrite({0, 1001, 0664, groups}, kPlugdev))
        << "any matching group entry that grants is enough";
    // A user matched by a group entry that does not grant gets nothing,
    // though others may.
    EXPECT_FALSE(grantsReadWrite({0, 1000, 0664, groups}, kOperator));
    EXPECT_TRUE(grantsReadWrite({0, 0, 0664, groups}, {2000, {2000}}));
}

TEST(DeviceNodeAccess, DamagedAclLeavesTheDecisionToTheModeBits) {
    const QByteArray entry = acl({{kUser, kRw, 1000}});
    EXPECT_FALSE(grantsReadWrite({0, 0, 0664, entry.left(entry.size() - 1)}, kOperator));
    QByteArray otherVersion = entry;
    otherVersion[0] = 3;
    EXPECT_FALSE(grantsReadWrite({0, 0, 0664, otherVersion}, kOperator));
    EXPECT_TRUE(grantsReadWrite({0, 0, 0666, QByteArray("\x02", 1)}, kOperator));
}

TEST(DeviceNodeAccess, ReadsOwnerModeAndAclOfAFile) {
    QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("005"));
    ASSERT_TRUE(QFile(path).open(QIODevice::WriteOnly));
    ASSERT_EQ(chmod(path.toLocal8Bit().constData(), 0660), 0);
    auto node = readNodeAccess(path);
    ASSERT_TRUE(node.has_value());
    EXPECT_EQ(node->mode, 0660u);
    EXPECT_TRUE(node->acl.isEmpty());
    EXPECT_EQ(describeNodeAccess({0, 0, 0664, {}}), QStringLiteral("crw-rw-r-- root:root"));
    EXPECT_EQ(describeNodeAccess({0, 4000000, 0600, acl({{kUser, kRw, 1000}})}),
              QStringLiteral("crw------- root:4000000 +acl"));
    EXPECT_FALSE(readNodeAccess(dir.filePath(QStringLiteral("missing"))).has_value());

    const QByteArray seatUser = acl({{kUserObj, kRw, 0},
                                     {kUser, kRw, 1000},
                                     {kGroupObj, kRw, 0},
                                     {kMask, kRw, 0},
                                     {kOther, kR, 0}});
    if (setxattr(path.toLocal8Bit().constData(), "system.posix_acl_access", seatUser.constData(),
                 std::size_t(seatUser.size()), 0) != 0)
        GTEST_SKIP() << "this file system keeps no ACLs";
    node = readNodeAccess(path);
    ASSERT_TRUE(node.has_value());
    EXPECT_EQ(node->acl, seatUser);
    EXPECT_TRUE(grantsReadWrite(*node, kOperator));
}
