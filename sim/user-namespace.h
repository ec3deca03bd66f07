// How an ordinary user gets the mounts the twin needs: a user namespace of
// the process's own, in which the process is root, and a mount namespace that
// belongs to it. There the kernel lets it mount a tmpfs and a FUSE file
// system (FUSE since Linux 4.18, given a /dev/fuse the user may open), and
// bubblewrap started there runs as root, as it does for root on the host.
// Only the user is mapped, to root: whatever the process writes on the
// host's file systems belongs to the user.
#pragma once

#include <string>

namespace twin {

// Moves the calling process, which must have a single thread, into a new user
// namespace whose root is its user and group, and into a new mount namespace
// owned by it. Returns "" or one line: what the system refused, and what to do.
std::string enter_user_namespace();

// One line on why /dev/fuse does not open for reading and writing, and what
// to do, or "" when it opens.
std::string why_fuse_unusable();

}  // namespace twin
