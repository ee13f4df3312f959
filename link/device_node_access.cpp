#include "link/device_node_access.h"

#include <algorithm>
#include <cstring>

#ifdef __linux__
#include <grp.h>
#include <pwd.h>
#include <sys/stat.h>
#include <sys/xattr.h>
#include <unistd.h>
#endif

namespace {

constexpr std::uint32_t kRead = 4, kWrite = 2;
constexpr std::uint32_t kReadWrite = kRead | kWrite;

// The attribute's layout (linux/posix_acl_xattr.h): a 4-byte version 2,
// then 8-byte entries of tag, permissions and ID, little-endian.
constexpr std::uint32_t kAclVersion = 2;
enum AclTag : std::uint16_t {
    kUserObj = 0x01,
    kUser = 0x02,
    kGroupObj = 0x04,
    kGroup = 0x08,
    kMask = 0x10,
    kOther = 0x20,
};

struct AclEntry {
    std::uint16_t tag;
    std::uint16_t permissions;
    std::uint32_t id;
};

std::uint32_t littleEndian(const QByteArray& bytes, qsizetype at, int size) {
    std::uint32_t value = 0;
    for (int i = size - 1; i >= 0; --i) value = value << 8 | std::uint8_t(bytes[at + i]);
    return value;
}

// An attribute of another version or a torn length is not trusted: the
// mode bits decide then.
std::optional<std::vector<AclEntry>> parseAcl(const QByteArray& bytes) {
    if (bytes.size() < 4 || (bytes.size() - 4) % 8 != 0) return std::nullopt;
    if (littleEndian(bytes, 0, 4) != kAclVersion) return std::nullopt;
    std::vector<AclEntry> entries;
    for (qsizetype at = 4; at < bytes.size(); at += 8)
        entries.push_back({std::uint16_t(littleEndian(bytes, at, 2)),
                           std::uint16_t(littleEndian(bytes, at + 2, 2)),
                           littleEndian(bytes, at + 4, 4)});
    return entries;
}

bool inGroup(const AccessIdentity& who, std::uint32_t group) {
    return std::find(who.groups.begin(), who.groups.end(), group) != who.groups.end();
}

bool modeGrants(const NodeAccess& node, const AccessIdentity& who) {
    std::uint32_t bits = node.mode & 07;
    if (who.uid == node.owner)
        bits = node.mode >> 6 & 07;
    else if (inGroup(who, node.group))
        bits = node.mode >> 3 & 07;
    return (bits & kReadWrite) == kReadWrite;
}

// The access check of acl(5): the owner entry for the owner, a named user
// entry (masked), then any matching group entry (masked) that grants the
// request, and "other" only for those matching none.
bool aclGrants(const std::vector<AclEntry>& acl, const NodeAccess& node,
               const AccessIdentity& who) {
    std::uint32_t mask = kRead | kWrite | 1, other = 0;
    for (const AclEntry& entry : acl) {
        if (entry.tag == kMask) mask = entry.permissions;
        if (entry.tag == kOther) other = entry.permissions;
    }
    for (const AclEntry& entry : acl)
        if (entry.tag == kUserObj && who.uid == node.owner)
            return (entry.permissions & kReadWrite) == kReadWrite;
    for (const AclEntry& entry : acl)
        if (entry.tag == kUser && entry.id == who.uid)
            return (entry.permissions & mask & kReadWrite) == kReadWrite;
    bool groupMatched = false;
    for (const AclEntry& entry : acl) {
        const bool matches = (entry.tag == kGroupObj && inGroup(who, node.group)) ||
                             (entry.tag == kGroup && inGroup(who, entry.id));
        if (!matches) continue;
        if ((entry.permissions & mask & kReadWrite) == kReadWrite) return true;
        groupMatched = true;
    }
    return !groupMatched && (other & kReadWrite) == kReadWrite;
}

#ifdef __linux__
QString userName(std::uint32_t uid) {
    const passwd* entry = getpwuid(uid);
    return entry ? QString::fromLocal8Bit(entry->pw_name) : QString::number(uid);
}

QString groupName(std::uint32_t gid) {
    const group* entry = getgrgid(gid);
    return entry ? QString::fromLocal8Bit(entry->gr_name) : QString::number(gid);
}
#else
QString userName(std::uint32_t uid) {
    return QString::number(uid);
}
QString groupName(std::uint32_t gid) {
    return QString::number(gid);
}
#endif

}  // namespace

AccessIdentity AccessIdentity::current() {
    AccessIdentity who;
#ifdef __linux__
    who.uid = geteuid();
    who.groups.push_back(getegid());
    const int count = getgroups(0, nullptr);
    if (count > 0) {
        std::vector<gid_t> supplementary(std::size_t(count), 0);
        const int got = getgroups(count, supplementary.data());
        for (int i = 0; i < got; ++i) who.groups.push_back(supplementary[std::size_t(i)]);
    }
#endif
    return who;
}

std::optional<NodeAccess> readNodeAccess(const QString& path) {
#ifdef __linux__
    const QByteArray name = path.toLocal8Bit();
    struct stat status;
    if (stat(name.constData(), &status) != 0) return std::nullopt;
    NodeAccess node{status.st_uid, status.st_gid, status.st_mode & 0777u, {}};
    char buffer[1024];
    const ssize_t size =
        getxattr(name.constData(), "system.posix_acl_access", buffer, sizeof buffer);
    if (size > 0) node.acl = QByteArray(buffer, qsizetype(size));
    return node;
#else
    Q_UNUSED(path);
    return std::nullopt;
#endif
}

bool grantsReadWrite(const NodeAccess& node, const AccessIdentity& who) {
    if (who.uid == 0) return true;
    if (const auto acl = parseAcl(node.acl)) return aclGrants(*acl, node, who);
    return modeGrants(node, who);
}

QString describeNodeAccess(const NodeAccess& node) {
    QString bits = QStringLiteral("c");
    for (int shift = 6; shift >= 0; shift -= 3) {
        bits += node.mode >> shift & kRead ? 'r' : '-';
        bits += node.mode >> shift & kWrite ? 'w' : '-';
        bits += node.mode >> shift & 1 ? 'x' : '-';
    }
    QString text = bits + ' ' + userName(node.owner) + ':' + groupName(node.group);
    if (!node.acl.isEmpty()) text += QStringLiteral(" +acl");
    return text;
}
