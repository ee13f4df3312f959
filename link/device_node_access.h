#pragma once

#include <QByteArray>
#include <QString>
#include <cstdint>
#include <optional>
#include <vector>

// Who asks for a device node: a user ID and every group the user is in.
struct AccessIdentity {
    std::uint32_t uid = 0;
    std::vector<std::uint32_t> groups;

    // The running process (effective user, effective and supplementary groups).
    static AccessIdentity current();
};

// What decides who may open a device node: owner, group, mode bits and the
// POSIX access ACL that logind's "uaccess" puts on it for the seat's user.
struct NodeAccess {
    std::uint32_t owner = 0;
    std::uint32_t group = 0;
    std::uint32_t mode = 0;  // permission bits, e.g. 0664
    QByteArray acl;          // the "system.posix_acl_access" attribute, empty without one
};

// Reads the node's owner, mode and ACL without opening it; nothing when the
// node cannot be examined.
std::optional<NodeAccess> readNodeAccess(const QString& path);

// True when `who` may open the node for reading and writing, as the kernel
// decides it (the superuser always may).
bool grantsReadWrite(const NodeAccess& node, const AccessIdentity& who);

// "crw-rw-r-- root:plugdev" or with numeric IDs where no name is known, and
// "+acl" when an ACL is set.
QString describeNodeAccess(const NodeAccess& node);
